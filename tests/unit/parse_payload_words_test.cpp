// SPDX-License-Identifier: MIT
// parse_frame_text takes digit pairs several at a time where it can.  These cases put every
// payload length, a separator, a wrong character and the end of the text at each position the
// word steps can meet, and hold the results against the notation's plain model.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"
#include "model_text.hpp"

namespace {

using cantext::frame_record;

struct payload_family {
  const char* name;
  std::string prefix;  // identifier and body marker
  int result;
};

const payload_family families[] = {
    {"classic_standard", "5A1#", 16},
    {"classic_extended", "1ABCDEF0#", 16},
    {"fd_standard", "5A1##3", 72},
    {"fd_extended", "1ABCDEF0##f", 72},
};

// Digits of every kind, so that a wrong decoding of either case shows.
std::string digits_of_length(std::size_t n) {
  static const char pool[] = "0123456789abcdefABCDEF9a";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += pool[(i * 7 + n) % (sizeof pool - 1)];
  return s;
}

void expect_parse(const payload_family& f, const std::string& payload) {
  const std::string text = f.prefix + payload;
  // The text alone in its buffer, so that a read past its end is seen by the sanitizers.
  const std::vector<char> alone(text.begin(), text.end());
  frame_record r;
  std::memset(&r, 0x5A, sizeof r);
  const int result = cantext::parse_frame_text({alone.data(), alone.size()}, r);
  frame_record e;
  const int expected = cantext_fuzz::model_parse(text, e);
  ASSERT_EQ(result, expected) << text;
  if (expected == 0) return;
  EXPECT_EQ(result, f.result) << text;
  EXPECT_EQ(r.len, e.len) << text;
  for (int i = 0; i < 64; ++i) EXPECT_EQ(r.data[i], e.data[i]) << text << " byte " << i;
}

class payload_words : public testing::TestWithParam<payload_family> {};

TEST_P(payload_words, every_length_with_and_without_its_end_digits) {
  for (std::size_t n = 0; n <= 140; ++n) expect_parse(GetParam(), digits_of_length(n));
}

TEST_P(payload_words, a_separator_or_a_wrong_character_at_every_position) {
  for (std::size_t n = 1; n <= 40; ++n) {
    for (std::size_t at = 0; at <= n; ++at) {
      for (const char* insert : {".", "..", "g", " ", "\x80", ":", "\x7f"}) {
        std::string payload = digits_of_length(n);
        payload.insert(at, insert);
        expect_parse(GetParam(), payload);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(kinds, payload_words, testing::ValuesIn(families),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
