// SPDX-License-Identifier: MIT
#include "decode_lines.hpp"

#include <cstring>

namespace cantext::tool {
namespace {

// What is left of the output block's room for one line, past its end.
constexpr std::size_t room_for_signals = max_rendered_line - reader::max_piece - 8;

char* put_text(char* out, std::string_view text) noexcept {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace

bool decode_writer::line(const reader::line& l) noexcept {
  char* out = put_text(block_.end(), l.text);
  const dbc::message* m = find_message(db_, l.record.can_id);
  if (m != nullptr && m->signals.size() <= max_shown_signals) {
    const std::size_t shown =
        static_cast<std::size_t>(l.record.len) < static_cast<std::size_t>(l.max_data_length)
            ? l.record.len
            : static_cast<std::size_t>(l.max_data_length);
    std::memcpy(out, "  :: ", 5);
    const std::size_t n =
        dbc::format_frame(out + 5, room_for_signals, *m, l.record.data, shown, values_, options_);
    // A text cut at the room's end still ends its line.
    out += 5 + (n < room_for_signals ? n : room_for_signals - 1);
  }
  *out++ = '\n';
  return block_.commit(out);
}

bool decode_writer::skipped_line(std::string_view text, std::uint64_t) noexcept {
  char* out = put_text(block_.end(), text);
  *out++ = '\n';
  return block_.commit(out);
}

}  // namespace cantext::tool
