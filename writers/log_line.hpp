// SPDX-License-Identifier: MIT
// The capture log's line, "(seconds.fraction) channel frame [R|T]", as the log writer writes it:
// here, inline, so that a conversion to the log writes its lines without a call through the
// writer's table (convert_lines.hpp).
#ifndef CANTEXT_WRITERS_LOG_LINE_HPP
#define CANTEXT_WRITERS_LOG_LINE_HPP

#include <cstring>
#include <string_view>

#include "byte_words.hpp"
#include "cantext/compact_form.hpp"

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

// What follows the time and the channel in a log line, at `out`: the frame in compact notation,
// the direction, where there is one, as a fourth field, and the line break; returns the end.
inline char* put_log_frame(char* out, const frame_record& record, int max_data_length,
                           std::string_view direction) noexcept {
  out = format_frame_compact(out, record, false, max_data_length);
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
