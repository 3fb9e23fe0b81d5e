// SPDX-License-Identifier: MIT
// The word decoders of the parser against a reading one character at a time.  Both decoders
// are tried on every target that has both, so that the one other targets use is checked here
// too: the portable one on any machine, the SSE2 one on x86-64.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "byte_words.hpp"
#include "frame/hex_word.hpp"
#include "model_text.hpp"

namespace {

using namespace cantext::detail;

// The value of a hex digit, -1 for any other character.
int digit(unsigned char c) {
  const unsigned v = cantext_fuzz::digit_value(static_cast<char>(c));
  return v < 16 ? static_cast<int>(v) : -1;
}

std::uint64_t word_of(const unsigned char* chars) {
  return load_word(chars);
}

// What a decoder of 24 characters must give: a bit per digit, and each byte whose two
// characters are both digits.
struct decoded24 {
  std::uint32_t good;
  std::uint32_t a_bytes;
  std::uint64_t bc_bytes;
};

using decoder24 = std::uint32_t (*)(std::uint64_t, std::uint64_t, std::uint64_t, std::uint32_t&,
                                    std::uint64_t&);

struct named_decoder24 {
  const char* name;
  decoder24 decode;
};

const named_decoder24 decoders24[] = {
    {"portable", digit_pairs_swar},
#if CANTEXT_X86_KERNELS
    {"sse2", digit_pairs_sse2},
#endif
    {"target", digit_pairs},
};

void expect_24(const unsigned char (&chars)[24], const std::string& what) {
  std::uint32_t good = 0;
  for (int i = 0; i < 24; ++i) good |= std::uint32_t{digit(chars[i]) >= 0} << i;
  for (const named_decoder24& d : decoders24) {
    decoded24 got{};
    got.good = d.decode(word_of(chars), word_of(chars + 8), word_of(chars + 16), got.a_bytes,
                        got.bc_bytes);
    EXPECT_EQ(got.good, good) << d.name << " " << what;
    for (int k = 0; k < 12; ++k) {
      const int hi = digit(chars[2 * k]);
      const int lo = digit(chars[2 * k + 1]);
      if (hi < 0 || lo < 0) continue;  // such bytes are not used
      const unsigned byte = k < 4 ? (got.a_bytes >> (8 * k)) & 0xFF
                                  : static_cast<unsigned>(got.bc_bytes >> (8 * (k - 4))) & 0xFF;
      EXPECT_EQ(byte, static_cast<unsigned>(hi * 16 + lo))
          << d.name << " byte " << k << " " << what;
    }
  }
}

// Characters on both sides of every range a digit comes from, and ones that differ from a
// digit only in the high bit or in the bit that folds letter case.
struct odd_char {
  unsigned char c;
  const char* why;
};

const odd_char odd_chars[] = {
    {'/', "below 0"},
    {':', "above 9"},
    {'@', "below A"},
    {'G', "above F"},
    {'`', "below a"},
    {'g', "above f"},
    {0x00, "NUL"},
    {0x10, "0 without 0x20"},
    {0x19, "9 without 0x20"},
    {0x21, "A with 0x20 off"},
    {0x80, "high bit"},
    {0xB0, "0 with high bit"},
    {0xC1, "A with high bit"},
    {0xE6, "f with high bit"},
    {0xFF, "all bits"},
    {'#', "the identifier mark"},
    {'.', "the separator"},
    {'R', "the remote mark"},
    {'0', "digit 0"},
    {'9', "digit 9"},
    {'A', "digit A"},
    {'F', "digit F"},
    {'a', "digit a"},
    {'f', "digit f"},
};

void PrintTo(const odd_char& row, std::ostream* os) {
  *os << row.why;
}

class hex_word_chars : public testing::TestWithParam<odd_char> {};

TEST_P(hex_word_chars, at_every_position_among_digits) {
  const odd_char& row = GetParam();
  static const char digits[] = "0123456789abcdefABCDEF9f";
  for (int at = 0; at < 24; ++at) {
    unsigned char chars[24];
    std::memcpy(chars, digits, 24);
    chars[at] = row.c;
    expect_24(chars, std::string(row.why) + " at " + std::to_string(at));
  }
}

INSTANTIATE_TEST_SUITE_P(rows, hex_word_chars, testing::ValuesIn(odd_chars));

TEST(hex_word, random_characters_and_digits) {
  std::mt19937 rng(12345);
  static const char digits[] = "0123456789abcdefABCDEF";
  for (int round = 0; round < 20000; ++round) {
    unsigned char chars[24];
    const unsigned odd_share = rng() % 4;  // none, few, many or only odd characters
    for (unsigned char& c : chars) {
      const bool odd = odd_share == 3 || (odd_share > 0 && rng() % (odd_share == 1 ? 16 : 2) == 0);
      c = odd ? static_cast<unsigned char>(rng()) : static_cast<unsigned char>(digits[rng() % 22]);
    }
    expect_24(chars, "round " + std::to_string(round));
  }
}

// The sixteen-digit decoders: from two words, and (on x86-64) from memory.
TEST(hex_word, sixteen_digits_agree_with_twenty_four) {
  std::mt19937 rng(777);
  static const char digits[] = "0123456789abcdefABCDEF";
  for (int round = 0; round < 20000; ++round) {
    unsigned char chars[16];
    for (unsigned char& c : chars) {
      c = rng() % 8 == 0 ? static_cast<unsigned char>(rng())
                         : static_cast<unsigned char>(digits[rng() % 22]);
    }
    bool all = true;
    std::uint64_t expected = 0;
    for (int k = 0; k < 8; ++k) {
      const int hi = digit(chars[2 * k]);
      const int lo = digit(chars[2 * k + 1]);
      all = all && hi >= 0 && lo >= 0;
      if (hi >= 0 && lo >= 0) expected |= std::uint64_t(hi * 16 + lo) << (8 * k);
    }
    std::uint64_t bytes = 0;
    const bool portable = digit_pairs_swar(word_of(chars), word_of(chars + 8), bytes);
    EXPECT_EQ(portable, all) << round;
    if (all) {
      EXPECT_EQ(bytes, expected) << round;
    }
    const bool target = digit_pairs(word_of(chars), word_of(chars + 8), bytes);
    EXPECT_EQ(target, all) << round;
    if (all) {
      EXPECT_EQ(bytes, expected) << round;
    }
    const bool from_memory = digit_pairs_at(reinterpret_cast<const char*>(chars), bytes);
    EXPECT_EQ(from_memory, all) << round;
    if (all) {
      EXPECT_EQ(bytes, expected) << round;
    }
  }
}

TEST(hex_word, identifier_number_of_eight_digits) {
  const struct {
    const char* text;
    std::uint32_t number;
  } rows[] = {{"00000000", 0},          {"12345678", 0x12345678}, {"1fffffff", 0x1FFFFFFF},
              {"DEADbeef", 0xDEADBEEF}, {"80000001", 0x80000001}, {"0000000F", 0xF}};
  for (const auto& row : rows) {
    std::uint64_t bad = 0;
    const std::uint64_t values = hex_digit_values(load_word(row.text), bad);
    EXPECT_EQ(bad, 0U) << row.text;
    EXPECT_EQ(digits_number(values), row.number) << row.text;
  }
}

}  // namespace
