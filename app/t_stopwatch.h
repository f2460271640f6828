#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The 10-microsecond stopwatch. Stamps are the low 32 bits of a counter, so
// differences are taken as signed 32-bit numbers and survive wrap-around.
// The clock is injected so that every frequency range can be tested.
class TStopwatch {
 public:
  struct Clock {
    // Ticks per second of the counter; empty when it cannot be read.
    std::function<std::optional<int64_t>()> frequency;
    // Current counter value; empty when reading fails.
    std::function<std::optional<uint64_t>()> counter;
    // Milliseconds since an arbitrary start, used without a counter.
    std::function<uint32_t()> tickMs;
  };

  // CLOCK_MONOTONIC in microseconds (frequency 1,000,000) and milliseconds.
  static Clock MonotonicClock();

  explicit TStopwatch(Clock clock);

  uint32_t Multiplier() const { return multiplier_; }
  uint32_t Divisor() const { return divisor_; }
  bool HasCounter() const { return multiplier_ != 0; }

  void StartTimer(unsigned* stamp) const;
  // Replaces the stamp by the time elapsed since it, in 10 µs units.
  void ElapsedTime(int* stamp) const;
  // Moves the stamp by count × 10 µs; a negative count moves it back.
  void AdvanceTime(unsigned* stamp, int count) const;

 private:
  void Calibrate();

  Clock clock_;
  uint32_t multiplier_ = 0;
  uint32_t divisor_ = 1;
};
