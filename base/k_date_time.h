#pragma once

#include <cstdint>
#include <ctime>

// A calendar date and time as eight signed fields; all -1 when unset.
struct KDateTime {
  int32_t year = -1;
  int32_t month = -1;  // counted from 0
  int32_t day = -1;    // of the month
  int32_t dayOfWeek = -1;
  int32_t hour = -1;
  int32_t minute = -1;
  int32_t second = -1;
  int32_t millisecond = -1;

  bool IsSet() const { return year != -1; }
  friend bool operator==(const KDateTime&, const KDateTime&) = default;

  // Local time of a system time stamp.
  static KDateTime FromTimespec(const timespec& when);
  static KDateTime Now();
};
