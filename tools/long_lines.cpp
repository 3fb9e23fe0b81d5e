// SPDX-License-Identifier: MIT
// The long-form writer stage: each line from the reader is written as its first two fields and
// its frame in the long form, rendered straight into the output block; a block is written out
// when it is full, and whatever there is before the reader waits for input.
#include "long_lines.hpp"

namespace cantext::tool {
namespace {

constexpr unsigned line_view = VIEW_ASCII | VIEW_ALIGN_SFF;
constexpr char incomplete_frame[] = "read: incomplete CAN frame\n";

// The reader's consumer: stops at the first bad line or failed write, with the exit status.
class long_form_writer {
 public:
  long_form_writer(byte_sink out, byte_sink err, char* buf) noexcept
      : block_(out, err, buf), err_(err) {}

  bool line(const reader::line& l) noexcept {
    return block_.commit(put_long_line(block_.end(), l, line_view));
  }

  bool bad_line(const reader::line&, reader::line_fault fault, std::string_view) noexcept {
    status_ = 1;
    if (block_.flush() && fault == reader::line_fault::bad_frame) {
      (void)try_write_all(err_, incomplete_frame, sizeof incomplete_frame - 1);
    }
    return false;
  }

  bool before_read() noexcept { return block_.flush(); }

  // The exit status once the reader has ended so.
  int finish(reader::ending how, int read_error) noexcept {
    if (how == reader::ending::read_error) {
      report_error(err_, "read", read_error);
      return 1;
    }
    if (how == reader::ending::end_of_input) (void)block_.flush();
    return status_ != 0 || block_.failed() ? 1 : 0;
  }

 private:
  output_block block_;
  byte_sink err_;
  int status_ = 0;
};

}  // namespace

int convert_lines(reader::byte_source in, byte_sink out, byte_sink err, filter_buffers& buffers,
                  reader::mark_function mark) noexcept {
  reader::line_reader lines(in, buffers.input, mark);
  long_form_writer writer(out, err, buffers.output);
  const reader::ending how = lines.read(writer);
  return writer.finish(how, lines.error());
}

}  // namespace cantext::tool
