// SPDX-License-Identifier: MIT
// The capture log, "(seconds.fraction) channel frame [R|T]": the time and channel as they come,
// the frame in compact notation, the direction as a fourth field when it is known.
#include "capture_writer.hpp"
#include "log_line.hpp"
#include "log_time.hpp"

namespace cantext::writers {
namespace {

std::size_t no_text(writer_state&, char*) noexcept {
  return 0;
}

std::size_t log_header(writer_state&, const frame_line*, char*) noexcept {
  return 0;
}

std::size_t log_line(writer_state& state, const frame_line& frame, char* out) noexcept {
  ++state.count;
  char* const fields_end = put_log_field(put_log_field(out, frame.time), frame.channel);
  return static_cast<std::size_t>(
      put_log_frame(fields_end, frame.record, frame.max_data_length, frame.direction) - out);
}

}  // namespace

char* log_time_out::put_new_second(char* out, std::int64_t ns, int digits) noexcept {
  const std::size_t n = reader::put_log_time(out, ns, digits);
  out[n] = ' ';
  head_size_ = 0;
  second_ns_ = std::uint64_t{1} << 63;
  // A time of 0 or more has at most ten digits of seconds: "(", they and the point lie within
  // the first 16 bytes, which hold what put_log_time wrote up to its terminator and then what the
  // writing after the time overwrites.
  if (ns >= 0) {
    const std::uint64_t near = detail::bytes_equal(detail::load_word(out), '.');
    const std::uint64_t far = detail::bytes_equal(detail::load_word(out + 8), '.');
    if ((near | far) != 0) {
      head_[0] = detail::load_word(out);
      head_[1] = detail::load_word(out + 8);
      head_size_ =
          (near != 0 ? detail::lowest_set_bit(near) : 64 + detail::lowest_set_bit(far)) / 8 + 1;
      const auto whole = static_cast<std::uint64_t>(ns) / ns_per_second;
      second_ns_ = whole * ns_per_second;
    }
  }
  return out + n + 1;
}

const line_writer log_writer{"log", log_header, log_line, no_text};

}  // namespace cantext::writers
