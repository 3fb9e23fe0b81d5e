// SPDX-License-Identifier: MIT
// The readers of the fixed TRC columns and their data bytes agree, on lines changed one
// character at a time: the portable one, which other targets run, the SSE2 one of x86-64 and,
// where the processor has SSSE3, its shuffles' one.
// That each reads a line as the general path does is the straight path tests' business.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "instruction_sets.hpp"
#include "trc_columns.hpp"

#if CANTEXT_X86_KERNELS
namespace {

using namespace cantext::reader::trc;

// Characters on both sides of the ranges the columns take, and a few that differ from them
// in the high bit.
const char changes[] = " /09:.-@AFGZ`afgxRT\t\x80\xB0\xC1\xE1";

void expect_same_columns(const std::string& line, bool (*reader)(const char*, fixed_columns&)) {
  fixed_columns a{};
  fixed_columns b{};
  const bool good_a = read_fixed_columns_swar(line.data(), a);
  const bool good_b = reader(line.data(), b);
  ASSERT_EQ(good_a, good_b) << line;
  if (!good_a) return;
  EXPECT_EQ(a.offset_ns, b.offset_ns) << line;
  EXPECT_EQ(a.fraction_digits, b.fraction_digits) << line;
  EXPECT_EQ(a.bus, b.bus) << line;
  EXPECT_EQ(a.id_dash, b.id_dash) << line;
  if (a.id_dash) return;  // no identifier to read
  EXPECT_EQ(a.id, b.id) << line;
  EXPECT_EQ(a.id_digits, b.id_digits) << line;
}

// The x86-64 readers this processor runs, each to be compared with the portable one.
struct x86_readers {
  bool (*columns)(const char*, fixed_columns&);
  bool (*data)(const char*, unsigned, std::uint8_t*);
};

std::vector<x86_readers> usable_readers() {
  std::vector<x86_readers> readers{{read_fixed_columns_sse2, read_spaced_data_sse2}};
  if (cantext::detail::usable_instruction_sets.ssse3) {
    readers.push_back({read_fixed_columns_ssse3, read_spaced_data_ssse3});
  }
  return readers;
}

TEST(trc_columns, readers_agree_on_every_change) {
  const char* const lines[] = {
      "      1         0.204 DT  1     04E0 Rx -  8 ",
      "1234567  12345678.123 FD 99 1FffFfFf Tx -  15",
      "     42 12345.1234567 ER  2        - Rx -  5 ",
      "      7     0.1234567 RR  3        1 Rx -  0",
      "      7         1.123 DT 12    7b0aC Rx -  0",
  };
  for (const char* base : lines) {
    std::string line = base;
    ASSERT_GE(line.size(), fixed_columns_size);
    for (const x86_readers& readers : usable_readers()) {
      expect_same_columns(line, readers.columns);
      for (std::size_t at = 0; at < fixed_columns_size; ++at) {
        for (const char c : std::string(changes, sizeof changes - 1)) {
          const char was = line[at];
          line[at] = c;
          expect_same_columns(line, readers.columns);
          line[at] = was;
        }
      }
    }
  }
}

TEST(trc_columns, data_readers_agree_on_every_change) {
  // The bytes from column 48, after columns the readers may look back into.
  const std::string before(48, ' ');
  for (unsigned count = 1; count <= 64; ++count) {
    std::string line = before;
    for (unsigned i = 0; i < count; ++i) {
      const char* const digits = "0123456789ABCDEFabcdef";
      line += (i == 0 ? "" : " ") + std::string{digits[i % 22], digits[(i * 7 + 3) % 22]};
    }
    for (std::size_t at = before.size(); at <= line.size(); ++at) {
      for (const char c : {' ', 'G', '9', 'a', '\x80', ':', '@', '`', '.', '-'}) {
        std::string changed = line;
        if (at < line.size()) changed[at] = c;
        std::uint8_t a[64] = {};
        const bool good_a = read_spaced_data_swar(changed.data() + 48, count, a);
        for (const x86_readers& readers : usable_readers()) {
          std::uint8_t b[64] = {};
          const bool good_b = readers.data(changed.data() + 48, count, b);
          ASSERT_EQ(good_a, good_b) << count << " " << changed;
          // The bytes past the count stay 0, as the record has them.
          if (good_a) {
            EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << count << " " << changed;
          }
        }
      }
    }
  }
}

}  // namespace
#endif
