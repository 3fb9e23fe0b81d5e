// SPDX-License-Identifier: MIT
// format_frame_long writes whole words where it can; whatever it writes past the end of its
// text stays inside the buffer size the header documents for the case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cantext/cantext.hpp"

namespace {

using namespace cantext;

struct bounds_case {
  const char* name;
  std::uint32_t can_id;
  int maxdlen;
  std::size_t buffer;  // the documented least buffer for the case
};

const bounds_case bounds_cases[] = {
    {"classic_standard", 0x123, 8, LONG_FORM_CLASSIC_BUF_SIZE},
    {"classic_extended", 0x92345678, 8, LONG_FORM_CLASSIC_BUF_SIZE},
    {"classic_error", 0x20000080, 8, LONG_FORM_CLASSIC_BUF_SIZE},
    {"classic_remote", 0x40000123, 8, LONG_FORM_CLASSIC_BUF_SIZE},
    {"fd_standard", 0x123, 64, LONG_FORM_BUF_SIZE},
    {"fd_extended", 0x92345678, 64, LONG_FORM_BUF_SIZE},
    {"fd_error", 0x20000080, 64, LONG_FORM_BUF_SIZE},
};

class long_form_bounds : public testing::TestWithParam<bounds_case> {};

TEST_P(long_form_bounds, nothing_is_written_past_the_documented_buffer) {
  const auto& c = GetParam();
  for (unsigned view = 0; view < 0x20; ++view) {
    for (int len = 0; len <= 64; ++len) {
      frame_record r;
      std::memset(&r, 0, sizeof r);
      r.can_id = c.can_id;
      r.len = static_cast<std::uint8_t>(len);
      for (int i = 0; i < 64; ++i) r.data[i] = static_cast<std::uint8_t>(0x1F + 3 * i);
      char buf[LONG_FORM_BUF_SIZE + 64];
      std::memset(buf, 0x5A, sizeof buf);
      format_frame_long(buf, r, view, c.maxdlen);
      const std::size_t text = std::strlen(buf);
      EXPECT_LT(text, c.buffer) << "view " << view << " len " << len;
      std::size_t last_written = 0;
      for (std::size_t i = 0; i < sizeof buf; ++i) {
        if (buf[i] != 0x5A) last_written = i;
      }
      EXPECT_LT(last_written, c.buffer) << "view " << view << " len " << len;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(kinds, long_form_bounds, testing::ValuesIn(bounds_cases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
