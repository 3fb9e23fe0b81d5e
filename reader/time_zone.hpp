// SPDX-License-Identifier: MIT
// A time zone of its own for each reading or writing, for the ASC and TRC headers that give a
// wall-clock start time without a zone.  The C library knows one zone per process, the one the
// TZ variable names: a program may set it, but a library or a Python module that reads one
// capture in Berlin time while another thread reads one in UTC may not.  So the zone is read
// here from the time zone database's file (the TZif format, RFC 8536) or a POSIX TZ rule into a
// plain record, with no allocation and no state outside it.
#ifndef CANTEXT_READER_TIME_ZONE_HPP
#define CANTEXT_READER_TIME_ZONE_HPP

#include <cstddef>
#include <cstdint>

#include "civil_time.hpp"

namespace cantext::reader {

// When summer time starts or ends in a year: a date of the rule's form and the local time of
// day (in seconds, may be negative or past a day).
struct zone_rule_date {
  enum kind_t : std::uint8_t { julian_no_leap, julian_zero, month_week_day } kind;
  int day;  // Jn: 1..365; n: 0..365; Mm.w.d: the weekday d, 0 for Sunday
  int month;
  int week;  // 1..5, 5 the last one of the month
  std::int32_t time;
};

// A POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"): offsets in seconds east of UTC.
struct zone_rule {
  std::int32_t standard = 0;
  std::int32_t summer = 0;
  bool has_summer = false;
  zone_rule_date start{};
  zone_rule_date end{};
};

class time_zone {
 public:
  // The most changes of offset a zone's file may list (the database's largest has some 300).
  static constexpr std::size_t max_transitions = 1024;

  // UTC.
  time_zone() noexcept = default;

  // Reads the zone `name`: a file of the database (in $TZDIR, else /usr/share/zoneinfo, or a
  // path from "/"), "UTC" or "GMT" where the database is not installed, or a POSIX rule.
  // False, leaving this zone as it was, for a name that is none of them (the C library would
  // take it as UTC without a word).
  bool load(const char* name) noexcept;

  // Seconds east of UTC at the epoch time `seconds`.
  std::int32_t offset_at(std::int64_t seconds) const noexcept;

  // The epoch seconds of a wall-clock time here.  A time that a change to summer time skips
  // and one that the change back repeats are both read with the offset before the change (the
  // earlier of the two for a repeated one).
  std::int64_t to_epoch(int year, int month, int day, int hour, int minute,
                        int second) const noexcept;

  // The wall-clock time here of epoch seconds.
  civil_time to_local(std::int64_t seconds) const noexcept;

 private:
  bool load_file(const char* path) noexcept;

  std::size_t count_ = 0;  // transitions
  std::int64_t at_[max_transitions] = {};
  std::int32_t offset_after_[max_transitions] = {};
  std::int32_t first_offset_ = 0;  // before the first transition
  bool has_rule_ = false;          // the rule holds after the last transition
  zone_rule rule_{};
};

// Reads a POSIX TZ rule, the whole of `text`; false for one that is not.
bool parse_zone_rule(const char* text, zone_rule& rule) noexcept;

// Seconds east of UTC that `rule` gives at the epoch time `seconds`.
std::int32_t rule_offset_at(const zone_rule& rule, std::int64_t seconds) noexcept;

}  // namespace cantext::reader

#endif
