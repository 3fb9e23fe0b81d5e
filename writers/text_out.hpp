// SPDX-License-Identifier: MIT
// Appending text to a line buffer: numbers, hex and padding, without the C library's formatted
// output, which would cost more than the rest of a line.
#ifndef CANTEXT_WRITERS_TEXT_OUT_HPP
#define CANTEXT_WRITERS_TEXT_OUT_HPP

#include <cstdint>
#include <cstring>
#include <string_view>

#include "cantext/hex_digits.hpp"

namespace cantext::writers {

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
    std::memset(at, ' ', n);
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
    char digits[20];
    std::size_t n = 0;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (n < width) spaces(width - n);
    while (n > 0) *at++ = digits[--n];
  }
  void hex(std::uint32_t v, int min_digits = 1) noexcept {
    char digits[8];
    int n = 0;
    do {
      digits[n++] = hex_asc_upper[v & 15];
      v >>= 4;
    } while (v != 0);
    while (n < min_digits) digits[n++] = '0';
    while (n > 0) *at++ = digits[--n];
  }
  void byte(std::uint8_t b) noexcept {
    *at++ = hex_asc_upper[b >> 4];
    *at++ = hex_asc_upper[b & 15];
  }
  // Bytes as "AA BB CC".
  void bytes(const std::uint8_t* data, int n) noexcept {
    for (int i = 0; i < n; ++i) {
      if (i != 0) *at++ = ' ';
      byte(data[i]);
    }
  }
  // `value` in units of 10^-scale as "[-]whole.fraction" with `shown` fraction digits (at most
  // `scale`), the rest dropped.
  void fixed(std::int64_t value, int scale, int shown) noexcept {
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
      *at++ = '-';
      magnitude = std::uint64_t{0} - magnitude;
    }
    std::uint64_t unit = 1;
    for (int i = 0; i < scale; ++i) unit *= 10;
    std::uint64_t dropped = 1;
    for (int i = shown; i < scale; ++i) dropped *= 10;
    decimal(magnitude / unit);
    *at++ = '.';
    decimal(magnitude % unit / dropped, shown);
  }
};

}  // namespace cantext::writers

#endif
