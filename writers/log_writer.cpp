// SPDX-License-Identifier: MIT
// The capture log, "(seconds.fraction) channel frame [R|T]": the time and channel as they come,
// the frame in compact notation, the direction as a fourth field when it is known.
#include <cstring>

#include "byte_words.hpp"
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

// Copies `field` and a space after it; a field of up to 32 bytes, such as every time and channel
// name, as two copies of a fixed size that may overlap, with no call to the C library's copy.
char* put_field(char* out, std::string_view field) noexcept {
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

std::size_t log_line(writer_state& state, const frame_line& frame, char* out) noexcept {
  text_out text(out);
  text.at = put_field(put_field(text.at, frame.time), frame.channel);
  text.at = format_frame_compact(text.at, frame.record, false, frame.max_data_length);
  if (frame.direction.size() == 1) {
    text.put(' ');
    text.put(frame.direction[0]);
  } else if (!frame.direction.empty()) {
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
