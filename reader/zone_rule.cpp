// SPDX-License-Identifier: MIT
// POSIX TZ rules: "std offset [dst [offset] [,start[/time],end[/time]]]", as TZ may name a zone
// and as a TZif file's footer gives the zone's rule beyond its last listed change.
#include <cstdint>

#include "time_zone.hpp"

namespace cantext::reader {
namespace {

bool is_alpha(char c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// A zone's abbreviation: three or more letters, or anything but '>' within "<...>".
bool skip_name(const char*& p) noexcept {
  const char* start = p;
  if (*p == '<') {
    while (*p != '\0' && *p != '>') ++p;
    if (*p != '>' || p - start < 4) return false;
    ++p;
    return true;
  }
  while (is_alpha(*p)) ++p;
  return p - start >= 3;
}

bool read_number(const char*& p, int most, int& value) noexcept {
  if (!is_digit(*p)) return false;
  value = 0;
  while (is_digit(*p)) {
    value = value * 10 + (*p++ - '0');
    if (value > most) return false;
  }
  return true;
}

// "[+-]hh[:mm[:ss]]" in seconds (hours up to 167, as rules' times may be).
bool read_clock(const char*& p, std::int32_t& seconds) noexcept {
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  int hours = 0;
  int minutes = 0;
  int secs = 0;
  if (!read_number(p, 167, hours)) return false;
  if (*p == ':' && !read_number(++p, 59, minutes)) return false;
  if (*p == ':' && !read_number(++p, 59, secs)) return false;
  seconds = (hours * 60 + minutes) * 60 + secs;
  if (negative) seconds = -seconds;
  return true;
}

bool read_date(const char*& p, zone_rule_date& date) noexcept {
  if (*p == 'J') {
    date.kind = zone_rule_date::julian_no_leap;
    if (!read_number(++p, 365, date.day) || date.day < 1) return false;
  } else if (*p == 'M') {
    date.kind = zone_rule_date::month_week_day;
    if (!read_number(++p, 12, date.month) || date.month < 1 || *p != '.') return false;
    if (!read_number(++p, 5, date.week) || date.week < 1 || *p != '.') return false;
    if (!read_number(++p, 6, date.day)) return false;
  } else {
    date.kind = zone_rule_date::julian_zero;
    if (!read_number(p, 365, date.day)) return false;
  }
  date.time = 2 * 3600;
  return *p != '/' || read_clock(++p, date.time);
}

bool is_leap(std::int64_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// The epoch day of a rule's date in `year`.
std::int64_t rule_day(const zone_rule_date& date, std::int64_t year) noexcept {
  const std::int64_t january_first = days_from_civil(year, 1, 1);
  switch (date.kind) {
    case zone_rule_date::julian_no_leap:
      return january_first + date.day - 1 + (is_leap(year) && date.day >= 60 ? 1 : 0);
    case zone_rule_date::julian_zero:
      return january_first + date.day;
    case zone_rule_date::month_week_day:
      break;
  }
  const std::int64_t first = days_from_civil(year, date.month, 1);
  const std::int64_t next_month =
      date.month == 12 ? days_from_civil(year + 1, 1, 1) : days_from_civil(year, date.month + 1, 1);
  std::int64_t day = first + (date.day - weekday_from_days(first) + 7) % 7 + 7 * (date.week - 1);
  while (day >= next_month) day -= 7;
  return day;
}

}  // namespace

bool parse_zone_rule(const char* text, zone_rule& rule) noexcept {
  const char* p = text;
  zone_rule r;
  std::int32_t west = 0;
  if (!skip_name(p) || !read_clock(p, west)) return false;
  r.standard = -west;
  if (*p != '\0') {
    if (!skip_name(p)) return false;
    r.has_summer = true;
    r.summer = r.standard + 3600;
    if (*p != ',' && *p != '\0') {
      if (!read_clock(p, west)) return false;
      r.summer = -west;
    }
    // Without dates, the rule of the United States since 2007 (the C library takes New York's
    // changes, which are these since then).
    r.start = {zone_rule_date::month_week_day, 0, 3, 2, 2 * 3600};
    r.end = {zone_rule_date::month_week_day, 0, 11, 1, 2 * 3600};
    if (*p == ',' && (!read_date(++p, r.start) || *p != ',' || !read_date(++p, r.end))) {
      return false;
    }
  }
  if (*p != '\0') return false;
  rule = r;
  return true;
}

std::int32_t rule_offset_at(const zone_rule& rule, std::int64_t seconds) noexcept {
  if (!rule.has_summer) return rule.standard;
  const std::int64_t year = utc_civil(seconds + rule.standard).year;
  // The changes as epoch times: summer starts at a time of standard time, ends at summer time.
  const std::int64_t start = rule_day(rule.start, year) * 86400 + rule.start.time - rule.standard;
  const std::int64_t end = rule_day(rule.end, year) * 86400 + rule.end.time - rule.summer;
  const bool summer = start < end ? start <= seconds && seconds < end  // north
                                  : !(end <= seconds && seconds < start);
  return summer ? rule.summer : rule.standard;
}

}  // namespace cantext::reader
