// SPDX-License-Identifier: MIT
// The cantext command's input files and its messages: the named files are read in turn
// ("-", or none at all, is standard input), each by a line reader of its own, so that line
// numbers count from 1 in every file, and each decompressed where it is compressed (in a second
// thread, pipelined_source.hpp); a file that cannot be opened or read is reported and, with
// --keep-going, passed over.
#ifndef CANTEXT_TOOLS_INPUT_FILES_HPP
#define CANTEXT_TOOLS_INPUT_FILES_HPP

#include <cerrno>
#include <cstdint>

#include "compressed_source.hpp"
#include "line_reader.hpp"
#include "pipelined_source.hpp"

namespace cantext::tool {

// Writes "cantext: " and the formatted text, then a line break, on standard error.
void say(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));

// Writes "cantext: FILE: <system error text>" on standard error.
void report_file_error(const char* name, int error) noexcept;
// The same for a read that failed, with what was wrong with compressed input where it was that.
void report_read_error(const char* name, int error,
                       const compress::compressed_source& input) noexcept;

// What is wrong with a bad line, in the command's words; `problem` is the format's own text.
const char* bad_line_text(reader::line_fault fault, const char* problem) noexcept;

// Writes "FILE:LINE: <what is wrong>" on standard error.
void report_bad_line(const char* file, std::uint64_t number, reader::line_fault fault,
                     const char* problem) noexcept;

// The file descriptor of the named input, or -1 with errno set.
int open_input(const char* name) noexcept;
// Closes what open_input opened (not standard input).
void close_input(int fd) noexcept;

// Reads the named files in turn with the writer stage, a writer_stage with a consumer's
// line().  Returns the exit status: 1 when a file could not be opened or read, a line was bad
// or a write failed, else 0.  What the writer has rendered is written out before every message
// and at the end.  Each file is read as `format`, or with null as its first block shows.
template <class Writer>
int read_files(char* const* names, int count, Writer& writer, reader::reader_buffers& buffers,
               const reader::line_format* format = nullptr,
               reader::format_options options = {}) noexcept {
  static char standard_input[] = "-";
  static char* const only_standard_input[] = {standard_input};
  if (count == 0) {
    names = only_standard_input;
    count = 1;
  }
  bool file_failed = false;
  for (int i = 0; i < count && !writer.write_failed(); ++i) {
    int fd = open_input(names[i]);
    int error = errno;
    reader::ending how = reader::ending::read_error;
    compress::compressed_source input(reader::fd_source(&fd));
    if (fd >= 0) {
      writer.set_file(names[i]);
      const bool regular = compress::is_regular_file(fd);
      writer.set_input_waits(!regular);
      compress::pipelined_source bytes(input, regular);
      reader::line_reader lines(bytes.bytes(), buffers);
      lines.set_format(format, options);
      how = lines.read(writer);
      error = lines.error();
      bytes.finish();
      close_input(fd);
    }
    if (how == reader::ending::stopped) break;
    if (how == reader::ending::read_error) {
      file_failed = true;
      if (!writer.flush()) break;
      report_read_error(names[i], error, input);
      if (!writer.keep_going()) break;
    }
  }
  (void)writer.flush();
  return file_failed || writer.saw_bad_line() || writer.write_failed() ? 1 : 0;
}

}  // namespace cantext::tool

#endif
