// SPDX-License-Identifier: MIT
// Decimal text of numbers, as std::to_chars writes it, fast where signal values usually are:
// integers, and a few decimals of a factor such as 0.1 or 0.25.
#ifndef CANTEXT_DBC_SHORT_DECIMAL_HPP
#define CANTEXT_DBC_SHORT_DECIMAL_HPP

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cantext::dbc::detail {

// Room that short_decimal and scaled_decimal may write.
inline constexpr std::size_t short_decimal_room = 32;

// The most decimals scaled_decimal takes.
inline constexpr int max_decimals = 9;

// The most that scaled_decimal's m may be: 15 digits, few enough that two such numbers at the
// same decimals never read back as the same double.
inline constexpr std::int64_t max_scaled = 999999999999999;

// The decimal digits of a v of at least 1000; returns the end of the text.
char* put_long_unsigned(char* out, std::uint64_t v) noexcept;

// The text of 0 to 999: up to three digits and how many, in four bytes.
struct small_number {
  char digits[3];
  std::uint8_t size;
};
extern const std::array<small_number, 1000> small_numbers;

// The decimal digits of v; returns the end of the text.  Most signal values are small: up to
// three digits are one copy of four bytes, with no call and no branch on their count, so out
// must have room for four bytes past the text's start.
inline char* put_unsigned(char* out, std::uint64_t v) noexcept {
  if (v < small_numbers.size()) {
    const auto& small = small_numbers[static_cast<std::size_t>(v)];
    std::memcpy(out, &small, sizeof(small_number));
    return out + small.size;
  }
  return put_long_unsigned(out, v);
}

// The decimals of a fraction f / 10^k for k up to max_table_decimals, as they follow a whole
// part: nothing when f is 0, else the point and the digits without trailing zeros.  Entry
// fraction_start[k] + f, eight bytes.
inline constexpr int max_table_decimals = 3;
inline constexpr std::size_t fraction_start[] = {0, 1, 11, 111};
// 10^k for every k a 64-bit number holds.
inline constexpr std::uint64_t tens[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000,
                                         10000000000000000,
                                         100000000000000000,
                                         1000000000000000000,
                                         10000000000000000000U};
inline constexpr double table_powers[] = {1, 10, 100, 1000};
struct fraction_text {
  char text[7];
  std::uint8_t size;
};
extern const std::array<fraction_text, 1111> fraction_texts;

// x = m / 10^k as std::to_chars writes it: fixed notation when no longer than scientific.
// Returns the end of the text.
char* put_decimal(char* out, bool negative, std::uint64_t m, int k) noexcept;

// The shortest text of x where that has 16 or 17 significant digits and 2^-10 <= |x| < 2^53, as
// std::to_chars writes it; nullptr for any other x, and where to_chars' rules for ties decide.
char* long_decimal(char* out, double x) noexcept;

// Writes x at out as std::to_chars(out, out + short_decimal_room, x) does (the shortest digits
// that read back as x, fixed or scientific notation as the shorter is, fixed on a tie); returns
// the end of the text.
char* short_decimal(char* out, double x) noexcept;

// The same for an x that is likely m / 10^k, where |m| <= max_scaled and 0 <= k <= max_decimals
// (a raw value scaled by a decimal factor and offset): the text of m / 10^k when that reads back
// as x, else std::to_chars'.
char* scaled_decimal(char* out, double x, std::int64_t m, int k) noexcept;

}  // namespace cantext::dbc::detail

#endif
