// SPDX-License-Identifier: MIT
// What the formats other than the log share to read a line: fields split at white space, numbers
// in a base, decimal times scaled to nanoseconds, and the parts a frame or a bad line hands on.
#ifndef CANTEXT_READER_FORMAT_FIELDS_HPP
#define CANTEXT_READER_FORMAT_FIELDS_HPP

#include <cstdint>
#include <cstring>
#include <string_view>

#include "line_format.hpp"

namespace cantext::reader::fields {

// text.substr(begin, count) without the range check that throws: `begin` past the end gives
// an empty text.  The programs carry no C++ run-time library.
constexpr std::string_view sub(std::string_view text, std::size_t begin,
                               std::size_t count = std::string_view::npos) noexcept {
  if (begin > text.size()) begin = text.size();
  if (count > text.size() - begin) count = text.size() - begin;
  return {text.data() + begin, count};
}

constexpr bool is_space(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits a line into fields, one at a time.
struct splitter {
  std::string_view text;
  std::size_t at = 0;

  std::string_view next() noexcept {
    while (at < text.size() && is_space(text[at])) ++at;
    const std::size_t begin = at;
    while (at < text.size() && !is_space(text[at])) ++at;
    return sub(text, begin, at - begin);
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
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  const char l = lower(c);
  if (l >= 'a' && l <= 'f') return static_cast<unsigned>(l - 'a' + 10);
  return 16;
}

// The whole of `text` as a number in `base` (10 or 16) no greater than `max`.
constexpr bool read_number(std::string_view text, unsigned base, std::uint32_t max,
                           std::uint32_t& value) noexcept {
  if (text.empty()) return false;
  std::uint32_t v = 0;
  for (const char c : text) {
    const unsigned d = digit_value(c);
    if (d >= base || d > max || v > (max - d) / base) return false;
    v = v * base + d;
  }
  value = v;
  return true;
}

// A decimal "[-]digits[.digits]" times 10^scale (scale 0..9), digits past the scale dropped;
// `fraction_digits` is how many the text has.  False for any other text and for values beyond
// what int64 holds.
constexpr bool read_scaled(std::string_view text, int scale, std::int64_t& value,
                           int& fraction_digits) noexcept {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  std::int64_t unit = 1;
  for (int i = 0; i < scale; ++i) unit *= 10;
  const std::int64_t max_whole = INT64_MAX / unit - 1;
  std::size_t i = 0;
  std::int64_t whole = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > max_whole) return false;
  }
  if (i == 0) return false;
  std::int64_t part = 0;
  int count = 0;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    for (++i; i < text.size(); ++i, ++count) {
      if (text[i] < '0' || text[i] > '9') return false;
      if (count < scale) part = part * 10 + (text[i] - '0');
    }
  }
  for (int k = count; k < scale; ++k) part *= 10;
  const std::int64_t v = whole * unit + part;
  value = negative ? -v : v;
  fraction_digits = count;
  return true;
}

// The parts of a frame whose time, channel and frame texts are in the state (the time and
// channel) and in the line (the frame).
inline line_verdict frame_parts(const format_state& state, std::string_view frame,
                                std::string_view direction, int max_data_length,
                                line_parts& out) noexcept {
  out.fields[0] = state.time_text;
  out.fields[1] = state.channel_text;
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

// Writes the log's name for a 1-based channel number, "can{number - 1}", into the state.
void put_channel_name(format_state& state, std::uint32_t number) noexcept;

}  // namespace cantext::reader::fields

#endif
