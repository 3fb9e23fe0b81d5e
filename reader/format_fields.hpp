// SPDX-License-Identifier: MIT
// What the formats other than the log share to read a line: fields split at white space, numbers
// in a base, decimal times scaled to nanoseconds, and the parts a frame or a bad line hands on.
#ifndef CANTEXT_READER_FORMAT_FIELDS_HPP
#define CANTEXT_READER_FORMAT_FIELDS_HPP

#include <cstdint>
#include <cstring>
#include <string_view>

#include "byte_words.hpp"
#include "frame/hex_word.hpp"
#include "hex_tables.hpp"
#include "line_format.hpp"

// The straight paths' steps: inline on x86-64, where their speed counts; elsewhere one copy of
// each, for the boards, where the program's size counts (and which the size tests hold).
#if CANTEXT_X86_KERNELS
#define CANTEXT_STRAIGHT_STEP [[gnu::always_inline]] inline
#else
#define CANTEXT_STRAIGHT_STEP [[gnu::noinline]] inline
#endif

namespace cantext::reader::fields {

// text.substr(begin, count) without the range check that throws: `begin` past the end gives
// an empty text.  The programs carry no C++ run-time library.
constexpr std::string_view sub(std::string_view text, std::size_t begin,
                               std::size_t count = std::string_view::npos) noexcept {
  if (begin > text.size()) begin = text.size();
  if (count > text.size() - begin) count = text.size() - begin;
  return {text.data() + begin, count};
}

// The C locale's white space: ' ' and '\t' to '\r', which follow each other.
constexpr bool is_space(char c) noexcept {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

// Whether c is neither white space nor a control character (as at_most_space tells).
constexpr bool above_space(char c) noexcept {
  return static_cast<unsigned char>(c) > 0x20;
}

// The high bit of each byte of w that is at most ' ' (the white space and the control
// characters).  For a byte below 0x80, 0xA0 minus it reaches 0x80 exactly then, without a borrow
// from the next byte; bytes from 0x80 on are left out by their own high bit.
constexpr std::uint64_t at_most_space(std::uint64_t w) noexcept {
  return (detail::every_byte(0xA0) - (w & detail::every_byte(0x7F))) & ~w & detail::high_bits;
}

// Splits a line into fields, one at a time.  Runs of spaces and the characters of a field are
// passed over a word at a time where eight of them lie in the text; the bytes that the word
// tests find are checked one by one.
struct splitter {
  std::string_view text;
  std::size_t at = 0;

  std::string_view next() noexcept {
    const char* const p = text.data();
    const std::size_t n = text.size();
    for (;;) {
      for (; at + 8 <= n; at += 8) {
        const std::uint64_t other =
            ~detail::bytes_equal(detail::load_word(p + at), ' ') & detail::high_bits;
        if (other != 0) {
          at += detail::lowest_set_bit(other) / 8;
          break;
        }
      }
      if (at >= n || !is_space(p[at])) break;
      ++at;
    }
    const std::size_t begin = at;
    for (;;) {
      for (; at + 8 <= n; at += 8) {
        const std::uint64_t low = at_most_space(detail::load_word(p + at));
        if (low != 0) {
          at += detail::lowest_set_bit(low) / 8;
          break;
        }
      }
      if (at >= n || is_space(p[at])) break;
      ++at;
    }
    return {p + begin, at - begin};
  }
  // The next field without taking it.
  std::string_view peek() const noexcept {
    splitter copy = *this;
    return copy.next();
  }
};

constexpr char lower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Whether `text` is `word` in any case (the formats' keywords are ASCII).
constexpr bool same_word(std::string_view text, std::string_view word) noexcept {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lower(text[i]) != lower(word[i])) return false;
  }
  return true;
}

constexpr bool starts_with_word(std::string_view text, std::string_view word) noexcept {
  return text.size() >= word.size() && same_word(sub(text, 0, word.size()), word);
}

// The value of a digit in base 10 or 16; 16 for any other character.
constexpr unsigned digit_value(char c) noexcept {
  return detail::hex_value(c);
}

// The whole of `text` as a number in `base` (10 or 16) no greater than `max`.
constexpr bool read_number(std::string_view text, unsigned base, std::uint32_t max,
                           std::uint32_t& value) noexcept {
  if (text.empty()) return false;
  // Checked after every digit, the number stays below 16 * 2^32: no overflow in 64 bits.
  std::uint64_t v = 0;
  for (const char c : text) {
    const unsigned d = digit_value(c);
    v = v * base + d;
    if (d >= base || v > max) return false;
  }
  value = static_cast<std::uint32_t>(v);
  return true;
}

// Digits eight at a time.  A word holds eight characters, the first in its lowest byte
// (detail::load_word and store_word keep that order on every target), so that a few multiplies
// do for eight digits what a loop does for each: the times and numbers of every line are read
// and written this way.

// The eight decimal digits of v < 10^8, leading zeros included.
constexpr std::uint64_t decimal_word(std::uint32_t v) noexcept {
  // Halves of four digits in 32-bit lanes, quarters of two in 16-bit lanes, then digits in
  // bytes, the first of each pair in the lower lane.  x * 10486 >> 20 is x / 100 for x < 10^4
  // and x * 103 >> 10 is x / 10 for x < 100; no lane's product reaches the next lane.
  std::uint64_t x = (v / 10000) | std::uint64_t{v % 10000} << 32;
  const std::uint64_t hundreds = (x * 10486 >> 20) & 0x0000007F0000007FULL;
  x = hundreds | (x - hundreds * 100) << 16;
  const std::uint64_t tens = (x * 103 >> 10) & 0x000F000F000F000FULL;
  x = tens | (x - tens * 10) << 8;
  return x + detail::every_byte('0');
}

// The eight upper-case hex digits of v, leading zeros included.
constexpr std::uint64_t hex_word(std::uint32_t v) noexcept {
  // The high half to the low lane, then each half's high byte, then each byte's high nibble.
  std::uint64_t x = (v >> 16) | std::uint64_t{v & 0xFFFF} << 32;
  x = (x >> 8 & 0x000000FF000000FFULL) | (x & 0x000000FF000000FFULL) << 16;
  x = (x >> 4 & 0x000F000F000F000FULL) | (x & 0x000F000F000F000FULL) << 8;
  // 'A' is 7 past '9' + 1: digits from 10 on, whose byte plus 6 reaches 16, get 7 more.
  return x + detail::every_byte('0') +
         ((x + detail::every_byte(6)) >> 4 & detail::every_byte(1)) * 7;
}

// The value of eight digit values (0 to 9 in each byte, the first in the lowest byte).
constexpr std::uint32_t eight_digit_value(std::uint64_t d) noexcept {
  d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFULL;
  d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFFULL;
  return static_cast<std::uint32_t>((d & 0xFFFF) * 10000 + (d >> 32));
}

// Whether each byte of x, characters xor '0', is a decimal digit's value.  A byte with a high
// nibble fails the first test; the others add 6 without a carry and reach 16 from 10 on.
constexpr bool decimal_values(std::uint64_t x) noexcept {
  return ((x & detail::every_byte(0xF0)) |
          ((x + detail::every_byte(6)) & detail::every_byte(0x10))) == 0;
}

// The n (1 to 8) characters from p as a decimal number; reads the eight from p.  False when
// one is no digit.
inline bool digits_from(const char* p, unsigned n, std::uint32_t& value) noexcept {
  const std::uint64_t x = (detail::load_word(p) ^ detail::every_byte('0')) << (8 * (8 - n));
  value = eight_digit_value(x);
  return decimal_values(x);
}

// The n (1 to 8) characters before `end` as a decimal number; reads the eight before `end`.
inline bool digits_before(const char* end, unsigned n, std::uint32_t& value) noexcept {
  const std::uint64_t x =
      (detail::load_word(end - 8) ^ detail::every_byte('0')) & (~std::uint64_t{0} << (8 * (8 - n)));
  value = eight_digit_value(x);
  return decimal_values(x);
}

// Writes v in decimal, at least `min_digits` (1 to 8) of them, and returns the end of the
// digits.  Writes whole words: the 24 bytes from `out` may be written.
char* put_decimal_words(char* out, std::uint64_t v, unsigned min_digits) noexcept;

inline char* put_decimal(char* out, std::uint64_t v, unsigned min_digits = 1) noexcept {
  if (v < 10 && min_digits <= 1) {
    *out = static_cast<char>('0' + v);
    return out + 1;
  }
  return put_decimal_words(out, v, min_digits);
}

constexpr std::int64_t powers_of_ten[] = {1,      10,      100,      1000,      10000,
                                          100000, 1000000, 10000000, 100000000, 1000000000};

// A reading of a line's usual shape, field by field, for the formats' straight paths: fields
// parted by ' ' alone, numbers of few digits.  Each step checks what it reads and clears `good`
// on anything else (and reads nothing past the line), so that the general path, which takes
// every shape, reads the line then.
struct usual_cursor {
  const char* p;
  std::size_t n;
  std::size_t at;
  bool good = true;

