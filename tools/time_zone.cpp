// SPDX-License-Identifier: MIT
#include "time_zone.hpp"

#include <cstdlib>
#include <ctime>

namespace cantext::tool {

void use_time_zone(const char* zone) noexcept {
  ::setenv("TZ", zone, 1);
  ::tzset();
}

std::int64_t local_to_epoch(int year, int month, int day, int hour, int minute,
                            int second) noexcept {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;  // the zone's rule for that day says whether summer time applies
  return static_cast<std::int64_t>(std::mktime(&t));
}

reader::civil_time epoch_to_local(std::int64_t seconds) noexcept {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm t{};
  ::localtime_r(&time, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace cantext::tool
