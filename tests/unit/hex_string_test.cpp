// SPDX-License-Identifier: MIT
// hex_to_bytes: results, what is written and what is left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"

namespace {

constexpr std::uint8_t untouched = 0xEE;

struct hex_case {
  const char* name;
  std::string text;
  int size;
  int result;
  std::vector<std::uint8_t> field;  // the first max(size, 0) bytes after the call
};

const std::vector<std::uint8_t> four_untouched(4, untouched);

const hex_case cases[] = {
    {"short_text_zero_fills", "0102", 4, 0, {0x01, 0x02, 0x00, 0x00}},
    {"exact_fit", "DEADBEEF", 4, 0, {0xDE, 0xAD, 0xBE, 0xEF}},
    {"both_cases", "0a0B", 2, 0, {0x0A, 0x0B}},
    {"every_digit",
     "0123456789abcdefABCDEF",
     11,
     0,
     {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
    {"empty", "", 4, 1, four_untouched},
    {"odd", "123", 4, 1, four_untouched},
    {"longer_than_field", "0102030405", 2, 1, {untouched, untouched}},
    {"one_pair_too_many", "0102", 1, 1, {untouched}},
    {"bad_high_digit", "01G2", 4, 1, {0x01, 0x00, 0x00, 0x00}},
    {"bad_low_digit_keeps_high", "01AG", 4, 1, {0x01, 0xA0, 0x00, 0x00}},
    {"bad_first_digit", "x0", 4, 1, {0x00, 0x00, 0x00, 0x00}},
    {"blank_is_no_digit", "11 2", 4, 1, {0x11, 0x00, 0x00, 0x00}},
    {"embedded_terminator",
     std::string("11\0"
                 "2",
                 4),
     4,
     1,
     {0x11, 0x00, 0x00, 0x00}},
    {"high_bit_character", "1\xC1", 4, 1, {0x10, 0x00, 0x00, 0x00}},
    {"size_zero", "01", 0, 1, {}},
    {"size_negative", "01", -1, 1, {}},
    {"size_int_min", "01", INT_MIN, 1, {}},
};

void PrintTo(const hex_case& c, std::ostream* os) {
  *os << c.name;
}

class hex_string : public testing::TestWithParam<hex_case> {};

TEST_P(hex_string, decodes_into_the_field_only) {
  const hex_case& c = GetParam();
  std::uint8_t buf[32];
  std::fill(std::begin(buf), std::end(buf), untouched);
  // A field in the middle of buf shows any write before or after it.
  std::uint8_t* const field = buf + 8;
  EXPECT_EQ(cantext::hex_to_bytes(c.text, field, c.size), c.result);
  EXPECT_EQ(std::vector<std::uint8_t>(field, field + c.field.size()), c.field);
  for (std::uint8_t* p = buf; p < field; ++p) EXPECT_EQ(*p, untouched);
  for (std::uint8_t* p = field + (c.size > 0 ? c.size : 0); p < std::end(buf); ++p)
    EXPECT_EQ(*p, untouched);
}

INSTANTIATE_TEST_SUITE_P(examples, hex_string, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(hex_string_call, takes_a_c_string) {
  std::uint8_t out[2] = {untouched, untouched};
  EXPECT_EQ(cantext::hex_to_bytes("7f", out, 2), 0);
  EXPECT_EQ(out[0], 0x7F);
  EXPECT_EQ(out[1], 0x00);
}

}  // namespace
