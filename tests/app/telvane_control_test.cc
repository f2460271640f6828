// The main window end to end: external commands over the program's socket
// (from telvane-cli and from a second copy), and a timing console played by
// telvane-cli send switching the layouts on display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/t_copy_counter.h"
#include "app/t_z_control.h"
#include "app/t_z_layout_mdi.h"
#include "app_run.h"
#include "layout/t_layout.h"
#include "layout/t_layout_object.h"
#include "layout/t_layout_services.h"
#include "ports/k_command_server.h"
#include "sources/t_source_command.h"
#include "test_home.h"

#include "tests/support/free_port.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteEmptyLayout(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  TLayout layout;
  ASSERT_EQ(layout.SaveTo(KString(path.c_str())), 0);
}

std::string SocketOf(const TestHome& home) {
  return KCommandServer::SocketPath(home.RuntimeFolder());
}

// Sends a command nobody acts on until the program answers.
bool WaitForServer(const TestHome& home) {
  const auto giveUp = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < giveUp) {
    std::string answer, error;
    if (KCommandServer::Send(SocketOf(home), "Hello", 500, answer, error)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

pid_t StartProgram(const TestHome& home) {
  const pid_t child = fork();
  if (child == 0) {
    execl(TELVANE_PROGRAM, TELVANE_PROGRAM, "--home", home.Home().c_str(), "-noserialport",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

void StopProgram(pid_t child) {
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

int RunCli(const std::vector<std::string>& arguments) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(TELVANE_CLI)};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(TELVANE_CLI, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A feed capture: (milliseconds from the start, bytes) in order.
void WriteCapture(const std::string& path, const std::vector<std::pair<int, std::string>>& chunks) {
  std::string bytes = "TVCAP\r\n\x1a";
  const auto put32 = [&](uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put32(0x10000);
  put32(0);
  int last = 0;
  for (const auto& [atMs, data] : chunks) {
    put32(static_cast<uint32_t>((atMs - last) * 1000));
    put32(static_cast<uint32_t>(data.size()));
    bytes += data;
    last = atMs;
  }
  TestHome::WriteFile(path, bytes);
}

}  // namespace

TEST(TelvaneControl, TelvaneCliOpensALayoutWhosePathHoldsCommas) {
  TestHome home;
  const std::string layout = home.InHome("heats, finals/Re,sults.tln");
  WriteEmptyLayout(layout);
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\Layout\\RestoreOpen:Int=3\n");
  const pid_t program = StartProgram(home);
  ASSERT_TRUE(WaitForServer(home));
  ASSERT_EQ(RunCli({"open", layout, "--socket", SocketOf(home)}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // The same file again only brings its window to the front.
  ASSERT_EQ(RunCli({"open", layout, "--socket", SocketOf(home)}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  StopProgram(program);
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_NE(text.find("\\Layout\\Open\\1:String,1=" + layout + "\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\\Layout\\Open\\2:"), std::string::npos) << text;
}

TEST(TelvaneControl, SendSwitchesTheLayoutsOnDisplay) {
  TestHome home;
  const int port = FreeLoopbackPort();
  TestHome::WriteFile(home.InHome("Feed.rss"),
                      ";;Result\r\nheader=\\02R,length=2\r\ntrailer=\\03,length=1\r\n"
                      "textfield=Name,length=5\r\n");
  WriteEmptyLayout(home.InHome("Start.tln"));
  WriteEmptyLayout(home.InHome("Results.tln"));
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\Sources\\:=\n\\Sources\\1\\:=\n"
                      "\\Sources\\1\\Name:String=Console\n\\Sources\\1\\Script:String=Feed.rss\n"
                      "\\Sources\\1\\SerialPort:String=-2,127.0.0.1," +
                          std::to_string(port) +
                          "\n\\Sources\\1\\CharMode:Int=0\n"
                          "\\Layout\\RestoreOpen:Int=1\n\\Layout\\Open\\:=\n"
                          "\\Layout\\Open\\1:String=Start.tln\n"
                          "\\Layout\\Open\\2:String=Results.tln\n");
  WriteCapture(home.InHome("race.tvcap"), {{0, "Command=LayoutDraw;Name=Results;Delay=0\n"},
                                           {200, "\x02RAnn  \x03"},
                                           {400, "Command=LayoutDraw;Window=1;Delay=0\n"},
                                           // More than a second after the first, so
                                           // its log line is not held back as a repeat.
                                           {1500, "Command=LayoutDraw;Name=results;Delay=0\n"}});
  const pid_t program = StartProgram(home);
  EXPECT_EQ(RunCli({"send", "-1,127.0.0.1," + std::to_string(port), home.InHome("race.tvcap"),
                    "--wait-seconds", "30"}),
            0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  StopProgram(program);
  const std::string log = TestHome::ReadFile(home.InHome("telvane.log"));
  const size_t first = log.find("LayoutDraw: Results\n");
  const size_t second = log.find("LayoutDraw: Start\n");
  const size_t third = log.find("LayoutDraw: Results\n", first + 1);
  ASSERT_NE(first, std::string::npos) << log;
  ASSERT_NE(second, std::string::npos) << log;
  ASSERT_NE(third, std::string::npos) << log;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
}

TEST(TelvaneControl, ASecondExecuteWhileTheFirstWaitsIsBusy) {
  TestHome home;
  const std::string first = home.InHome("one, two/First.tln");
  const std::string second = home.InHome("Second.tln");
  WriteEmptyLayout(first);
  WriteEmptyLayout(second);
  AppRun run({"--home", home.Home()});
  std::string answers;
  run.At(20, [&](TZApplication&) {
    // The server answers from the event loop; this step holds the idle pass
    // back, so both commands arrive before the first is carried out.
    std::atomic<bool> done{false};
    std::thread client([&] {
      for (const std::string& path : {first, second}) {
        std::string answer, error;
        KCommandServer::Send(SocketOf(home), "OpenLayout,\"" + path + "\"", 3000, answer, error);
        answers += answer + ";";
      }
      done = true;
    });
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    while (!done && Clock::now() < giveUp) QCoreApplication::processEvents();
    client.join();
  });
  std::vector<std::string> titles;
  bool pendingEmpty = false;
  run.At(200, [&](TZApplication& a) {
    for (TZLayoutMDI* window : a.Control()->LayoutWindows())
      titles.push_back(window->Title().ToUtf8());
    pendingEmpty = a.PendingCommand().IsEmpty();
  });
  run.RunAndExitAfter(220);
  EXPECT_EQ(answers, "ACK;BUSY;");
  EXPECT_EQ(titles, std::vector<std::string>{"First"});
  EXPECT_TRUE(pendingEmpty);
  EXPECT_TRUE(run.alerts.empty());
}

TEST(TelvaneControl, ASecondCopyHasNoServerAndCommandsReachTheFirst) {
  TestHome home;
  const std::string layout = home.InHome("Board.tln");
  WriteEmptyLayout(layout);
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\Layout\\RestoreOpen:Int=3\n");
  const pid_t program = StartProgram(home);
  ASSERT_TRUE(WaitForServer(home));
  {
    AppRun run({"--home", home.Home()});
    run.answer = 16;  // go on as a second copy
    ASSERT_EQ(run.app->CopyNumber(), 2);
    std::string answer;
    size_t windows = 99;
    run.At(20, [&](TZApplication&) {
      std::string error;
      KCommandServer::Send(SocketOf(home), "OpenLayout," + layout, 3000, answer, error);
    });
    run.At(250, [&](TZApplication& a) { windows = a.Control()->LayoutWindows().size(); });
    run.RunAndExitAfter(270);
    EXPECT_EQ(answer, "ACK");
    EXPECT_EQ(windows, 0u) << "the second copy serves nothing";
  }
  // The first copy still serves after the second one ended.
  std::string answer, error;
  EXPECT_TRUE(KCommandServer::Send(SocketOf(home), "Hello", 2000, answer, error)) << error;
  StopProgram(program);
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_NE(text.find("\\Layout\\Open\\1:String,1=" + layout + "\n"), std::string::npos) << text;
}

TEST(TelvaneControl, DemoLayoutsMatchTheDemoScriptAndFeed) {
  const std::string demo = std::string(TELVANE_TEST_DATA) + "/../../assets/demo/";
  // The field names the Chronvale script cuts its packets into.
  std::vector<std::string> fields;
  {
    const std::string script = TestHome::ReadFile(demo + "Chronvale.rss");
    size_t at = 0;
    while ((at = script.find("textfield=", at)) != std::string::npos) {
      at += 10;
      fields.push_back(script.substr(at, script.find(',', at) - at));
    }
  }
  ASSERT_FALSE(fields.empty());
  const std::string feed = TestHome::ReadFile(demo + "demo-race.tvcap");
  const std::string profile = TestHome::ReadFile(demo + "telvane.cfg");
  std::vector<std::string> triggers;
  for (const char* name : {"Start", "Results", "Board"}) {
    TLayout layout;
    KFile file(KString((demo + name + ".tln").c_str()));
    ASSERT_EQ(layout.Load(file, TLayout::kLoadContent), 0) << name;
    int dynamic = 0;
    for (const TLayoutObject* object = layout.NextObject(nullptr); object;
         object = layout.NextObject(object)) {
      if (!object->TriggerName().IsEmpty()) triggers.push_back(object->TriggerName().ToUtf8());
      if (!object->IsDynamic()) continue;
      ++dynamic;
      const std::string field = object->FieldName().ToUtf8();
      EXPECT_NE(std::find(fields.begin(), fields.end(), field), fields.end())
          << name << " " << field;
    }
    EXPECT_GE(dynamic, 2) << name;
    // The feed switches to it by its title, and the profile reopens it.
    EXPECT_NE(feed.find(std::string("Command=LayoutDraw;Name=") + name), std::string::npos) << name;
    EXPECT_NE(profile.find(std::string("String=") + name + ".tln"), std::string::npos) << name;
  }
  for (const std::string& trigger : triggers)
    EXPECT_NE(feed.find("Command=Trigger;Name=" + trigger), std::string::npos) << trigger;
  EXPECT_EQ(triggers, (std::vector<std::string>{"Go", "Podium"}));
  EXPECT_NE(profile.find("\\Layout\\RestoreOpen:Int=3"), std::string::npos);
}

// Played over and over, the demo feed must find every layout as it did the
// first time. A trigger without a time of its own stays on through Clear=1
// and reaches only the layout on the display, so one the feed turns on has
// to be turned off again before the feed moves away from that layout.
TEST(TelvaneControl, TheDemoFeedFindsItsLayoutsAsBeforeWhenItLoops) {
  const std::string demo = std::string(TELVANE_TEST_DATA) + "/../../assets/demo/";
  std::set<std::string> untimed;  // "layout/trigger"
  for (const char* name : {"Start", "Results", "Board"}) {
    TLayout layout;
    KFile file(KString((demo + name + ".tln").c_str()));
    ASSERT_EQ(layout.Load(file, TLayout::kLoadContent), 0) << name;
    for (const TLayoutObject* object = layout.NextObject(nullptr); object;
         object = layout.NextObject(object)) {
      if (!object->TriggerName().IsEmpty() && object->TriggerTime() == 0)
        untimed.insert(std::string(name) + "/" + object->TriggerName().ToUtf8());
    }
  }
  ASSERT_FALSE(untimed.empty());
  // The command lines in the order sent; the bare LFs only repeat them.
  std::vector<std::string> lines;
  const std::string feed = TestHome::ReadFile(demo + "demo-race.tvcap");
  for (size_t at = 0; (at = feed.find("Command=", at)) != std::string::npos;) {
    const size_t end = feed.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(feed.substr(at, end - at));
    at = end;
  }
  std::set<std::string> on;
  std::string shown;
  std::vector<std::string> rounds[2];
  for (std::vector<std::string>& found : rounds) {
    for (const std::string& line : lines) {
      const TSourceCommand command(KString(line.c_str()).View());
      const std::string name = command.Name().ToUtf8();
      if (command.GetKind() == TSourceCommand::kLayoutDraw) {
        shown = name;
        std::string state = name + ":";
        for (const std::string& trigger : on)
          if (trigger.rfind(name + "/", 0) == 0) state += " " + trigger;
        found.push_back(state);
      } else if (command.GetKind() == TSourceCommand::kTrigger &&
                 untimed.count(shown + "/" + name) != 0) {
        if (command.TriggerAction() == TSourceCommand::kActionOff) {
          on.erase(shown + "/" + name);
        } else {
          on.insert(shown + "/" + name);
        }
      }
    }
  }
  EXPECT_EQ(rounds[0], (std::vector<std::string>{"Start:", "Results:", "Board:"}));
  EXPECT_EQ(rounds[1], rounds[0]);
}
