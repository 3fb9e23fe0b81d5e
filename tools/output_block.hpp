// SPDX-License-Identifier: MIT
// What the writer stages of the programs share: lines are rendered straight into a block of
// output, which is written out when it is full and whenever the reader is about to wait for
// input; a failed write is reported once, as "write: <system error text>".
#ifndef CANTEXT_TOOLS_OUTPUT_BLOCK_HPP
#define CANTEXT_TOOLS_OUTPUT_BLOCK_HPP

#include <cstddef>
#include <cstring>
#include <string_view>

#include "byte_sink.hpp"
#include "cantext/long_form.hpp"
#include "line_reader.hpp"

namespace cantext::tool {

using compress::byte_sink;
using compress::try_write_all;

// A sink writing the file descriptor *fd (the pointer must outlive the sink).
byte_sink fd_sink(int* fd) noexcept;

// Writes "<what>: <system error text>\n".
void report_error(byte_sink err, const char* what, int errnum) noexcept;

// Copies a field and Gap blanks after it; a short one as one fixed-size copy that may run past
// it (the reader lets a field be read field_read_room bytes from its start).
template <std::size_t Gap>  // 1 or 2
char* put_field(char* out, std::string_view field) noexcept {
  const std::size_t n = field.size();
  if (n <= reader::field_read_room) {
    std::memcpy(out, field.data(), reader::field_read_room);
  } else {
    std::memcpy(out, field.data(), n);
  }
  std::memcpy(out + n, "  ", Gap);
  return out + n + Gap;
}

// A line as its first two fields, two blanks after each, and its frame in the long form, then
// a line break; returns the end.
inline char* put_long_line(char* out, const reader::line& l, unsigned view) noexcept {
  out = put_field<2>(out, l.fields[0]);
  out = put_field<2>(out, l.fields[1]);
  out = format_frame_long(out, l.record, view, l.max_data_length);
  *out++ = '\n';
  return out;
}

// The bytes an output block gathers before it is written out: writes of a few hundred KB cost the
// kernel a quarter to 40% less a byte than writes of a reader's block or less (the file system's
// work per call), which a conversion of a file, whose time is mostly reading and writing, shows.
inline constexpr std::size_t output_block_size = 512 * 1024;

// The output of a writer stage in a caller's buffer, which has room for a whole line (and its
// renderer's working room) past output_block_size.
class output_block {
 public:
  output_block(byte_sink out, byte_sink err, char* buf) noexcept
      : out_(out), err_(err), buf_(buf) {}

  // Where the next line is rendered.
  char* end() noexcept { return buf_ + used_; }
  // The end of a full block: a line that begins past it is not rendered before a commit.
  const char* limit() const noexcept { return buf_ + output_block_size; }

  // Takes the text rendered at end() up to text_end; writes the block out once it is full.
  // False when that write fails.
  bool commit(char* text_end) noexcept {
    used_ = static_cast<std::size_t>(text_end - buf_);
    return used_ <= output_block_size || flush();
  }

  // Writes out what the block holds; false when the write fails, which is reported.
  bool flush() noexcept {
    const bool ok = try_write_all(out_, buf_, used_);
    used_ = 0;
    if (!ok) report_failure();
    return ok;
  }

  // Whether reading the input may wait (a pipe, a terminal, a socket), as it may unless the
  // caller says otherwise: only then is the block written out before each read, so that live
  // input comes out promptly; a file's lines are written out in full blocks, fewer writes.
  void set_input_waits(bool waits) noexcept { input_waits_ = waits; }
  // Before a read of input: writes the block out where the input may wait.  Not inline: the
  // reader's loop of every consumer calls it, once a block.
  bool before_read() noexcept;

  // Whether a write has failed.
  bool failed() const noexcept { return failed_; }

 private:
  void report_failure() noexcept;

  byte_sink out_;
  byte_sink err_;
  char* buf_;
  std::size_t used_ = 0;
  bool input_waits_ = true;
  bool failed_ = false;
};

}  // namespace cantext::tool

#endif
