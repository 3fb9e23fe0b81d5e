// SPDX-License-Identifier: MIT
// The capture log, "(seconds.fraction) channel frame [R|T]": the time and channel as they come,
// the frame in compact notation, the direction as a fourth field when it is known.
#include "cantext/compact_form.hpp"
#include "capture_writer.hpp"
#include "text_out.hpp"

namespace cantext::writers {
namespace {

std::size_t no_text(writer_state&, char*) noexcept {
  return 0;
}

std::size_t log_header(writer_state&, const frame_line*, char*) noexcept {
  return 0;
}

std::size_t log_line(writer_state& state, const frame_line& frame, char* out) noexcept {
  text_out text(out);
  text.put(frame.time);
  text.put(' ');
  text.put(frame.channel);
  text.put(' ');
  text.at = format_frame_compact(text.at, frame.record, false, frame.max_data_length);
  if (!frame.direction.empty()) {
    text.put(' ');
    text.put(frame.direction);
  }
  text.put('\n');
  ++state.count;
  return text.size();
}

}  // namespace

const line_writer log_writer{"log", log_header, log_line, no_text};

}  // namespace cantext::writers
