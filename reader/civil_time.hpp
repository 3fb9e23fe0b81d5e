// SPDX-License-Identifier: MIT
// Calendar dates and epoch days, for the formats whose headers give a wall-clock start time.
// Proleptic Gregorian calendar, exact for any int64 day count a capture can hold, with no call to
// the C library's time functions (which depend on the process's zone and may be 32-bit).
#ifndef CANTEXT_READER_CIVIL_TIME_HPP
#define CANTEXT_READER_CIVIL_TIME_HPP

#include <cstdint>

namespace cantext::reader {

// A wall-clock date and time, month 1..12, day 1..31.
struct civil_time {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
};

inline constexpr std::int64_t ns_per_second = 1000000000;
inline constexpr std::int64_t ns_per_day = 86400 * ns_per_second;

// a / b rounded towards minus infinity, for b > 0: times before the epoch fall on the day before.
constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) noexcept {
  return a / b - (a % b < 0 ? 1 : 0);
}

// Days since 1970-01-01 of a date (the era arithmetic of H. Hinnant's date algorithms).
constexpr std::int64_t days_from_civil(std::int64_t year, int month, int day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = floor_div(year, 400);
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// The date of a day count since 1970-01-01; the time fields are left at zero.
constexpr civil_time civil_from_days(std::int64_t days) noexcept {
  days += 719468;
  const std::int64_t era = floor_div(days, 146097);
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return civil_time{static_cast<int>(year), month, day, 0, 0, 0};
}

// Seconds since the epoch of a date and time read as UTC.
constexpr std::int64_t utc_seconds(int year, int month, int day, int hour, int minute,
                                   int second) noexcept {
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// The UTC date and time of a count of seconds since the epoch.
constexpr civil_time utc_civil(std::int64_t seconds) noexcept {
  const std::int64_t days = floor_div(seconds, 86400);
  const std::int64_t in_day = seconds - days * 86400;
  civil_time t = civil_from_days(days);
  t.hour = static_cast<int>(in_day / 3600);
  t.minute = static_cast<int>(in_day / 60 % 60);
  t.second = static_cast<int>(in_day % 60);
  return t;
}

// 0 for Sunday .. 6 for Saturday (1970-01-01 was a Thursday).
constexpr int weekday_from_days(std::int64_t days) noexcept {
  return static_cast<int>(days - floor_div(days + 4, 7) * 7 + 4);
}

}  // namespace cantext::reader

#endif