  // A cursor from `at` over `line` up to its end or its final '\r', which the general path
  // takes as white space too.
  static usual_cursor over(std::string_view line, std::size_t at) noexcept {
    const std::size_t n = line.size();
    return {line.data(), n != 0 && line[n - 1] == '\r' ? n - 1 : n, at};
  }

  char peek() const noexcept { return at < n ? p[at] : '\0'; }
  // Whether a field ends here: at a space or the end of the line.
  bool field_end() const noexcept { return at == n || p[at] == ' '; }
  // One ' ' or more, eight at a time where they lie in the line.
  void spaces() noexcept {
    const std::size_t from = at;
    // Most often a single one.
    if (at + 1 < n && p[at] == ' ' && p[at + 1] != ' ') {
      ++at;
      return;
    }
    for (; at + 8 <= n; at += 8) {
      const std::uint64_t other =
          ~detail::bytes_equal(detail::load_word(p + at), ' ') & detail::high_bits;
      if (other != 0) {
        at += detail::lowest_set_bit(other) / 8;
        good &= at != from;
        return;
      }
    }
    while (at < n && p[at] == ' ') ++at;
    good &= at != from;
  }
  // A number of 1 to `most` digits of `base` (10 or 16), which ends the field unless `then`
  // follows it.
  std::uint32_t number(unsigned base, std::size_t most) noexcept {
    // Most often a single digit.
    if (at + 1 < n) {
      const unsigned first = detail::hex_value(p[at]);
      if (first < base && p[at + 1] == ' ') {
        ++at;
        return first;
      }
    }
    const std::size_t from = at;
    std::uint32_t v = 0;
    for (unsigned d; at < n && (d = detail::hex_value(p[at])) < base; ++at) v = v * base + d;
    good &= at != from && at - from <= most;
    return v;
  }
  // A field of any characters above ' '.
  void any_field() noexcept {
    const std::size_t from = at;
    for (; at + 8 <= n; at += 8) {
      const std::uint64_t low = at_most_space(detail::load_word(p + at));
      if (low != 0) {
        at += detail::lowest_set_bit(low) / 8;
        good &= at != from && field_end();
        return;
      }
    }
    while (at < n && above_space(p[at])) ++at;
    good &= at != from && field_end();
  }
  // A number of 1 to 8 hex digits, eight characters read at once where they lie in the line.
  std::uint32_t hex_number() noexcept {
    if (at + 8 > n) return number(16, 8);
    std::uint64_t bad = 0;
    const std::uint64_t values = detail::hex_digit_values(detail::load_word(p + at), bad);
    // The digits are the bytes before the first that is none; shifted to the top of the word,
    // zeros lead them.
    const unsigned count = bad == 0 ? 8 : detail::lowest_set_bit(bad) / 8;
    if (count == 0) {
      good = false;
      return 0;
    }
    at += count;
    return detail::digits_number(values << (8 * (8 - count)));
  }
  // A field "whole.fraction" after any spaces, 1 to 9 digits of fraction and fewer than eight
  // characters before the point, as read_scaled reads it; the 16 characters from `at` (which
  // must lie in the line) read a word at a time.
  CANTEXT_STRAIGHT_STEP void decimal_field(int scale, std::int64_t& value, int& digits) noexcept {
    if (at + 16 > n) {
      good = false;
      return;
    }
    const char* const begin = p + at;
    const std::uint64_t word = detail::load_word(begin);
    const std::uint64_t dot = detail::bytes_equal(word, '.');
    // The spaces before the digits are the bytes below the lowest other than ' '.
    const std::uint64_t other = ~detail::bytes_equal(word, ' ') & detail::high_bits;
    const unsigned lead = other != 0 ? detail::lowest_set_bit(other) / 8 : 8;
    const unsigned point = dot != 0 ? detail::lowest_set_bit(dot) / 8 : 0;
    if (point <= lead) {
      good = false;
      return;
    }
    // The whole digits moved to the top of the word and the spaces before them cleared: zeros
    // leading a number change nothing.
    const std::uint64_t whole_values = ((word ^ detail::every_byte('0')) << (8 * (8 - point))) &
                                       (~std::uint64_t{0} << (8 * (8 - point + lead)));
    // The fraction up to the first byte at most ' ', in the 16 characters.  Its digits in place
    // with zeros after them are the fraction in units of 10^-8: eight_digit_value takes the
    // lowest byte for the highest digit.
    const char* const fraction = begin + point + 1;
    const std::uint64_t fraction_word = detail::load_word(fraction);
    const std::uint64_t ends = at_most_space(fraction_word);
    const unsigned count = ends != 0 ? detail::lowest_set_bit(ends) / 8 : 8;
    const std::uint64_t below_end = ((ends & (std::uint64_t{0} - ends)) >> 7) - 1;
    const std::uint64_t fraction_values = (fraction_word ^ detail::every_byte('0')) & below_end;
    std::uint64_t nanoseconds = std::uint64_t{eight_digit_value(fraction_values)} * 10;
    const char* after = fraction + count;
    const char* const end = p + n;
    // Both tested whatever the first gives (no branch between them): as locals, which clang
    // does not take for a logical and written as a bitwise one.
    const bool whole_ok = decimal_values(whole_values);
    const bool fraction_ok = decimal_values(fraction_values);
    bool ok = count != 0 && (whole_ok & fraction_ok);
    if (count < 8) {
      // The fraction ends inside its word, which lies in the 16 characters: the byte that ends
      // it is in the word, and in the line.
      ok &= is_space(static_cast<char>(fraction_word >> (8 * count)));
    } else {
      // A ninth digit, which the word did not hold.
      if (after < end && !is_space(*after)) {
        const unsigned ninth = static_cast<unsigned char>(*after) - unsigned{'0'};
        ok &= ninth <= 9;
        nanoseconds += ninth;
        ++after;
      }
      ok &= after == end || is_space(*after);
    }
    if (!ok) {
      good = false;
      return;
    }
    digits = static_cast<int>(after - fraction);
    value = std::int64_t{eight_digit_value(whole_values)} * powers_of_ten[scale] +
            static_cast<std::int64_t>(nanoseconds /
                                      static_cast<std::uint64_t>(powers_of_ten[9 - scale]));
    at = static_cast<std::size_t>(after - p);
  }
  // "Rx" or "Tx" as "R" or "T".
  std::string_view direction() noexcept {
    if (at + 2 > n || p[at + 1] != 'x' || (p[at] != 'R' && p[at] != 'T')) {
      good = false;
      return {};
    }
    at += 2;
    good &= field_end();
    return {p[at - 2] == 'R' ? "R" : "T", 1};
  }
};

// `count` data bytes, each a field that is a number in `base` no greater than 0xFF.  The usual
// field, two hex digits, is read in place; others go through the splitter.
// One data byte for read_data, of any shape.
bool read_data_field(splitter& words, unsigned base, std::uint8_t& byte) noexcept;

#if CANTEXT_X86_KERNELS
// Five data bytes in the usual form from the 16 characters at `w` (which must lie in the line):
// a space at 1, 4, 7, 10 and 13, each followed by two hex digits.  Returns the bytes, the first
// in the lowest; clears `good` unless each character of `checked` (a bit each) is as it should
// be.  The first character is not read: the windows of a run overlap by one.
[[gnu::always_inline]] inline std::uint64_t five_hex_pairs_sse2(const char* w, unsigned checked,
                                                                bool& good) noexcept {
  const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
  __m128i letter;
  const auto digits =
      static_cast<unsigned>(_mm_movemask_epi8(detail::hex_digits_sse2(chars, letter)));
  const auto spaces =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, _mm_set1_epi8(' '))));
  constexpr unsigned space_places = 0x2492;
  constexpr unsigned digit_places = 0xDB6C;
  good &= (((spaces & space_places) | (digits & digit_places)) & checked) ==
          ((space_places | digit_places) & checked);
  // Each character's value is below 16, whatever it is, so that shifting a 16-bit lane moves no
  // bits into the next byte: each first digit's place gets first * 16 + second.
  const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                      _mm_and_si128(letter, _mm_set1_epi8(9)));
  const __m128i pairs = _mm_or_si128(_mm_slli_epi16(values, 4), _mm_srli_si128(values, 1));
  // The bytes at 2 and 5 of the low half and at 0, 3 and 6 of the high half, brought together
  // by multiplies whose partial products fall on different bytes (no carries).
  const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pairs));
  const auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pairs, pairs)));
  const std::uint64_t first = ((low & 0x0000FF0000FF0000ULL) * 0x10001 >> 32) & 0xFFFF;
  const std::uint64_t rest = ((high & 0x00FF0000FF0000FFULL) * 0x100010001ULL >> 32) & 0xFFFFFF;
  return first | rest << 16;
}

