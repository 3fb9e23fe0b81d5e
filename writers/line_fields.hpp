// SPDX-License-Identifier: MIT
// What the ASC and TRC writers read from a frame's log fields, its time and its channel number,
// inline for the usual shapes: a time of the same second as the last one, with at most eight
// digits of fraction, and a channel name ending in one digit.  Every other shape goes to
// read_line_time and channel_number, which take them all.
#ifndef CANTEXT_WRITERS_LINE_FIELDS_HPP
#define CANTEXT_WRITERS_LINE_FIELDS_HPP

#include <cstdint>
#include <string_view>

#include "capture_writer.hpp"
#include "civil_time.hpp"
#include "format_fields.hpp"
#include "text_out.hpp"

namespace cantext::writers {

// read_line_time, with the time of the same second as the last one read in place.
inline bool line_time(writer_state& state, std::string_view time, std::int64_t& ns,
                      int& digits) noexcept {
  const std::size_t size = time.size();
  const std::size_t head = state.time_head_size;
  // 1 to 8 digits between the kept "(seconds." and ")" (none kept leaves a count past 8); the
  // words are read within the text, 16 bytes from its start and 8 before its ")".
  const std::size_t count = size - head - 1;
  if (size >= 16 && count - 1 < 8 && time[size - 1] == ')') {
    const std::uint64_t w0 = detail::load_word(time.data());
    const std::uint64_t w1 = detail::load_word(time.data() + 8);
    std::uint32_t fraction = 0;
    const bool good = reader::fields::digits_before(time.data() + size - 1,
                                                    static_cast<unsigned>(count), fraction);
    if (good && (((w0 ^ state.time_head[0]) & state.time_head_mask[0]) |
                 ((w1 ^ state.time_head[1]) & state.time_head_mask[1])) == 0) {
      ns = state.time_head_ns +
           static_cast<std::int64_t>(fraction * text_tables::powers_of_ten[9 - count]);
      digits = static_cast<int>(count);
      return true;
    }
  }
  return read_line_time(state, time, ns, digits);
}

// A time of the kept head with six digits of fraction, "(seconds.ffffff)", since the start: its
// whole seconds as digits right-aligned in eight columns, and "00ffffff", the digits of its
// microsecond within that second.  The start's microsecond is taken from the fraction's digits
// a word at a time, so that a time is not read into a number and written back.  False for any
// other time (read_line_time reads it), and for one before the start or from 10^8 s after it.
inline bool usual_time(const writer_state& state, std::string_view time, std::uint64_t& seconds,
                       std::uint64_t& micro) noexcept {
  const std::size_t size = time.size();
  // A usual head is at least 9 bytes long: the words read lie within the text, 16 bytes from its
  // start and 8 from the last but one digit.
  if (!state.head_usual || size != state.time_head_size + 7 || time[size - 1] != ')' ||
      state.head_start_ns != state.start_ns) {
    return false;
  }
  const std::uint64_t w0 = detail::load_word(time.data());
  const std::uint64_t w1 = detail::load_word(time.data() + 8);
  // The digit values, the fraction's first in byte 2.
  const std::uint64_t values =
      (detail::load_word(time.data() + size - 9) ^ detail::every_byte('0')) &
      ~std::uint64_t{0xFFFF};
  if ((((w0 ^ state.time_head[0]) & state.time_head_mask[0]) |
       ((w1 ^ state.time_head[1]) & state.time_head_mask[1])) != 0 ||
      !reader::fields::decimal_values(values)) {
    return false;
  }
  // The last digit in the lowest byte, so that a byte's borrow goes to the digit before it: a
  // byte that borrowed holds 256 - k for a digit that went k below 0, which 10 - k replaces.
  std::uint64_t d = __builtin_bswap64(values) - state.head_start_micro;
  const bool borrowed = (d >> 48) != 0;
  d &= 0x0000FFFFFFFFFFFFULL;
  d -= (d >> 7 & detail::every_byte(1)) * 0xF6;
  seconds = state.head_seconds[borrowed ? 1 : 0];
  micro = __builtin_bswap64(d) + detail::every_byte('0');
  return seconds != 0;
}

// channel_number, with a name that ends in a single digit ("can0") in place.
inline std::uint32_t channel_of(std::string_view channel) noexcept {
  const std::size_t size = channel.size();
  if (size >= 2) {
    const unsigned last = static_cast<unsigned char>(channel[size - 1]) - unsigned{'0'};
    const unsigned before = static_cast<unsigned char>(channel[size - 2]) - unsigned{'0'};
    if (last <= 9 && before > 9) return last + 1;
  }
  return channel_number(channel);
}

// The whole seconds of a time `since_start` (0 to 10^8 s) as digits right-aligned in eight
// columns, and the nanoseconds past them; false, with nothing set, for any other time.  A time of
// the same second as the last one takes the digits that it kept.
inline bool whole_seconds(writer_state& state, std::int64_t since_start, std::uint64_t& digits,
                          std::uint32_t& past) noexcept {
  constexpr auto second = static_cast<std::uint64_t>(reader::ns_per_second);
  // Unsigned, so that any time outside the kept second gives a difference past one.
  std::uint64_t after =
      static_cast<std::uint64_t>(since_start) - static_cast<std::uint64_t>(state.second_ns);
  if (after >= second) {
    if (since_start < 0 || since_start >= 100000000 * reader::ns_per_second) return false;
    const std::uint64_t whole = static_cast<std::uint64_t>(since_start) / second;
    state.second_ns = static_cast<std::int64_t>(whole * second);
    state.second_digits =
        blank_leading_zeros(reader::fields::decimal_word(static_cast<std::uint32_t>(whole)));
    after = static_cast<std::uint64_t>(since_start) - whole * second;
  }
  digits = state.second_digits;
  past = static_cast<std::uint32_t>(after);
  return true;
}

}  // namespace cantext::writers

#endif
