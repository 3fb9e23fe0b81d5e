// SPDX-License-Identifier: MIT
// The parser's straight path for texts inside a buffer: which texts it takes, and that what it
// gives is parse_frame_text's result whatever lies around the text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cantext/cantext.hpp"
#include "frame/usual_frame.hpp"

namespace {

using cantext::frame_record;
using cantext::detail::usual_frame_reach;

struct usual_case {
  const char* text;
  bool taken;
};

const usual_case usual_cases[] = {
    {"123#", true},
    {"123#11", true},
    {"7FF#1122334455667788", true},
    {"abc#deadBEEF", true},
    {"12345678#", true},
    {"1FFFFFFF#DEADBEEF", true},
    {"20000080#0000000000000000", true},
    {"123##1", true},
    {"123##F1122334455667788", true},
    {"12345678##01122", true},
    // Everything else goes to the full parser.
    {"123##011223344556677889", false},
    {"123#112233445566778899", false},
    {"123#R", false},
    {"123#R5", false},
    {"123#11.22", false},
    {"123#112", false},
    {"123##", false},
    {"123##G11", false},
    {"123#G1", false},
    {"12#11", false},
    {"1234567#11", false},
    {"1234567G#11", false},
    {"12", false},
    {"", false},
};

class usual_frame : public testing::TestWithParam<usual_case> {};

TEST_P(usual_frame, takes_the_usual_forms_with_the_full_parsers_result) {
  const std::string text = GetParam().text;
  frame_record expected;
  const int full = cantext::parse_frame_text(text, expected);
  const frame_record cleared{};
  // What lies around the text may make the straight path decline it (a "#" after "123#" reads as
  // a CAN FD mark), but never changes a result.  Between blanks, as in a log line, the usual
  // forms are taken.
  for (const char around : {' ', '#', '0', 'F', '.'}) {
    std::string buffer(usual_frame_reach + text.size() + usual_frame_reach, around);
    buffer.replace(usual_frame_reach, text.size(), text);
    frame_record record{};
    const int usual =
        cantext::detail::parse_usual_frame(buffer.data() + usual_frame_reach, text.size(), record);
    if (around == ' ') {
      EXPECT_EQ(usual != 0, GetParam().taken);
    }
    if (usual == 0) {
      // The general path takes the text next, in the same record: it must still be cleared.
      EXPECT_EQ(std::memcmp(&record, &cleared, sizeof record), 0) << "around '" << around << "'";
      continue;
    }
    EXPECT_EQ(usual, full) << "around '" << around << "'";
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0) << "around '" << around << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(texts, usual_frame, testing::ValuesIn(usual_cases));

}  // namespace
