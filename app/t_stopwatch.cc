#include "app/t_stopwatch.h"

#include <time.h>

TStopwatch::Clock TStopwatch::MonotonicClock() {
  Clock clock;
  clock.frequency = []() -> std::optional<int64_t> {
    timespec resolution{};
    if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0) return std::nullopt;
    return 1000000;
  };
  clock.counter = []() -> std::optional<uint64_t> {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return std::nullopt;
    return static_cast<uint64_t>(now.tv_sec) * 1000000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000u;
  };
  clock.tickMs = []() -> uint32_t {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
  };
  return clock;
}

TStopwatch::TStopwatch(Clock clock) : clock_(std::move(clock)) {
  Calibrate();
}

void TStopwatch::Calibrate() {
  multiplier_ = 0;
  divisor_ = 1;
  std::optional<int64_t> read = clock_.frequency ? clock_.frequency() : std::nullopt;
  if (!read || !clock_.counter) return;
  const int64_t f = *read;
  if (f < 400 || f > 40000000) return;
  int64_t divisor = 0;
  if (f <= 4000) {
    multiplier_ = 10000;
    divisor = (f + 5) / 10;
  } else if (f <= 40000) {
    multiplier_ = 1000;
    divisor = (f + 50) / 100;
  } else if (f <= 400000) {
    multiplier_ = 100;
    divisor = (f + 500) / 1000;
  } else if (f <= 4000000) {
    multiplier_ = 10;
    divisor = (f + 5000) / 10000;
  } else {
    multiplier_ = 1;
    divisor = (f + 50000) / 100000;
  }
  divisor_ = divisor == 0 ? 1 : static_cast<uint32_t>(divisor);
}

void TStopwatch::StartTimer(unsigned* stamp) const {
  if (HasCounter()) {
    std::optional<uint64_t> now = clock_.counter();
    *stamp = now ? static_cast<unsigned>(*now & 0xFFFFFFFFu) : 0u;
  } else {
    *stamp = clock_.tickMs ? clock_.tickMs() : 0u;
  }
}

void TStopwatch::ElapsedTime(int* stamp) const {
  const uint32_t then = static_cast<uint32_t>(*stamp);
  if (HasCounter()) {
    std::optional<uint64_t> now = clock_.counter();
    const int32_t d = now ? static_cast<int32_t>(static_cast<uint32_t>(*now) - then) : 0;
    *stamp = static_cast<int>(static_cast<int64_t>(d) * multiplier_ / divisor_);
  } else {
    const uint32_t nowMs = clock_.tickMs ? clock_.tickMs() : then;
    const int32_t d = static_cast<int32_t>(nowMs - then);
    *stamp = static_cast<int>(static_cast<int64_t>(d) * 100);
  }
}

void TStopwatch::AdvanceTime(unsigned* stamp, int count) const {
  if (HasCounter()) {
    const int64_t ticks = static_cast<int64_t>(count) * divisor_ / multiplier_;
    *stamp = static_cast<unsigned>(static_cast<uint32_t>(*stamp) + static_cast<uint32_t>(ticks));
  } else {
    *stamp =
        static_cast<unsigned>(static_cast<uint32_t>(*stamp) + static_cast<uint32_t>(count / 100));
  }
}
