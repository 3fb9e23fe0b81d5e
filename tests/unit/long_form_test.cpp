// SPDX-License-Identifier: MIT
// format_frame_long: every view flag, both length styles, marks and clamping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"

namespace {

using namespace cantext;

frame_record make(std::uint32_t id, std::vector<std::uint8_t> data, int len = -1) {
  frame_record r;
  std::memset(&r, 0, sizeof r);
  r.can_id = id;
  r.len = static_cast<std::uint8_t>(len < 0 ? static_cast<int>(data.size()) : len);
  if (!data.empty()) std::memcpy(r.data, data.data(), data.size());
  return r;
}

std::vector<std::uint8_t> bytes(int n, std::uint8_t value) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(n), value);
}

std::string spaces(std::size_t n) {
  return std::string(n, ' ');
}

struct long_case {
  const char* name;
  frame_record record;
  unsigned view;
  int maxdlen;
  std::string text;
};

const std::vector<std::uint8_t> deadbeef = {0xDE, 0xAD, 0xBE, 0xEF};

const long_case cases[] = {
    {"aligned_ascii", make(0x123, deadbeef), VIEW_ASCII | VIEW_ALIGN_SFF, 8,
     "     123   [4]  DE AD BE EF               '....'"},
    {"plain", make(0x123, deadbeef), 0, 8, "123   [4]  DE AD BE EF"},
    {"swap", make(0x123, deadbeef), VIEW_SWAP, 8, "123   [4]  EF`BE`AD`DE"},
    {"swap_ascii", make(0x123, {0x41, 0x42}), VIEW_SWAP | VIEW_ASCII, 8,
     "123   [2]  42`41" + spaces(21) + "`BA`"},
    {"binary", make(0x123, {0xA5, 0x01}), VIEW_BINARY, 8, "123   [2]  10100101 00000001"},
    {"binary_swap", make(0x123, {0xA5, 0x01}), VIEW_BINARY | VIEW_SWAP, 8,
     "123   [2]  00000001`10100101"},
    {"binary_ascii", make(0x123, {0x41}), VIEW_BINARY | VIEW_ASCII, 8,
     "123   [1]  01000001" + spaces(66) + "'A'"},
    {"extended", make(0x92345678, {0x11, 0x22}), 0, 8, "12345678   [2]  11 22"},
    {"extended_ignores_align", make(0x92345678, {0x11}), VIEW_ALIGN_SFF, 8, "12345678   [1]  11"},
    {"remote", make(0x40000123, {}), 0, 8, "123   [0]  remote request"},
    {"remote_aligned", make(0x40000123, {}), VIEW_ALIGN_SFF, 8, "     123   [0]  remote request"},
    {"remote_ignores_views", make(0x40000123, {}, 5), VIEW_ASCII | VIEW_BINARY, 8,
     "123   [5]  remote request"},
    {"remote_in_fd_style_shows_data", make(0x40000123, {0x11}), 0, 64, "123  [01]  11"},
    {"empty", make(0x123, {}), 0, 8, "123   [0] "},
    {"empty_ascii", make(0x123, {}), VIEW_ASCII, 8, "123   [0]                            ''"},
    {"fd", make(0x123, {0x11, 0x22, 0x33}), 0, 64, "123  [03]  11 22 33"},
    {"fd_twelve_no_column", make(0x123, bytes(12, 0x41)), VIEW_ASCII, 64,
     "123  [12]  41 41 41 41 41 41 41 41 41 41 41 41"},
    {"error_marker", make(0x20000080, bytes(8, 0)), 0, 8,
     "20000080   [8]  00 00 00 00 00 00 00 00   ERRORFRAME"},
    {"error_marker_fd_style", make(0x20000080, bytes(8, 0)), VIEW_ASCII, 64,
     "20000080  [08]  00 00 00 00 00 00 00 00   ERRORFRAME"},
    {"error_marker_short", make(0x20000004, {0x00, 0x04}), VIEW_ASCII, 8,
     "20000004   [2]  00 04                     ERRORFRAME"},
    {"error_keeps_flag_clears_top_bits", make(0xE0000001, {}), 0, 64,
     "20000001  [00]                            ERRORFRAME"},
    {"error_twelve_no_marker", make(0x20000080, bytes(12, 0)), 0, 64,
     "20000080  [12]  00 00 00 00 00 00 00 00 00 00 00 00"},
    {"error_remote", make(0x60000080, bytes(8, 0)), VIEW_ASCII, 8,
     "20000080   [8]  remote request"},
    {"len_clamped_to_maxdlen", make(0x123, bytes(12, 0x30)), VIEW_ASCII, 8,
     "123   [8]  30 30 30 30 30 30 30 30   '00000000'"},
    {"maxdlen_above_64_clamped", make(0x123, bytes(64, 0xFF), 200), 0, 1000,
     "123  [64]" +
         [] {
           std::string s = " ";
           for (int i = 0; i < 64; ++i) s += " FF";
           return s;
         }()},
    {"negative_maxdlen_shows_nothing", make(0x123, {0x11}), VIEW_ASCII, -5,
     "123  [00]                            ''"},
    {"printable_edges", make(0x123, {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF}), VIEW_ASCII, 8,
     "123   [6]  1F 20 7E 7F 80 FF         '. ~...'"},
};

