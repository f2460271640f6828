// Runs the built program as a separate process: signals and crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

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
