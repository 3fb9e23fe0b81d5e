// SPDX-License-Identifier: MIT
// Appending text to a line buffer: numbers, hex and padding, without the C library's formatted
// output, which would cost more than the rest of a line.  Numbers, padding and data bytes are
// written as whole words (format_fields.hpp), so up to 24 bytes past what a call appends may be
// written: a writer's buffer has max_written_line bytes, far more than its longest line needs.
#ifndef CANTEXT_WRITERS_TEXT_OUT_HPP
#define CANTEXT_WRITERS_TEXT_OUT_HPP

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cantext/hex_digits.hpp"
#include "format_fields.hpp"

namespace cantext::writers {

namespace text_tables {

// Each byte's two hex digits and a space, padded to four bytes for one copy.
constexpr std::array<std::array<char, 4>, 256> make_hex_spaced() noexcept {
  std::array<std::array<char, 4>, 256> t{};
  for (std::size_t b = 0; b < t.size(); ++b) {
    t[b] = {hex_asc_upper[b >> 4], hex_asc_upper[b & 15], ' ', ' '};
  }
  return t;
}
inline constexpr std::array<std::array<char, 4>, 256> hex_spaced = make_hex_spaced();

// Each byte's two hex digits as the low half of a text word (the first in the low byte).
constexpr std::array<std::uint16_t, 256> make_hex_pairs() noexcept {
  std::array<std::uint16_t, 256> t{};
  for (std::size_t b = 0; b < t.size(); ++b) {
    t[b] = static_cast<std::uint16_t>(static_cast<unsigned char>(hex_asc_upper[b >> 4]) |
                                      static_cast<unsigned char>(hex_asc_upper[b & 15]) << 8);
  }
  return t;
}
inline constexpr std::array<std::uint16_t, 256> hex_pairs = make_hex_pairs();

inline constexpr std::uint64_t powers_of_ten[] = {1,
                                                  10,
                                                  100,
                                                  1000,
                                                  10000,
                                                  100000,
                                                  1000000,
                                                  10000000,
                                                  100000000,
                                                  1000000000,
                                                  10000000000,
                                                  100000000000,
                                                  1000000000000,
                                                  10000000000000,
                                                  100000000000000,
                                                  1000000000000000,
                                                  10000000000000000,
                                                  100000000000000000,
                                                  1000000000000000000,
                                                  10000000000000000000u};

}  // namespace text_tables

// The number of decimal digits of v.
inline std::size_t decimal_length(std::uint64_t v) noexcept {
  std::size_t n = 1;
  while (n < 20 && v >= text_tables::powers_of_ten[n]) ++n;
  return n;
}

// The eight digits of a decimal_word with the leading zeros, all but the last, as spaces: a
// number right-aligned in eight columns.
inline std::uint64_t blank_leading_zeros(std::uint64_t digits) noexcept {
  // The first digit that is not 0 (the last one when all are) ends the zeros to replace.
  const std::uint64_t values = digits - detail::every_byte('0');
  const unsigned zeros = detail::lowest_set_bit(values | std::uint64_t{1} << 56) / 8;
  const std::uint64_t leading = (std::uint64_t{1} << (8 * zeros)) - 1;
  return digits - (leading & detail::every_byte('0' - ' '));
}

// The eight upper-case hex digits of v, leading zeros included, as reader::fields::hex_word
// gives them, from the table a byte at a time: fewer steps for the writers' identifiers.
inline std::uint64_t hex_digits(std::uint32_t v) noexcept {
  using text_tables::hex_pairs;
  return hex_pairs[v >> 24] | std::uint64_t{hex_pairs[v >> 16 & 0xFF]} << 16 |
         std::uint64_t{hex_pairs[v >> 8 & 0xFF]} << 32 | std::uint64_t{hex_pairs[v & 0xFF]} << 48;
}

// hex_digits for v below 2^16.
inline std::uint64_t hex_digits_low(std::uint32_t v) noexcept {
  return (detail::every_byte('0') & 0xFFFFFFFF) |
         std::uint64_t{text_tables::hex_pairs[v >> 8]} << 32 |
         std::uint64_t{text_tables::hex_pairs[v & 0xFF]} << 48;
}

struct text_out {
  char* begin;
  char* at;

  explicit text_out(char* out) noexcept : begin(out), at(out) {}
  std::size_t size() const noexcept { return static_cast<std::size_t>(at - begin); }

