// SPDX-License-Identifier: MIT
// parse_frame_text takes digit pairs several at a time where it can.  These cases put every
// payload length, a separator, a wrong character and the end of the text at each position the
// word steps can meet, and hold the results against a reading one character at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cantext/cantext.hpp"

namespace {

using cantext::frame_record;

unsigned digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return 16;
}

// The payload read one pair at a time: the expected result, length and data.
struct expected_payload {
  bool ok;
  int len;
  std::uint8_t data[64];
};

expected_payload read_pairs(const std::string& payload, int max) {
  expected_payload e{true, 0, {}};
  std::size_t p = 0;
  while (e.len < max) {
    if (p < payload.size() && payload[p] == '.') ++p;
    if (p >= payload.size()) break;
    const unsigned hi = digit(payload[p]);
    const unsigned lo = p + 1 < payload.size() ? digit(payload[p + 1]) : 16;
    if (hi > 15 || lo > 15) return {false, 0, {}};
    e.data[e.len++] = static_cast<std::uint8_t>(hi * 16 + lo);
    p += 2;
  }
  return e;
}

struct payload_family {
  const char* name;
  std::string prefix;  // identifier and body marker
  int max;             // data bytes the kind of frame holds
  int result;
};

const payload_family families[] = {
    {"classic_standard", "5A1#", 8, 16},
    {"classic_extended", "1ABCDEF0#", 8, 16},
    {"fd_standard", "5A1##3", 64, 72},
    {"fd_extended", "1ABCDEF0##f", 64, 72},
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
  const expected_payload e = read_pairs(payload, f.max);
  if (!e.ok) {
    EXPECT_EQ(result, 0) << text;
    return;
  }
  ASSERT_EQ(result, f.result) << text;
  EXPECT_EQ(r.len, e.len) << text;
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(r.data[i], i < e.len ? e.data[i] : 0) << text << " byte " << i;
  }
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
