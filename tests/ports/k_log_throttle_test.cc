#include "ports/k_log_throttle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KLogThrottle, OncePerIntervalPerTextWithTheRepeatsCounted) {
  KLogThrottle throttle(1000);
  const KString go("Trigger Name=Go Action=On");
  const KString stop("Trigger Name=Stop Action=On");
  EXPECT_TRUE(throttle.Allow(go, 10000));
  for (int i = 0; i < 5000; ++i) EXPECT_FALSE(throttle.Allow(go, 10000 + i / 10));
  // Another text is its own.
  EXPECT_TRUE(throttle.Allow(stop, 10500));
  EXPECT_EQ(throttle.Suppressed(go), 5000);
  EXPECT_TRUE(throttle.Allow(go, 11000));
  EXPECT_EQ(throttle.Suppressed(go), 0);
  EXPECT_FALSE(throttle.Allow(go, 11999));
  EXPECT_EQ(throttle.TotalSuppressed(), 5001);
}

TEST(KLogThrottle, ManyDistinctTextsStayBounded) {
  KLogThrottle throttle(1000);
  // Far more texts than it remembers, all within one interval: each new one
  // is allowed once, and memory does not grow with them.
  for (int i = 0; i < 20000; ++i) {
    EXPECT_TRUE(throttle.Allow(KString(("line " + std::to_string(i)).c_str()), 5000));
  }
  // A text repeated at once after many others may be forgotten but never
  // allowed twice while it is remembered.
  const KString repeated("again");
  EXPECT_TRUE(throttle.Allow(repeated, 6000));
  EXPECT_FALSE(throttle.Allow(repeated, 6001));
}

}  // namespace
