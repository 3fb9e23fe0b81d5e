// SPDX-License-Identifier: MIT
// Decimal text of integers, two digits a step, and the shortest decimal text of a double.
//
// No two numbers of at most 15 significant digits read back as the same double, so when one of
// them reads back as x it is the shortest text of x.  short_decimal looks for it by trying 0, 1,
// 2... up to max_fraction decimals: m = x * 10^k rounded, kept when m / 10^k is x again.  That
// division of two exact doubles is rounded once, as reading the text "m e-k" is, so the test is
// the round trip itself, and the first k that works gives the shortest digits.  scaled_decimal
// is handed m and k by a signal whose factor and offset are decimals, and makes the one test.
// Anything else goes to long_decimal (16 or 17 digits), and what that leaves to std::to_chars.
#include "short_decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace cantext::dbc::detail {

namespace {

constexpr int max_fraction = 6;
constexpr double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
static_assert(std::size(powers) == max_decimals + 1);

// "00" to "99": the digits are written two at a time, from the right.
constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::array<small_number, 1000> make_small_numbers() noexcept {
  std::array<small_number, 1000> table{};
  for (int v = 0; v < 1000; ++v) {
    small_number& n = table[static_cast<std::size_t>(v)];
    const int size = v < 10 ? 1 : v < 100 ? 2 : 3;
    for (int i = 0, rest = v; i < size; ++i, rest /= 10)
      n.digits[size - 1 - i] = static_cast<char>('0' + rest % 10);
    n.size = static_cast<std::uint8_t>(size);
  }
  return table;
}

constexpr std::array<fraction_text, 1111> make_fraction_texts() noexcept {
  std::array<fraction_text, 1111> table{};
  for (int k = 1; k <= max_table_decimals; ++k) {
    int ten_to_k = 1;
    for (int i = 0; i < k; ++i) ten_to_k *= 10;
    for (int f = 1; f < ten_to_k; ++f) {
      fraction_text& t = table[fraction_start[k] + static_cast<std::size_t>(f)];
      int digits = k;
      int rest = f;
      for (; rest % 10 == 0; rest /= 10) --digits;
      t.text[0] = '.';
      for (int i = digits; i >= 1; --i, rest /= 10) t.text[i] = static_cast<char>('0' + rest % 10);
      t.size = static_cast<std::uint8_t>(digits + 1);
    }
  }
  return table;
}

// How many decimal digits v has.  From the bit length, log10 to within one: 1233 / 4096 is
// log10(2) to four places.  (v | 1 crosses no power of ten, and counts 0 as a digit.)
int digit_count(std::uint64_t v) noexcept {
  const int guess = (64 - __builtin_clzll(v | 1)) * 1233 / 4096;
  return guess + ((v | 1) >= tens[guess]);
}

// Exactly `count` digits of v, with zeros before, ending at `end`: eight at a time while the
// value needs 64 bits (64-bit division is a library call on 32-bit processors), then two.
void put_digits_back(char* end, std::uint64_t v, int count) noexcept {
  for (; count >= 8; count -= 8, end -= 8) {
    const std::uint64_t high = v / 100000000;
    const auto low = static_cast<std::uint32_t>(v - high * 100000000);
    // Four pairs from two halves: independent steps rather than a chain of divisions.
    const std::uint32_t left = low / 10000;
    const std::uint32_t right = low - left * 10000;
    std::memcpy(end - 8, digit_pairs + 2 * (left / 100), 2);
    std::memcpy(end - 6, digit_pairs + 2 * (left % 100), 2);
    std::memcpy(end - 4, digit_pairs + 2 * (right / 100), 2);
    std::memcpy(end - 2, digit_pairs + 2 * (right % 100), 2);
    v = high;
  }
  auto w = static_cast<std::uint32_t>(v);
  for (; count >= 2; count -= 2, end -= 2, w /= 100)
    std::memcpy(end - 2, digit_pairs + 2 * (w % 100), 2);
  if (count == 1) end[-1] = static_cast<char>('0' + w);
}

char* long_or_general(char* out, double x) noexcept {
  if (char* end = long_decimal(out, x)) return end;
  return std::to_chars(out, out + short_decimal_room, x).ptr;
}

}  // namespace

