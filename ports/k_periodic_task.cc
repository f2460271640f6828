#include "ports/k_periodic_task.h"

#include <time.h>

KPeriodicTask::~KPeriodicTask() {
  // The tick function may refer to members of a derived owner; stop before
  // anything is torn down.
  Stop();
}

int KPeriodicTask::Start(int periodMs, int priority, size_t stackSizeBytes) {
  if (State() != kStopped) return State();
  periodMs_ = periodMs;
  return KThread::Start(priority, stackSizeBytes);
}

int64_t KPeriodicTask::TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void KPeriodicTask::Run() {
  for (;;) {
    // A period below 1 ms would spin; it is taken as 1 ms.
    WaitWake(periodMs_ < 1 ? 1 : periodMs_);
    if (State() != kRunning) return;
    Tick(TickCount());
  }
}

void KPeriodicTask::Tick(int64_t nowMs) {
  if (tick_) tick_(nowMs);
}
