// SPDX-License-Identifier: MIT
// Which frames a filter keeps, one row per case: identifiers of both kinds kept apart, ranges,
// kernel-style masks and their inversion, channels and error frames; and the lists refused.
#include <gtest/gtest.h>

#include <string>

#include "cantext/cantext.hpp"
#include "frame_filter.hpp"

namespace {

using namespace cantext::reader;

struct keep_case {
  const char* ids;       // --id, or null
  const char* channels;  // --channel, or null
  int errors;            // 1: errors only, -1: no errors
  const char* frame;     // compact notation
  const char* channel;
  bool kept;
};

// clang-format off
const keep_case keep_cases[] = {
    {"123", nullptr, 0, "123#11", "can0", true},
    {"123", nullptr, 0, "00000123#11", "can0", false},  // an extended 123 is another frame
    {"00000123", nullptr, 0, "00000123#11", "can0", true},
    {"00000123", nullptr, 0, "123#11", "can0", false},
    {"123", nullptr, 0, "123#R", "can0", true},          // a remote request has the identifier
    {"004", nullptr, 0, "20000004#0000000000000000", "can0", false},  // an error frame has none
    {"7E0-7EF", nullptr, 0, "7E8#01", "can0", true},
    {"7E0-7EF", nullptr, 0, "7F0#01", "can0", false},
    {"18FEF100-18FEF1FF", nullptr, 0, "18FEF1AB#01", "can0", true},
    {"100:700", nullptr, 0, "1AB#", "can0", true},
    {"100:700", nullptr, 0, "2AB#", "can0", false},
    {"~100:700", nullptr, 0, "2AB#", "can0", true},
    {"~100:700", nullptr, 0, "1AB#", "can0", false},
    {"18FEF100:1FFFFF00", nullptr, 0, "18FEF1FF#", "can0", true},
    {"18FEF100:1FFFFF00", nullptr, 0, "08FEF1FF#", "can0", false},
    {"123,7FF", nullptr, 0, "7FF#", "can0", true},
    {nullptr, "can1,vcan0", 0, "123#", "vcan0", true},
    {nullptr, "can1", 0, "123#", "can10", false},
    {"123", "can1", 0, "123#", "can0", false},
    {nullptr, nullptr, 1, "20000004#0000000000000000", "can0", true},
    {nullptr, nullptr, 1, "123#", "can0", false},
    {nullptr, nullptr, -1, "20000004#0000000000000000", "can0", false},
    {nullptr, nullptr, 0, "123#", "anything", true},
};
// clang-format on

TEST(frame_filter, keeps_what_each_row_says) {
  for (const keep_case& c : keep_cases) {
    frame_filter f;
    const char* problem = nullptr;
    if (c.ids != nullptr) {
      ASSERT_TRUE(add_ids(f, c.ids, problem)) << c.ids;
    }
    if (c.channels != nullptr) {
      ASSERT_TRUE(add_channels(f, c.channels, problem)) << c.channels;
    }
    f.errors_only = c.errors > 0;
    f.no_errors = c.errors < 0;
    cantext::frame_record record;
    ASSERT_NE(cantext::parse_frame_text(c.frame, record), cantext::not_a_frame) << c.frame;
    EXPECT_EQ(keeps(f, record, c.channel), c.kept)
        << (c.ids ? c.ids : "") << " " << (c.channels ? c.channels : "") << " " << c.frame;
  }
}

TEST(frame_filter, refuses_what_is_no_list) {
  for (const char* list : {"", "12", "1234", "22345678", "XYZ", "123-", "7EF-7E0", "123-00000124",
                           "~123", "123:", ":700", "123,,124", "123:70"}) {
    frame_filter f;
    const char* problem = nullptr;
    EXPECT_FALSE(add_ids(f, list, problem)) << list;
    EXPECT_NE(problem, nullptr) << list;
  }
  std::string many;
  for (int i = 0; i <= static_cast<int>(frame_filter::most_ids); ++i) many += "123,";
  many += "123";
  frame_filter f;
  const char* problem = nullptr;
  EXPECT_FALSE(add_ids(f, many, problem));
}

}  // namespace