// read_hex_pairs on x86-64: five bytes at a time, the last five read from the 16 characters
// that end at the last digit.  Writes no byte past `count`; x86-64 stores low bytes first.
inline bool hex_pairs_sse2(const char* p, std::size_t at, std::size_t end, int count,
                           std::uint8_t* data) noexcept {
  bool good = true;
  const char* w = p + at - 1;
  std::uint8_t* d = data;
  int left = count;
  for (; left >= 5; left -= 5, w += 15, d += 5) {
    const std::uint64_t five = five_hex_pairs_sse2(w, 0xFFFE, good);
    std::memcpy(d, &five, 5);
  }
  if (left != 0) {
    const std::uint64_t five =
        five_hex_pairs_sse2(p + end - 16, 0xFFFFu << (16 - 3 * left) & 0xFFFF, good);
    if (count >= 5) {
      std::memcpy(data + count - 5, &five, 5);
    } else if (count == 1) {
      data[0] = static_cast<std::uint8_t>(five >> 32);
    } else {
      // The last `count` of the five as two pairs, which overlap for three.
      const std::uint64_t last = five >> (8 * (5 - count));
      const std::uint64_t last_pair = last >> (8 * (count - 2));
      std::memcpy(data, &last, 2);
      std::memcpy(data + count - 2, &last_pair, 2);
    }
  }
  return good;
}
#endif

