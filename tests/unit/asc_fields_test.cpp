// SPDX-License-Identifier: MIT
// The ASC reader's steps with byte shuffles against the portable steps they stand for, on lines
// changed one character at a time: each gives what its portable step gives or leaves the text to
// it, and takes the writers' usual forms.  That the straight path reads a line as the general
// path does is the straight path tests' business.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "format_fields.hpp"
#include "instruction_sets.hpp"

#if CANTEXT_X86_KERNELS
#include "asc_fields_x86.hpp"

namespace {

using namespace cantext::reader;

// Characters on both sides of the ranges the fields take, white space other than ' ', and ones
// with the high bit set.
const std::string changes = " ./09:@AFGX`afgx\t\r\x80\xB0";

// `check` on the line and on each change of one of its characters from `first` to `last`.
template <typename Check>
void each_change(const std::string& line, std::size_t first, std::size_t last, Check check) {
  check(line);
  for (std::size_t at = first; at <= last && at < line.size(); ++at) {
    for (const char c : changes) {
      std::string changed = line;
      changed[at] = c;
      check(changed);
    }
  }
}

class asc_fields : public testing::Test {
 protected:
  void SetUp() override {
    if (!cantext::detail::usable_instruction_sets.ssse3) GTEST_SKIP() << "no SSSE3";
  }
};

TEST_F(asc_fields, time_reads_as_decimal_field) {
  const struct {
    const char* line;
    bool usual;
  } rows[] = {
      {"   0.000892 2  4E0             Tx   r 3", true},
      {"1234567.1234567 1", true},
      {"  12.5\t1  123 Rx d 0", true},
      {"  12.12345678 1 1 Rx d 0", false},    // eight digits of fraction
      {"         1.5 1  123 Rx d 0", false},  // the point past the first eight characters
  };
  for (const auto& row : rows) {
    const std::string line = row.line;
    std::int64_t ns = 0;
    int digits = 0;
    EXPECT_EQ(fields::line_time_ssse3(line.data(), ns, digits) != 0, row.usual) << line;
    each_change(line, 0, 15, [](const std::string& changed) {
      std::int64_t fast_ns = 0;
      int fast_digits = 0;
      const unsigned end = fields::line_time_ssse3(changed.data(), fast_ns, fast_digits);
      if (end == 0) return;
      fields::usual_cursor c{changed.data(), changed.size(), 0};
      std::int64_t portable_ns = 0;
      int portable_digits = 0;
      c.decimal_field(9, portable_ns, portable_digits);
      ASSERT_TRUE(c.good) << changed;
      EXPECT_EQ(end, c.at) << changed;
      EXPECT_EQ(fast_ns, portable_ns) << changed;
      EXPECT_EQ(fast_digits, portable_digits) << changed;
    });
  }
}

// An identifier padded to `width` characters, read a character at a time: its length with the
// "x", 0 for any other text.
unsigned model_id(const std::string& text, unsigned width, std::uint32_t& can_id) {
  unsigned digits = 0;
  std::uint64_t value = 0;
  for (; digits < 9 && cantext::detail::hex_value(text[digits]) < 16; ++digits) {
    value = value * 16 + cantext::detail::hex_value(text[digits]);
  }
  const bool extended = text[digits] == 'x' || text[digits] == 'X';
  const unsigned length = digits + extended;
  if (digits == 0 || digits > 8 || value > (extended ? 0x1FFFFFFFu : 0x7FFu)) return 0;
  for (unsigned i = length; i < width; ++i) {
    if (text[i] != ' ') return 0;
  }
  can_id = static_cast<std::uint32_t>(value) | (extended ? 0x80000000u : 0);
  return length;
}

TEST_F(asc_fields, padded_identifier_is_the_models) {
  const struct {
    const char* text;
    unsigned width;
  } rows[] = {
      {"4E0             Rx   r 3", 16}, {"1B265F39x       Rx   d 8", 16},
      {"7FF      1 0 2  2 01", 8},      {"A01BDD5x 0 1 2  2 01", 8},
      {"1234ABCDx 1 1 F 64", 8},        {"800             Rx   d 0", 16},
  };
  for (const auto& row : rows) {
    const unsigned width = row.width;
    each_change(row.text, 0, 15, [width](const std::string& changed) {
      std::uint32_t fast = 0;
      std::uint32_t model = 0;
      const unsigned length = fields::padded_id_ssse3(changed.data(), width, fast);
      ASSERT_EQ(length, model_id(changed, width, model)) << changed;
      if (length != 0) {
        EXPECT_EQ(fast, model) << changed;
      }
    });
  }
}

TEST_F(asc_fields, data_bytes_read_as_read_hex_pairs) {
  // The bytes after 24 characters that the windows may look back into.
  const std::string before = "   1.000000 1  7FF  Rx  d";
  for (int count = 0; count <= 64; ++count) {
    std::string line = before;
    for (int i = 0; i < count; ++i) {
      const char* const digits = "0123456789ABCDEFabcdef";
      line += {' ', digits[i % 22], digits[(i * 7 + 3) % 22]};
    }
    line += " 0";
    const std::size_t start = before.size();
    each_change(line, start, line.size() - 1, [count, start](const std::string& changed) {
      std::uint8_t fast[64] = {};
      std::uint8_t portable[64] = {};
      std::size_t fast_at = start;
      std::size_t portable_at = start;
      const bool good =
          fields::read_hex_pairs(changed.data(), changed.size(), portable_at, count, portable);
      ASSERT_EQ(fields::read_hex_pairs_ssse3(changed.data(), changed.size(), fast_at, count, fast),
                good)
          << count << " " << changed;
      if (count <= 8) {
        std::uint8_t few[64] = {};
        std::size_t few_at = start;
        ASSERT_EQ(
            fields::read_few_hex_pairs_ssse3(changed.data(), changed.size(), few_at, count, few),
            good)
            << count << " " << changed;
        // The bytes past the count are 0, as the record has them.
        if (good) {
          EXPECT_EQ(std::memcmp(few, portable, sizeof few), 0) << changed;
        }
      }
      if (!good) return;
      EXPECT_EQ(fast_at, portable_at) << changed;
      EXPECT_EQ(std::memcmp(fast, portable, sizeof fast), 0) << count << " " << changed;
    });
  }
}

}  // namespace
#endif
