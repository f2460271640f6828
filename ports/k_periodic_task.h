#pragma once

#include <cstdint>
#include <functional>

#include "ports/k_thread.h"

// A thread that calls its tick operation once per period, with the tick
// count in milliseconds, until it is paused or stopped. A stop during the
// wait ends the task at once.
class KPeriodicTask : public KThread {
 public:
  using TickFunction = std::function<void(int64_t nowMs)>;

  KPeriodicTask() = default;
  explicit KPeriodicTask(TickFunction tick) : tick_(std::move(tick)) {}
  ~KPeriodicTask() override;

  // Stores the period and starts the thread paused; the caller resumes it.
  int Start(int periodMs, int priority, size_t stackSizeBytes);
  int PeriodMs() const { return periodMs_; }

  // Milliseconds of the monotonic clock.
  static int64_t TickCount();

 protected:
  void Run() override;
  void Tick(int64_t nowMs) override;

 private:
  TickFunction tick_;
  int periodMs_ = -1;
};