// `count` data bytes in the usual form from `at`: one space before each, two hex digits, then a
// space or the line's end.  Returns false when the text is not all so; the bytes written then
// (never past `count`) are meaningless and the caller reads them again.  No branch on the
// characters: one test on all of them at the end.
inline bool read_hex_pairs(const char* p, std::size_t n, std::size_t& at, int count,
                           std::uint8_t* data) noexcept {
  const std::size_t end = at + 3 * static_cast<std::size_t>(count);
  if (end > n || (end != n && !is_space(p[end]))) return false;
#if CANTEXT_X86_KERNELS
  // The windows begin a character before `at` and end at `end`, all in the line.
  if (at != 0 && end >= 16) {
    if (!hex_pairs_sse2(p, at, end, count, data)) return false;
    at = end;
    return true;
  }
#endif
  unsigned not_space = 0;
  unsigned digits = 0;
  for (const char* q = p + at; q != p + end; q += 3) {
    const unsigned high = detail::hex_value(q[1]);
    const unsigned low = detail::hex_value(q[2]);
    not_space |= static_cast<unsigned char>(q[0]) ^ unsigned { ' ' };
    digits |= high | low;
    *data++ = static_cast<std::uint8_t>(high << 4 | low);
  }
  if (not_space != 0 || digits > 15) return false;
  at = end;
  return true;
}

