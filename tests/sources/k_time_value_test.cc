#include "sources/k_time_value.h"

#include <gtest/gtest.h>

#include <string>

#include "config/k_registry.h"
#include "sources/k_time_separators.h"

namespace {

KTimeValue Parsed(std::u16string_view text, const KTimeSeparators& separators = {}) {
  KTimeValue time;
  EXPECT_TRUE(KTimeValue::Parse(text, time, separators)) << KString(text);
  return time;
}

bool Fails(std::u16string_view text) {
  KTimeValue time;
  return !KTimeValue::Parse(text, time);
}

std::u16string Shown(int64_t value, int64_t resolution, int64_t display) {
  return KTimeValue(value, resolution).Format(display).ToU16();
}

TEST(KTimeValue, ParseGroupsFractionsAndSuffixes) {
  EXPECT_EQ(Parsed(u"1.23456").Value(), 12345 * KTimeValue::kTenThousandth);
  EXPECT_EQ(Parsed(u"1.23456").Resolution(), KTimeValue::kTenThousandth);
  EXPECT_EQ(Parsed(u".5").Value(), KTimeValue::kSecond / 2);
  EXPECT_EQ(Parsed(u".5").Resolution(), KTimeValue::kTenth);
  EXPECT_EQ(Parsed(u"1:2").Value(), KTimeValue::kMinute + 2 * KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"1:2").Resolution(), KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"1:2:3:4").Value(), KTimeValue::kDay + 2 * KTimeValue::kHour +
                                            3 * KTimeValue::kMinute + 4 * KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"1.2.3").Value(), 12 * KTimeValue::kTenth);
  size_t used = 0;
  KTimeValue time;
  ASSERT_TRUE(KTimeValue::Parse(u"1.2.3", time, {}, &used));
  EXPECT_EQ(used, 3u);
  EXPECT_EQ(Parsed(u"-0:30").Value(), -30 * KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"-0:30").Resolution(), KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"5.").Resolution(), KTimeValue::kSecond);
  EXPECT_EQ(Parsed(u"1.5a").Resolution(), KTimeValue::kMillisecond);
  EXPECT_EQ(Parsed(u"1.5M").Resolution(), KTimeValue::kTenth);
  EXPECT_EQ(Parsed(u"12 s").Value(), 12 * KTimeValue::kSecond);  // trailing text left unread
  EXPECT_EQ(Parsed(u"1.2").Mode(), -1);
}

TEST(KTimeValue, ParseFailures) {
  EXPECT_TRUE(Fails(u""));
  EXPECT_TRUE(Fails(u"-"));
  EXPECT_TRUE(Fails(u"."));
  EXPECT_TRUE(Fails(u"x"));
  EXPECT_TRUE(Fails(u"1:"));
  EXPECT_TRUE(Fails(u"1::2"));
  // Beyond 48 bits, whether in one number or in the sum.
  EXPECT_TRUE(Fails(u"99999999999999999999999"));
  EXPECT_TRUE(Fails(u"140737488355328"));  // 2^47 ticks... as seconds, far too many
  EXPECT_TRUE(Fails(u"30000:0:0:0"));
  EXPECT_FALSE(Fails(u"20000:0:0:0"));  // several thousand days fit
  EXPECT_FALSE(Fails(u"-20000:0:0:0"));
}

TEST(KTimeValue, FormatRoundsUpToTheCoarserResolution) {
  EXPECT_EQ(Shown(500 * KTimeValue::kMillisecond, KTimeValue::kMillisecond, KTimeValue::kTenth),
            u"0.5");
  EXPECT_EQ(KTimeValue::MillisecondsToField(500), u"0.5");
  EXPECT_EQ(
      Shown(3723456 * KTimeValue::kMillisecond, KTimeValue::kMillisecond, KTimeValue::kHundredth),
      u"1:02:03.46");
  EXPECT_EQ(Shown(KTimeValue::kDay + KTimeValue::kHour + KTimeValue::kMinute + KTimeValue::kSecond,
                  KTimeValue::kSecond, KTimeValue::kSecond),
            u"1:01:01:01");
  EXPECT_EQ(
      Shown(-1234 * KTimeValue::kMillisecond, KTimeValue::kMillisecond, KTimeValue::kHundredth),
      u"-1.23");
  EXPECT_EQ(Parsed(u"-0:30").Format(KTimeValue::kTenth).ToU16(), u"-30");
  EXPECT_EQ(Parsed(u"10.001").Format(KTimeValue::kHundredth).ToU16(), u"10.01");
  EXPECT_EQ(Parsed(u"12").Format(KTimeValue::kHundredth).ToU16(), u"12");
  EXPECT_EQ(Shown(KTimeValue::kHour + 5 * KTimeValue::kSecond, KTimeValue::kSecond,
                  KTimeValue::kMillisecond),
            u"1:00:05");
  EXPECT_EQ(Shown(7 * KTimeValue::kMillisecond, KTimeValue::kMillisecond, KTimeValue::kMillisecond),
            u"0.007");
  EXPECT_EQ(Shown(1, KTimeValue::kTick, KTimeValue::kTick), u"0.00001");
  EXPECT_EQ(Shown(5, 0, KTimeValue::kTenth), u"");  // invalid
  EXPECT_EQ(Shown(5, -3, KTimeValue::kTenth), u"");
  // A huge display resolution does not overflow.
  EXPECT_EQ(Shown(KTimeValue::kSecond, KTimeValue::kSecond, INT64_MAX).empty(), false);
}

