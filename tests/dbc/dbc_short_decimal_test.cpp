// SPDX-License-Identifier: MIT
// The command's fast double text against std::to_chars, which it must match character for
// character: scaled raw values as DBC files make them, and doubles of every magnitude.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbc_test_support.hpp"
#include "short_decimal.hpp"

namespace {

using cantext::dbc::detail::short_decimal;
using cantext::dbc::detail::short_decimal_room;

std::string reference(double x) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

std::string fast(double x) {
  char buf[short_decimal_room];
  return std::string(buf, short_decimal(buf, x));
}

TEST(short_decimal, matches_to_chars) {
  std::mt19937_64 rng(7);
  const double factors[] = {1, 0.1, 0.5, 0.25, 0.01, 0.001, 0.0001, 0.03125, 1e-6, 0.2, 3, 1e3};
  const double offsets[] = {0, -40, 0.5, -273.15, 1e5, -0.001};
  for (int i = 0; i < 200000; ++i) {
    const auto raw = static_cast<std::int64_t>(rng() >> (rng() % 64)) - (i % 2 ? 100000 : 0);
    const double x = static_cast<double>(raw) * factors[rng() % std::size(factors)] +
                     offsets[rng() % std::size(offsets)];
    ASSERT_EQ(fast(x), reference(x)) << raw;
  }
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    ASSERT_EQ(fast(x), reference(x));
    const double decimal = std::round(x * 1e3) / std::pow(10.0, static_cast<double>(rng() % 20));
    ASSERT_EQ(fast(decimal), reference(decimal));
  }
  for (const double x : {0.0, -0.0, 1e15, 999999999999999.0, 1e-5, 0.0001, 100000.0, 1e22, -1e-7,
                         0.30000000000000004, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_EQ(fast(x), reference(x)) << x;
  }
}

// The integer writer at every digit count and the ends of its table, and the 16 and 17 digit
// texts worked out in integers (long_decimal): doubles one step from short decimals, over the
// range where it works and past both ends of it.
TEST(short_decimal, integers_and_long_texts_match_to_chars) {
  using cantext::dbc::detail::put_unsigned;
  std::vector<std::uint64_t> integers = {0,   9,    10,          99,          100,
                                         999, 1000, 4294967295U, 4294967296U, ~std::uint64_t{0}};
  for (std::uint64_t ten = 10; ten <= 1000000000000000000U; ten *= 10) {
    integers.insert(integers.end(), {ten - 1, ten, ten + 1});
  }
  for (const std::uint64_t v : integers) {
    char buf[32];
    char expected[32];
    EXPECT_EQ(std::string(buf, put_unsigned(buf, v)),
              std::string(expected, std::to_chars(expected, expected + sizeof expected, v).ptr));
  }
  std::mt19937_64 rng(16);
  for (int i = 0; i < 300000; ++i) {
    const double decimal = static_cast<double>(rng() % 1000000) /
                           std::pow(10.0, static_cast<double>(rng() % 7)) *
                           std::pow(2.0, static_cast<double>(rng() % 72) - 14);
    for (const double x :
         {std::nextafter(decimal, 0.0), std::nextafter(decimal, HUGE_VAL), decimal * 0.1 * 3}) {
      ASSERT_EQ(fast(x), reference(x));
      ASSERT_EQ(fast(-x), reference(-x));
    }
  }
}

}  // namespace
