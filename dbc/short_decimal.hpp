// SPDX-License-Identifier: MIT
// The shortest text that reads back as the same double, fast where physical values usually are:
// a few decimals of a factor such as 0.1 or 0.25.  Gives what std::to_chars(double) gives.
#ifndef CANTEXT_DBC_SHORT_DECIMAL_HPP
#define CANTEXT_DBC_SHORT_DECIMAL_HPP

#include <cstddef>

namespace cantext::dbc::detail {

// Room that short_decimal may write.
inline constexpr std::size_t short_decimal_room = 32;

// Writes x at out as std::to_chars(out, out + short_decimal_room, x) does (the shortest digits
// that read back as x, fixed or scientific notation as the shorter is, fixed on a tie); returns
// the end of the text.
char* short_decimal(char* out, double x) noexcept;

}  // namespace cantext::dbc::detail

#endif
