// SPDX-License-Identifier: MIT
// Parse, write back in compact notation, parse again: nothing of the frame may change.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "cantext/cantext.hpp"

namespace {

using namespace cantext;

// Random frame texts within the parser's identifier range.  canonical() gives exactly what
// the writer produces; noisy() spells the same frames the other ways the parser accepts.
class frame_texts {
 public:
  explicit frame_texts(unsigned seed) : rng_(seed) {}

  std::string canonical(bool sep) { return make(sep, false); }
  std::string noisy() { return make(pick(2) == 1, true); }

 private:
  std::mt19937 rng_;

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  char digit(int value, bool noisy) {
    const char* digits = (noisy && pick(2)) ? "0123456789abcdef" : "0123456789ABCDEF";
    return digits[value];
  }

  void hex(std::string& s, std::uint32_t value, int digits, bool noisy) {
    for (int i = digits - 1; i >= 0; --i)
      s += digit(static_cast<int>((value >> (4 * i)) & 0xF), noisy);
  }

  void identifier(std::string& s, bool noisy, bool error) {
    if (!error && pick(2)) {
      hex(s, static_cast<std::uint32_t>(pick(0x800)), 3, noisy);
    } else {
      // First digit 0..3: 2 and 3 set the error flag, which the error kind always wants.
      const int first = error ? 2 + pick(2) : pick(2);
      hex(s, static_cast<std::uint32_t>(first), 1, noisy);
      hex(s,
          static_cast<std::uint32_t>(pick(0x1000000)) << 4 | static_cast<std::uint32_t>(pick(16)),
          7, noisy);
    }
    s += '#';
  }

  void payload(std::string& s, int count, bool sep, bool noisy) {
    for (int i = 0; i < count; ++i) {
      if (noisy ? pick(2) == 1 : (sep && i > 0)) s += '.';
      hex(s, static_cast<std::uint32_t>(pick(256)), 2, noisy);
    }
  }

  std::string make(bool sep, bool noisy) {
    std::string s;
    const int kind = pick(4);  // classic, CAN FD, remote request, error frame
    identifier(s, noisy, kind == 3);
    if (kind == 2) {
      s += (noisy && pick(2)) ? 'r' : 'R';
      const int len = pick(9);
      if (len > 0 || (noisy && pick(2))) s += digit(len, noisy);
      if (noisy && pick(2)) s += "9.zz";  // never looked at
      return s;
    }
    const bool fd = kind == 1;
    const int count = fd ? pick(65) : pick(9);
    if (fd) {
      s += '#';
      s += digit(pick(16), noisy);
      if (sep && count > 0 && !noisy) s += '.';
    }
    payload(s, count, sep, noisy);
    // Beyond a full payload the parser drops whatever follows; a trailing "." is also accepted.
    if (noisy && count == (fd ? 64 : 8) && pick(2)) s += "11223344";
    if (noisy && pick(4) == 0) s += '.';
    return s;
  }
};

int maxdlen_for(int result) {
  return result == CANFD_MTU ? CANFD_MAX_DLEN : CAN_MAX_DLEN;
}

std::string write_back(const frame_record& record, bool sep, int result) {
  char buf[COMPACT_FORM_BUF_SIZE];
  format_frame_compact(buf, record, sep, maxdlen_for(result));
  return buf;
}

constexpr int cases = 20000;

TEST(compact_round_trip, parsed_frames_survive_writing_and_parsing_again) {
  frame_texts gen(20261208);
  for (int i = 0; i < cases; ++i) {
    const std::string text = gen.noisy();
    frame_record first;
    const int result = parse_frame_text(text, first);
    ASSERT_NE(result, 0) << text;
    for (bool sep : {false, true}) {
      const std::string written = write_back(first, sep, result);
      frame_record again;
      ASSERT_EQ(parse_frame_text(written, again), result) << text << " -> " << written;
      ASSERT_EQ(again.can_id, first.can_id) << text << " -> " << written;
      ASSERT_EQ(again.len, first.len) << text << " -> " << written;
      ASSERT_EQ(again.flags, first.flags) << text << " -> " << written;
      ASSERT_EQ(std::memcmp(again.data, first.data, sizeof first.data), 0)
          << text << " -> " << written;
    }
  }
}

TEST(compact_round_trip, canonical_texts_are_written_back_unchanged) {
  frame_texts gen(4242);
  for (int i = 0; i < cases; ++i) {
    const bool sep = (i % 2) == 1;
    const std::string text = gen.canonical(sep);
    frame_record record;
    const int result = parse_frame_text(text, record);
    ASSERT_NE(result, 0) << text;
    ASSERT_EQ(write_back(record, sep, result), text);
  }
}

}  // namespace
