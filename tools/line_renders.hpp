// SPDX-License-Identifier: MIT
// How the programs render a line: each Render writes one line from the reader into the output
// block for line_writer (line_writer.hpp).
#ifndef CANTEXT_TOOLS_LINE_RENDERS_HPP
#define CANTEXT_TOOLS_LINE_RENDERS_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/cantext.hpp"
#include "line_reader.hpp"
#include "line_writer.hpp"
#include "output_block.hpp"

namespace cantext::tool {

// Writes, from the line break at `at` on, a line break, a tab and the record's error
// description with each entry after a tab on a line of its own, as write_frame_long gives them
// under the long form, then a line break; returns the end.
char* put_error_lines(char* at, const frame_record& record) noexcept;

// `long`: the two fields and the long form with the view; with Explain, under an error frame
// its description (a type of its own, so that the usual view tests nothing more per line).
template <bool Explain>
class long_lines_render {
 public:
  static constexpr bool explains = Explain;
  explicit long_lines_render(unsigned view) noexcept : view_(view) {}

  char* operator()(char* out, const reader::line& l) const noexcept {
    out = put_long_line(out, l, view_);
    if (Explain && (l.record.can_id & CAN_ERR_FLAG) != 0) out = put_error_lines(out - 1, l.record);
    return out;
  }

 private:
  unsigned view_;
};

// `compact`: the two fields and the frame in compact notation, one blank apart, as a capture
// log is written.
class compact_lines_render {
 public:
  static constexpr bool explains = false;
  explicit compact_lines_render(bool dots) noexcept : dots_(dots) {}

  char* operator()(char* out, const reader::line& l) const noexcept {
    out = put_field<1>(out, l.fields[0]);
    out = put_field<1>(out, l.fields[1]);
    out = format_frame_compact(out, l.record, dots_, l.max_data_length);
    *out++ = '\n';
    return out;
  }

 private:
  bool dots_;
};

// `explain`: each frame text in the long form with the description under an error frame, in
// order; a text that is not a frame is reported where it stands.  Returns the exit status.
int explain_frames(char* const* frames, int count, output_block& block) noexcept;

}  // namespace cantext::tool

#endif
