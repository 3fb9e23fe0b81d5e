// SPDX-License-Identifier: MIT
// The first two fields of a capture-log line, decoded where read_log spends its time per line:
// the time "(seconds.fraction)" as nanoseconds, and the channel name compared with the few a log
// usually has.  Both read words of the field's text: the line reader lets a field be read
// field_read_room bytes from its start.
#ifndef CANTEXT_PYTHON_LOG_FIELDS_HPP
#define CANTEXT_PYTHON_LOG_FIELDS_HPP

#include <cstdint>
#include <limits>
#include <string_view>

#include "byte_words.hpp"
#include "line_reader.hpp"

namespace cantext_python {

using cantext::detail::bytes_equal;
using cantext::detail::every_byte;
using cantext::detail::load_word;
using cantext::detail::lowest_set_bit;

static_assert(cantext::reader::field_read_room >= 24, "the decoders read 24 bytes of a field");

// The low `count` (0..8) bytes of a word: the first `count` characters of a loaded text.
inline std::uint64_t low_bytes(std::uint64_t w, std::size_t count) noexcept {
  return count >= 8 ? w : w & ((std::uint64_t{1} << (8 * count)) - 1);
}

// The value of eight decimal digits in a word, the first in its lowest byte; false when one is
// no digit.  Neighbouring digits are joined into pairs (byte i holds 10 d(i) + d(i + 1)) and the
// pairs of bytes 0, 2, 4 and 6 into one number by two multiplications whose high halves add up
// to p0 10^6 + p1 10^4 + p2 10^2 + p3.
[[gnu::always_inline]] inline bool digits_value(std::uint64_t w, std::uint64_t& value) noexcept {
  // Each byte 0x30..0x39: its high half 3, and still 3 after adding 6 to its low half.
  constexpr std::uint64_t high_halves = every_byte(0xF0);
  if ((w & high_halves) != every_byte(0x30) ||
      ((w + every_byte(0x06)) & high_halves) != every_byte(0x30)) {
    return false;
  }
  std::uint64_t v = w - every_byte('0');
  v = v * 10 + (v >> 8);
  constexpr std::uint64_t bytes_0_4 = 0x000000FF000000FFULL;
  value = ((v & bytes_0_4) * (100 + (1000000ULL << 32)) +
           ((v >> 16) & bytes_0_4) * (1 + (10000ULL << 32))) >>
          32;
  return true;
}

// The value of the `count` (1..8) decimal digits at p, of which 8 bytes may be read; false when
// one is no digit.  The digits go to the word's high bytes with '0's before them, so that the
// first is the highest-order one.
[[gnu::always_inline]] inline bool decimal_digits(const char* p, std::size_t count,
                                                  std::uint64_t& value) noexcept {
  const unsigned pad = static_cast<unsigned>(8 * (8 - count));
  const std::uint64_t w = (load_word(p) << pad) | (every_byte('0') & ~(~std::uint64_t{0} << pad));
  return digits_value(w, value);
}

// decimal_digits for 1..16 digits, of which `count` + 8 bytes from p may be read.
inline bool decimal_number(const char* p, std::size_t count, std::uint64_t& value) noexcept {
  if (count <= 8) return decimal_digits(p, count, value);
  std::uint64_t high;
  std::uint64_t low;
  if (!decimal_digits(p, count - 8, high) || !decimal_digits(p + count - 8, 8, low)) return false;
  value = high * 100000000 + low;
  return true;
}

// The time of a line whose first field is not "(seconds.fraction)".
inline constexpr std::int64_t no_time = std::numeric_limits<std::int64_t>::min();

inline constexpr std::uint64_t ns_per_unit[10] = {1,      10,      100,      1000,      10000,
                                                  100000, 1000000, 10000000, 100000000, 1000000000};

// "(seconds.fraction)" with 1 to 10 digits of seconds and 1 to 9 of fraction, as nanoseconds;
// false for any other text, or a time beyond int64.  `dot` is where the '.' is.
inline bool parse_time(std::string_view text, std::int64_t& ns, std::size_t& dot) noexcept {
  const std::size_t size = text.size();
  if (size < 5 || size > 22 || text[0] != '(' || text[size - 1] != ')') return false;
  const char* const p = text.data();
  // The first '.' from the third character on; one past the text's end stops the search there.
  const std::uint64_t dots = bytes_equal(load_word(p + 2), '.');
  const std::uint64_t later_dots = bytes_equal(load_word(p + 10), '.');
  dot = dots != 0         ? 2 + lowest_set_bit(dots) / 8
        : later_dots != 0 ? 10 + lowest_set_bit(later_dots) / 8
                          : size;
  const std::size_t seconds_digits = dot - 1;
  const std::size_t fraction_digits = size - 2 - dot;
  if (dot >= size - 2 || seconds_digits > 10 || fraction_digits > 9) return false;
  std::uint64_t seconds;
  std::uint64_t fraction;
  if (!decimal_number(p + 1, seconds_digits, seconds) ||
      !decimal_number(p + dot + 1, fraction_digits, fraction)) {
    return false;
  }
  fraction *= ns_per_unit[9 - fraction_digits];
  // int64 holds 9223372036.854775807 seconds.
  constexpr std::uint64_t most_seconds = 9223372036;
  if (seconds >= most_seconds && (seconds > most_seconds || fraction > 854775807)) return false;
  ns = static_cast<std::int64_t>(seconds * ns_per_unit[9] + fraction);
  return true;
}

// parse_time, the line before's seconds kept: they change once in thousands of lines, and
// reading their digits again took the most of the time spent on a line.  What the fast path
// compares and shifts is worked out once for each new second.
class time_parser {
 public:
  // Inline where it is used, the first time of other seconds out of line.
  [[gnu::always_inline]] bool parse(std::string_view text, std::int64_t& ns) noexcept {
    const char* const p = text.data();
    // The same size, the same text up to the '.' and a ')' at the end: only the fraction is new.
    if (text.size() == size_ && load_word(p) == head_[0] &&
        (load_word(p + 8) & head_mask_) == head_[1] && p[size_ - 1] == ')') {
      // The fraction's digits in the word's high bytes, '0's below them (see decimal_digits).
      const std::uint64_t w = (load_word(p + head_size_) << pad_) | zeros_below_;
      std::uint64_t fraction;
      if (digits_value(w, fraction)) {
        ns = seconds_ns_ + static_cast<std::int64_t>(fraction * fraction_scale_);
        return true;
      }
    }
    return parse_and_keep(text, ns);
  }

