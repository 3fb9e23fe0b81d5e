// SPDX-License-Identifier: MIT
// The ASC reader's straight path with byte shuffles (SSSE3), on the processors that have them
// (instruction_sets.hpp): the time that begins a line from one vector of its characters, and a
// frame line's data bytes, " XX" each, eight from the 24 characters that hold them, where SSE2
// (format_fields.hpp) takes five from 16 and gathers them with multiplies.  Each gives what the
// step it stands for gives, or leaves the text to it.
#ifndef CANTEXT_READER_ASC_FIELDS_X86_HPP
#define CANTEXT_READER_ASC_FIELDS_X86_HPP

#include <tmmintrin.h>

#include <cstdint>
#include <cstring>

#include "format_fields.hpp"

namespace cantext::reader::fields {

// The time that begins a line, as usual_cursor::decimal_field(9, ...) reads it from the line's
// start, in its usual forms: spaces, 1 to 7 whole digits, the point among the first eight
// characters, 1 to 7 digits of fraction and white space, all in the 16 characters from `p`
// (which must lie in the line).  Returns where the fraction ends, 0 for any other text (which
// decimal_field reads then).
__attribute__((target("ssse3"))) inline unsigned line_time_ssse3(const char* p, std::int64_t& ns,
                                                                 int& digits) noexcept {
  const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, _mm_set1_epi8('.'))));
  const auto spaces =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, _mm_set1_epi8(' '))));
  // A character is a digit when adding 0x80 - '0' leaves it below -0x80 + 10 as a signed byte.
  const auto digits_at = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_cmplt_epi8(_mm_add_epi8(chars, _mm_set1_epi8(0x80 - '0')), _mm_set1_epi8(-0x80 + 10))));
  // The bits above 15 stop the counts at 16.
  const auto point = static_cast<unsigned>(__builtin_ctz(points | 0x10000));
  const auto lead = static_cast<unsigned>(__builtin_ctz(~spaces));
  if (point > 7 || lead >= point) return 0;
  // The field ends at the first character from the digits' start on that is neither a digit nor
  // the point: after at least one digit of fraction and at most seven, at white space.
  const unsigned others = ~digits_at ^ (1u << point);
  const auto end = static_cast<unsigned>(__builtin_ctz(others >> lead << lead));
  const unsigned fraction = point + 1;
  if (end - fraction - 1 > 6 || !is_space(p[end])) return 0;
  // The whole digits moved to end at lane 7 and the fraction's to begin at lane 8: lane i takes
  // character point - 8 + i, lane 8 + j character point + 1 + j.  Lanes from before the line's
  // start get 0 (an index with its high bit set), the spaces before the digits 0 (their low
  // four bits), and lanes from the fraction's end on are cleared: the whole number and the
  // fraction in units of 10^-8, eight digits each.
  const __m128i index =
      _mm_add_epi8(_mm_setr_epi8(-8, -7, -6, -5, -4, -3, -2, -1, 1, 2, 3, 4, 5, 6, 7, 8),
                   _mm_set1_epi8(static_cast<char>(point)));
  const __m128i kept = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(end)), index);
  const __m128i values =
      _mm_and_si128(_mm_and_si128(_mm_shuffle_epi8(chars, index), kept), _mm_set1_epi8(0x0F));
  // Pairs of digits times (10, 1), pairs of those times (100, 1), then (10000, 1).
  const __m128i twos = _mm_maddubs_epi16(values, _mm_set1_epi16(0x010A));
  const __m128i fours = _mm_madd_epi16(twos, _mm_set1_epi32(0x00010064));
  const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(0x00012710));
  const auto both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
  ns = static_cast<std::int64_t>((both & 0xFFFFFFFF) * 1000000000 + (both >> 32) * 10);
  digits = static_cast<int>(end - fraction);
  return end;
}

// The identifier that begins the 16 characters from `p` (which must lie in the line), "x" after
// it for an extended one, and spaces after it to the `width`th character (8 or 16), as the ASC
// writers pad it: its length with the "x", and its value with the extended flag in `can_id`.  0
// for any other text.
__attribute__((target("ssse3"))) inline unsigned padded_id_ssse3(const char* p, unsigned width,
                                                                 std::uint32_t& can_id) noexcept {
  const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i letter;
  const auto hex = static_cast<unsigned>(_mm_movemask_epi8(detail::hex_digits_sse2(chars, letter)));
  const auto spaces =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, _mm_set1_epi8(' '))));
  const auto digits = static_cast<unsigned>(__builtin_ctz(~hex));
  if (digits - 1 > 7) return 0;
  const bool extended = (p[digits] | 0x20) == 'x';
  const unsigned length = digits + extended;
  const unsigned pad = length < width ? (1u << width) - (1u << length) : 0;
  // The digits moved to end at lane 7, the lanes before them 0 (a negative index): their values
  // as four bytes, the first the most significant, by pairs times (16, 1).
  const __m128i index =
      _mm_add_epi8(_mm_setr_epi8(-8, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7),
                   _mm_set1_epi8(static_cast<char>(digits)));
  const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                      _mm_and_si128(letter, _mm_set1_epi8(9)));
  const __m128i pairs = _mm_maddubs_epi16(_mm_shuffle_epi8(values, index), _mm_set1_epi16(0x0110));
  const auto id = __builtin_bswap32(
      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pairs, pairs))));
  if ((spaces & pad) != pad || id > (extended ? can_eff_mask : can_sff_mask)) return 0;
  can_id = extended ? id | can_eff_flag : id;
  return length;
}

