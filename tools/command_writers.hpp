// SPDX-License-Identifier: MIT
// The writer stages of the cantext command: each line from the reader is rendered for the
// chosen command straight into the output block; a bad line is reported with its file and line
// number, then skipped or the end of the reading.
#ifndef CANTEXT_TOOLS_COMMAND_WRITERS_HPP
#define CANTEXT_TOOLS_COMMAND_WRITERS_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/cantext.hpp"
#include "line_reader.hpp"
#include "output_block.hpp"

namespace cantext::tool {

// The room after a full output block for the line that fills it: the first two fields of a
// piece with two blanks after each, the long form's working room (its terminator at most at
// the last byte of it), a line break and a tab, and the error description's room (whose
// terminator the line break after it takes).
inline constexpr std::size_t max_command_line =
    reader::max_piece + 4 + LONG_FORM_BUF_SIZE + 2 + ERROR_DESCRIPTION_BUF_SIZE;

// The command's buffers: large, so not on the stack.  A short field is copied as one
// fixed-size copy that may run reader::field_read_room bytes past it.
struct command_buffers {
  reader::reader_buffers input;
  char output[reader::block_size + max_command_line + reader::field_read_room];
};

// The largest error class the explainer takes: above it, it reports the class on standard error
// (straight to the stream, past the command's output block) and describes nothing.
inline constexpr std::uint32_t max_error_class = 0x200;

// Whether the explainer will report the record's error class as invalid.
bool explainer_complains(const frame_record& record) noexcept;

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

// What every writer stage of the command does besides rendering: the output block, and bad
// lines reported as "FILE:LINE: ..." and skipped (--keep-going) or the end of the reading.
class command_stage {
 public:
  command_stage(output_block& block, bool keep_going) noexcept
      : block_(block), keep_going_(keep_going) {}

  // The file whose lines follow, as the messages name it.
  void set_file(const char* name) noexcept { file_ = name; }
  bool keep_going() const noexcept { return keep_going_; }
  // Whether a bad line was met.
  bool saw_bad_line() const noexcept { return saw_bad_line_; }
  bool flush() noexcept { return block_.flush(); }
  bool write_failed() const noexcept { return block_.failed(); }

  // The reader's consumer, less line().
  bool bad_line(const reader::line& l, reader::line_fault fault, std::string_view) noexcept;
  bool before_read() noexcept { return block_.flush(); }

 protected:
  output_block& block_;

 private:
  const char* file_ = "-";
  bool keep_going_;
  bool saw_bad_line_ = false;
  std::uint64_t last_bad_number_ = 0;
};

// The reader's consumer for a command that renders each line with Render.
template <class Render>
class command_writer : public command_stage {
 public:
  command_writer(Render render, output_block& block, bool keep_going) noexcept
      : command_stage(block, keep_going), render_(render) {}

  bool line(const reader::line& l) noexcept {
    // The explainer's message goes straight to standard error: what came before it goes first.
    if (Render::explains && explainer_complains(l.record) && !block_.flush()) return false;
    return block_.commit(render_(block_.end(), l));
  }

 private:
  Render render_;
};

// `explain`: each frame text in the long form with the description under an error frame, in
// order; a text that is not a frame is reported where it stands.  Returns the exit status.
int explain_frames(char* const* frames, int count, output_block& block) noexcept;

}  // namespace cantext::tool

#endif
