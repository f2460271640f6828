#include "app/t_z_application.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>

#include "app/t_copy_counter.h"
#include "app/t_z_control.h"
#include "app_run.h"
#include "base/k_file_extension.h"
#include "base/k_x.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "gui/k_z_message_window.h"
#include "sources/t_source_command.h"
#include "test_home.h"
#include "tests/support/free_port.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> HomeFiles(const TestHome& home) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(home.Home()))
    names.push_back(entry.path().filename().string());
  return names;
}

// The profile's lines are in tree order: each top-level group before the next.
void ExpectFullProfile(const std::string& path) {
  const std::string bytes = TestHome::ReadFile(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF) << "16-bit with its byte-order mark";
  const std::string text = TestHome::ReadProfileText(path);
  EXPECT_EQ(text.rfind("Registry Version: 1.00\n", 0), 0u);
  size_t last = 0;
  for (const char* group : {"\\General\\:", "\\Display\\:", "\\Layout\\:", "\\Sources\\:",
                            "\\SerialPort\\:", "\\Language\\:"}) {
    const size_t at = text.find(group);
    ASSERT_NE(at, std::string::npos) << group;
    EXPECT_GT(at, last) << group;
    last = at;
  }
  EXPECT_NE(text.find("\\Display\\Width:Int,1,,=640\n"), std::string::npos);
  EXPECT_NE(text.find("\\General\\MainWindow\\Maximized:Int,1,,=1\n"), std::string::npos);
  EXPECT_EQ(text.find("\\Strings\\"), std::string::npos);
}

}  // namespace

TEST(TZApplication, FirstRunWritesAFullProfileAndNoLog) {
  TestHome home;
  AppRun run({"--home", home.Home()});
  EXPECT_EQ(run.app->CopyNumber(), 1);
  EXPECT_EQ(run.app->Home().ToUtf8(), home.Home());
  std::string title;
  bool loaded = true;
  run.At(30, [&](TZApplication& a) {
    title = a.Control()->windowTitle().toStdString();
    loaded = a.SettingsLoaded();
  });
  EXPECT_EQ(run.RunAndExitAfter(60), 0);
  EXPECT_TRUE(run.alerts.empty());
  EXPECT_EQ(title, "Telvane");
  EXPECT_FALSE(loaded);
  ExpectFullProfile(home.InHome("telvane.cfg"));
  EXPECT_EQ(HomeFiles(home), std::vector<std::string>{"telvane.cfg"});  // no log, no temporary
  // The profile choice was missing and is now written, empty.
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "Profile=\n");
  // The file types the dialogs offer, described by the catalogue.
  ASSERT_NE(KFileExtension::Find(KString("tln")), nullptr);
  EXPECT_EQ(KFileExtension::Find(KString("tln"))->Description().ToUtf8(), "Telvane Layout");
  EXPECT_EQ(KFileExtension::Find(KString("tga"))->Description().ToUtf8(), "Targa File");
  EXPECT_EQ(KFileExtension::Find(KString("ps"))->Description().ToUtf8(), "Postscript File");
}

TEST(TZApplication, EmptyProfileKeepsDefaultsAndIsRewrittenInFull) {
  TestHome home;
  TestHome::WriteFile(home.InHome("telvane.cfg"), "");
  home.Set("TELVANE_HOME", home.Home());
  AppRun run;
  EXPECT_EQ(run.RunAndExitAfter(40), 0);
  EXPECT_TRUE(run.alerts.empty());
  EXPECT_FALSE(run.app->SettingsLoaded());
  ExpectFullProfile(home.InHome("telvane.cfg"));
}

