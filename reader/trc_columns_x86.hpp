// SPDX-License-Identifier: MIT
// The fixed TRC columns of trc_columns.hpp (which includes this file) with SSE2, part of every
// x86-64 processor (instruction_sets.hpp): the 44 columns in three vectors give a bit map of
// the columns for each kind of character, and a few operations on those maps check every
// column at once, where the words of the portable reader take a test per field; the data bytes
// five from each 16 characters where the words take three from 8.
#ifndef CANTEXT_READER_TRC_COLUMNS_X86_HPP
#define CANTEXT_READER_TRC_COLUMNS_X86_HPP

#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstdint>

#include "frame/hex_word_x86.hpp"

namespace cantext::reader::trc {

// Bit i set for each column i from `first` to `last`.
constexpr std::uint64_t column_range(unsigned first, unsigned last) noexcept {
  return (~std::uint64_t{0} >> (63 - last)) & (~std::uint64_t{0} << first);
}

constexpr std::uint64_t column_bit(unsigned column) noexcept {
  return std::uint64_t{1} << column;
}

// The fields written right-aligned: spaces, then the field; the number, the offset, the bus
// and the identifier.
constexpr std::uint64_t right_aligned_fields =
    column_range(0, 6) | column_range(8, 20) | column_range(25, 26) | column_range(28, 35);
// What each column may hold; a right-aligned field's last column may not be a space, which
// leaves at least one digit in it.  Columns 22 and 23 (the type) and 36 to 42 (the direction)
// are read apart.
constexpr std::uint64_t space_columns = column_range(0, 5) | column_range(7, 19) | column_bit(21) |
                                        column_range(24, 25) | column_range(27, 34);
constexpr std::uint64_t decimal_columns =
    column_range(0, 6) | column_range(8, 20) | column_range(25, 26) | column_bit(43);
constexpr std::uint64_t hex_columns = column_range(28, 35);
// The offset's point leaves 3 to 7 digits after it.
constexpr std::uint64_t point_columns = column_range(13, 17);
constexpr std::uint64_t checked_columns =
    space_columns | decimal_columns | hex_columns | point_columns;

// The mask of 16 columns from `first` on.
inline std::uint64_t column_bits(__m128i mask, unsigned first) noexcept {
  return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mask))} << first;
}

inline __m128i decimal_digits_sse2(__m128i chars) noexcept {
  return _mm_cmplt_epi8(_mm_add_epi8(chars, _mm_set1_epi8(0x80 - '0')), _mm_set1_epi8(-0x80 + 10));
}

// The number of sixteen digit values, the first in the lowest byte.
inline std::uint64_t decimal_value_sse2(__m128i digits) noexcept {
  // A lane times 0x0A01 holds first * 10 + second in its high byte, as in pair_values_sse2;
  // then pairs of those times 100 and 1, and pairs of those times 10000 and 1.
  const __m128i twos = _mm_srli_epi16(_mm_mullo_epi16(digits, _mm_set1_epi16(0x0A01)), 8);
  const __m128i fours = _mm_madd_epi16(twos, _mm_set1_epi32(1 << 16 | 100));
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(1 << 16 | 10000));
  const auto both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
  return (both & 0xFFFFFFFF) * 100000000 + (both >> 32);
}

// The digits of the offset in columns 8 to 20 (of `chars`, columns 5 to 20, with `points` where
// they hold a point), the point at `point_column` taken out, as a number: those before the
// point move one column on, into its place.
inline std::uint64_t offset_digits_sse2(__m128i chars, __m128i points,
                                        unsigned point_column) noexcept {
  // A digit's low four bits are its value and a space's are 0, a leading zero; the point is 0
  // too, and columns 5 to 7 (the number's end) are left out.
  const __m128i values =
      _mm_andnot_si128(points, _mm_and_si128(chars, _mm_setr_epi8(0, 0, 0, 15, 15, 15, 15, 15, 15,
                                                                  15, 15, 15, 15, 15, 15, 15)));
  const __m128i columns = _mm_setr_epi8(5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20);
  const __m128i moved = _mm_cmplt_epi8(columns, _mm_set1_epi8(static_cast<char>(point_column + 1)));
  return decimal_value_sse2(_mm_or_si128(_mm_and_si128(moved, _mm_slli_si128(values, 1)),
                                         _mm_andnot_si128(moved, values)));
}

