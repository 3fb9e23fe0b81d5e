// SPDX-License-Identifier: MIT
// The programs' writer stage: each line from the reader is rendered by the program's Render
// straight into the output block, which is written out when it is full and whenever the reader
// is about to wait for input; a bad line is reported the program's way, then skipped or the end
// of the reading.
#ifndef CANTEXT_TOOLS_LINE_WRITER_HPP
#define CANTEXT_TOOLS_LINE_WRITER_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/cantext.hpp"
#include "line_reader.hpp"
#include "output_block.hpp"

namespace cantext::tool {

// The most a Render writes for one line: the first two fields of a piece with blanks after
// them, the long form's working room, and an error description under it, with room to spare for
// the longer lines of other views (a line of another format, signals decoded).
inline constexpr std::size_t max_rendered_line = 16 * 1024;
static_assert(max_rendered_line >=
              reader::max_piece + 4 + LONG_FORM_BUF_SIZE + 2 + ERROR_DESCRIPTION_BUF_SIZE);

// A writer stage's buffers: large, so not on the stack.  A short field is copied as one
// fixed-size copy that may run reader::field_read_room bytes past it.
struct writer_buffers {
  reader::reader_buffers input;
  char output[output_block_size + max_rendered_line + reader::field_read_room];
};

// How a program reports a bad line.
enum class bad_line_style {
  // cantext-long: the reading stops; a frame that cannot be parsed is reported as
  // "read: incomplete CAN frame", any other bad line with nothing.
  filter,
  // cantext: "FILE:LINE: what is wrong", once for a line of several pieces; then the reading
  // stops, or goes on with --keep-going.
  command,
};

// The largest error class the explainer takes: above it, it reports the class on standard
// error (straight to the stream, past the output block) and describes nothing.
inline constexpr std::uint32_t max_error_class = 0x200;

// Whether the explainer will report the record's error class as invalid.
inline bool explainer_complains(const frame_record& record) noexcept {
  return (record.can_id & CAN_ERR_FLAG) != 0 && (record.can_id & CAN_ERR_MASK) > max_error_class;
}

// What every writer stage does besides rendering.
class writer_stage {
 public:
  writer_stage(output_block& block, byte_sink err, bad_line_style style, bool keep_going) noexcept
      : block_(block), err_(err), style_(style), keep_going_(keep_going) {}

  // The file whose lines follow, as the messages name it; its line numbers start afresh.
  void set_file(const char* name) noexcept {
    file_ = name;
    last_bad_number_ = 0;
  }
  // Whether reading the input may wait (output_block::set_input_waits).
  void set_input_waits(bool waits) noexcept { block_.set_input_waits(waits); }
  bool keep_going() const noexcept { return keep_going_; }
  // Whether a bad line was met.
  bool saw_bad_line() const noexcept { return saw_bad_line_; }
  bool flush() noexcept { return block_.flush(); }
  bool write_failed() const noexcept { return block_.failed(); }

  // The reader's consumer, less line().
  bool bad_line(const reader::line& l, reader::line_fault fault, std::string_view) noexcept;
  bool before_read() noexcept { return block_.before_read(); }

  // The exit status once the reader has ended so (one input, the filter's way).
  int finish(reader::ending how, int read_error) noexcept;

 protected:
  output_block& block_;

 private:
  byte_sink err_;
  bad_line_style style_;
  const char* file_ = "-";
  bool keep_going_;
  bool saw_bad_line_ = false;
  std::uint64_t last_bad_number_ = 0;
};

// The reader's consumer for a program that renders each line with Render: a callable
// char* (char* out, const reader::line&) returning the end of what it wrote, with a constant
// `explains` that says whether it may call the error explainer.
template <class Render>
class line_writer : public writer_stage {
 public:
  line_writer(Render render, output_block& block, byte_sink err, bad_line_style style,
              bool keep_going = false) noexcept
      : writer_stage(block, err, style, keep_going), render_(render) {}

  bool line(const reader::line& l) noexcept {
    // The explainer's message goes straight to standard error: what came before it goes first.
    if (Render::explains && explainer_complains(l.record) && !block_.flush()) return false;
    return block_.commit(render_(block_.end(), l));
  }

 private:
  Render render_;
};

}  // namespace cantext::tool

#endif
