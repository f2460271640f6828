#include "sources/k_time_value.h"

#include <algorithm>
#include <string>

namespace {

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

// An unsigned decimal number that must stay inside the 48-bit range.
enum class Number { kNone, kRead, kTooLarge };

Number ReadNumber(std::u16string_view text, size_t& pos, int64_t& value) {
  if (pos >= text.size() || !IsDigit(text[pos])) return Number::kNone;
  value = 0;
  bool tooLarge = false;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (!tooLarge) {
      value = value * 10 + (text[pos] - u'0');
      tooLarge = value > KTimeValue::kMax;
    }
    ++pos;
  }
  return tooLarge ? Number::kTooLarge : Number::kRead;
}

void AppendNumber(KString& out, int64_t value, int minDigits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < minDigits) {
    digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  }
  out.AppendUtf8(digits);
}

}  // namespace

int64_t KTimeValue::Wrap48(int64_t value) {
  // Sign-extends the low 48 bits.
  const uint64_t low = static_cast<uint64_t>(value) & ((uint64_t{1} << 48) - 1);
  return static_cast<int64_t>(low ^ (uint64_t{1} << 47)) - (int64_t{1} << 47);
}

int64_t KTimeValue::Add(int64_t a, int64_t b) {
  return Wrap48(static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)));
}

int64_t KTimeValue::Subtract(int64_t a, int64_t b) {
  return Wrap48(static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)));
}

int64_t KTimeValue::Multiply(int64_t a, int64_t b) {
  return Wrap48(static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)));
}

int64_t KTimeValue::Divide(int64_t a, int64_t b, int64_t* remainder) {
  a = Wrap48(a);
  b = Wrap48(b);
  if (b == 0) {
    if (remainder) *remainder = a;
    return 0;
  }
  // Inside 48 bits neither operation can overflow 64-bit arithmetic.
  if (remainder) *remainder = a % b;
  return Wrap48(a / b);
}

int64_t KTimeValue::RoundDown(int64_t value, int64_t unit) {
  if (unit < 1) return value;
  int64_t remainder = value % unit;
  if (remainder < 0) remainder += unit;
  return value - remainder;
}

int64_t KTimeValue::RoundUp(int64_t value, int64_t unit) {
  if (unit < 1) return value;
  const int64_t down = RoundDown(value, unit);
  return down == value ? value : down + unit;
}

int64_t KTimeValue::RoundNearest(int64_t value, int64_t unit) {
  if (unit < 1) return value;
  return RoundDown(value + unit / 2, unit);
}

bool KTimeValue::Parse(std::u16string_view text, KTimeValue& out, const KTimeSeparators& separators,
                       size_t* used) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && text[pos] == separators.negative) {
    negative = true;
    ++pos;
  }
  int64_t groups[4] = {};
  int groupCount = 0;
  if (pos >= text.size() || text[pos] != separators.secondFraction) {
    int64_t number = 0;
    if (ReadNumber(text, pos, number) != Number::kRead) return false;
    groups[groupCount++] = number;
    while (groupCount < 4 && pos < text.size() &&
           (text[pos] == separators.dayHour || text[pos] == separators.hourMinute ||
            text[pos] == separators.minuteSecond)) {
      ++pos;
      if (ReadNumber(text, pos, number) != Number::kRead) return false;
      groups[groupCount++] = number;
    }
  }
  int64_t fraction = 0;
  int fractionDigits = 0;
  int64_t resolution = kSecond;
  if (pos < text.size() && text[pos] == separators.secondFraction) {
    ++pos;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (fractionDigits < 4) {
        fraction = fraction * 10 + (text[pos] - u'0');
        ++fractionDigits;
      }
    }
    static constexpr int64_t kResolutions[] = {kSecond, kTenth, kHundredth, kMillisecond,
                                               kTenThousandth};
    static constexpr int64_t kScale[] = {1000, 1000, 100, 10, 1};
    resolution = kResolutions[fractionDigits];
    fraction *= kScale[fractionDigits];
  }
  if (groupCount == 0 && fractionDigits == 0) return false;

  // The last group is the seconds, then minutes, hours and days.
  static constexpr int64_t kUnits[] = {kSecond, kMinute, kHour, kDay};
  int64_t value = fraction * kTenThousandth;
  for (int i = 0; i < groupCount; ++i) {
    const int64_t group = groups[groupCount - 1 - i];
    // Each term and the sum stay far inside 64 bits once each term is checked.
    if (group > kMax / kUnits[i]) return false;
    value += group * kUnits[i];
  }
  if (value > kMax) return false;
  if (negative) value = -value;

  if (pos < text.size()) {
    const char16_t suffix = text[pos];
    if (suffix == u'a' || suffix == u'A') {
      resolution = kMillisecond;
      ++pos;
    } else if (suffix == u'm' || suffix == u'M') {
      resolution = kTenth;
      ++pos;
    }
  }
  out = KTimeValue(value, resolution, -1);
  if (used) *used = pos;
  return true;
}

KString KTimeValue::Format(int64_t displayResolution, const KTimeSeparators& separators) const {
  KString out;
  if (resolution_ <= 0) return out;
  const int64_t unit = std::clamp(std::max(resolution_, displayResolution), int64_t{1}, kMax);
  int64_t rest = RoundUp(value_, unit);
  if (rest < 0) {
    out.Append(separators.negative);
    rest = -rest;
  }
  const int64_t days = rest / kDay;
  const int64_t hours = rest % kDay / kHour;
  const int64_t minutes = rest % kHour / kMinute;
  const int64_t seconds = rest % kMinute / kSecond;
  const int64_t below = rest % kSecond;
  bool larger = false;
  if (days != 0) {
    AppendNumber(out, days, 1);
    out.Append(separators.dayHour);
    larger = true;
  }
  if (larger || hours != 0) {
    AppendNumber(out, hours, larger ? 2 : 1);
    out.Append(separators.hourMinute);
    larger = true;
  }
  if (larger || minutes != 0) {
    AppendNumber(out, minutes, larger ? 2 : 1);
    out.Append(separators.minuteSecond);
    larger = true;
  }
  AppendNumber(out, seconds, larger ? 2 : 1);
  if (2 * unit > kSecond) return out;
  int digits = 0;
  for (int64_t steps = kSecond / unit; steps > 1; steps /= 10) ++digits;
  out.Append(separators.secondFraction);
  AppendNumber(out, below / unit, digits);
  return out;
}

bool KTimeValue::FieldToMilliseconds(std::u16string_view text, int32_t& milliseconds,
                                     const KTimeSeparators& separators) {
  KTimeValue time;
  if (!Parse(text, time, separators) || !time.IsValid()) return false;
  const int64_t result = RoundUp(time.Value(), time.Resolution()) / kMillisecond;
  if (result < INT32_MIN || result > INT32_MAX) return false;
  milliseconds = static_cast<int32_t>(result);
  return true;
}

KString KTimeValue::MillisecondsToField(int32_t milliseconds, int64_t displayResolution,
                                        const KTimeSeparators& separators) {
  if (displayResolution <= 0) displayResolution = kTenth;
  return KTimeValue(int64_t{milliseconds} * kMillisecond, kMillisecond, -1)
      .Format(displayResolution, separators);
}