// read_hex_pairs for at most 8 bytes (a classic frame's) whose text ends at least 31 characters
// into the line: the 8 bytes from `data` are written, those past `count` with zeros.
CANTEXT_STRAIGHT_STEP bool read_few_hex_pairs(const char* p, std::size_t n, std::size_t& at,
                                              int count, std::uint8_t* data) noexcept {
#if CANTEXT_X86_KERNELS
  const std::size_t end = at + 3 * static_cast<std::size_t>(count);
  if (end > n || (end != n && !is_space(p[end]))) return false;
  // The last five bytes from the 16 characters before `end`, the three before them from the
  // high half of the 16 before those; the characters before `at` are not checked.
  bool good = true;
  const unsigned last = count < 5 ? static_cast<unsigned>(count) : 5;
  const unsigned before = static_cast<unsigned>(count) - last;
  std::uint64_t bytes =
      five_hex_pairs_sse2(p + end - 16, 0xFFFFu << (16 - 3 * last) & 0xFFFF, good) >>
      (8 * (5 - last));
  if (before != 0) {
    const std::uint64_t earlier =
        five_hex_pairs_sse2(p + end - 31, 0xFFFFu << (16 - 3 * before) & 0xFFFF, good);
    bytes = bytes << (8 * before) | earlier >> (8 * (5 - before));
  }
  detail::store_word(data, bytes);
  if (!good) return false;
  at = end;
  return true;
#else
  std::memset(data, 0, 8);
  return read_hex_pairs(p, n, at, count, data);
#endif
}

