#include "app/t_copy_counter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "test_home.h"

namespace {

// Runs `body` in a child that reports through its exit status, then waits.
template <typename Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

}  // namespace

TEST(TCopyCounter, CountsRunningCopiesAndForgetsEndedOnes) {
  TestHome home;
  const KString folder(home.RuntimeFolder());
  TCopyCounter first;
  EXPECT_EQ(first.Acquire(folder), 1);
  struct stat info {};
  ASSERT_EQ(stat(home.RuntimeFolder().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  TCopyCounter second;
  EXPECT_EQ(second.Acquire(folder), 2);
  TCopyCounter third;
  EXPECT_EQ(third.Acquire(folder), 3);

  // The first copy ends: two run, so a new one is the third again, and it
  // takes the slot the first one left.
  first.Release();
  TCopyCounter fourth;
  EXPECT_EQ(fourth.Acquire(folder), 3);
  EXPECT_EQ(fourth.Slot(), 1);

  second.Release();
  third.Release();
  fourth.Release();
  TCopyCounter alone;
  EXPECT_EQ(alone.Acquire(folder), 1);
}

TEST(TCopyCounter, SeesCopiesInOtherProcessesAndNotCrashedOnes) {
  TestHome home;
  const KString folder(home.RuntimeFolder());
  TCopyCounter mine;
  ASSERT_EQ(mine.Acquire(folder), 1);
  // A copy in another process counts while it runs.
  EXPECT_EQ(InChild([&] {
              TCopyCounter other;
              return other.Acquire(folder);
            }),
            2);
  mine.Release();

  // A copy killed while it holds its slot leaves nothing counted behind.
  EXPECT_EQ(InChild([&] {
              TCopyCounter crashing;
              crashing.Acquire(folder);
              raise(SIGKILL);
              return 0;
            }),
            -SIGKILL);
  TCopyCounter after;
  EXPECT_EQ(after.Acquire(folder), 1);
}

TEST(TCopyCounter, UnusableFolderCountsAsFirstCopy) {
  TestHome home;
  const std::string blocked = home.Root() + "/runtime/not-a-folder";
  TestHome::WriteFile(blocked, "x");
  TCopyCounter counter;
  EXPECT_EQ(counter.Acquire(KString(blocked)), 1);
  EXPECT_EQ(counter.Slot(), 0);
}

TEST(TCopyCounter, RuntimeFolderFollowsXdgRuntimeDir) {
  TestHome home;
  EXPECT_EQ(TCopyCounter::RuntimeFolder().ToUtf8(), home.RuntimeFolder());
  home.Unset("XDG_RUNTIME_DIR");
  EXPECT_EQ(TCopyCounter::RuntimeFolder().ToUtf8(), "/tmp/Telvane-" + std::to_string(getuid()));
}
