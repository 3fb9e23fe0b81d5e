// SPDX-License-Identifier: MIT
// The fixed columns of the TRC version 2.1 lines that cantext and python-can write, up to the
// DLC's first digit, for the format's straight path (trc_format.cpp):
//   0       8             22 25 28       37 40 43
//   "      1         0.204 DT  1     04E0 Rx -  8    11 22 33 44 55 66 77 88"
// the number right-aligned in 7 columns, the offset in 13 (1 to 8 digits, the point, 3 to 7
// digits), the type, the bus in 2, the identifier in 8, " Rx -  " or " Tx -  ", the DLC.  What
// fills a column otherwise (a wider number, another spacing) is for the other paths.  From
// column 48 on, the data bytes apart by single spaces.
//
// Readers that take the same columns and bytes: one of 64-bit words, which every processor runs,
// and on x86-64 one of SSE2 vectors and one of SSSE3 shuffles (trc_columns_x86.hpp), which check
// them in fewer steps.
#ifndef CANTEXT_READER_TRC_COLUMNS_HPP
#define CANTEXT_READER_TRC_COLUMNS_HPP

#include <cstdint>

#include "byte_words.hpp"
#include "format_fields.hpp"
#include "frame/hex_word.hpp"
#include "instruction_sets.hpp"