TEST(TZApplication, ReadProfileKeepsItsValuesAndItsEncoding) {
  TestHome home;
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\Display\\Width:Int,1,,=800\n"
                      "\\General\\MainWindow\\Left:Int,1,,=33\n");
  AppRun run({"--home=" + home.Home()});
  int width = 0;
  run.At(20, [&](TZApplication& a) {
    width = a.Registry()->LookupInt(KString("\\Display\\Width"), 0);
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(width, 800);
  EXPECT_TRUE(run.app->SettingsLoaded());
  EXPECT_EQ(run.app->SettingsEncoding(), KStream::kEncoding8Bit);
  EXPECT_NE(static_cast<unsigned char>(TestHome::ReadFile(home.InHome("telvane.cfg"))[0]), 0xFF)
      << "written back in 8 bits";
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_EQ(text.rfind("Registry Version: 1.00\n", 0), 0u);
  EXPECT_NE(text.find("\\Display\\Width:Int,1,,=800\n"), std::string::npos);
  EXPECT_NE(text.find("\\General\\MainWindow\\Left:Int,1,,=33\n"), std::string::npos);
}

TEST(TZApplication, ALogSizeOutOfRangeIsHeldAndSaysSo) {
  TestHome home;
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\General\\LogSize:Int,1,,=10\n");
  AppRun run({"--home=" + home.Home()});
  run.RunAndExitAfter(40);
  const std::string log = TestHome::ReadFile(home.InHome("telvane.log"));
  EXPECT_NE(log.find("\\General\\LogSize 10 is held to 65536\n"), std::string::npos) << log;
}

TEST(TZApplication, UnreadableProfileAlerts6001AndKeepsDefaults) {
  TestHome home;
  fs::create_directories(home.InHome("telvane.cfg"));  // exists, cannot be read
  AppRun run({"--home", home.Home()});
  int width = 0;
  run.At(20, [&](TZApplication& a) {
    width = a.Registry()->LookupInt(KString("\\Display\\Width"), 0);
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(width, 640);
  // The save cannot replace a folder either: 6002 at exit.
  EXPECT_EQ(run.AlertTexts(),
            (std::vector<std::string>{"Error loading the configuration file (6001).",
                                      "Error saving the configuration file (6002)."}));
  ASSERT_FALSE(run.alerts.empty());
  EXPECT_EQ(run.alerts[0].title.ToUtf8(), "Error");
  EXPECT_EQ(run.alerts[0].buttons, 16);
  EXPECT_EQ(run.alerts[0].icon, 2);
  EXPECT_FALSE(fs::exists(home.InHome("telvane.cfg.new")));
}

TEST(TZApplication, NamedProfileWithoutItsFileFallsBackAndClearsTheChoice) {
  TestHome home;
  TestHome::WriteFile(home.ConfigFile(), "Profile=Meet\n");
  AppRun run({"--home", home.Home()});
  std::string title;
  run.At(20, [&](TZApplication& a) { title = a.Control()->windowTitle().toStdString(); });
  run.RunAndExitAfter(40);
  EXPECT_EQ(title, "Telvane");
  EXPECT_TRUE(run.app->ProfileName().IsEmpty());
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "Profile=\n");
  EXPECT_TRUE(fs::exists(home.InHome("telvane.cfg")));
  EXPECT_FALSE(fs::exists(home.InHome("Meet.cfg")));
}

TEST(TZApplication, NamedProfileIsUsedAndNamedInTheTitle) {
  TestHome home;
  TestHome::WriteFile(home.ConfigFile(), "Profile=Meet\n");
  TestHome::WriteFile(home.InHome("Meet.cfg"),
                      "Registry Version: 1.00\n\\Display\\Height:Int,1,,=576\n");
  AppRun run({"--home", home.Home()});
  std::string title;
  run.At(20, [&](TZApplication& a) { title = a.Control()->windowTitle().toStdString(); });
  run.RunAndExitAfter(40);
  EXPECT_EQ(title, "Telvane <Meet>");
  EXPECT_EQ(run.app->SettingsFile().Path().ToUtf8(), home.InHome("Meet.cfg"));
  EXPECT_FALSE(fs::exists(home.InHome("telvane.cfg")));
  EXPECT_NE(TestHome::ReadFile(home.InHome("Meet.cfg")).find("Height:Int,1,,=576"),
            std::string::npos);
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "Profile=Meet\n");
}

TEST(TZApplication, NamedProfileReachingOutOfTheHomeIsRefused) {
  TestHome home;
  TestHome::WriteFile(home.Root() + "/outside.cfg", "Registry Version: 1.00\n");
  TestHome::WriteFile(home.ConfigFile(), "Profile=../outside\n");
  AppRun run({"--home", home.Home()});
  run.RunAndExitAfter(30);
  EXPECT_EQ(run.app->SettingsFile().Path().ToUtf8(), home.InHome("telvane.cfg"));
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "Profile=\n");
  EXPECT_EQ(TestHome::ReadFile(home.Root() + "/outside.cfg"), "Registry Version: 1.00\n");
}

