#include "base/k_date_time.h"

KDateTime KDateTime::FromTimespec(const timespec& when) {
  tm local{};
  const time_t seconds = when.tv_sec;
  if (!localtime_r(&seconds, &local)) return {};
  KDateTime out;
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon;
  out.day = local.tm_mday;
  out.dayOfWeek = local.tm_wday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec;
  out.millisecond = static_cast<int32_t>(when.tv_nsec / 1000000);
  return out;
}

KDateTime KDateTime::Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return FromTimespec(now);
}
