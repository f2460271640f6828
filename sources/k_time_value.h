#pragma once

#include <cstdint>
#include <string_view>

#include "base/k_string.h"
#include "sources/k_time_separators.h"

// A duration as sports timing shows it ('1:02:03.45'): a signed 48-bit count
// of ticks of 1/80000 second, the resolution it is meant to carry (0 marks
// an invalid value) and a mode (-1 when not used).
class KTimeValue {
 public:
  // Units, in ticks.
  static constexpr int64_t kTick = 1;
  static constexpr int64_t kTenThousandth = 8;
  static constexpr int64_t kMillisecond = 80;
  static constexpr int64_t kHundredth = 800;
  static constexpr int64_t kTwentieth = 4000;
  static constexpr int64_t kTenth = 8000;
  static constexpr int64_t kFifth = 16000;
  static constexpr int64_t kSecond = 80000;
  static constexpr int64_t kMinute = 4800000;
  static constexpr int64_t kHour = 288000000;
  static constexpr int64_t kDay = 6912000000;
  // The 48-bit range.
  static constexpr int64_t kMax = (int64_t{1} << 47) - 1;
  static constexpr int64_t kMin = -(int64_t{1} << 47);

  KTimeValue() = default;
  KTimeValue(int64_t value, int64_t resolution, int32_t mode = -1)
      : value_(Wrap48(value)), resolution_(Wrap48(resolution)), mode_(mode) {}

  int64_t Value() const { return value_; }
  int64_t Resolution() const { return resolution_; }
  int32_t Mode() const { return mode_; }
  bool IsValid() const { return resolution_ > 0; }

  // 48-bit arithmetic: results wrap as a 48-bit register would. Division by
  // zero gives 0 with the dividend as remainder.
  static int64_t Wrap48(int64_t value);
  static int64_t Add(int64_t a, int64_t b);
  static int64_t Subtract(int64_t a, int64_t b);
  static int64_t Multiply(int64_t a, int64_t b);
  static int64_t Divide(int64_t a, int64_t b, int64_t* remainder = nullptr);
  static int Compare(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

  // Multiples of a positive unit: toward minus infinity, toward plus
  // infinity, and to the nearest (half a unit up). A unit below 1 leaves
  // the value as it is.
  static int64_t RoundDown(int64_t value, int64_t unit);
  static int64_t RoundUp(int64_t value, int64_t unit);
  static int64_t RoundNearest(int64_t value, int64_t unit);

  // Reads a time text; trailing text after it is left unread (`used`
  // tells how far it got). False when nothing is read or a number leaves
  // the 48-bit range.
  static bool Parse(std::u16string_view text, KTimeValue& out,
                    const KTimeSeparators& separators = KTimeSeparators(), size_t* used = nullptr);
  // Rounded up to the coarser of its own resolution and `displayResolution`;
  // empty for an invalid value.
  KString Format(int64_t displayResolution,
                 const KTimeSeparators& separators = KTimeSeparators()) const;

  // The dialogs' conversions. FieldToMilliseconds fails for a text that
  // does not parse and for a result beyond 32 bits.
  static bool FieldToMilliseconds(std::u16string_view text, int32_t& milliseconds,
                                  const KTimeSeparators& separators = KTimeSeparators());
  static KString MillisecondsToField(int32_t milliseconds, int64_t displayResolution = kTenth,
                                     const KTimeSeparators& separators = KTimeSeparators());

 private:
  int64_t value_ = 0;
  int64_t resolution_ = 0;
  int32_t mode_ = -1;
};
