// SPDX-License-Identifier: MIT
// Decimal text of numbers, as std::to_chars writes it, fast where signal values usually are:
// integers, and a few decimals of a factor such as 0.1 or 0.25.
#ifndef CANTEXT_DBC_SHORT_DECIMAL_HPP
#define CANTEXT_DBC_SHORT_DECIMAL_HPP

#include <cstddef>
#include <cstdint>

namespace cantext::dbc::detail {

// Room that short_decimal and scaled_decimal may write.
inline constexpr std::size_t short_decimal_room = 32;

// The most decimals scaled_decimal takes.
inline constexpr int max_decimals = 9;

// The most that scaled_decimal's m may be: 15 digits, few enough that two such numbers at the
// same decimals never read back as the same double.
inline constexpr std::int64_t max_scaled = 999999999999999;

// The decimal digits of v, with a '-' when negative; return the end of the text.
char* put_unsigned(char* out, std::uint64_t v) noexcept;
char* put_signed(char* out, std::int64_t v) noexcept;

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
