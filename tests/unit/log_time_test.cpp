// SPDX-License-Identifier: MIT
// The log's time field: what put_log_time writes reads back as the same time, cut to the digits
// asked for, over the whole range of int64 nanoseconds; texts that are no time are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "log_line.hpp"
#include "log_time.hpp"

namespace {

using cantext::reader::parse_log_time;
using cantext::reader::put_log_time;

std::int64_t cut(std::int64_t ns, int digits) {
  std::int64_t unit = 1;
  for (int i = digits; i < 9; ++i) unit *= 10;
  return ns / unit * unit;  // toward zero, as the digits of the magnitude are cut
}

TEST(log_time, reads_back_what_it_writes_to_the_digits_asked_for) {
  std::mt19937_64 rng(11);
  std::vector<std::int64_t> times = {0,
                                     1,
                                     -1,
                                     999999999,
                                     1700000000123456789,
                                     std::numeric_limits<std::int64_t>::max(),
                                     std::numeric_limits<std::int64_t>::min() + 1};
  for (int i = 0; i < 2000; ++i) times.push_back(static_cast<std::int64_t>(rng()));
  for (const std::int64_t ns : times) {
    for (int digits = 1; digits <= 9; ++digits) {
      char text[cantext::reader::max_log_time + 1];
      const std::size_t n = put_log_time(text, ns, digits);
      std::int64_t back = 0;
      int read_digits = 0;
      ASSERT_TRUE(parse_log_time({text, n}, back, read_digits)) << text;
      EXPECT_EQ(back, cut(ns, digits)) << text;
      EXPECT_EQ(read_digits, digits) << text;
    }
  }
}

// Writing each time of a run over the last one's text gives the text written afresh: times of
// the same second (of ten digits and of fewer), the next second, going back, negative ones.  The
// log writer's own writing of the times, which keeps the second's text, gives it too.
TEST(log_time, next_time_writes_what_a_fresh_one_does) {
  std::mt19937_64 rng(12);
  std::vector<std::int64_t> times;
  for (const std::int64_t base : {std::int64_t{1700000000000000000}, std::int64_t{12000000000},
                                  std::int64_t{-3000000000}, std::int64_t{99999999999999999}}) {
    std::int64_t ns = base;
    for (int i = 0; i < 300; ++i) {
      ns += static_cast<std::int64_t>(rng() % 40000000) - (i % 50 == 0 ? 600000000 : 0);
      times.push_back(ns);
    }
  }
  // Fractions at the edges of the groups of three digits, within one kept second.
  for (const std::int64_t fraction :
       {0, 999, 1000, 999999, 1000000, 999000000, 999999000, 999999999, 1, 0}) {
    times.push_back(std::int64_t{1700000000000000000} + fraction);
  }
  char text[cantext::reader::max_log_time + 1] = {};
  std::int64_t previous = 0;
  cantext::writers::log_time_out writer;
  for (const std::int64_t ns : times) {
    const int digits = 1 + static_cast<int>(rng() % 9);
    char fresh[cantext::reader::max_log_time + 1];
    const std::size_t n = put_log_time(fresh, ns, digits);
    ASSERT_EQ(cantext::reader::put_next_log_time(text, previous, ns, digits), n) << fresh;
    EXPECT_STREQ(text, fresh);
    previous = ns;
    char field[48];
    std::memset(field, '?', sizeof field);
    EXPECT_EQ(std::string(field, writer.put(field, ns, digits)), std::string(fresh) + ' ');
  }
}

TEST(log_time, refuses_what_is_no_time) {
  for (const char* text : {"", "()", "(.5)", "(1.2.3)", "(1a)", "(9223372037.0)", "abc", "(-)"}) {
    std::int64_t ns = 0;
    int digits = 0;
    EXPECT_FALSE(parse_log_time(text, ns, digits)) << text;
  }
}

}  // namespace
