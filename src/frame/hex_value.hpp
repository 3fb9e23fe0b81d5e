// SPDX-License-Identifier: MIT
// Table-driven hex digit decoding shared by the frame parsers.
#ifndef CANTEXT_SRC_FRAME_HEX_VALUE_HPP
#define CANTEXT_SRC_FRAME_HEX_VALUE_HPP

#include <array>
#include <cstdint>

namespace cantext::detail {

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

}  // namespace cantext::detail

#endif
