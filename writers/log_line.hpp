// SPDX-License-Identifier: MIT
// The capture log's line, "(seconds.fraction) channel frame [R|T]", as the log writer writes it:
// here, inline, so that a conversion to the log writes its lines without a call through the
// writer's table (convert_lines.hpp).
#ifndef CANTEXT_WRITERS_LOG_LINE_HPP
#define CANTEXT_WRITERS_LOG_LINE_HPP

#include <cstdint>
#include <cstring>
#include <string_view>

#include "byte_words.hpp"
#include "cantext/compact_form.hpp"
#include "render/compact_form_inline.hpp"

namespace cantext::writers {

// Copies `field` and a space after it; a field of up to 32 bytes, such as every time and channel
// name, as two copies of a fixed size that may overlap, with no call to the C library's copy.
inline char* put_log_field(char* out, std::string_view field) noexcept {
  const char* const from = field.data();
  const std::size_t n = field.size();
  if (n >= 8 && n <= 16) {
    detail::store_word(out, detail::load_word(from));
    detail::store_word(out + n - 8, detail::load_word(from + n - 8));
  } else if (n > 16 && n <= 32) {
    char head[16];
    char tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(out, head, 16);
    std::memcpy(out + n - 16, tail, 16);
  } else if (n >= 4 && n < 8) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + n - 4, &tail, 4);
  } else {
    std::memcpy(out, from, n);
  }
  out[n] = ' ';
  return out + n + 1;
}

// Each number below 1000 as its three digits (and a fourth byte that the next group
// overwrites): log_time_out writes a fraction as three of them, a load each, fewer instructions
// than any arithmetic on the digits.  4 KB, which stay in the cache while a reading writes times.
struct digit_groups {
  char group[1000][4];
};

constexpr digit_groups make_digit_groups() noexcept {
  digit_groups t{};
  for (int v = 0; v < 1000; ++v) {
    t.group[v][0] = static_cast<char>('0' + v / 100);
    t.group[v][1] = static_cast<char>('0' + v / 10 % 10);
    t.group[v][2] = static_cast<char>('0' + v % 10);
  }
  return t;
}

inline constexpr digit_groups three_digits = make_digit_groups();

// x / Divisor for any x below 2^Bits, as a multiply and a shift.  A compiler turns a division by
// a constant into these itself, but not where it guesses the code rarely runs, as it may for a
// line's last step after many checks; the division it leaves costs tens of cycles a line.  The
// multiplier is 2^shift / Divisor rounded up, by less than 1, and shift is large enough that x
// times that rounding, shifted, stays below the 1 / Divisor between x / Divisor and the next
// whole number: the quotient is exact.
template <std::uint32_t Divisor, unsigned Bits>
constexpr std::uint32_t divide_below(std::uint32_t x) noexcept {
  constexpr unsigned shift = [] {
    unsigned s = Bits;
    while ((std::uint64_t{1} << (s - Bits)) < Divisor) ++s;
    return s;
  }();
  constexpr std::uint64_t multiplier = ((std::uint64_t{1} << shift) + Divisor - 1) / Divisor;
  // A multiplier of 32 bits: one widening multiply on 32-bit processors too.
  static_assert(Bits <= 32 && multiplier >> 32 == 0, "the multiplier needs more than 32 bits");
  static_assert(
      (multiplier * Divisor - (std::uint64_t{1} << shift)) << Bits <= std::uint64_t{1} << shift,
      "the multiplier's excess reaches the quotient");
  return static_cast<std::uint32_t>((std::uint64_t{x} * static_cast<std::uint32_t>(multiplier)) >>
                                    shift);
}

// The time field and a space, written from the nanoseconds a format read (line::time_ns and
// time_digits), as reader::put_log_time writes it: a reading that writes the log asks the formats
// for the number alone (format_options::time_text), and this writer keeps the text of the current
// second, so that a line within it costs one copy of that text and the fraction's digits.
class log_time_out {
 public:
  // Writes "(seconds.fraction) " for `ns` with `digits` (1 to 9) digits of fraction; returns the
  // end.  Up to reader::max_log_time + 1 bytes from `out` may be written.
  char* put(char* out, std::int64_t ns, int digits) noexcept {
    const std::uint64_t in_second = static_cast<std::uint64_t>(ns) - second_ns_;
    // A time before the kept second wraps to far above a second.  A negative time is never
    // kept, and its text has a "-" before the seconds.
    if (ns < 0 || in_second >= ns_per_second) return put_new_second(out, ns, digits);
    detail::store_word(out, head_[0]);
    detail::store_word(out + 8, head_[1]);
    // All nine digits of the fraction, of which `digits` stay (cut, not rounded).
    char* p = out + head_size_;
    const auto fraction = static_cast<std::uint32_t>(in_second);
    const std::uint32_t millis = divide_below<1000000, 30>(fraction);
    const std::uint32_t below_milli = fraction - millis * 1000000;
    const std::uint32_t micros = divide_below<1000, 20>(below_milli);
    std::memcpy(p, three_digits.group[millis], 4);
    std::memcpy(p + 3, three_digits.group[micros], 4);
    std::memcpy(p + 6, three_digits.group[below_milli - micros * 1000], 4);
    p += digits;
    p[0] = ')';
    p[1] = ' ';
    return p + 2;
  }

 private:
  static constexpr std::uint64_t ns_per_second = 1000000000u;

  // The whole text by reader::put_log_time, and the second kept when it has a place for it.
  [[gnu::noinline]] char* put_new_second(char* out, std::int64_t ns, int digits) noexcept;

  // "(seconds." of the kept second, up to 16 bytes, the first in the lowest byte; what follows
  // its point in the words is overwritten by the fraction.
  std::uint64_t head_[2] = {};
  std::size_t head_size_ = 0;
  // The kept second's start in nanoseconds: none at first, as no time of 0 or more lies within
  // a second of 2^63.
  std::uint64_t second_ns_ = std::uint64_t{1} << 63;
};

// What follows the time and the channel in a log line, at `out`: the frame in compact notation,
// the direction, where there is one, as a fourth field, and the line break; returns the end.
inline char* put_log_frame(char* out, const frame_record& record, int max_data_length,
                           std::string_view direction) noexcept {
  // The renderer itself, inline for the usual frame: the terminator format_frame_compact adds
  // would be overwritten.
  out = detail::render_compact_inline(out, record, max_data_length);
  if (direction.size() == 1) {
    out[0] = ' ';
    out[1] = direction[0];
    out += 2;
  } else if (!direction.empty()) {
    *out++ = ' ';
    std::memcpy(out, direction.data(), direction.size());
    out += direction.size();
  }
  *out++ = '\n';
  return out;
}

}  // namespace cantext::writers

#endif