  void put(char c) noexcept { *at++ = c; }
  void put(std::string_view s) noexcept {
    std::memcpy(at, s.data(), s.size());
    at += s.size();
  }
  void spaces(std::size_t n) noexcept {
    if (n <= 16) {
      constexpr std::uint64_t blanks = detail::every_byte(' ');
      detail::store_word(at, blanks);
      detail::store_word(at + 8, blanks);
    } else {
      std::memset(at, ' ', n);
    }
    at += n;
  }
  // `s` right-aligned in `width` bytes.
  void right(std::string_view s, std::size_t width) noexcept {
    if (s.size() < width) spaces(width - s.size());
    put(s);
  }
  std::string_view text() const noexcept { return std::string_view(begin, size()); }
  // Spaces up to `width` bytes from `from`, when fewer have been written.
  void pad_from(const char* from, std::size_t width) noexcept {
    const std::size_t used = static_cast<std::size_t>(at - from);
    if (used < width) spaces(width - used);
  }
  void decimal(std::uint64_t v, int min_digits = 1) noexcept {
    if (min_digits <= 8) {
      at = reader::fields::put_decimal(at, v,
                                       static_cast<unsigned>(min_digits < 1 ? 1 : min_digits));
      return;
    }
    char digits[20];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (n < min_digits) digits[n++] = '0';
    while (n > 0) *at++ = digits[--n];
  }
  // Right-aligned in `width` bytes.
  void decimal_right(std::uint64_t v, std::size_t width) noexcept {
    // The usual case, a number that fills at most eight columns: one word with the spaces.
    if (width - 1 < 8 && v < text_tables::powers_of_ten[width]) {
      const std::uint64_t digits = reader::fields::decimal_word(static_cast<std::uint32_t>(v));
      detail::store_word(at, blank_leading_zeros(digits) >> (8 * (8 - width)));
      at += width;
      return;
    }
    const std::size_t n = decimal_length(v);
    if (n < width) spaces(width - n);
    at = reader::fields::put_decimal(at, v);
  }
  void hex(std::uint32_t v, int min_digits = 1) noexcept {
    // The digits that count, from the highest set bit (bit 0 for 0) on.
    const int used = (32 - __builtin_clz(v | 1) + 3) / 4;
    const int n = used > min_digits ? used : min_digits;
    detail::store_word(at, hex_digits(v) >> (8 * (8 - n)));
    at += n;
  }
  void byte(std::uint8_t b) noexcept {
    *at++ = hex_asc_upper[b >> 4];
    *at++ = hex_asc_upper[b & 15];
  }
  // A byte's digits and a space.
  void byte_spaced(std::uint8_t b) noexcept {
    std::memcpy(at, text_tables::hex_spaced[b].data(), 4);
    at += 3;
  }
  // Bytes as "AA BB CC".
  void bytes(const std::uint8_t* data, int n) noexcept {
    if (n <= 0) return;
    for (int i = 0; i < n; ++i) byte_spaced(data[i]);
    --at;
  }
  // fixed() for the usual times, a word at a time: `value` not negative, its whole part within
  // the `width - 1 - shown` columns (1 to 16) before the point, and `shown` at most 8.  False,
  // with nothing written, for any other value.
  bool fixed_usual(std::int64_t value, int scale, int shown, std::size_t width) noexcept {
    const std::size_t columns = width - 1 - static_cast<std::size_t>(shown);
    // Eight columns at most hold the digits, the rest spaces.
    const std::size_t digit_columns = columns < 8 ? columns : 8;
    const auto magnitude = static_cast<std::uint64_t>(value);
    const std::uint64_t unit = text_tables::powers_of_ten[scale];
    const std::uint64_t whole = magnitude / unit;
    if (value < 0 || whole >= text_tables::powers_of_ten[digit_columns]) return false;
    const auto fraction =
        static_cast<std::uint32_t>(magnitude % unit / text_tables::powers_of_ten[scale - shown]);
    const std::size_t pad = columns - digit_columns;
    if (pad != 0) detail::store_word(at, detail::every_byte(' '));
    const std::uint64_t digits = reader::fields::decimal_word(static_cast<std::uint32_t>(whole));
    detail::store_word(at + pad, blank_leading_zeros(digits) >> (8 * (8 - digit_columns)));
    at[columns] = '.';
    detail::store_word(at + columns + 1,
                       reader::fields::decimal_word(fraction) >> (8 * (8 - shown)));
    at += width;
    return true;
  }
  // `value` in units of 10^-scale (scale 1 to 9) as "[-]whole.fraction" with `shown` fraction
  // digits (1 to `scale`), the rest dropped, right-aligned in `width` bytes.
  void fixed(std::int64_t value, int scale, int shown, std::size_t width = 0) noexcept {
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) magnitude = std::uint64_t{0} - magnitude;
    const std::uint64_t unit = text_tables::powers_of_ten[scale];
    const std::uint64_t whole = magnitude / unit;
    const auto fraction =
        static_cast<std::uint32_t>(magnitude % unit / text_tables::powers_of_ten[scale - shown]);
    const std::size_t length =
        (value < 0 ? 1 : 0) + decimal_length(whole) + 1 + static_cast<std::size_t>(shown);
    if (length < width) spaces(width - length);
    if (value < 0) *at++ = '-';
    at = reader::fields::put_decimal(at, whole);
    *at++ = '.';
    // All nine digits of a fraction below 10^9, the first `shown` kept.
    const std::uint32_t nine =
        fraction * static_cast<std::uint32_t>(text_tables::powers_of_ten[9 - shown]);
    *at = static_cast<char>('0' + nine / 100000000u);
    detail::store_word(at + 1, reader::fields::decimal_word(nine % 100000000u));
    at += shown;
  }
};

}  // namespace cantext::writers

#endif