inline bool read_data(splitter& words, unsigned base, int count, std::uint8_t* data) noexcept {
  const char* const p = words.text.data();
  const std::size_t n = words.text.size();
  // The usual fields: spaces before each, two hex digits, then a space or the line's end.  The
  // place is kept here, not in `words`, which the bytes written might alias.
  std::size_t at = words.at;
  int i = base == 16 && read_hex_pairs(p, n, at, count, data) ? count : 0;
  for (; base == 16 && i < count; ++i) {
    std::size_t field = at;
    while (field < n && p[field] == ' ') ++field;
    if (field + 2 > n) break;
    const unsigned high = detail::hex_value(p[field]);
    const unsigned low = detail::hex_value(p[field + 1]);
    if ((high | low) > 15 || (field + 2 != n && !is_space(p[field + 2]))) break;
    data[i] = static_cast<std::uint8_t>(high << 4 | low);
    at = field + 2;
  }
  words.at = at;
  for (; i < count; ++i) {
    if (!read_data_field(words, base, data[i])) return false;
  }
  return true;
}

// A decimal "[-]digits[.digits]" times 10^scale (scale 0..9), digits past the scale dropped;
// `fraction_digits` is how many the text has.  False for any other text and for values beyond
// what int64 holds.
bool read_scaled(std::string_view text, int scale, std::int64_t& value,
                 int& fraction_digits) noexcept;

// read_scaled for a `field` of `line` (a view into it) that is usually "whole.fraction" with at
// most 7 digits of whole and 9 of fraction, read a word at a time where the eight bytes from the
// field's start and before its end lie in the line; digit by digit otherwise.
bool read_scaled_in(std::string_view line, std::string_view field, int scale, std::int64_t& value,
                    int& fraction_digits) noexcept;

// Writes the log's name for a 1-based channel number, "can{number - 1}", into the state and
// the line's channel field.
CANTEXT_STRAIGHT_STEP void put_channel_name(format_state& state, std::uint32_t number,
                                            line_parts& out) noexcept {
  if (number - 1 < 10) {
    // "can0" to "can9" and the NUL after them in one store.
    detail::store_word(state.channel_text,
                       detail::text_word("can0\0\0\0\0") + (std::uint64_t{number - 1} << 24));
    out.fields[1] = {state.channel_text, 4};
    return;
  }
  std::memcpy(state.channel_text, "can", 3);
  char* const end = put_decimal(state.channel_text + 3, number - 1);
  *end = '\0';
  out.fields[1] = {state.channel_text, static_cast<std::size_t>(end - state.channel_text)};
}

// The parts of a frame whose time and channel fields are set (by put_log_time and
// put_channel_name): the frame's text in the line, its direction and its kind.
inline line_verdict frame_parts(std::string_view frame, std::string_view direction,
                                int max_data_length, line_parts& out) noexcept {
  out.fields[2] = frame;
  out.direction = direction;
  out.max_data_length = max_data_length;
  return line_verdict::frame;
}

// A bad line: `problem` says what is wrong.
inline line_verdict bad(const char* problem, line_parts& out) noexcept {
  std::memset(&out.record, 0, sizeof out.record);
  out.fields[0] = out.fields[1] = out.fields[2] = std::string_view();
  out.direction = std::string_view();
  out.max_data_length = 0;
  out.fault = line_fault::bad_line;
  out.problem = problem;
  return line_verdict::bad;
}

// "R" or "T" for the "Rx" or "Tx" of a line, empty for anything else.
inline std::string_view direction_of(std::string_view word) noexcept {
  if (same_word(word, "Rx")) return "R";
  if (same_word(word, "Tx")) return "T";
  return std::string_view();
}

}  // namespace cantext::reader::fields

#endif
