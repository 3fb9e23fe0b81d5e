// SPDX-License-Identifier: MIT
// Time zones read from the database's files and from POSIX rules give the wall-clock times and
// the epoch times that the C library gives with TZ set to the same zone (the test process may
// set its own TZ): every six hours over sixty-six years, and the local noon of each day.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "time_zone.hpp"

namespace {

using cantext::reader::civil_time;
using cantext::reader::time_zone;

const char* const zones[] = {
    "UTC",
    "Europe/Berlin",
    "America/New_York",
    "Australia/Sydney",
    "Asia/Kolkata",
    "America/Santiago",
    "Europe/Dublin",
    "Pacific/Chatham",
    "Etc/GMT+5",
    "EST5EDT",
    "CET-1CEST,M3.5.0,M10.5.0/3",
    "<+0545>-5:45",
    "AEST-10AEDT,M10.1.0,M4.1.0/3",
    "<-03>3<-02>,J60/-1,300/26",
};

class zone_against_c_library : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zone_.load(GetParam())) << "tzdata installed?";
    ::setenv("TZ", GetParam(), 1);
    ::tzset();
  }
  void TearDown() override {
    ::unsetenv("TZ");
    ::tzset();
  }
  time_zone zone_;
};

// From 1971: before 1970 the C library does not apply a POSIX rule's dates.
constexpr std::int64_t from = 31536000;
constexpr std::int64_t to = 2114380800;  // 2037: a 32-bit time_t holds it

TEST_P(zone_against_c_library, gives_the_same_wall_clock_times) {
  for (std::int64_t t = from; t < to; t += 6 * 3600 + 61) {
    const std::time_t time = static_cast<std::time_t>(t);
    std::tm c{};
    ::localtime_r(&time, &c);
    const civil_time ours = zone_.to_local(t);
    ASSERT_EQ(ours.year, c.tm_year + 1900) << t;
    ASSERT_EQ(ours.month, c.tm_mon + 1) << t;
    ASSERT_EQ(ours.day, c.tm_mday) << t;
    ASSERT_EQ(ours.hour * 3600 + ours.minute * 60 + ours.second,
              c.tm_hour * 3600 + c.tm_min * 60 + c.tm_sec)
        << t;
  }
}

TEST_P(zone_against_c_library, gives_the_same_epoch_times) {
  for (std::int64_t t = from; t < to; t += 86400) {
    const civil_time day = cantext::reader::utc_civil(t);
    std::tm c{};
    c.tm_year = day.year - 1900;
    c.tm_mon = day.month - 1;
    c.tm_mday = day.day;
    c.tm_hour = 12;
    c.tm_isdst = -1;
    ASSERT_EQ(zone_.to_epoch(day.year, day.month, day.day, 12, 0, 0),
              static_cast<std::int64_t>(std::mktime(&c)))
        << t;
  }
}

INSTANTIATE_TEST_SUITE_P(zones, zone_against_c_library, testing::ValuesIn(zones));

struct local_case {
  const char* zone;
  int year, month, day, hour, minute;
  std::int64_t epoch;
};

// The hours a change skips or repeats: read with the offset before the change.
const local_case changes[] = {
    {"Europe/Berlin", 2023, 3, 26, 2, 30, 1679794200},     // skipped: 01:30 UTC
    {"Europe/Berlin", 2023, 10, 29, 2, 30, 1698539400},    // repeated: 00:30 UTC, the first
    {"Australia/Sydney", 2023, 10, 1, 2, 30, 1696091400},  // skipped
    {"Europe/Berlin", 2100, 7, 1, 12, 0, 4118119200},      // past the file's list: its rule
};

TEST(time_zone, reads_changed_hours_with_the_offset_before) {
  for (const local_case& c : changes) {
    time_zone zone;
    ASSERT_TRUE(zone.load(c.zone));
    EXPECT_EQ(zone.to_epoch(c.year, c.month, c.day, c.hour, c.minute, 0), c.epoch) << c.zone;
  }
}

TEST(time_zone, refuses_what_names_no_zone) {
  for (const char* name : {"Nowhere/Atlantis", "", "abc", "CET-1CEST,M3.5.0", "C1ET",
                           "CET-1CEST,M13.5.0,M10.5.0", "/etc/hostname"}) {
    time_zone zone;
    EXPECT_FALSE(zone.load(name)) << name;
  }
}

}  // namespace
