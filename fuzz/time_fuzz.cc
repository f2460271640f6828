// Time texts: parse, format at every unit, and the millisecond conversions.
#include <cstdint>

#include "base/k_string.h"
#include "sources/k_time_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const KString text =
      KString::FromLatin1(std::string_view(reinterpret_cast<const char*>(data), size));
  static const int64_t kUnits[] = {0,
                                   KTimeValue::kTick,
                                   KTimeValue::kTenThousandth,
                                   KTimeValue::kMillisecond,
                                   KTimeValue::kHundredth,
                                   KTimeValue::kTwentieth,
                                   KTimeValue::kTenth,
                                   KTimeValue::kFifth,
                                   KTimeValue::kSecond,
                                   KTimeValue::kMinute,
                                   KTimeValue::kHour,
                                   KTimeValue::kDay};
  KTimeValue time;
  size_t used = 0;
  if (KTimeValue::Parse(text.View(), time, KTimeSeparators(), &used)) {
    if (used > text.View().size()) __builtin_trap();
    for (const int64_t unit : kUnits) {
      const KString shown = time.Format(unit);
      // What is shown at a value's own resolution reads back as the same value.
      KTimeValue again;
      const bool fits = KTimeValue::RoundUp(time.Value(), time.Resolution()) <= KTimeValue::kMax;
      if (fits && unit <= time.Resolution() && !shown.IsEmpty() &&
          (!KTimeValue::Parse(shown.View(), again) ||
           KTimeValue::RoundUp(again.Value(), time.Resolution()) !=
               KTimeValue::RoundUp(time.Value(), time.Resolution()))) {
        __builtin_trap();
      }
    }
  }
  int32_t ms = 0;
  if (KTimeValue::FieldToMilliseconds(text.View(), ms)) KTimeValue::MillisecondsToField(ms);
  return 0;
}
