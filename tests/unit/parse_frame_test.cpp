// SPDX-License-Identifier: MIT
// hex_nibble and parse_frame_text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"
#include "model_text.hpp"

namespace {

using cantext::frame_record;

TEST(hex_nibble, decodes_every_character_code) {
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(cantext::hex_nibble(ch), cantext_fuzz::digit_value(ch)) << "code " << c;
  }
}

struct parse_case {
  const char* text;
  int result;
  std::uint32_t can_id;
  int len;
  int flags;
  std::vector<std::uint8_t> data;
};

const std::vector<std::uint8_t> eight_zeros(8, 0);

const parse_case good_cases[] = {
    {"123#", 16, 0x123, 0, 0, {}},
    {"123#DEADBEEF", 16, 0x123, 4, 0, {0xDE, 0xAD, 0xBE, 0xEF}},
    {"123#deadBEEF", 16, 0x123, 4, 0, {0xDE, 0xAD, 0xBE, 0xEF}},
    {"abc#0a", 16, 0xABC, 1, 0, {0x0A}},
    {"FFF#00", 16, 0xFFF, 1, 0, {0x00}},
    {"123##1", 72, 0x123, 0, 1, {}},
    {"123##1AABB", 72, 0x123, 2, 1, {0xAA, 0xBB}},
    {"123##f.01.02", 72, 0x123, 2, 15, {0x01, 0x02}},
    {"123##1.", 72, 0x123, 0, 1, {}},
    {"123#R", 16, 0x40000123, 0, 0, {}},
    {"123#r", 16, 0x40000123, 0, 0, {}},
    {"123#R5", 16, 0x40000123, 5, 0, {}},
    {"123#R8", 16, 0x40000123, 8, 0, {}},
    {"123#r9", 16, 0x40000123, 0, 0, {}},
    {"123#RX", 16, 0x40000123, 0, 0, {}},
    {"123#R5junk", 16, 0x40000123, 5, 0, {}},
    {"12345678#1122", 16, 0x92345678, 2, 0, {0x11, 0x22}},
    {"1fffffff#", 16, 0x9FFFFFFF, 0, 0, {}},
    {"20000080#0000000000000000", 16, 0x20000080, 8, 0, eight_zeros},
    {"A0000001#", 16, 0xA0000001, 0, 0, {}},
    {"40000123#11", 16, 0xC0000123, 1, 0, {0x11}},
    {"20000080#R", 16, 0x60000080, 0, 0, {}},
    {"123#11.22.33", 16, 0x123, 3, 0, {0x11, 0x22, 0x33}},
    {"123#.11", 16, 0x123, 1, 0, {0x11}},
    {"123#11.", 16, 0x123, 1, 0, {0x11}},
    {"123#.", 16, 0x123, 0, 0, {}},
    {"123#112233445566778899", 16, 0x123, 8, 0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}},
    {"123#1122334455667788ZZ", 16, 0x123, 8, 0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}},
};

void PrintTo(const parse_case& c, std::ostream* os) {
  *os << c.text;
}

class parse_good : public testing::TestWithParam<parse_case> {};

TEST_P(parse_good, fills_the_record) {
  const parse_case& c = GetParam();
  frame_record r;
  std::memset(&r, 0xA5, sizeof r);
  ASSERT_EQ(cantext::parse_frame_text(c.text, r), c.result);
  EXPECT_EQ(r.can_id, c.can_id);
  EXPECT_EQ(r.len, c.len);
  EXPECT_EQ(r.flags, c.flags);
  EXPECT_EQ(r.res0, 0);
  EXPECT_EQ(r.res1, 0);
  std::vector<std::uint8_t> data(c.data);
  data.resize(64, 0);  // everything past the stored bytes is cleared
  EXPECT_EQ(std::vector<std::uint8_t>(r.data, r.data + 64), data);
}

INSTANTIATE_TEST_SUITE_P(examples, parse_good, testing::ValuesIn(good_cases));

class parse_bad : public testing::TestWithParam<const char*> {};

TEST_P(parse_bad, returns_zero) {
  frame_record r;
  EXPECT_EQ(cantext::parse_frame_text(GetParam(), r), 0);
}

INSTANTIATE_TEST_SUITE_P(examples, parse_bad,
                         testing::Values("", "1", "12#", "123", "1234#11", "1234567#11", "123_11",
                                         "12G#11", "1234567G#", "123##", "123##R", "123##G11",
                                         "123#1", "123#11..22", "123#..11", "123#11 22", "123#11\n",
                                         "123#1G", "123##1.1", "12345678#1"));

TEST(parse_frame_text, keeps_the_first_64_bytes_of_an_fd_payload) {
  std::string text = "123##0";
  for (int i = 0; i < 66; ++i) text += cantext::hex_asc_upper[i % 16], text += '0';
  frame_record r;
  ASSERT_EQ(cantext::parse_frame_text(text, r), 72);
  EXPECT_EQ(r.len, 64);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(r.data[i], (i % 16) << 4) << i;
}

TEST(parse_frame_text, reads_only_the_view_it_is_given) {
  // The view ends before the second digit: the byte is unpaired.
  const char text[] = "123#1122";
  frame_record r;
  EXPECT_EQ(cantext::parse_frame_text(std::string_view(text, 7), r), 0);
  EXPECT_EQ(cantext::parse_frame_text(std::string_view(text, 6), r), 16);
  EXPECT_EQ(r.len, 1);
  EXPECT_EQ(cantext::parse_frame_text(std::string_view("123#R5", 5), r), 16);
  EXPECT_EQ(r.len, 0);
}

}  // namespace
