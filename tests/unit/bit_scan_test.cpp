// SPDX-License-Identifier: MIT
// lowest_set_bit on both halves of the word, which 32-bit targets count separately.
#include <gtest/gtest.h>

#include <cstdint>

#include "byte_words.hpp"

namespace {

struct bit_case {
  std::uint64_t word;
  unsigned lowest;
};

const bit_case cases[] = {
    {0x0000000000000001ULL, 0},  {0x0000000000000080ULL, 7},  {0x0000000080000000ULL, 31},
    {0x0000000100000000ULL, 32}, {0x0000010000000000ULL, 40}, {0x8000000000000000ULL, 63},
    {0xFFFFFFFFFFFFFFFFULL, 0},  {0xFFFFFFFF00000000ULL, 32}, {0x8000000100000000ULL, 32},
    {0x0000000180000000ULL, 31}, {0x0123456789ABCDE0ULL, 5},  {0xF000000000000000ULL, 60},
};

TEST(bit_scan, lowest_set_bit_in_either_half) {
  for (const bit_case& c : cases) {
    EXPECT_EQ(cantext::detail::lowest_set_bit(c.word), c.lowest) << std::hex << c.word;
  }
}

TEST(bit_scan, every_single_bit) {
  for (unsigned bit = 0; bit < 64; ++bit) {
    EXPECT_EQ(cantext::detail::lowest_set_bit(std::uint64_t{1} << bit), bit);
    // Bits above the lowest one never change the answer.
    EXPECT_EQ(cantext::detail::lowest_set_bit(~std::uint64_t{0} << bit), bit);
  }
}

}  // namespace