TEST(KTimeValue, Rounding) {
  EXPECT_EQ(KTimeValue::RoundDown(-1, 10), -10);
  EXPECT_EQ(KTimeValue::RoundUp(-11, 10), -10);
  EXPECT_EQ(KTimeValue::RoundUp(11, 10), 20);
  EXPECT_EQ(KTimeValue::RoundUp(20, 10), 20);
  EXPECT_EQ(KTimeValue::RoundNearest(14, 10), 10);
  EXPECT_EQ(KTimeValue::RoundNearest(15, 10), 20);
  EXPECT_EQ(KTimeValue::RoundNearest(-15, 10), -10);
  EXPECT_EQ(KTimeValue::RoundUp(7, 0), 7);
}

TEST(KTimeValue, FortyEightBitArithmetic) {
  EXPECT_EQ(KTimeValue::Add(KTimeValue::kMax, 1), KTimeValue::kMin);
  EXPECT_EQ(KTimeValue::Subtract(KTimeValue::kMin, 1), KTimeValue::kMax);
  EXPECT_EQ(KTimeValue::Multiply(-3, KTimeValue::kDay), -3 * KTimeValue::kDay);
  EXPECT_EQ(KTimeValue::Multiply(KTimeValue::kMax, KTimeValue::kMax), 1);
  int64_t remainder = 0;
  EXPECT_EQ(KTimeValue::Divide(-7, 2, &remainder), -3);
  EXPECT_EQ(remainder, -1);
  EXPECT_EQ(KTimeValue::Divide(7, 0, &remainder), 0);
  EXPECT_EQ(remainder, 7);
  EXPECT_EQ(KTimeValue::Divide(KTimeValue::kMin, -1), KTimeValue::kMin);
  EXPECT_EQ(KTimeValue::Compare(-1, 1), -1);
  EXPECT_EQ(KTimeValue(KTimeValue::kMax + 1, 1).Value(), KTimeValue::kMin);
}

TEST(KTimeValue, MillisecondConversions) {
  int32_t ms = 0;
  ASSERT_TRUE(KTimeValue::FieldToMilliseconds(u"1.2345m", ms));
  EXPECT_EQ(ms, 1300);
  ASSERT_TRUE(KTimeValue::FieldToMilliseconds(u"1.2345", ms));
  EXPECT_EQ(ms, 1234);
  ASSERT_TRUE(KTimeValue::FieldToMilliseconds(u"-0:30", ms));
  EXPECT_EQ(ms, -30000);
  ms = 77;
  EXPECT_FALSE(KTimeValue::FieldToMilliseconds(u"abc", ms));
  EXPECT_FALSE(KTimeValue::FieldToMilliseconds(u"20000:0:0:0", ms));  // beyond 32 bits
  EXPECT_EQ(ms, 77);
  EXPECT_EQ(KTimeValue::MillisecondsToField(1500, KTimeValue::kSecond), u"2");
  EXPECT_EQ(KTimeValue::MillisecondsToField(1500, 0), u"1.5");  // none given: 1/10
  EXPECT_EQ(KTimeValue::MillisecondsToField(-61001, KTimeValue::kMillisecond), u"-1:01.001");
}

TEST(KTimeValue, SeparatorsComeFromTheSettings) {
  KRegistry registry;
  const char16_t* const lines[] = {u"Strings\\:=", u"Strings\\Time\\:=",
                                   u"Strings\\Time\\SecondFracSep:String=,x",
                                   u"Strings\\Time\\NegChr:String=", nullptr};
  registry.ApplyTable(lines);
  const KTimeSeparators separators = KTimeSeparators::FromRegistry(registry);
  EXPECT_EQ(separators.secondFraction, u',');
  EXPECT_EQ(separators.negative, u'-');  // empty keeps the default
  EXPECT_EQ(separators.hourMinute, u':');
  KTimeValue time;
  ASSERT_TRUE(KTimeValue::Parse(u"-1,25", time, separators));
  EXPECT_EQ(time.Value(), -125 * KTimeValue::kHundredth);
  EXPECT_EQ(time.Format(KTimeValue::kHundredth, separators).ToU16(), u"-1,25");
  ASSERT_TRUE(KTimeValue::Parse(u"1.25", time, separators));
  EXPECT_EQ(time.Resolution(), KTimeValue::kSecond);  // the point is no separator now
}

}  // namespace