namespace cantext::reader::trc {

// The columns the readers need in the line: up to the DLC's first digit.
constexpr std::size_t fixed_columns_size = 44;

// A bit of format_state::settings: ";$COLUMNS" gave columns other than N,O,T,B,I,d,R,L,D.
constexpr std::uint32_t other_columns = 1;

// Whether the lines of a reading in `state` may be of the fixed columns: version 2.0 or 2.1
// with the usual columns.
inline bool may_have_fixed_columns(const format_state& state) noexcept {
  return state.version >= 20 && (state.settings & other_columns) == 0;
}

// The values of the columns; the type (columns 22 and 23) and the direction (column 37) are the
// caller's to read.
struct fixed_columns {
  std::int64_t offset_ns;    // the offset in nanoseconds, a 7th digit of fraction cut off
  unsigned fraction_digits;  // how many digits follow the point: 3 to 7
  unsigned bus;              // 0 to 99
  std::uint32_t id;          // the identifier's value, unchecked against its range
  unsigned id_digits;        // 1 to 8
  bool id_dash;              // the identifier ends in "-" (error frames write it alone), no id
};

// The offset in nanoseconds of `whole` milliseconds and a `fraction` of `digits` (3 to 7)
// digits, as the general path reads it: a 7th digit is cut off.
inline std::int64_t offset_nanoseconds(std::uint64_t whole, std::uint32_t fraction,
                                       unsigned digits) noexcept {
  static constexpr std::uint32_t fraction_scale[] = {1000, 100, 10, 1};
  const std::uint32_t in_ns = digits <= 6 ? fraction * fraction_scale[digits - 3] : fraction / 10;
  return static_cast<std::int64_t>(whole * 1000000 + in_ns);
}

// A field right-aligned in the eight bytes of `x` (spaces before it, none after) of decimal
// digits: their values, the spaces taken for leading zeros, for fields::eight_digit_value.
// Clears `good` when the field is empty or holds anything but digits.
inline std::uint64_t right_aligned_digits(std::uint64_t x, bool& good) noexcept {
  const std::uint64_t space = detail::bytes_equal(x, ' ');
  const std::uint64_t leading = (space >> 7) * 0xFF;  // all ones in each space byte
  const std::uint64_t digits = (x ^ detail::every_byte('0')) & ~leading;
  // The spaces are the low bytes, the last byte is none of them.
  good &= ((leading & (leading + 1)) | (space >> 63)) == 0 && fields::decimal_values(digits);
  return digits;
}

// The same for hex digits: their number, and how many there are.
inline bool right_aligned_hex(std::uint64_t x, std::uint32_t& value, unsigned& count) noexcept {
  const std::uint64_t space = detail::bytes_equal(x, ' ');
  const std::uint64_t leading = (space >> 7) * 0xFF;
  std::uint64_t bad = 0;
  value = detail::digits_number(detail::hex_digit_values(x, bad) & ~leading);
  // The top bit keeps the count at 1 or more when all are spaces, which fails below anyway.
  count = 8 - detail::lowest_set_bit(~leading | std::uint64_t{1} << 63) / 8;
  return (leading & (leading + 1)) == 0 && (space >> 63) == 0 && (bad & ~space) == 0;
}

// Columns 36 to 42 as the low seven bytes of a word.
constexpr std::uint64_t received_columns = detail::text_word(" Rx -  \0");
constexpr std::uint64_t sent_columns = detail::text_word(" Tx -  \0");
constexpr std::uint64_t direction_columns = 0x00FFFFFFFFFFFFFFULL;

// Reads the columns of the 44 bytes from p, each column a word at a time; false when one holds
// what it may not.
inline bool read_fixed_columns_swar(const char* p, fixed_columns& f) noexcept {
  const std::uint64_t number = detail::load_word(p);
  const std::uint64_t time_end = detail::load_word(p + 13);
  const std::uint64_t type_bus = detail::load_word(p + 20);
  const std::uint64_t id_word = detail::load_word(p + 28);
  const std::uint64_t direction_dlc = detail::load_word(p + 36);
  // The message number: digits right-aligned in 7 columns, then a space (the word's top byte).
  bool good = number >> 56 == ' ';
  right_aligned_digits(number << 8 | ' ', good);
  // The offset "whole.fraction" right-aligned in columns 8 to 20, 1 to 8 digits of whole (the
  // word before the point, its bytes before column 8 taken for spaces) and 3 to 7 of fraction.
  const std::uint64_t point_bits = detail::bytes_equal(time_end, '.');
  if (point_bits == 0) return false;
  const unsigned point = 13 + detail::lowest_set_bit(point_bits) / 8;
  if (point > 17 || (point == 17 && p[8] != ' ')) return false;
  f.fraction_digits = 20 - point;
  const unsigned before = point < 16 ? 16 - point : 0;  // bytes of the word before column 8
  const std::uint64_t outside = (std::uint64_t{1} << 8 * before) - 1;
  const std::uint32_t whole = fields::eight_digit_value(right_aligned_digits(
      (detail::load_word(p + point - 8) & ~outside) | (detail::every_byte(' ') & outside), good));
  std::uint32_t fraction = 0;
  good &= fields::digits_before(p + 21, f.fraction_digits, fraction);
  f.offset_ns = offset_nanoseconds(whole, fraction, f.fraction_digits);
  // The type, the bus right-aligned in 2 columns, each after one space and the bus before one.
  constexpr std::uint64_t gaps = 0xFF0000FF0000FF00ULL;  // columns 21, 24 and 27
  good &= (type_bus & gaps) == (detail::every_byte(' ') & gaps);
  const auto bus_high = static_cast<unsigned>(static_cast<unsigned char>(type_bus >> 40));
  const auto bus_low = static_cast<unsigned>(static_cast<unsigned char>(type_bus >> 48)) - '0';
  const unsigned bus_tens = bus_high == ' ' ? 0 : bus_high - '0';
  f.bus = bus_tens * 10 + bus_low;
  good &= bus_tens <= 9 && bus_low <= 9;
  // The identifier right-aligned in 8 columns, or "-" in the last (read as a digit here).
  f.id_dash = id_word >> 56 == '-';
  constexpr std::uint64_t dash_to_digit = std::uint64_t{'-' ^ '0'} << 56;
  good &= right_aligned_hex(f.id_dash ? id_word ^ dash_to_digit : id_word, f.id, f.id_digits);
  // " Rx -  " or " Tx -  " and the DLC's first digit.
  const std::uint64_t direction = direction_dlc & direction_columns;
  const unsigned dlc_first = static_cast<unsigned>(direction_dlc >> 56) - '0';
  return good && (direction == received_columns || direction == sent_columns) && dlc_first <= 9;
}

// Data bytes written "AA BB CC" in a word: the bytes in its bytes 0, 3 and 6.  Sets `bad` when
// a digit or a gap is not one.
inline std::uint64_t spaced_bytes(std::uint64_t w, std::uint64_t& bad) noexcept {
  constexpr std::uint64_t gap_mask = 0x0000FF0000FF0000ULL;
  std::uint64_t digit_bad = 0;
  const std::uint64_t values = detail::hex_digit_values(w, digit_bad);
  bad |= (digit_bad & ~gap_mask) | ((w & gap_mask) ^ (detail::every_byte(' ') & gap_mask));
  return (values << 4) | (values >> 8);
}

// `count` bytes "AA BB ..." from p into data, three from each word; false unless each pair is
// two hex digits and each gap one space.  The count * 3 - 1 characters from p lie in the line,
// p - 8 too.
inline bool read_spaced_data_swar(const char* p, unsigned count, std::uint8_t* data) noexcept {
  std::uint64_t bad = 0;
  unsigned i = 0;
  // Three bytes from a word; the gap after them is the next word's business unless it is the
  // last, which the caller checks.
  for (; i + 3 <= count; i += 3, p += 9) {
    const std::uint64_t bytes = spaced_bytes(detail::load_word(p), bad);
    data[i] = static_cast<std::uint8_t>(bytes);
    data[i + 1] = static_cast<std::uint8_t>(bytes >> 24);
    data[i + 2] = static_cast<std::uint8_t>(bytes >> 48);
    if (i + 3 < count) bad |= static_cast<unsigned char>(p[8] ^ ' ');
  }
  const unsigned rest = count - i;
  if (rest != 0) {
    // The word ending with the last pair, moved down to hold "AA BB" or "AA" from its lowest
    // byte and filled up to "AA BB 00".
    const unsigned chars = rest * 3 - 1;
    const std::uint64_t tail = detail::load_word(p + chars - 8) >> (8 * (8 - chars));
    const std::uint64_t fill =
        rest == 2 ? detail::text_word("\0\0\0\0\0 00") : detail::text_word("\0\0 00 00");
    const std::uint64_t bytes = spaced_bytes(tail | fill, bad);
    data[i] = static_cast<std::uint8_t>(bytes);
    if (rest == 2) data[i + 1] = static_cast<std::uint8_t>(bytes >> 24);
  }
  return bad == 0;
}

}  // namespace cantext::reader::trc

#if CANTEXT_X86_KERNELS
#include "trc_columns_x86.hpp"
#endif

namespace cantext::reader::trc {

// The readers a caller compiled for an instruction set takes, once it has asked the processor
// (instruction_sets.hpp): the words or SSE2, or SSSE3's shuffles.
enum class kernels { base, ssse3 };

template <kernels k>
[[gnu::always_inline]] inline bool read_fixed_columns(const char* p, fixed_columns& f) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (k == kernels::ssse3) {
    return read_fixed_columns_ssse3(p, f);
  } else {
    return read_fixed_columns_sse2(p, f);
  }
#else
  return read_fixed_columns_swar(p, f);
#endif
}

template <kernels k>
[[gnu::always_inline]] inline bool read_spaced_data(const char* p, unsigned count,
                                                    std::uint8_t* data) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (k == kernels::ssse3) {
    return read_spaced_data_ssse3(p, count, data);
  } else {
    return read_spaced_data_sse2(p, count, data);
  }
#else
  return read_spaced_data_swar(p, count, data);
#endif
}

}  // namespace cantext::reader::trc

#endif