// Reads the columns of the 44 bytes from p; false when one holds what it may not.
inline bool read_fixed_columns_sse2(const char* p, fixed_columns& f) noexcept {
  // Columns 0-15, 16-31 and 28-43, the last within the 44; its first four are the second's last
  // four, which give the same bits again.
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 28));
  // Columns 5 to 20, the offset's, whose points the digits' reading takes out too.
  const __m128i offset_chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 5));
  const __m128i offset_points = _mm_cmpeq_epi8(offset_chars, _mm_set1_epi8('.'));
  const __m128i space = _mm_set1_epi8(' ');
  const std::uint64_t spaces = column_bits(_mm_cmpeq_epi8(a, space), 0) |
                               column_bits(_mm_cmpeq_epi8(b, space), 16) |
                               column_bits(_mm_cmpeq_epi8(c, space), 28);
  const std::uint64_t decimals = column_bits(decimal_digits_sse2(a), 0) |
                                 column_bits(decimal_digits_sse2(b), 16) |
                                 column_bits(decimal_digits_sse2(c), 28);
  __m128i letters;
  const std::uint64_t hex = column_bits(detail::hex_digits_sse2(c, letters), 28);
  const std::uint64_t points = column_bits(offset_points, 5) & point_columns;
  // The identifier's last column may be "-" (error frames write it alone).
  f.id_dash = p[35] == '-';
  bool good = ((spaces & space_columns) | (decimals & decimal_columns) | (hex & hex_columns) |
               points | std::uint64_t{f.id_dash} << 35) == checked_columns;
  // Right-aligned: no space after another character of the same field.
  const std::uint64_t filled = ~spaces & right_aligned_fields;
  good &= ((filled << 1) & spaces & right_aligned_fields) == 0;
  // One point, a digit before it (neither a space nor a point), and at most 8 of them: the
  // point at column 17 leaves column 8 a space.
  good &= points != 0 && (points & (points - 1)) == 0 && ((points >> 1) & spaces) == 0 &&
          ((points >> 9) & ~spaces & column_bit(8)) == 0;
  const std::uint64_t direction = detail::load_word(p + 36) & direction_columns;
  good &= direction == received_columns || direction == sent_columns;
  if (!good) return false;
  const auto point_column = static_cast<unsigned>(__builtin_ctzll(points));
  f.fraction_digits = 20 - point_column;
  // The digits, the fraction's the last; a 7th is cut off.
  const std::uint64_t digits = offset_digits_sse2(offset_chars, offset_points, point_column);
  static constexpr std::int64_t scale[] = {1000, 100, 10, 1};
  f.offset_ns = f.fraction_digits <= 6
                    ? static_cast<std::int64_t>(digits) * scale[f.fraction_digits - 3]
                    : static_cast<std::int64_t>(digits / 10);
  f.bus = static_cast<unsigned>(p[25] & 0x0F) * 10 + static_cast<unsigned>(p[26] & 0x0F);
  // The identifier's digit pairs in the first four bytes, the first the most significant; the
  // spaces before it are zeros.
  const __m128i pairs = detail::pair_values_sse2(c, letters);
  f.id = __builtin_bswap32(
      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pairs, pairs))));
  // The last space before the identifier is at column 27 or later.
  f.id_digits = 35 - static_cast<unsigned>(63 - __builtin_clzll(spaces & column_range(27, 34)));
  return true;
}

// Sixteen characters of data bytes "AA BB ...": in `wrong` each that is not what `gaps` (the
// spaces' bytes, digits elsewhere) asks for; returned, first * 16 + second at each pair's
// first digit.
inline __m128i spaced_sse2(__m128i chars, __m128i gaps, __m128i& wrong) noexcept {
  __m128i letters;
  const __m128i digits = detail::hex_digits_sse2(chars, letters);
  // Spaces in the gaps and digits elsewhere: a character is never both.
  wrong = _mm_or_si128(_mm_xor_si128(_mm_cmpeq_epi8(chars, _mm_set1_epi8(' ')), gaps),
                       _mm_xor_si128(_mm_xor_si128(gaps, _mm_set1_epi8(-1)), digits));
  // Values below 16 shift within their bytes.
  const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                      _mm_and_si128(letters, _mm_set1_epi8(9)));
  return _mm_or_si128(_mm_slli_epi16(values, 4), _mm_srli_si128(values, 1));
}

