// SPDX-License-Identifier: MIT
#include "time_zone.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace cantext::tool {

namespace {

// A POSIX rule names its offset in digits; a database name has none, and must be a file.
bool known_zone(const char* zone) noexcept {
  if (std::strcmp(zone, "UTC") == 0 || std::strcmp(zone, "GMT") == 0) return true;
  for (const char* p = zone; *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9') return true;
  }
  const char* folder = std::getenv("TZDIR");
  char path[4096];
  const int n = std::snprintf(path, sizeof path, "%s/%s",
                              folder != nullptr ? folder : "/usr/share/zoneinfo", zone);
  return n > 0 && static_cast<std::size_t>(n) < sizeof path && ::access(path, R_OK) == 0;
}

}  // namespace

bool use_time_zone(const char* zone) noexcept {
  if (!known_zone(zone)) return false;
  ::setenv("TZ", zone, 1);
  ::tzset();
  return true;
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