const std::array<small_number, 1000> small_numbers = make_small_numbers();
const std::array<fraction_text, 1111> fraction_texts = make_fraction_texts();

char* put_decimal(char* out, bool negative, std::uint64_t m, int k) noexcept {
  const int count = digit_count(m);
  int significant = count;  // without the trailing zeros
  std::uint64_t rest = m;
  for (; significant > 1 && rest % 10 == 0; --significant) rest /= 10;
  const int exponent = count - 1 - k;
  const int exponent_digits = exponent <= -100 || exponent >= 100 ? 3 : 2;
  const int scientific = significant + (significant > 1 ? 1 : 0) + 2 + exponent_digits;
  const int fixed = k == 0 ? count : count > k ? count + 1 : k + 2;
  *out = '-';
  out += negative;
  if (fixed <= scientific) {
    if (k == 0) {
      put_digits_back(out + count, m, count);
      return out + count;
    }
    if (count > k) {
      const std::uint64_t whole = m / tens[k];
      out = put_unsigned(out, whole);
      *out++ = '.';
      put_digits_back(out + k, m - whole * tens[k], k);
      return out + k;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = count; i < k; ++i) *out++ = '0';
    put_digits_back(out + count, m, count);
    return out + count;
  }
  char digits[20];
  put_digits_back(digits + significant, rest, significant);
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

char* put_long_unsigned(char* out, std::uint64_t v) noexcept {
  const int count = digit_count(v);
  put_digits_back(out + count, v, count);
  return out + count;
}

char* scaled_decimal(char* out, double x, std::int64_t m, int k) noexcept {
  if (static_cast<double>(m) / powers[k] != x) return long_or_general(out, x);
  // From the value's own sign: m is 0 for either zero.
  const bool negative = std::signbit(x);
  std::uint64_t digits = m < 0 ? 0 - static_cast<std::uint64_t>(m) : static_cast<std::uint64_t>(m);
  // Fewer decimals name the same number: short_decimal's first fitting k would be that one.
  for (; k > 0 && digits % 10 == 0; --k) digits /= 10;
  if (k == 0 && digits < 100000) {
    // Five digits or fewer: never shorter in scientific notation.
    *out = '-';
    return put_unsigned(out + negative, digits);
  }
  if (k > 0 && digits >= tens[k] / 1000) {
    // At least 0.001, and so fixed notation: the whole part, then the k decimals written as the
    // digits of 10^k + fraction, whose leading 1 the point replaces.
    // The whole part without a division: m has at most 15 digits, so x is never rounded up
    // to the next integer.
    const auto whole = static_cast<std::uint64_t>(std::fabs(x));
    *out = '-';
    out = put_unsigned(out + negative, whole);
    char* end = put_unsigned(out, tens[k] + digits - whole * tens[k]);
    *out = '.';
    return end;
  }
  return put_decimal(out, negative, digits, k);
}

char* short_decimal(char* out, double x) noexcept {
  const double magnitude = std::fabs(x);
  // Zero keeps its sign in to_chars' text; NaN and infinities have words.
  if (magnitude > 0 && magnitude < 1e15) {
    for (int k = 0; k <= max_fraction; ++k) {
      const double scaled = magnitude * powers[k];
      if (scaled > static_cast<double>(max_scaled)) break;
      // Rounded to the nearest integer: below 2^52, scaled + 0.5 is exact.  A fitting m is
      // within a quarter of scaled, so this finds it when there is one.
      const auto m = static_cast<std::uint64_t>(scaled + 0.5);
      if (static_cast<double>(m) / powers[k] == magnitude) return put_decimal(out, x < 0, m, k);
    }
  }
  return long_or_general(out, x);
}

}  // namespace cantext::dbc::detail
