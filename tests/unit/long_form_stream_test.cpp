// SPDX-License-Identifier: MIT
// write_frame_long into a real stream: the long form, the description under it, the line end.
#include <gtest/gtest.h>

#include <string>

#include "error_frame_support.hpp"

namespace {

using namespace cantext;
using namespace error_frame_support;

struct stream_case {
  const char* name;
  frame_record record;
  const char* eol;
  unsigned view;
  int maxdlen;
  std::string text;
  std::string message;  // expected on standard error
};

const detail_bytes warning = {0, 0x05};
const detail_bytes several = {0, 0x05, 0x03, 10, 0, 0, 1, 2};
const std::string warning_line = "20000004   [8]  00 05 00 00 00 00 00 00   ERRORFRAME";
const std::string warning_words = "controller-problem{rx-overflow,rx-error-warning}";

std::string twelve_bytes() {
  std::string s = "20000004  [12]  00 05";
  for (int i = 2; i < 12; ++i) s += " 00";
  return s;
}

const stream_case cases[] = {
    {"error_view", record_of(0x20000004, warning), "\n", VIEW_ERROR | VIEW_ASCII, 8,
     warning_line + "\n\t" + warning_words + "\n", ""},
    {"error_view_no_eol", record_of(0x20000004, warning), nullptr, VIEW_ERROR, 8,
     warning_line + "\n\t" + warning_words, ""},
    {"other_eol", record_of(0x20000004, warning), "\r\n", VIEW_ERROR, 8,
     warning_line + "\n\t" + warning_words + "\r\n", ""},
    {"without_error_view", record_of(0x20000004, warning), "\n", VIEW_ASCII, 8, warning_line + "\n",
     ""},
    {"without_error_view_no_eol", record_of(0x20000004, warning), nullptr, 0, 8, warning_line, ""},
    {"one_entry_per_line", record_of(0x2000000C, several), "\n", VIEW_ERROR, 8,
     "2000000C   [8]  00 05 03 0A 00 00 01 02   ERRORFRAME\n"
     "\tcontroller-problem{rx-overflow,rx-error-warning}\n"
     "\tprotocol-violation{{single-bit-error,frame-format-error}{data-field}}\n"
     "\terror-counter-tx-rx{{1}{2}}\n",
     ""},
    {"not_an_error_frame", record_of(0x123, {0xDE, 0xAD, 0xBE, 0xEF}, 4), "\n",
     VIEW_ERROR | VIEW_ASCII | VIEW_ALIGN_SFF, 8,
     "     123   [4]  DE AD BE EF               '....'\n", ""},
    {"more_than_8_bytes", record_of(0x20000004, warning, 12), "\n", VIEW_ERROR | VIEW_ASCII, 64,
     twelve_bytes() + "\n\t" + warning_words + "\n", ""},
    {"remote_request", record_of(0x60000004, warning), "\n", VIEW_ERROR | VIEW_ASCII, 8,
     "20000004   [8]  remote request\n\t" + warning_words + "\n", ""},
    {"class_0", record_of(0x20000000), "\n", VIEW_ERROR, 8,
     "20000000   [8]  00 00 00 00 00 00 00 00   ERRORFRAME\n\t\n", ""},
    {"invalid_class", record_of(0x20000201, {0, 0, 0, 0, 0, 0, 1, 2}), "\n", VIEW_ERROR, 8,
     "20000201   [8]  00 00 00 00 00 00 01 02   ERRORFRAME\n\t\n",
     "Error class 0x201 is invalid\n"},
    {"invalid_class_without_error_view", record_of(0x20000201), nullptr, VIEW_ASCII, 8,
     "20000201   [8]  00 00 00 00 00 00 00 00   ERRORFRAME", ""},
    {"longest_description", longest_error, "\n", VIEW_ERROR, 8,
     "200001FF   [8]  FF FF FF 13 FF FF FF FF   ERRORFRAME\n\t" + longest_description + "\n", ""},
};

void PrintTo(const stream_case& c, std::ostream* os) {
  *os << c.name;
}

class long_form_stream : public testing::TestWithParam<stream_case> {};

TEST_P(long_form_stream, writes_exactly) {
  const stream_case& c = GetParam();
  std::string text;
  const std::string message = captured_stderr([&] {
    text = written_to_stream(
        [&](std::FILE* stream) { write_frame_long(stream, c.record, c.eol, c.view, c.maxdlen); });
  });
  EXPECT_EQ(text, c.text);
  EXPECT_EQ(message, c.message);
}

INSTANTIATE_TEST_SUITE_P(examples, long_form_stream, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

// The widest line and the longest description share the writer's one buffer.
TEST(long_form_stream_size, the_widest_line_then_the_longest_description) {
  frame_record r = longest_error;
  r.len = 64;
  for (int i = 8; i < 64; ++i) r.data[i] = static_cast<std::uint8_t>(i);
  char line[LONG_FORM_BUF_SIZE];
  format_frame_long(line, r, VIEW_BINARY | VIEW_SWAP, 64);
  ASSERT_EQ(std::string(line).size(), LONG_FORM_BUF_SIZE - 1);
  const std::string text = written_to_stream([&](std::FILE* stream) {
    write_frame_long(stream, r, "\n", VIEW_BINARY | VIEW_SWAP | VIEW_ERROR, 64);
  });
  EXPECT_EQ(text, std::string(line) + "\n\t" + longest_description + "\n");
}

}  // namespace