// Bytes 0, 3 and 6 of `w` in bytes 0, 1 and 2: the product puts them in its top three bytes,
// and no two of its terms meet.
inline std::uint64_t every_third_byte(std::uint64_t w) noexcept {
  constexpr std::uint64_t gather = std::uint64_t{1} << 40 | std::uint64_t{1} << 24 | 1 << 8;
  return ((w & 0x00FF0000FF0000FFULL) * gather) >> 40;
}

// `count` bytes "AA BB ..." from p into data, as read_spaced_data_swar: five from each 16
// characters (the last the next pair's first digit) while the line holds them, then the last
// one to five from the 16 characters that end with them, which begin in the line too: at
// least 14 columns after its start.
inline bool read_spaced_data_sse2(const char* p, unsigned count, std::uint8_t* data) noexcept {
  const __m128i gaps = _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
  __m128i wrong = _mm_setzero_si128();
  unsigned i = 0;
  for (; i + 6 <= count; i += 5, p += 15) {
    __m128i chunk_wrong;
    const __m128i pairs =
        spaced_sse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), gaps, chunk_wrong);
    wrong = _mm_or_si128(wrong, chunk_wrong);
    const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pairs));
    const auto high =
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pairs, pairs)));
    // Bytes 0, 3 and 6, then 9 and 12; eight bytes written, the last three 0 for the next
    // five or the last to write: i + 8 <= 64, as i, a multiple of 5, is at most count - 6.
    detail::store_word(data + i,
                       every_third_byte(low) | (high & 0xFF00) << 16 | (high & 0xFF00000000ULL));
  }
  const unsigned rest = count - i;
  const unsigned chars = rest * 3 - 1;
  // The pairs' first digits at bytes 2, 5, 8, 11 and 14, the last `rest` of them the bytes';
  // only the last `chars` characters are checked.
  __m128i tail_wrong;
  const __m128i pairs =
      spaced_sse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + chars - 16)),
                  _mm_srli_si128(gaps, 1), tail_wrong);
  const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pairs));
  const auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pairs, pairs)));
  const std::uint64_t five =
      (low >> 16 & 0xFF) | (low >> 32 & 0xFF00) | every_third_byte(high) << 16;
  const std::uint64_t last = five >> 8 * (5 - rest);
  // Eight bytes (those past the last 0) where data holds them: past i = 56 only a 64-byte
  // frame's last four (64 = 12 * 5 + 4).
  if (i <= 56) {
    detail::store_word(data + i, last);
  } else {
    detail::store_half_word(data + i, static_cast<std::uint32_t>(last));
  }
  const auto tail_bits = static_cast<unsigned>(_mm_movemask_epi8(tail_wrong)) >> (16 - chars);
  return (static_cast<unsigned>(_mm_movemask_epi8(wrong)) | tail_bits) == 0;
}

// The kinds of character the columns hold, a bit each.  Space is the top bit, so that a byte
// mask of the kinds is one of the spaces; `other` marks every letter, so that columns read
// apart (the type, the direction) may take any letter.
namespace kind {
constexpr int decimal = 1;
constexpr int letter = 2;  // a hex digit A to F, in either case
constexpr int point = 4;
constexpr int dash = 8;
constexpr int other = 0x40;
constexpr int space = 0x80;
// What a column of hex digits may hold, and one read apart: every kind but none.
constexpr int hex = decimal | letter;
constexpr int any = 0xFF;
}  // namespace kind

constexpr char kind_byte(int bits) noexcept {
  return static_cast<char>(bits);
}

// The kinds a character's high half allows, and those its low half allows; a character's kinds
// are the and of the two.
alignas(16) constexpr std::int8_t high_half_kinds[16] = {
    0,
    0,
    kind_byte(kind::space | kind::point | kind::dash),
    kind::decimal,
    kind::letter | kind::other,
    kind::other,
    kind::letter | kind::other,
    kind::other,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0};
