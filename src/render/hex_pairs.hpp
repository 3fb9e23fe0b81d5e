// SPDX-License-Identifier: MIT
// Both hex digits of every byte value, so that a byte is written with one two-character copy.
#ifndef CANTEXT_SRC_RENDER_HEX_PAIRS_HPP
#define CANTEXT_SRC_RENDER_HEX_PAIRS_HPP

#include <array>
#include <cstdint>
#include <cstring>

#include "cantext/hex_digits.hpp"

namespace cantext::detail {

using hex_pair = std::array<char, 2>;

constexpr std::array<hex_pair, 256> make_hex_pairs() noexcept {
  std::array<hex_pair, 256> t{};
  for (std::size_t b = 0; b < t.size(); ++b) {
    t[b][0] = hex_asc_upper[b >> 4];
    t[b][1] = hex_asc_upper[b & 0x0F];
  }
  return t;
}

inline constexpr std::array<hex_pair, 256> hex_pairs = make_hex_pairs();

// Writes the two upper-case digits of b at out; returns the position after them.
inline char* put_hex_pair(char* out, std::uint8_t b) noexcept {
  std::memcpy(out, hex_pairs[b].data(), 2);
  return out + 2;
}

}  // namespace cantext::detail

#endif
