// SPDX-License-Identifier: MIT
// The table of the formats a capture can be written in: a new format is a row here.
#include "capture_writer.hpp"
#include "civil_time.hpp"
#include "format_fields.hpp"
#include "log_time.hpp"
#include "text_out.hpp"

namespace cantext::writers {

namespace {
const line_writer* const writers[] = {&log_writer, &asc_writer, &trc_writer};
}

const line_writer* find_writer(std::string_view name) noexcept {
  for (const line_writer* w : writers) {
    if (name == w->name) return w;
  }
  return nullptr;
}

std::uint32_t channel_number(std::string_view channel) noexcept {
  const auto digit = [](char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - 48u;
  };
  // The usual name, one digit after a character that is none ("can0").
  const std::size_t size = channel.size();
  if (size >= 2 && digit(channel[size - 1]) <= 9 && digit(channel[size - 2]) > 9) {
    return digit(channel[size - 1]) + 1;
  }
  std::size_t digits = 0;
  while (digits < channel.size() && channel[channel.size() - 1 - digits] >= '0' &&
         channel[channel.size() - 1 - digits] <= '9') {
    ++digits;
  }
  // Nine digits at most: the number and one more stay within 32 bits.
  if (digits == 0 || digits > 9) return 1;
  std::uint32_t n = 0;
  for (const char c : reader::fields::sub(channel, channel.size() - digits)) {
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return n + 1;
}

namespace {

// The whole seconds `whole` right-aligned in eight columns, or 0 when it has no such place.
std::uint64_t seconds_digits(std::int64_t whole) noexcept {
  if (whole < 0 || whole >= 100000000) return 0;
  return blank_leading_zeros(reader::fields::decimal_word(static_cast<std::uint32_t>(whole)));
}

// What usual_time needs for the times of a new head.
void keep_usual_head(writer_state& state) noexcept {
  const std::int64_t start_second = reader::floor_div(state.start_ns, reader::ns_per_second);
  const std::int64_t in_second = state.start_ns - start_second * reader::ns_per_second;
  if (in_second % 1000 != 0) return;
  const std::uint64_t micro_digits =
      reader::fields::decimal_word(static_cast<std::uint32_t>(in_second / 1000));
  state.head_start_micro = __builtin_bswap64(micro_digits - detail::every_byte('0'));
  const std::int64_t whole = state.time_head_ns / reader::ns_per_second - start_second;
  state.head_seconds[0] = seconds_digits(whole);
  state.head_seconds[1] = seconds_digits(whole - 1);
  state.head_start_ns = state.start_ns;
  state.head_usual = true;
}

}  // namespace

bool read_line_time(writer_state& state, std::string_view time, std::int64_t& ns,
                    int& digits) noexcept {
  const std::size_t size = time.size();
  const std::size_t head = state.time_head_size;
  // Words read within the text: 16 bytes from its start, 8 before its ")".
  if (head != 0 && size >= 16 && size > head + 1 && size <= head + 10 && time[size - 1] == ')') {
    const std::uint64_t w0 = detail::load_word(time.data());
    const std::uint64_t w1 = detail::load_word(time.data() + 8);
    if ((((w0 ^ state.time_head[0]) & state.time_head_mask[0]) |
         ((w1 ^ state.time_head[1]) & state.time_head_mask[1])) == 0) {
      const auto count = static_cast<unsigned>(size - head - 1);
      std::uint32_t fraction = 0;
      bool good;
      if (count == 9) {
        const unsigned first = static_cast<unsigned char>(time[head]) - unsigned{'0'};
        good = reader::fields::digits_before(time.data() + size - 1, 8, fraction) & (first <= 9);
        fraction += first * 100000000u;
      } else {
        good = reader::fields::digits_before(time.data() + size - 1, count, fraction);
        for (unsigned k = count; k < 9; ++k) fraction *= 10;
      }
      if (good) {
        ns = state.time_head_ns + fraction;
        digits = static_cast<int>(count);
        return true;
      }
    }
  }
  if (!reader::parse_log_time(time, ns, digits)) return false;
  // Kept for the next time: "(seconds." of a time that is not negative (nor "-0"), up to 16
  // bytes.
  state.time_head_size = 0;
  state.head_usual = false;
  const std::size_t point = time.find('.');
  if (time[0] == '(' && time[1] != '-' && ns >= 0 && point != std::string_view::npos &&
      point < 16 && size >= 16) {
    const std::size_t kept = point + 1;
    state.time_head[0] = detail::load_word(time.data());
    state.time_head[1] = detail::load_word(time.data() + 8);
    state.time_head_mask[0] = kept >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * kept)) - 1;
    state.time_head_mask[1] = kept <= 8    ? 0
                              : kept >= 16 ? ~std::uint64_t{0}
                                           : (std::uint64_t{1} << (8 * (kept - 8))) - 1;
    state.time_head_size = kept;
    state.time_head_ns = ns - ns % 1000000000;
    keep_usual_head(state);
  }
  return true;
}

}  // namespace cantext::writers
