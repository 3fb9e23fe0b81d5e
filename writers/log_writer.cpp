// SPDX-License-Identifier: MIT
// The capture log, "(seconds.fraction) channel frame [R|T]": the time and channel as they come,
// the frame in compact notation, the direction as a fourth field when it is known.
#include "capture_writer.hpp"
#include "log_line.hpp"

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

const line_writer log_writer{"log", log_header, log_line, no_text};

}  // namespace cantext::writers
