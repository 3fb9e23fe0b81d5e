// SPDX-License-Identifier: MIT
// CAN FD data length codes and the byte counts they stand for.
#ifndef CANTEXT_LENGTH_CODES_HPP
#define CANTEXT_LENGTH_CODES_HPP

#include <cstdint>

namespace cantext {

// Bytes carried for each 4-bit data length code.
inline constexpr std::uint8_t dlc_to_len_table[16] = {0, 1,  2,  3,  4,  5,  6,  7,
                                                      8, 12, 16, 20, 24, 32, 48, 64};

// The smallest code whose length holds n bytes, for n = 0..64.
inline constexpr std::uint8_t len_to_dlc_table[65] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,                                // 0..8
    9,  9,  9,  9,                                                    // 9..12
    10, 10, 10, 10,                                                   // 13..16
    11, 11, 11, 11,                                                   // 17..20
    12, 12, 12, 12,                                                   // 21..24
    13, 13, 13, 13, 13, 13, 13, 13,                                   // 25..32
    14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14,   // 33..48
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15};  // 49..64

// Only the low four bits of the code count.
constexpr std::uint8_t dlc_to_len(unsigned dlc) noexcept {
  return dlc_to_len_table[dlc & 0x0F];
}

// Lengths above 64, and negative ones, get the largest code.
constexpr std::uint8_t len_to_dlc(int n) noexcept {
  return static_cast<unsigned>(n) > 64U ? std::uint8_t{15} : len_to_dlc_table[n];
}

}  // namespace cantext

#endif