void PrintTo(const long_case& c, std::ostream* os) {
  *os << c.name;
}

class long_form : public testing::TestWithParam<long_case> {};

TEST_P(long_form, renders_exactly) {
  const long_case& c = GetParam();
  char buf[LONG_FORM_BUF_SIZE + 16];
  std::memset(buf, 0x5A, sizeof buf);
  const char* const end = format_frame_long(buf, c.record, c.view, c.maxdlen);
  EXPECT_EQ(std::string(buf), c.text);
  EXPECT_EQ(end, buf + c.text.size());
}

INSTANTIATE_TEST_SUITE_P(examples, long_form, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(long_form_size, the_largest_line_fills_the_documented_buffer_exactly) {
  const frame_record r = make(0x92345678, bytes(64, 0xFF));
  char buf[LONG_FORM_BUF_SIZE + 8];
  std::memset(buf, 0x5A, sizeof buf);
  format_frame_long(buf, r, VIEW_BINARY | VIEW_ASCII | VIEW_SWAP, 64);
  EXPECT_EQ(std::strlen(buf), LONG_FORM_BUF_SIZE - 1);
  for (std::size_t i = LONG_FORM_BUF_SIZE; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0x5A);
}

TEST(long_form_size, classic_lines_fit_the_classic_buffer) {
  for (unsigned view = 0; view < 0x20; ++view) {
    for (std::uint32_t id : {0x123U, 0x92345678U, 0x20000080U}) {
      for (int len = 0; len <= 8; ++len) {
        char buf[LONG_FORM_BUF_SIZE];
        format_frame_long(buf, make(id, bytes(len, 0x41)), view, 8);
        EXPECT_LT(std::strlen(buf), LONG_FORM_CLASSIC_BUF_SIZE);
      }
    }
  }
}

TEST(long_form_columns, marker_and_quote_stand_in_one_column_whatever_the_length) {
  for (unsigned view : {VIEW_ASCII, VIEW_ASCII | VIEW_BINARY, VIEW_ASCII | VIEW_ALIGN_SFF}) {
    const std::size_t width = (view & VIEW_BINARY) ? 9 : 3;
    for (int len = 0; len <= 8; ++len) {
      char buf[LONG_FORM_BUF_SIZE];
      format_frame_long(buf, make(0x92345678, bytes(len, 0x41)), view, 8);
      EXPECT_EQ(std::string(buf).find('\''), 10 + 5 + 8 * width + 3) << len;
      format_frame_long(buf, make(0x20000001, bytes(len, 0)), view, 8);
      EXPECT_EQ(std::string(buf).find("ERRORFRAME"), 10 + 5 + 8 * width + 3) << len;
    }
  }
}

}  // namespace