alignas(16) constexpr std::int8_t low_half_kinds[16] = {
    kind_byte(kind::decimal | kind::space | kind::other),
    kind::hex | kind::other,
    kind::hex | kind::other,
    kind::hex | kind::other,
    kind::hex | kind::other,
    kind::hex | kind::other,
    kind::hex | kind::other,
    kind::decimal | kind::other,
    kind::decimal | kind::other,
    kind::decimal | kind::other,
    kind::other,
    kind::other,
    kind::other,
    kind::dash | kind::other,
    kind::point | kind::other,
    kind::other};

inline __m128i load_table(const std::int8_t (&table)[16]) noexcept {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(table));
}

// The kinds of sixteen characters, a table lookup by each half.  `high` is given the high
// halves, for hex_values_ssse3.
__attribute__((target("ssse3"))) inline __m128i kinds_ssse3(__m128i chars, __m128i& high) noexcept {
  high = _mm_and_si128(_mm_srli_epi16(chars, 4), _mm_set1_epi8(0x0F));
  // A character from 0x80 on has its top bit set, which the shuffle takes for a zero.
  return _mm_and_si128(_mm_shuffle_epi8(load_table(high_half_kinds), high),
                       _mm_shuffle_epi8(load_table(low_half_kinds), chars));
}

// Each lane of `kinds` that holds none of the kinds its lane of `allowed` gives, set.
inline __m128i not_allowed_sse2(__m128i kinds, __m128i allowed) noexcept {
  return _mm_cmpeq_epi8(_mm_and_si128(kinds, allowed), _mm_setzero_si128());
}

// The value of each hex digit of `chars`, whose high halves are `high`: its low half, 9 more
// for a letter.  Any other character gives some value below 16.
__attribute__((target("ssse3"))) inline __m128i hex_values_ssse3(__m128i chars,
                                                                 __m128i high) noexcept {
  const __m128i nine_for_letters =
      _mm_shuffle_epi8(_mm_setr_epi8(0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0), high);
  return _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)), nine_for_letters);
}

// Pairs of hex values (the first in the lower byte) as bytes in the low lanes, zeros after
// them where the pairs are two zeros.
__attribute__((target("ssse3"))) inline __m128i pair_bytes_ssse3(__m128i values) noexcept {
  const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi16(1 << 8 | 16));
  return _mm_packus_epi16(pairs, pairs);
}

// For the offset's point at column 13 + k, the shuffle of columns 5 to 20 that puts the digits
// before the point in lanes 0 to 7, right-aligned, and the first six after it in lanes 10 to 15,
// left-aligned: their number is the fraction in nanoseconds.  -1 takes a zero.
alignas(16) constexpr std::int8_t offset_shuffles[5][16] = {
    {-1, -1, -1, 3, 4, 5, 6, 7, -1, -1, 9, 10, 11, 12, 13, 14},
    {-1, -1, 3, 4, 5, 6, 7, 8, -1, -1, 10, 11, 12, 13, 14, 15},
    {-1, 3, 4, 5, 6, 7, 8, 9, -1, -1, 11, 12, 13, 14, 15, -1},
    {3, 4, 5, 6, 7, 8, 9, 10, -1, -1, 12, 13, 14, 15, -1, -1},
    {4, 5, 6, 7, 8, 9, 10, 11, -1, -1, 13, 14, 15, -1, -1, -1},
};

// What each column may hold, as space_columns and its neighbours say; the type and the
// direction are read apart.
namespace allowed {
using namespace kind;
constexpr char ds = kind_byte(decimal | space);
constexpr char dsp = kind_byte(decimal | space | point);
constexpr char sp = kind_byte(space);
constexpr char hs = kind_byte(hex | space);
constexpr char all = kind_byte(any);
constexpr char dec = decimal;
constexpr char hd = hex | dash;
}  // namespace allowed

