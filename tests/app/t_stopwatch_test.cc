#include "app/t_stopwatch.h"

#include <gtest/gtest.h>

namespace {

// A counter the test moves by hand.
struct FakeClock {
  std::optional<int64_t> frequency;
  std::optional<uint64_t> counter = 0;
  uint32_t ms = 0;

  TStopwatch::Clock Make() {
    TStopwatch::Clock clock;
    clock.frequency = [this] { return frequency; };
    clock.counter = [this] { return counter; };
    clock.tickMs = [this] { return ms; };
    return clock;
  }
};

struct Calibration {
  int64_t frequency;
  uint32_t multiplier;
  uint32_t divisor;
};

}  // namespace

TEST(TStopwatch, CalibratesEachFrequencyRangeAtItsEdges) {
  const Calibration cases[] = {
      {399, 0, 1},        {400, 10000, 40}, {4000, 10000, 400}, {4001, 1000, 40},
      {40000, 1000, 400}, {40001, 100, 40}, {400000, 100, 400}, {400001, 10, 40},
      {4000000, 10, 400}, {4000001, 1, 40}, {1000000, 10, 100}, {40000000, 1, 400},
      {40000001, 0, 1},   {-5, 0, 1},
  };
  for (const Calibration& c : cases) {
    FakeClock fake;
    fake.frequency = c.frequency;
    TStopwatch watch(fake.Make());
    EXPECT_EQ(watch.Multiplier(), c.multiplier) << "f = " << c.frequency;
    EXPECT_EQ(watch.Divisor(), c.divisor) << "f = " << c.frequency;
  }
  FakeClock unreadable;
  TStopwatch watch(unreadable.Make());
  EXPECT_FALSE(watch.HasCounter());
  EXPECT_EQ(watch.Divisor(), 1u);
}

TEST(TStopwatch, ElapsedTimeCountsTenMicrosecondsAcrossWrapAround) {
  FakeClock fake;
  fake.frequency = 1000000;  // microseconds, as CLOCK_MONOTONIC is read
  fake.counter = 0xFFFFFF00u;
  TStopwatch watch(fake.Make());
  unsigned stamp = 0;
  watch.StartTimer(&stamp);
  EXPECT_EQ(stamp, 0xFFFFFF00u);
  *fake.counter += 12345;  // past 2^32
  int elapsed = static_cast<int>(stamp);
  watch.ElapsedTime(&elapsed);
  EXPECT_EQ(elapsed, 1234);

  // A stamp in the future gives a negative time.
  int future = static_cast<int>(static_cast<uint32_t>(*fake.counter) + 500);
  watch.ElapsedTime(&future);
  EXPECT_EQ(future, -50);

  // Only the low 32 bits of the counter count.
  fake.counter = (uint64_t{7} << 32) | 1000u;
  watch.StartTimer(&stamp);
  EXPECT_EQ(stamp, 1000u);
}

TEST(TStopwatch, AdvanceTimeMovesTheStampBothWays) {
  FakeClock fake;
  fake.frequency = 3579545;  // an old PC timer: multiplier 10, divisor 358
  TStopwatch watch(fake.Make());
  ASSERT_EQ(watch.Divisor(), 358u);
  unsigned stamp = 1000;
  watch.AdvanceTime(&stamp, 100);  // 1 ms = 3580 ticks
  EXPECT_EQ(stamp, 1000u + 3580u);
  watch.AdvanceTime(&stamp, -100);
  EXPECT_EQ(stamp, 1000u);
  stamp = 10;
  watch.AdvanceTime(&stamp, -100);
  EXPECT_EQ(stamp, static_cast<unsigned>(10 - 3580));
}

TEST(TStopwatch, WithoutCounterUsesMilliseconds) {
  FakeClock fake;
  fake.frequency = 100;  // too slow to be useful
  fake.ms = 5000;
  TStopwatch watch(fake.Make());
  unsigned stamp = 0;
  watch.StartTimer(&stamp);
  EXPECT_EQ(stamp, 5000u);
  fake.ms = 5042;
  int elapsed = static_cast<int>(stamp);
  watch.ElapsedTime(&elapsed);
  EXPECT_EQ(elapsed, 4200);
  watch.AdvanceTime(&stamp, 250);  // 2.5 ms: whole milliseconds only
  EXPECT_EQ(stamp, 5002u);
}

TEST(TStopwatch, MonotonicClockMeasuresRealTime) {
  TStopwatch watch(TStopwatch::MonotonicClock());
  EXPECT_EQ(watch.Multiplier(), 10u);
  EXPECT_EQ(watch.Divisor(), 100u);
  unsigned stamp = 0;
  watch.StartTimer(&stamp);
  const timespec pause{0, 20 * 1000000L};
  nanosleep(&pause, nullptr);
  int elapsed = static_cast<int>(stamp);
  watch.ElapsedTime(&elapsed);
  EXPECT_GE(elapsed, 2000);    // at least 20 ms
  EXPECT_LT(elapsed, 200000);  // and not absurd
}
