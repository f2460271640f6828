#pragma once

#include "base/k_string.h"

class KRGroup;

// The five characters of the time text form, from \Strings\Time\.
struct KTimeSeparators {
  char16_t negative = u'-';
  char16_t dayHour = u':';
  char16_t hourMinute = u':';
  char16_t minuteSecond = u':';
  char16_t secondFraction = u'.';

  // Each is the first character of its setting; an empty or missing setting
  // keeps the built-in character.
  static KTimeSeparators FromRegistry(KRGroup& root);
};
