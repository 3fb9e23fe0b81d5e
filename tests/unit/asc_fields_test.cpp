// SPDX-License-Identifier: MIT
// The ASC reader's steps with byte shuffles against the portable steps they stand for (or a
// model), on lines changed one character at a time: each gives what its portable step gives or
// leaves the text to it.  That the straight path reads a line as the general path does is the
// straight path tests' business.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "format_fields.hpp"
#include "instruction_sets.hpp"

#if CANTEXT_X86_KERNELS
#include "asc_fields_x86.hpp"

namespace {

using namespace cantext::reader::fields;
using cantext::detail::hex_value;

// `check` on the line and on each change of one of its characters from `first` to `last`: to
// characters on both sides of the fields' ranges, other white space and high-bit ones.
template <typename Check>
void each_change(const std::string& line, std::size_t first, std::size_t last, Check check) {
  check(line);
  for (std::size_t at = first; at <= last && at < line.size(); ++at) {
    for (const char c : std::string(" ./09:@AFGX`afgx\t\r\x80\xB0")) {
      std::string changed = line;
      changed[at] = c;
      check(changed);
    }
  }
}

#define SKIP_WITHOUT_SSSE3 \
  if (!cantext::detail::usable_instruction_sets.ssse3) GTEST_SKIP() << "no SSSE3"

TEST(asc_fields, time_reads_as_decimal_field) {
  SKIP_WITHOUT_SSSE3;
  // Whether each is taken as it is: eight digits of fraction and a point past the first eight
  // characters are left to decimal_field.
  const std::pair<const char*, bool> rows[] = {
      {"   0.000892 2  4E0   Tx", true}, {"1234567.1234567 1", true},
      {"  12.5\t1  123 Rx d", true},     {"  12.12345678 1 1 Rx", false},
      {"         1.5 1  123 Rx", false},
  };
  for (const auto& [line, taken] : rows) {
    std::int64_t time_ns = 0;
    int time_digits = 0;
    EXPECT_EQ(line_time_ssse3(line, time_ns, time_digits) != 0, taken) << line;
    each_change(line, 0, 15, [](const std::string& changed) {
      std::int64_t fast_ns = 0;
      int fast_digits = 0;
      const unsigned end = line_time_ssse3(changed.data(), fast_ns, fast_digits);
      usual_cursor c{changed.data(), changed.size(), 0};
      std::int64_t ns = 0;
      int digits = 0;
      c.decimal_field(9, ns, digits);
      if (end == 0) return;
      ASSERT_TRUE(c.good) << changed;
      EXPECT_EQ(std::make_tuple(end, fast_ns, fast_digits), std::make_tuple(c.at, ns, digits))
          << changed;
    });
  }
}

// An identifier padded to `width` characters, read a character at a time: its length with the
// "x", 0 for any other text.
unsigned model_id(const std::string& text, unsigned width, std::uint32_t& can_id) {
  unsigned digits = 0;
  std::uint64_t value = 0;
  for (; digits < 9 && hex_value(text[digits]) < 16; ++digits) {
    value = value * 16 + hex_value(text[digits]);
  }
  const bool extended = text[digits] == 'x' || text[digits] == 'X';
  const unsigned length = digits + extended;
  if (digits == 0 || digits > 8 || value > (extended ? 0x1FFFFFFFu : 0x7FFu) ||
      text.find_first_not_of(' ', length) < width) {
    return 0;
  }
  can_id = static_cast<std::uint32_t>(value) | (extended ? 0x80000000u : 0);
  return length;
}

TEST(asc_fields, padded_identifier_is_the_models) {
  SKIP_WITHOUT_SSSE3;
  // The classic line's identifier padded to 16, the CAN FD line's to 8.
  const std::pair<const char*, unsigned> rows[] = {
      {"4E0             Rx   r 3", 16}, {"1B265F39x       Rx   d 8", 16},
      {"800             Rx   d 0", 16}, {"7FF      1 0 2  2 01", 8},
      {"A01BDD5x 0 1 2  2 01", 8},      {"1234ABCDx 1 1 F 64", 8},
  };
  for (const auto& row : rows) {
    const unsigned width = row.second;
    each_change(row.first, 0, 15, [width](const std::string& changed) {
      std::uint32_t fast = 0;
      std::uint32_t model = 0;
      const unsigned length = padded_id_ssse3(changed.data(), width, fast);
      ASSERT_EQ(length, model_id(changed, width, model)) << changed;
      EXPECT_EQ(fast, model) << changed;
    });
  }
}

TEST(asc_fields, data_bytes_read_as_read_hex_pairs) {
  SKIP_WITHOUT_SSSE3;
  // The bytes after 25 characters that the windows may look back into.
  const std::string before = "   1.000000 1  7FF  Rx  d";
  for (int count = 0; count <= 64; ++count) {
    std::string line = before;
    for (int i = 0; i < count; ++i) {
      line += {' ', "0123456789ABCDEFabcdef"[i % 22], "0123456789ABCDEFabcdef"[i * 7 % 22]};
    }
    each_change(line + " 0", before.size(), line.size(), [&](const std::string& changed) {
      std::uint8_t fast[64] = {};
      std::uint8_t few[64] = {};
      std::uint8_t portable[64] = {};
      std::size_t fast_at = before.size();
      std::size_t few_at = fast_at;
      std::size_t portable_at = fast_at;
      const char* const p = changed.data();
      const bool good = read_hex_pairs(p, changed.size(), portable_at, count, portable);
      ASSERT_EQ(read_hex_pairs_ssse3(p, changed.size(), fast_at, count, fast), good) << changed;
      // The bytes past the count are 0, as the record has them.
      if (count <= 8) {
        ASSERT_EQ(read_few_hex_pairs_ssse3(p, changed.size(), few_at, count, few), good);
        EXPECT_TRUE(!good || (few_at == portable_at && std::memcmp(few, portable, 64) == 0))
            << changed;
      }
      EXPECT_TRUE(!good || (fast_at == portable_at && std::memcmp(fast, portable, 64) == 0))
          << changed;
    });
  }
}

}  // namespace
#endif
