// SPDX-License-Identifier: MIT
// Hex strings decoded into fixed-size byte fields.
#ifndef CANTEXT_HEX_STRING_HPP
#define CANTEXT_HEX_STRING_HPP

#include <cstdint>
#include <string_view>

#include "cantext/export.h"

namespace cantext {

// Decodes pairs of hex digits (either case) into out[0..size).  Returns 0 on success, 1 on
// failure.  A text that is empty, of odd length or longer than 2 * size (any size <= 0
// included) fails with out untouched.  Otherwise out is zeroed first and filled pair by pair;
// on a bad digit the bytes decoded so far stay, a byte whose low digit is bad keeps its high
// digit, and the rest stay zero.
CANTEXT_API int hex_to_bytes(std::string_view text, std::uint8_t* out, int size) noexcept;

}  // namespace cantext

#endif
