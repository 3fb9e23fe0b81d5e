// SPDX-License-Identifier: MIT
// Shortest decimal text of a double.  A value of at most 15 significant digits with at most
// max_fraction digits after the point is found by trying 0, 1, 2... decimals: m = x * 10^k
// rounded, kept when m / 10^k is x again.  That division of two exact doubles is rounded once,
// as reading the text "m e-k" is, so the test is the round trip itself.  Fifteen digits or
// fewer name at most one double at a given number of decimals, so the first k that works gives
// the shortest digits.  Anything else goes to std::to_chars.
#include "short_decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace cantext::dbc::detail {

namespace {

constexpr int max_fraction = 6;
constexpr double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
constexpr std::uint64_t max_digits = 999999999999999;  // 15 digits

// The decimal digits of v, at most 20, from the left; returns how many.
int digits_of(std::uint64_t v, char* out) noexcept {
  char reversed[20];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

// x = m / 10^k as std::to_chars writes it: fixed when no longer than scientific.
char* write(char* out, bool negative, std::uint64_t m, int k) noexcept {
  char digits[20];
  const int count = digits_of(m, digits);
  int significant = count;  // without the trailing zeros
  while (significant > 1 && digits[significant - 1] == '0') --significant;
  const int exponent = count - 1 - k;
  const int exponent_digits = exponent <= -100 || exponent >= 100 ? 3 : 2;
  const int scientific = significant + (significant > 1 ? 1 : 0) + 2 + exponent_digits;
  const int fixed = k == 0 ? count : count > k ? count + 1 : k + 2;
  if (negative) *out++ = '-';
  if (fixed <= scientific) {
    if (k == 0) {
      std::memcpy(out, digits, static_cast<std::size_t>(count));
      return out + count;
    }
    if (count > k) {
      std::memcpy(out, digits, static_cast<std::size_t>(count - k));
      out += count - k;
      *out++ = '.';
      std::memcpy(out, digits + count - k, static_cast<std::size_t>(k));
      return out + k;
    }
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', static_cast<std::size_t>(k - count));
    out += k - count;
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
  }
  *out++ = digits[0];
  if (significant > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, static_cast<std::size_t>(significant - 1));
    out += significant - 1;
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  const int e = exponent < 0 ? -exponent : exponent;
  if (exponent_digits == 3) *out++ = static_cast<char>('0' + e / 100);
  *out++ = static_cast<char>('0' + e / 10 % 10);
  *out++ = static_cast<char>('0' + e % 10);
  return out;
}

}  // namespace

char* short_decimal(char* out, double x) noexcept {
  const double magnitude = std::fabs(x);
  // Zero keeps its sign in to_chars' text; NaN and infinities have words.
  if (magnitude > 0 && magnitude < 1e15) {
    for (int k = 0; k <= max_fraction; ++k) {
      const double scaled = magnitude * powers[k];
      if (scaled > static_cast<double>(max_digits)) break;
      // Rounded to the nearest integer: below 2^52, scaled + 0.5 is exact.  A fitting m is
      // within a quarter of scaled, so this finds it when there is one.
      const auto m = static_cast<std::uint64_t>(scaled + 0.5);
      if (static_cast<double>(m) / powers[k] == magnitude) return write(out, x < 0, m, k);
    }
  }
  return std::to_chars(out, out + short_decimal_room, x).ptr;
}

}  // namespace cantext::dbc::detail