TEST(TZApplication, SecondCopyAsksAndCancelEndsBeforeAnyFileIsWritten) {
  TestHome home;
  TCopyCounter first;
  ASSERT_EQ(first.Acquire(TCopyCounter::RuntimeFolder()), 1);
  AppRun run({"--home", home.Home()});
  run.answer = 128;
  EXPECT_EQ(run.app->CopyNumber(), 2);
  EXPECT_EQ(run.app->Run(), 0);
  ASSERT_EQ(run.alerts.size(), 1u);
  const KZMessageWindow::Request& ask = run.alerts[0];
  EXPECT_EQ(ask.title.ToUtf8(), "Copy 2");
  EXPECT_EQ(ask.text.ToUtf8(), "A copy of Telvane is already running.");
  EXPECT_EQ(ask.buttons, 16 | 128);
  EXPECT_EQ(ask.defaultButton, 128);
  EXPECT_EQ(ask.icon, 4);
  EXPECT_EQ(ask.labels[0].ToUtf8(), "Ok");  // from the catalogue
  EXPECT_TRUE(HomeFiles(home).empty());
  EXPECT_EQ(run.app->Control(), nullptr);
}

TEST(TZApplication, SecondCopyRunsWhenTheOperatorPressesOk) {
  TestHome home;
  TCopyCounter first;
  ASSERT_EQ(first.Acquire(TCopyCounter::RuntimeFolder()), 1);
  AppRun run({"--home", home.Home()});
  run.answer = 16;
  bool windowShown = false;
  run.At(20, [&](TZApplication& a) { windowShown = a.Control() != nullptr; });
  run.RunAndExitAfter(40);
  EXPECT_TRUE(windowShown);
  EXPECT_TRUE(fs::exists(home.InHome("telvane.cfg")));
}

TEST(TZApplication, UnansweredSecondCopyPromptTakesCancelAndSaysSo) {
  TestHome home;
  TCopyCounter first;
  ASSERT_EQ(first.Acquire(TCopyCounter::RuntimeFolder()), 1);
  AppRun run({"--home", home.Home()});
  KZMessageWindow::SetResponder({});  // nobody answers on the offscreen platform
  testing::internal::CaptureStderr();
  EXPECT_EQ(run.app->Run(), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Copy 2: A copy of Telvane is already running. [answered Cancel]"),
            std::string::npos)
      << said;
  EXPECT_TRUE(HomeFiles(home).empty());
}

