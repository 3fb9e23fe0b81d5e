// SPDX-License-Identifier: MIT
// dlc_to_len and len_to_dlc: whole-table properties, checked by the compiler.
#include <gtest/gtest.h>

#include <climits>

#include "cantext/cantext.hpp"

namespace {

using cantext::dlc_to_len;
using cantext::len_to_dlc;

constexpr bool every_code_survives_the_round_trip() {
  for (unsigned d = 0; d < 16; ++d)
    if (len_to_dlc(dlc_to_len(d)) != d) return false;
  return true;
}

constexpr bool is_code_length(int n) {
  for (unsigned d = 0; d < 16; ++d)
    if (dlc_to_len(d) == n) return true;
  return false;
}

// The code chosen for n holds n bytes, and no shorter code length would.
constexpr bool every_length_gets_the_smallest_code_that_holds_it() {
  for (int n = 0; n <= 64; ++n) {
    const int held = dlc_to_len(len_to_dlc(n));
    if (held < n) return false;
    for (int shorter = n; shorter < held; ++shorter)
      if (is_code_length(shorter)) return false;
  }
  return true;
}

constexpr bool lengths_grow_with_the_code() {
  for (unsigned d = 1; d < 16; ++d)
    if (dlc_to_len(d) <= dlc_to_len(d - 1)) return false;
  return dlc_to_len(0) == 0 && dlc_to_len(15) == 64;
}

constexpr bool out_of_range_lengths_get_code_15() {
  for (int n : {65, 66, 100, 255, 256, 1000, INT_MAX, -1, -64, -65, INT_MIN})
    if (len_to_dlc(n) != 15) return false;
  return true;
}

constexpr bool only_the_low_four_code_bits_count() {
  for (unsigned d = 16; d < 4096; ++d)
    if (dlc_to_len(d) != dlc_to_len(d & 0x0F)) return false;
  return dlc_to_len(UINT_MAX) == 64;
}

static_assert(every_code_survives_the_round_trip());
static_assert(every_length_gets_the_smallest_code_that_holds_it());
static_assert(lengths_grow_with_the_code());
static_assert(out_of_range_lengths_get_code_15());
static_assert(only_the_low_four_code_bits_count());
static_assert(dlc_to_len(9) == 12 && dlc_to_len(15) == 64 && dlc_to_len(0x1F) == 64);
static_assert(len_to_dlc(8) == 8 && len_to_dlc(9) == 9 && len_to_dlc(12) == 9);
static_assert(len_to_dlc(13) == 10 && len_to_dlc(64) == 15 && len_to_dlc(65) == 15);

// The same conversions on values known only at run time, as a caller's loop uses them.
struct length_row {
  int n;
  int dlc;
};

const length_row rows[] = {{0, 0},   {8, 8},   {9, 9},   {12, 9},  {13, 10},     {48, 14},
                           {49, 15}, {64, 15}, {65, 15}, {-1, 15}, {INT_MIN, 15}};

TEST(length_codes, convert_values_known_at_run_time) {
  for (const length_row& row : rows) {
    volatile int n = row.n;
    EXPECT_EQ(len_to_dlc(n), row.dlc) << "n " << row.n;
    volatile unsigned code = static_cast<unsigned>(row.dlc) | 0x30U;
    EXPECT_EQ(len_to_dlc(dlc_to_len(code)), row.dlc) << "n " << row.n;
  }
}

}  // namespace
