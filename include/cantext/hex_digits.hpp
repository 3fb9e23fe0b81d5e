// SPDX-License-Identifier: MIT
// The hex digits every renderer writes.
#ifndef CANTEXT_HEX_DIGITS_HPP
#define CANTEXT_HEX_DIGITS_HPP

namespace cantext {

inline constexpr char hex_asc_upper[17] = "0123456789ABCDEF";

}  // namespace cantext

#endif
