#include "sources/k_time_separators.h"

#include "config/k_r_group.h"

namespace {

char16_t FirstOf(KRGroup& root, std::u16string_view path, char16_t fallback) {
  const KString& text = root.LookupText(path);
  return text.IsEmpty() ? fallback : text.At(0);
}

}  // namespace

KTimeSeparators KTimeSeparators::FromRegistry(KRGroup& root) {
  KTimeSeparators separators;
  separators.negative = FirstOf(root, u"\\Strings\\Time\\NegChr", separators.negative);
  separators.dayHour = FirstOf(root, u"\\Strings\\Time\\DayHourSep", separators.dayHour);
  separators.hourMinute = FirstOf(root, u"\\Strings\\Time\\HourMinuteSep", separators.hourMinute);
  separators.minuteSecond =
      FirstOf(root, u"\\Strings\\Time\\MinuteSecondSep", separators.minuteSecond);
  separators.secondFraction =
      FirstOf(root, u"\\Strings\\Time\\SecondFracSep", separators.secondFraction);
  return separators;
}