// The rest of the columns' reading, once the kinds are checked: `spaces` has a bit for each
// space of columns 0 to 43, `offset_chars` holds columns 5 to 20, `id_chars` 28 to 43 and
// `id_high` their high halves.
__attribute__((target("ssse3"))) inline bool read_fixed_fields_ssse3(
    const char* p, std::uint64_t spaces, __m128i offset_chars, __m128i id_chars, __m128i id_high,
    fixed_columns& f) noexcept {
  // Only columns 13 to 17 may hold a point.
  const std::uint64_t points = column_bits(_mm_cmpeq_epi8(offset_chars, _mm_set1_epi8('.')), 5);
  const std::uint64_t filled = ~spaces & right_aligned_fields;
  const std::uint64_t direction = detail::load_word(p + 36) & direction_columns;
  // Right-aligned fields; one point, after a digit, and at most 8 digits before it.
  if (((filled << 1) & spaces & right_aligned_fields) != 0 || points == 0 ||
      (points & (points - 1)) != 0 || ((points >> 1) & spaces) != 0 ||
      ((points >> 9) & ~spaces & column_bit(8)) != 0 ||
      (direction != received_columns && direction != sent_columns)) {
    return false;
  }
  const auto point_column = static_cast<unsigned>(__builtin_ctzll(points));
  f.fraction_digits = 20 - point_column;
  // The milliseconds and the nanoseconds as two numbers, as decimal_value_sse2 reads them.
  const __m128i digits =
      _mm_and_si128(_mm_shuffle_epi8(offset_chars, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                       offset_shuffles[point_column - 13]))),
                    _mm_set1_epi8(0x0F));
  const __m128i twos = _mm_maddubs_epi16(digits, _mm_set1_epi16(1 << 8 | 10));
  const __m128i fours = _mm_madd_epi16(twos, _mm_set1_epi32(1 << 16 | 100));
  const auto both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(1 << 16 | 10000))));
  f.offset_ns = static_cast<std::int64_t>((both & 0xFFFFFFFF) * 1000000 + (both >> 32));
  f.bus = static_cast<unsigned>(p[25] & 0x0F) * 10 + static_cast<unsigned>(p[26] & 0x0F);
  // The identifier's pairs in lanes 0 to 3, the first the most significant; spaces are zeros.
  f.id_dash = p[35] == '-';
  f.id = __builtin_bswap32(static_cast<std::uint32_t>(
      _mm_cvtsi128_si32(pair_bytes_ssse3(hex_values_ssse3(id_chars, id_high)))));
  f.id_digits = 35 - static_cast<unsigned>(63 - __builtin_clzll(spaces & column_range(27, 34)));
  return true;
}

// Reads the columns of the 44 bytes from p as read_fixed_columns_sse2 does.
__attribute__((target("ssse3"))) inline bool read_fixed_columns_ssse3(const char* p,
                                                                      fixed_columns& f) noexcept {
  using namespace allowed;
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 28));
  __m128i a_high;
  __m128i b_high;
  __m128i c_high;
  const __m128i a_kinds = kinds_ssse3(a, a_high);
  const __m128i b_kinds = kinds_ssse3(b, b_high);
  const __m128i c_kinds = kinds_ssse3(c, c_high);
  // The type's columns 22 and 23 are the caller's to read, whatever they hold: a kind given to
  // each lets them pass.  The direction's fail unless the word below matches.
  const __m128i b_checked =
      _mm_or_si128(b_kinds, _mm_setr_epi8(0, 0, 0, 0, 0, 0, dec, dec, 0, 0, 0, 0, 0, 0, 0, 0));
  // Columns 28 to 31 are c's to check.
  const __m128i wrong = _mm_or_si128(
      _mm_or_si128(not_allowed_sse2(a_kinds, _mm_setr_epi8(ds, ds, ds, ds, ds, ds, dec, sp, ds, ds,
                                                           ds, ds, ds, dsp, dsp, dsp)),
                   not_allowed_sse2(b_checked, _mm_setr_epi8(dsp, dsp, dec, dec, dec, sp, all, all,
                                                             sp, ds, dec, sp, all, all, all, all))),
      not_allowed_sse2(c_kinds, _mm_setr_epi8(hs, hs, hs, hs, hs, hs, hs, hd, all, all, all, all,
                                              all, all, all, dec)));
  if (_mm_movemask_epi8(wrong) != 0) return false;
  const std::uint64_t spaces =
      column_bits(a_kinds, 0) | column_bits(b_kinds, 16) | column_bits(c_kinds, 28);
  return read_fixed_fields_ssse3(
      p, spaces, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 5)), c, c_high, f);
}