// The eight bytes " XX" of the 24 characters from `w` (which must lie in the line), the first in
// the lowest byte.  `wrong` gets a bit for each character that is not as it should be: bits 2k
// and 2k + 1 for the digits of byte k, bit 16 + k for the space before it.
__attribute__((target("ssse3"))) inline std::uint64_t eight_hex_pairs_ssse3(
    const char* w, unsigned& wrong) noexcept {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8));
  // The sixteen digits in order: those of the first five bytes from the low 16 characters, those
  // of the last three from the high 16 (characters 8 to 23).  A shuffle index of -1 gives 0.
  const __m128i digits = _mm_or_si128(
      _mm_shuffle_epi8(low,
                       _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, 13, 14, -1, -1, -1, -1, -1, -1)),
      _mm_shuffle_epi8(
          high, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 9, 11, 12, 14, 15)));
  // The space before each byte, at 0, 3, ... 21, in the low eight lanes.
  const __m128i gaps = _mm_or_si128(
      _mm_shuffle_epi8(low,
                       _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
      _mm_shuffle_epi8(
          high, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1)));
  __m128i letter;
  const auto digit_bits =
      static_cast<unsigned>(_mm_movemask_epi8(detail::hex_digits_sse2(digits, letter)));
  const auto gap_bits =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(gaps, _mm_set1_epi8(' '))));
  wrong = (digit_bits | gap_bits << 16) ^ 0xFFFFFF;
  // Each lane of two digit values times (16, 1): first * 16 + second, packed to bytes.
  const __m128i values = _mm_add_epi8(_mm_and_si128(digits, _mm_set1_epi8(0x0F)),
                                      _mm_and_si128(letter, _mm_set1_epi8(9)));
  const __m128i bytes = _mm_maddubs_epi16(values, _mm_set1_epi16(0x0110));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(bytes, bytes)));
}

// The bits of eight_hex_pairs_ssse3's `wrong` that belong to its last `count` (0 to 8) bytes.
struct last_pairs_table {
  unsigned bits[9];
  constexpr last_pairs_table() noexcept : bits() {
    for (unsigned count = 0; count <= 8; ++count) {
      const unsigned first = 8 - count;
      bits[count] = (0xFFFFu << (2 * first) & 0xFFFF) | (0xFF0000u << first & 0xFF0000);
    }
  }
};
inline constexpr last_pairs_table last_pairs;

// read_few_hex_pairs with byte shuffles, for a line in which the 24 characters before the bytes'
// end lie: the 8 bytes from `data` written, those past `count` (at most 8) with zeros.
__attribute__((target("ssse3"))) inline bool read_few_hex_pairs_ssse3(const char* p, std::size_t n,
                                                                      std::size_t& at, int count,
                                                                      std::uint8_t* data) noexcept {
  const std::size_t end = at + 3 * static_cast<std::size_t>(count);
  if (end > n || (end != n && !is_space(p[end]))) return false;
  // The last `count` of the eight that end with them.
  unsigned wrong = 0;
  const std::uint64_t eight = eight_hex_pairs_ssse3(p + end - 24, wrong);
  const unsigned first = static_cast<unsigned>(8 - count);
  const std::uint64_t bytes = count != 0 ? eight >> (8 * first) : 0;
  std::memcpy(data, &bytes, 8);
  // Looked up: worked out, it took a dozen instructions of a line's few hundred.
  if ((wrong & last_pairs.bits[count]) != 0) return false;
  at = end;
  return true;
}

// read_hex_pairs with byte shuffles, for a line in which the 24 characters before the bytes' end
// lie: eight bytes from each 24 characters, then the last eight from the 24 that end with them.
// Writes whole words: the max(count, 8) bytes from `data`, those past `count` with zeros.
__attribute__((target("ssse3"))) inline bool read_hex_pairs_ssse3(const char* p, std::size_t n,
                                                                  std::size_t& at, int count,
                                                                  std::uint8_t* data) noexcept {
  if (count <= 8) return read_few_hex_pairs_ssse3(p, n, at, count, data);
  const std::size_t end = at + 3 * static_cast<std::size_t>(count);
  if (end > n || (end != n && !is_space(p[end]))) return false;
  unsigned wrong = 0;
  unsigned group_wrong = 0;
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const std::uint64_t eight = eight_hex_pairs_ssse3(p + at + 3 * i, group_wrong);
    std::memcpy(data + i, &eight, 8);
    wrong |= group_wrong;
  }
  if (i != count) {
    // Some of them read again.
    const std::uint64_t eight = eight_hex_pairs_ssse3(p + end - 24, group_wrong);
    std::memcpy(data + count - 8, &eight, 8);
    wrong |= group_wrong;
  }
  if (wrong != 0) return false;
  at = end;
  return true;
}

}  // namespace cantext::reader::fields

#endif
