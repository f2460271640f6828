// Runs the built program as a separate process: signals and crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_home.h"

namespace {

namespace fs = std::filesystem;

pid_t Start(const TestHome& home) {
  const pid_t child = fork();
  if (child == 0) {
    execl(TELVANE_PROGRAM, TELVANE_PROGRAM, "--home", home.Home().c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

int Wait(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The program has built its main window once it has ticked for a while; a
// plain wait is enough because nothing is written before the end.
constexpr int kStartMs = 1500;

}  // namespace

TEST(TelvaneProgram, SigtermRunsTheExitAndSavesTheProfile) {
  TestHome home;
  const pid_t child = Start(home);
  Pause(kStartMs);
  kill(child, SIGTERM);
  const int status = Wait(child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string text = TestHome::ReadProfileText(home.InHome("telvane.cfg"));
  EXPECT_EQ(text.rfind("Registry Version: 1.00\n", 0), 0u);
  EXPECT_FALSE(fs::exists(home.InHome("telvane.log")));
}

TEST(TelvaneProgram, KillingDuringTheSaveLeavesAReadableProfile) {
  TestHome home;
  // A complete save to compare with: every later save writes the same text.
  pid_t child = Start(home);
  Pause(kStartMs);
  kill(child, SIGTERM);
  ASSERT_TRUE(WIFEXITED(Wait(child)));
  const std::string good = TestHome::ReadFile(home.InHome("telvane.cfg"));
  ASSERT_GT(good.size(), 1000u);

  // Kill at a spread of moments after the exit request, through the save.
  for (int delayUs : {0, 500, 1000, 2000, 3000, 5000, 8000, 12000, 20000, 40000}) {
    child = Start(home);
    Pause(kStartMs);
    kill(child, SIGTERM);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    kill(child, SIGKILL);
    Wait(child);
    EXPECT_EQ(TestHome::ReadFile(home.InHome("telvane.cfg")), good) << "killed after " << delayUs;
  }
}

namespace {

// Runs the program with `args`; its exit status, standard output and error.
struct Ran {
  int status = -1;
  std::string out;
  std::string err;
};

Ran RunWith(const TestHome& home, const std::vector<std::string>& args) {
  const std::string outPath = home.Root() + "/out.txt";
  const std::string errPath = home.Root() + "/err.txt";
  const pid_t child = fork();
  if (child == 0) {
    freopen(outPath.c_str(), "w", stdout);
    freopen(errPath.c_str(), "w", stderr);
    std::vector<char*> argv{const_cast<char*>(TELVANE_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TELVANE_PROGRAM, argv.data());
    _exit(127);
  }
  Ran ran;
  const int status = Wait(child);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ran.out = TestHome::ReadFile(outPath);
  ran.err = TestHome::ReadFile(errPath);
  return ran;
}

}  // namespace

TEST(TelvaneProgram, HelpAndVersionPrintAndEndAndAnUnknownSwitchIsAnError) {
  TestHome home;
  // No display is needed and nothing is written.
  home.Unset("QT_QPA_PLATFORM");
  home.Set("DISPLAY", "");
  Ran ran = RunWith(home, {"--home", home.Home(), "--help"});
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.out.rfind("Usage: telvane", 0), 0u) << ran.out;
  ran = RunWith(home, {"--version"});
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.out.rfind("Telvane ", 0), 0u) << ran.out;
  ran = RunWith(home, {"--home", home.Home(), "--colour=blue"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_NE(ran.err.find("unknown argument --colour=blue"), std::string::npos) << ran.err;
  EXPECT_NE(ran.err.find("Usage: telvane"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(home.Home()));
}
