// SPDX-License-Identifier: MIT
// The capture log, "(seconds.fraction) channel frame [R|T]": fields split at the C locale's
// white space, the frame in compact notation, an optional fourth field saying whether the frame
// was received (R) or transmitted (T).  The line reader takes most lines of a log on a straight
// path of its own; this is the whole rule, which that path agrees with.
#include <cstring>

#include "line_format.hpp"

namespace cantext::reader {
namespace {

bool is_space(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next field of `text` from `at` on, with `at` moved past it; empty at the end.
std::string_view next_field(std::string_view text, std::size_t& at) noexcept {
  while (at < text.size() && is_space(text[at])) ++at;
  const std::size_t begin = at;
  while (at < text.size() && !is_space(text[at])) ++at;
  return {text.data() + begin, at - begin};
}

bool only_spaces(std::string_view text) noexcept {
  for (const char c : text) {
    if (!is_space(c)) return false;
  }
  return true;
}

line_verdict parse_log_line(format_state&, std::string_view text, line_parts& out) noexcept {
  const bool blank = only_spaces(text);
  // A NUL byte ends the line's text.
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    text = {text.data(), static_cast<std::size_t>(static_cast<const char*>(nul) - text.data())};
  }
  std::size_t at = 0;
  for (std::string_view& field : out.fields) field = next_field(text, at);
  const std::string_view fourth = next_field(text, at);
  out.direction =
      fourth.size() == 1 && (fourth[0] == 'R' || fourth[0] == 'T') ? fourth : std::string_view();
  if (out.fields[2].empty()) {
    std::memset(&out.record, 0, sizeof out.record);
    out.max_data_length = 0;
    out.fault = blank ? line_fault::blank : line_fault::too_few_fields;
    out.problem = blank ? "blank line" : "fewer than three fields";
    return line_verdict::bad;
  }
  const frame_kind kind = parse_frame_text(out.fields[2], out.record);
  if (kind == not_a_frame) {
    out.max_data_length = 0;
    out.fault = line_fault::bad_frame;
    out.problem = "not a CAN frame";
    return line_verdict::bad;
  }
  out.max_data_length = max_dlen(kind);
  return line_verdict::frame;
}

// Any input can be read as a log: it is what is left when no other format takes the head.
bool recognise_log(std::string_view) noexcept {
  return true;
}

}  // namespace

const line_format log_format{"log", recognise_log, parse_log_line};

}  // namespace cantext::reader