// The last `rest` pairs (1 to 5) of the 16 characters that end with them, the pairs at lanes
// 2, 5, 8, 11 and 14, in lanes 0 to 2 * rest - 1 (-1 takes a zero); and the lanes before them,
// which lie before the data: every kind given to each lets them pass whatever they hold.
struct tail_lanes {
  alignas(16) std::int8_t shuffle[16];
  alignas(16) std::int8_t before[16];
};
constexpr tail_lanes tails[5] = {
    {{14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0}},
    {{11, 12, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0}},
    {{8, 9, 11, 12, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0}},
    {{5, 6, 8, 9, 11, 12, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {{2, 3, 5, 6, 8, 9, 11, 12, 14, 15, -1, -1, -1, -1, -1, -1},
     {-1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};

// The 16 characters that end the last `rest` pairs (1 to 5) of data whose digits end at `end`,
// with their high halves, the lanes that break "AA BB ..." among the pairs added to `wrong`.
__attribute__((target("ssse3"))) inline __m128i spaced_tail_ssse3(const char* end, unsigned rest,
                                                                  __m128i& high,
                                                                  __m128i& wrong) noexcept {
  using namespace kind;
  constexpr char sp = kind_byte(space);
  const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
  const __m128i tail_kinds =
      _mm_or_si128(kinds_ssse3(tail, high),
                   _mm_load_si128(reinterpret_cast<const __m128i*>(tails[rest - 1].before)));
  wrong = _mm_or_si128(
      wrong, not_allowed_sse2(tail_kinds, _mm_setr_epi8(hex, sp, hex, hex, sp, hex, hex, sp, hex,
                                                        hex, sp, hex, hex, sp, hex, hex)));
  return tail;
}

// The bytes "AA BB ..." as read_spaced_data_sse2 reads them, five from each 16 characters.
__attribute__((target("ssse3"))) inline bool read_spaced_data_ssse3(const char* p, unsigned count,
                                                                    std::uint8_t* data) noexcept {
  using namespace kind;
  constexpr char sp = kind_byte(space);
  // The next pair's first digit at lane 15 is the next window's to check.
  const __m128i allowed = _mm_setr_epi8(hex, hex, sp, hex, hex, sp, hex, hex, sp, hex, hex, sp, hex,
                                        hex, sp, kind_byte(any));
  __m128i wrong = _mm_setzero_si128();
  unsigned i = 0;
  for (; i + 6 <= count; i += 5, p += 15) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i high;
    wrong = _mm_or_si128(wrong, not_allowed_sse2(kinds_ssse3(chars, high), allowed));
    const __m128i digits =
        _mm_shuffle_epi8(hex_values_ssse3(chars, high),
                         _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -1, -1, -1, -1, -1, -1));
    // Five bytes and three zeros: i + 8 <= 64, as in read_spaced_data_sse2.
    detail::store_word(data + i,
                       static_cast<std::uint64_t>(_mm_cvtsi128_si64(pair_bytes_ssse3(digits))));
  }
  // The last one to five pairs from the 16 characters that end with them; only the last
  // `chars` lanes are the data's.
  const unsigned rest = count - i;
  __m128i high;
  const __m128i tail = spaced_tail_ssse3(p + rest * 3 - 1, rest, high, wrong);
  const __m128i digits =
      _mm_shuffle_epi8(hex_values_ssse3(tail, high),
                       _mm_load_si128(reinterpret_cast<const __m128i*>(tails[rest - 1].shuffle)));
  const auto last = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pair_bytes_ssse3(digits)));
  // Past i = 56 only a 64-byte frame's last four (64 = 12 * 5 + 4).
  if (i <= 56) {
    detail::store_word(data + i, last);
  } else {
    detail::store_half_word(data + i, static_cast<std::uint32_t>(last));
  }
  return _mm_movemask_epi8(wrong) == 0;
}

}  // namespace cantext::reader::trc

#endif