TEST(TZApplication, UnansweredAlertsGoToTheLogWithTheDefaultButton) {
  TestHome home;
  AppRun run({"--home", home.Home()});
  KZMessageWindow::SetResponder({});
  bool yes = true;
  bool ok = false;
  run.At(20, [&](TZApplication& a) {
    yes = a.ShowMessageWindow(KString("Save"), KString("Layout changed.\\nSave it?"), 32 | 64 | 128,
                              128, 4);
    ok = a.ShowMessageWindow(KString("Save"), KString("Done"), 16 | 128, 16, 1);
  });
  testing::internal::CaptureStderr();
  run.RunAndExitAfter(40);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(yes);
  EXPECT_TRUE(ok);
  const std::string log = TestHome::ReadFile(home.InHome("telvane.log"));
  EXPECT_EQ(log.rfind("M: ", 0), 0u) << log;
  EXPECT_NE(log.find(": Save: Layout changed.\nSave it? [answered Cancel]\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find(": Save: Done [answered Ok]\n"), std::string::npos);
}

TEST(TZApplication, SigtermEndsTheRunAsExitDoesAndSavesTheProfile) {
  TestHome home;
  AppRun run({"--home", home.Home()});
  run.At(30, [](TZApplication&) { raise(SIGTERM); });
  EXPECT_EQ(run.app->Run(), 0);
  ExpectFullProfile(home.InHome("telvane.cfg"));
}

TEST(TZApplication, ExceptionInAHandlerIsReportedAndTheLoopGoesOn) {
  TestHome home;
  AppRun run({"--home", home.Home()});
  long long ticksAtThrow = -1;
  long long ticksAfter = -1;
  run.At(60, [&](TZApplication& a) {
    ticksAtThrow = a.Control()->TickCount();
    throw KX(3002);
  });
  run.At(150, [&](TZApplication& a) { ticksAfter = a.Control()->TickCount(); });
  run.RunAndExitAfter(160);
  EXPECT_EQ(run.AlertTexts(), std::vector<std::string>{"Unhandled main loop exception (1001)."});
  EXPECT_GE(ticksAtThrow, 0);
  EXPECT_GT(ticksAfter, ticksAtThrow);  // idle passes go on after the alert
  EXPECT_TRUE(fs::exists(home.InHome("telvane.cfg")));
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(TZApplication, IdleLoopSleepsUntilAPortHasWork) {
  TestHome home;
  const int listenPort = FreeLoopbackPort();
  const int debugPort = FreeLoopbackPort();
  const int absentPort = FreeLoopbackPort();
  TestHome::WriteFile(home.InHome("Timer.rss"), ";;Results\r\nheader=\\02,length=1\r\n");
  std::string profile = "Registry Version: 1.00\n\\Sources\\:,1=\n";
  const std::string specs[] = {"-2,127.0.0.1," + std::to_string(listenPort),
                               "-1,127.0.0.1," + std::to_string(absentPort)};
  for (int i = 0; i < 2; ++i) {
    const std::string group = "\\Sources\\" + std::to_string(i + 1) + "\\";
    profile += group + ":,1=\n" + group + "Script:String,1=Timer.rss\n";
    profile += group + "SerialPort:String,1=" + specs[i] + "\n" + group + "CharMode:Int,1,,=0\n";
  }
  profile += "\\Sources\\DebugPort:String,1=-2,127.0.0.1," + std::to_string(debugPort) + "\n";
  TestHome::WriteFile(home.InHome("telvane.cfg"), profile);

  using Clock = std::chrono::steady_clock;
  AppRun run({"--home", home.Home()});
  int64_t wakes[2] = {};
  long long ticks[2] = {};
  double cpu[2] = {};
  int commands = 0;
  Clock::time_point sentAt{};
  Clock::time_point executedAt{};
  int console = -1;
  run.At(500, [&](TZApplication& a) {
    a.Control()->SetSourceCommandHook([&](const TSourceCommand&) {
      if (commands++ == 0) executedAt = Clock::now();
    });
    wakes[0] = a.WakeCount();
    ticks[0] = a.Control()->TickCount();
    cpu[0] = ProcessCpuSeconds();
  });
  run.At(2500, [&](TZApplication& a) {
    wakes[1] = a.WakeCount();
    ticks[1] = a.Control()->TickCount();
    cpu[1] = ProcessCpuSeconds();
    // A console connects and sends one command line: the loop must wake for it.
    console = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(listenPort));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(console, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    const std::string line = "Command=Trigger;Name=Go\n";
    ASSERT_EQ(send(console, line.data(), line.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(line.size()));
    sentAt = Clock::now();
  });
  run.RunAndExitAfter(6000);
  if (console >= 0) close(console);
  // Two idle seconds: the absent server's retries (five a second) and
  // little else, where a busy loop made a thousand passes a second.
  EXPECT_LE(wakes[1] - wakes[0], 30);
  EXPECT_LE(ticks[1] - ticks[0], 30);
  EXPECT_LT(cpu[1] - cpu[0], 0.1);
  ASSERT_EQ(commands, 1);
  EXPECT_LT(executedAt - sentAt, std::chrono::seconds(3));
}

TEST(TZApplication, CaptureSuspendsTicksUnlessAskedToKeepThem) {
  TestHome home;
  AppRun run({"--home", home.Home()});
  QWidget* holder = nullptr;
  QWidget other;
  long long t1 = 0, t2 = 0, t3 = 0, t4 = 0;
  bool otherRefused = false;
  run.At(60, [&](TZApplication& a) {
    holder = a.Control();
    a.CapturePointer(holder, TZApplication::kCaptureHidePointer);
    a.CapturePointer(&other, 0);
    otherRefused = a.CapturedWindow() == holder;
    t1 = a.Control()->TickCount();
  });
  run.At(120, [&](TZApplication& a) {
    t2 = a.Control()->TickCount();
    a.CapturePointer(nullptr, 0);
    a.CapturePointer(holder, TZApplication::kCaptureKeepTicks);
    t3 = a.Control()->TickCount();
  });
  run.At(180, [&](TZApplication& a) {
    t4 = a.Control()->TickCount();
    a.CapturePointer(nullptr, 0);
  });
  run.RunAndExitAfter(190);
  EXPECT_TRUE(otherRefused);
  EXPECT_GT(t1, 0);
  EXPECT_EQ(t2, t1);
  EXPECT_GT(t4, t3);
  EXPECT_EQ(run.app->CapturedWindow(), nullptr);
}

TEST(TZApplication, ServicesOutsideTheLoop) {
  TestHome home;
  AppRun run({"--home", home.Home(), "-NoSerialPort"});
  TZApplication& a = *run.app;
  EXPECT_NE(a.HasSwitch(KString("-noserialport")), nullptr);
  EXPECT_EQ(a.HasSwitch(KString("--snapshot")), nullptr);

  a.SetWaitPointer(true);
  a.SetWaitPointer(true);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  a.SetWaitPointer(false);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // Before the settings tree exists the built-in texts are used.
  a.ReportError(3099);
  a.ShowMessage(KString("Hello"));
  ASSERT_EQ(run.alerts.size(), 2u);
  EXPECT_EQ(run.alerts[0].text.ToUtf8(), "Operation failed (3099).");
  EXPECT_EQ(run.alerts[0].title.ToUtf8(), "Error");
  EXPECT_EQ(run.alerts[1].title.ToUtf8(), "Message");
  EXPECT_EQ(run.alerts[1].icon, 1);

  unsigned stamp = 0;
  a.StartTimer(&stamp);
  int elapsed = static_cast<int>(stamp);
  a.ElapsedTime(&elapsed);
  EXPECT_GE(elapsed, 0);
  EXPECT_TRUE(HomeFiles(home).empty());
}

TEST(TZApplication, FirstRunSeedsTheLanguageChoiceFromTheLocale) {
  TestHome home;
  home.Set("LC_ALL", "C");
  {
    AppRun run({"--home", home.Home()});
    run.RunAndExitAfter(30);
  }
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_NE(text.find("\\Language\\Choice:String,1=en_US"), std::string::npos) << text;
  EXPECT_EQ(text.find("\\Language\\Choices\\"), std::string::npos);
}

TEST(TZApplication, ChosenLanguageFileReplacesTheAlertTexts) {
  TestHome home;
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n\\Language\\Choice:String,1=de_CH\n");
  TestHome::WriteFile(home.InHome("deutsch.lng"),
                      "Deutsch,de_DE\nRegistry Version: 1.00\n"
                      "\\Strings\\Alerts\\Error:String,1=Fehler\n"
                      "\\Strings\\Errors\\3000:String,1=Dateifehler\n");
  AppRun run({"--home", home.Home()});
  run.At(20, [](TZApplication& a) { a.ReportError(3099); });
  run.RunAndExitAfter(40);
  ASSERT_EQ(run.alerts.size(), 1u);
  EXPECT_EQ(run.alerts[0].title.ToUtf8(), "Fehler");
  EXPECT_EQ(run.alerts[0].text.ToUtf8(), "Dateifehler (3099).");
  // The texts stay out of the profile; the language file is left alone.
  EXPECT_EQ(TestHome::ReadProfileText(home.InHome("telvane.cfg")).find("Fehler"),
            std::string::npos);
  EXPECT_NE(TestHome::ReadFile(home.InHome("deutsch.lng")).find("Dateifehler"), std::string::npos);
}

TEST(TZApplication, RestoredMainWindowKeepsItsRectangleAcrossRuns) {
  TestHome home;
  TestHome::WriteFile(home.InHome("telvane.cfg"),
                      "Registry Version: 1.00\n"
                      "\\General\\MainWindow\\Left:Int,1,,=50\n"
                      "\\General\\MainWindow\\Top:Int,1,,=40\n"
                      "\\General\\MainWindow\\Width:Int,1,,=700\n"
                      "\\General\\MainWindow\\Height:Int,1,,=500\n"
                      "\\General\\MainWindow\\Maximized:Int,1,,=0\n");
  AppRun run({"--home", home.Home()});
  bool maximized = true;
  QRect shown;
  run.At(20, [&](TZApplication& a) {
    maximized = a.Control()->isMaximized();
    shown = a.Control()->geometry();
    a.Control()->setGeometry(60, 70, 640, 480);  // the operator moves it
  });
  run.RunAndExitAfter(40);
  EXPECT_FALSE(maximized);
  EXPECT_EQ(shown, QRect(50, 40, 700, 500));
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_NE(text.find("\\General\\MainWindow\\Left:Int,1,,=60\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\\General\\MainWindow\\Top:Int,1,,=70\n"), std::string::npos);
  EXPECT_NE(text.find("\\General\\MainWindow\\Width:Int,1,,=640\n"), std::string::npos);
  EXPECT_NE(text.find("\\General\\MainWindow\\Height:Int,1,,=480\n"), std::string::npos);
  EXPECT_NE(text.find("\\General\\MainWindow\\Maximized:Int,1,,=0\n"), std::string::npos);
}
