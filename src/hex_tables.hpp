// SPDX-License-Identifier: MIT
// The hex digit tables: the value of every character as a digit, for the parsers, and both
// digits of every byte value, so that a renderer writes a byte with one two-character copy.
// The renderers' other tables are built from these.
#ifndef CANTEXT_SRC_HEX_TABLES_HPP
#define CANTEXT_SRC_HEX_TABLES_HPP

#include <array>
#include <cstdint>
#include <cstring>

#include "cantext/hex_digits.hpp"

namespace cantext::detail {

// What hex_value gives for a character that is not a hex digit: above every digit's value, so
// that one comparison (> 15) finds it among several or-ed together.
inline constexpr std::uint8_t not_hex = 16;

constexpr std::array<std::uint8_t, 256> make_hex_values() noexcept {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = not_hex;
  for (int c = '0'; c <= '9'; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'a' + 10);
  return t;
}

inline constexpr std::array<std::uint8_t, 256> hex_values = make_hex_values();

constexpr unsigned hex_value(char c) noexcept {
  return hex_values[static_cast<unsigned char>(c)];
}

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
