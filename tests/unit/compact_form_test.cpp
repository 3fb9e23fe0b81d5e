// SPDX-License-Identifier: MIT
// format_frame_compact and write_frame_compact: every style, masking and the byte limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"

namespace {

using namespace cantext;

frame_record make(std::uint32_t id, std::vector<std::uint8_t> data, int len = -1, int flags = 0) {
  frame_record r;
  std::memset(&r, 0, sizeof r);
  r.can_id = id;
  r.len = static_cast<std::uint8_t>(len < 0 ? static_cast<int>(data.size()) : len);
  r.flags = static_cast<std::uint8_t>(flags);
  if (!data.empty()) std::memcpy(r.data, data.data(), data.size());
  return r;
}

std::vector<std::uint8_t> counting(int n) {
  std::vector<std::uint8_t> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(i * 7 + 1));
  return v;
}

std::string counting_text(int n, const char* between) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", (i * 7 + 1) & 0xFF);
    if (i > 0) s += between;
    s += pair;
  }
  return s;
}

struct compact_case {
  const char* name;
  frame_record record;
  bool sep;
  int maxdlen;
  std::string text;
};

const std::vector<std::uint8_t> deadbeef = {0xDE, 0xAD, 0xBE, 0xEF};
const std::vector<std::uint8_t> eight_zeros(8, 0);

const compact_case cases[] = {
    {"standard", make(0x123, deadbeef), false, 8, "123#DEADBEEF"},
    {"standard_sep", make(0x123, deadbeef), true, 8, "123#DE.AD.BE.EF"},
    {"standard_as_fd", make(0x123, deadbeef), false, 64, "123##0DEADBEEF"},
    {"extended", make(0x92345678, {0x11, 0x22}), false, 8, "12345678#1122"},
    {"remote_len0", make(0x40000123, {}, 0), false, 8, "123#R"},
    {"remote_len5", make(0x40000123, {}, 5), false, 8, "123#R5"},
    {"remote_len8", make(0x40000123, {}, 8), true, 8, "123#R8"},
    {"remote_len9", make(0x40000123, {}, 9), false, 8, "123#R"},
    {"remote_fd_len0", make(0x40000123, {}, 0), false, 64, "123##0"},
    {"remote_fd_len5", make(0x40000123, {}, 5), false, 64, "123##00000000000"},
    {"remote_extended", make(0xC0000123, {0x11}), false, 8, "00000123#R1"},
    {"error", make(0x20000080, eight_zeros), false, 8, "20000080#0000000000000000"},
    {"error_remote", make(0x60000080, {}, 0), false, 8, "20000080#R"},
    {"error_remote_top_bits_cleared", make(0xE0000001, {0x01}), false, 8, "20000001#R1"},
    {"standard_masked", make(0xFFF, {0x00}), false, 8, "7FF#00"},
    {"extended_masked", make(0xA0000001, {0x00}), false, 8, "20000001#00"},
    {"fd", make(0x123, {0x11, 0x22, 0x33}, -1, 1), false, 64, "123##1112233"},
    {"fd_sep", make(0x123, {0x11, 0x22, 0x33}, -1, 1), true, 64, "123##1.11.22.33"},
    {"fd_empty_sep", make(0x123, {}, 0, 1), true, 64, "123##1"},
    {"fd_flags_high_bits_dropped", make(0x123, {0xAB}, -1, 0xF5), false, 64, "123##5AB"},
    {"fd_extended_full", make(0x92345678, counting(64), -1, 0xF), false, 64,
     "12345678##F" + counting_text(64, "")},
    {"empty", make(0x123, {}), false, 8, "123#"},
    {"empty_sep", make(0x123, {}), true, 8, "123#"},
    {"len_limited_by_maxdlen", make(0x123, counting(12)), false, 8, "123#" + counting_text(8, "")},
    // maxdlen outside 8 and 64: identifier and data only, at most 64 bytes.
    {"maxdlen_other_no_marks", make(0x40000123, {0x11}, -1, 3), false, 12, "123#11"},
    {"maxdlen_above_64_writes_64", make(0x123, counting(64), 255), true, 1000,
     "123#" + counting_text(64, ".")},
    {"maxdlen_int_max", make(0x123, counting(64), 200), false, 0x7FFFFFFF,
     "123#" + counting_text(64, "")},
    {"maxdlen_negative_writes_none", make(0x123, {0x11}), true, -1, "123#"},
    {"maxdlen_zero_writes_none", make(0x123, {0x11}), false, 0, "123#"},
};

void PrintTo(const compact_case& c, std::ostream* os) {
  *os << c.name;
}

class compact_form : public testing::TestWithParam<compact_case> {};

TEST_P(compact_form, renders_exactly_and_stays_in_its_buffer) {
  const compact_case& c = GetParam();
  char buf[COMPACT_FORM_BUF_SIZE + 16];
  std::memset(buf, 0x5A, sizeof buf);
  const char* const end = format_frame_compact(buf, c.record, c.sep, c.maxdlen);
  EXPECT_EQ(std::string(buf), c.text);
  EXPECT_EQ(end, buf + c.text.size());
  for (std::size_t i = COMPACT_FORM_BUF_SIZE; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0x5A);
}

TEST_P(compact_form, stream_writer_prints_the_same_text_and_eol) {
  const compact_case& c = GetParam();
  for (const char* eol : {static_cast<const char*>(nullptr), "\n", "\r\n"}) {
    char* out = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&out, &size);
    ASSERT_NE(stream, nullptr);
    write_frame_compact(stream, c.record, eol, c.sep, c.maxdlen);
    std::fclose(stream);
    EXPECT_EQ(std::string(out, size), c.text + (eol ? eol : ""));
    std::free(out);
  }
}

INSTANTIATE_TEST_SUITE_P(examples, compact_form, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(compact_form_size, the_longest_text_fills_the_documented_buffer_exactly) {
  const frame_record r = make(0x20000080, std::vector<std::uint8_t>(64, 0xFF), -1, 0xF);
  // Exactly the documented size on the heap, so that the sanitizers see a byte written past it.
  std::vector<char> buf(COMPACT_FORM_BUF_SIZE, 0x5A);
  format_frame_compact(buf.data(), r, true, 64);
  EXPECT_EQ(std::strlen(buf.data()), COMPACT_FORM_BUF_SIZE - 1);
}

TEST(compact_form_size, any_maxdlen_fits_the_documented_buffer) {
  const frame_record r = make(0xE0000080, std::vector<std::uint8_t>(64, 0xA5), 255, 0xFF);
  for (int maxdlen : {-1000, -1, 0, 7, 8, 9, 63, 64, 65, 255, 256, 0x7FFFFFFF}) {
    for (bool sep : {false, true}) {
      std::vector<char> buf(COMPACT_FORM_BUF_SIZE, 0x5A);
      format_frame_compact(buf.data(), r, sep, maxdlen);
      EXPECT_LT(std::strlen(buf.data()), COMPACT_FORM_BUF_SIZE) << maxdlen;
    }
  }
}

}  // namespace
