#include "ports/k_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ports/k_periodic_task.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts its runs and leaves Run only when paused or stopped.
class CountingThread : public KThread {
 public:
  ~CountingThread() override { Stop(); }
  std::atomic<int> runs{0};
  std::atomic<bool> ranOnSelf{false};

 protected:
  void Run() override {
    ++runs;
    ranOnSelf = IsCurrentThread();
    while (State() == kRunning) WaitWake(-1);
  }
};

template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(KThread, StateMachineStartResumePauseStop) {
  CountingThread thread;
  EXPECT_EQ(thread.State(), KThread::kStopped);
  EXPECT_FALSE(thread.Resume());  // nothing to resume
  EXPECT_FALSE(thread.Pause(true));

  EXPECT_EQ(thread.Start(KThread::kPriorityNormal, 64 * 1024), KThread::kPaused);
  // A second start does nothing and reports the state.
  EXPECT_EQ(thread.Start(KThread::kPriorityHighest, 0), KThread::kPaused);
  EXPECT_EQ(thread.runs.load(), 0);
  EXPECT_FALSE(thread.IsCurrentThread());

  EXPECT_TRUE(thread.Resume());
  EXPECT_EQ(thread.Start(KThread::kPriorityNormal, 0), KThread::kRunning);
  ASSERT_TRUE(WaitFor([&] { return thread.runs.load() == 1; }, std::chrono::seconds(10)));
  EXPECT_TRUE(thread.ranOnSelf.load());

  EXPECT_TRUE(thread.Pause(true));
  EXPECT_TRUE(thread.Resume());
  ASSERT_TRUE(WaitFor([&] { return thread.runs.load() == 2; }, std::chrono::seconds(10)));

  // Pause without waiting, then resume at once: the resume waits for the pause.
  EXPECT_TRUE(thread.Pause(false));
  EXPECT_TRUE(thread.Resume());
  ASSERT_TRUE(WaitFor([&] { return thread.runs.load() == 3; }, std::chrono::seconds(10)));

  thread.Stop();
  EXPECT_EQ(thread.State(), KThread::kStopped);
  thread.Stop();  // twice is harmless

  // A stopped thread starts again.
  EXPECT_EQ(thread.Start(KThread::kPriorityLowest, 0), KThread::kPaused);
  thread.Stop();
}

TEST(KThread, StopWhilePausedAndDestroyWhileRunning) {
  {
    CountingThread thread;
    ASSERT_EQ(thread.Start(KThread::kPriorityIdle, 0), KThread::kPaused);
    thread.Stop();
    EXPECT_EQ(thread.runs.load(), 0);
  }
  {
    CountingThread thread;
    ASSERT_EQ(thread.Start(KThread::kPriorityTimeCritical, 0), KThread::kPaused);
    ASSERT_TRUE(thread.Resume());
  }  // the destructor stops it
}

TEST(KPeriodicTask, TicksOncePerPeriodAndStopsAtOnce) {
  std::atomic<int> ticks{0};
  std::atomic<int64_t> first{0};
  std::atomic<int64_t> last{0};
  KPeriodicTask task([&](int64_t now) {
    if (ticks.fetch_add(1) == 0) first = now;
    last = now;
  });
  EXPECT_EQ(task.PeriodMs(), -1);
  ASSERT_EQ(task.Start(1000, KThread::kPriorityAboveNormal, 64 * 1024), KThread::kPaused);
  EXPECT_EQ(task.PeriodMs(), 1000);
  const auto started = Clock::now();
  ASSERT_TRUE(task.Resume());
  ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 3; }, std::chrono::seconds(30)));
  const auto elapsed = Clock::now() - started;
  // Three ticks of 1000 ms: never early; late only by scheduling.
  EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
  EXPECT_GE(last.load() - first.load(), 1900);

  // The stop lands in the middle of a 1000 ms wait and must not sit it out.
  const int before = ticks.load();
  const auto stopAt = Clock::now();
  task.Stop();
  EXPECT_LT(Clock::now() - stopAt, std::chrono::milliseconds(500));
  EXPECT_LE(ticks.load(), before + 1);
  EXPECT_EQ(task.State(), KThread::kStopped);
}

TEST(KPeriodicTask, PauseHoldsTheTicksAndResumeRestartsThem) {
  std::atomic<int> ticks{0};
  KPeriodicTask task([&](int64_t) { ++ticks; });
  ASSERT_EQ(task.Start(5, KThread::kPriorityNormal, 0), KThread::kPaused);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ticks.load(), 0);  // created paused
  ASSERT_TRUE(task.Resume());
  ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 2; }, std::chrono::seconds(10)));
  ASSERT_TRUE(task.Pause(true));
  const int held = ticks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ticks.load(), held);
  ASSERT_TRUE(task.Resume());
  ASSERT_TRUE(WaitFor([&] { return ticks.load() > held; }, std::chrono::seconds(10)));
}

}  // namespace