 private:
  [[gnu::noinline]] bool parse_and_keep(std::string_view text, std::int64_t& ns) noexcept {
    const char* const p = text.data();
    std::size_t dot;
    if (!parse_time(text, ns, dot)) return false;
    // Kept for 8 or more bytes up to the dot, and a time well within int64.
    const std::size_t fraction_digits = text.size() - 2 - dot;
    if (dot < 7 || fraction_digits > 8 || ns > std::int64_t{9000000000} * 1000000000) return true;
    size_ = text.size();
    head_size_ = dot + 1;
    head_mask_ = low_bytes(~std::uint64_t{0}, head_size_ - 8);
    head_[0] = load_word(p);
    head_[1] = load_word(p + 8) & head_mask_;
    pad_ = static_cast<unsigned>(8 * (8 - fraction_digits));
    zeros_below_ = every_byte('0') & ~(~std::uint64_t{0} << pad_);
    fraction_scale_ = ns_per_unit[9 - fraction_digits];
    std::uint64_t fraction_read = 0;
    (void)decimal_digits(p + head_size_, fraction_digits, fraction_read);
    seconds_ns_ = ns - static_cast<std::int64_t>(fraction_read * fraction_scale_);
    return true;
  }

  std::size_t size_ = SIZE_MAX;  // none kept yet
  std::size_t head_size_ = 8;
  std::uint64_t head_mask_ = 0;
  std::uint64_t head_[2] = {};
  unsigned pad_ = 0;
  std::uint64_t zeros_below_ = 0;
  std::uint64_t fraction_scale_ = 1;
  std::int64_t seconds_ns_ = 0;
};

// A name of at most 16 bytes as two words, zero after its end, compared in two steps.
struct short_name {
  static constexpr std::size_t most = 16;
  std::uint64_t words[2];

  static short_name of(std::string_view text) noexcept {
    const std::size_t size = text.size();
    return {{low_bytes(load_word(text.data()), size),
             low_bytes(load_word(text.data() + 8), size > 8 ? size - 8 : 0)}};
  }
  bool operator==(const short_name& other) const noexcept {
    return ((words[0] ^ other.words[0]) | (words[1] ^ other.words[1])) == 0;
  }
};

}  // namespace cantext_python

#endif
