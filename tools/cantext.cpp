// SPDX-License-Identifier: MIT
// cantext: the library's views of CAN frames from the command line.  `long` and `compact`
// rewrite the lines of captures from files or standard input, `convert` writes their frames in
// another capture format; `explain` shows frames given as arguments.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "command_line.hpp"
#include "compressed_output.hpp"
#include "convert_lines.hpp"
#ifdef CANTEXT_WITH_DECODE
#include "decode_lines.hpp"
#endif
#include "filtered_writer.hpp"
#include "frame_stats.hpp"
#include "input_files.hpp"
#include "line_renders.hpp"
#include "time_views.hpp"
#include "time_zone.hpp"

namespace {

using namespace cantext::tool;

writer_buffers buffers;
int err_fd = STDERR_FILENO;

const cantext::reader::line_format* input_format(const command_line& line) noexcept {
  return line.from != nullptr ? cantext::reader::find_format(line.from) : nullptr;
}

// Reads the files with `writer`; what every command that reads captures does.
template <class Writer>
int read_with(const command_line& line, Writer& writer,
              cantext::reader::format_options options = {}) noexcept {
  return read_files(line.args, line.arg_count, writer, buffers.input, input_format(line), options);
}

template <class Render>
int rewrite_lines(const command_line& line, Render render, output_block& block) noexcept {
  return with_writer<line_writer<Render>, true>(
      line.filter, [&](auto& writer) { return read_with(line, writer); }, render, block,
      fd_sink(&err_fd), bad_line_style::command, line.keep_going);
}

channel_map channels;
cantext::reader::time_zone zone;  // --timezone's

int convert(const command_line& line) noexcept {
  if (line.channel_map != nullptr && !channels.parse(line.channel_map)) {
    say("--channel-map takes FROM=TO pairs apart by commas: '%s'", line.channel_map);
    return 2;
  }
  const cantext::writers::line_writer& to_writer = *cantext::writers::find_writer(line.to);
  cantext::reader::format_options read_options;
  read_options.time_text = convert_writer::wants_time_text(to_writer);
  cantext::writers::writer_options write_options;
  if (line.timezone != nullptr) {
    if (!zone.load(line.timezone)) {
      say("unknown time zone '%s'", line.timezone);
      return 2;
    }
    read_options.zone = &zone;
    write_options.zone = &zone;
  }
  static int out_fd = STDOUT_FILENO;
  // An output named FILE.gz, .xz or .zst is written compressed.
  const cantext::compress::compression packing = line.output != nullptr
                                                     ? cantext::compress::for_name(line.output)
                                                     : cantext::compress::compression::none;
  if (!cantext::compress::built_in(packing)) {
    say("%s: compressed with %s, which this build of cantext cannot write", line.output,
        cantext::compress::name_of(packing));
    return 1;
  }
  if (line.output != nullptr) {
    do {
      out_fd = ::open(line.output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (out_fd < 0 && errno == EINTR);
    if (out_fd < 0) {
      report_file_error(line.output, errno);
      return 1;
    }
  }
  cantext::compress::compressed_output packed(fd_sink(&out_fd), packing);
  if (!packed.start()) {
    report_file_error(line.output, errno);
    return 1;
  }
  output_block block(packed.sink(), fd_sink(&err_fd), buffers.output);
  bool written = false;
  const int status = with_writer<convert_writer>(
      line.filter,
      [&](auto& writer) {
        const int read_status = read_with(line, writer, read_options);
        written = writer.finish_output();
        return read_status;
      },
      to_writer, write_options, channels, block, fd_sink(&err_fd), line.keep_going);
  if (written && !packed.finish()) {
    report_error(fd_sink(&err_fd), "write", errno);
    written = false;
  }
  if (line.output != nullptr && ::close(out_fd) != 0 && written) {
    report_file_error(line.output, errno);
    return 1;
  }
  return written ? status : 1;
}

int timed_long(const command_line& line, output_block& block) noexcept {
  return with_writer<timed_long_writer>(
      line.filter,
      [&](auto& writer) {
        const int status = read_with(line, writer);
        return writer.out_of_memory() ? 1 : status;
      },
      line.time, line.view, block, fd_sink(&err_fd), line.keep_going);
}

int stats(const command_line& line, output_block& block) noexcept {
  return with_writer<stats_writer>(
      line.filter,
      [&](auto& writer) {
        const int status = read_with(line, writer);
        // What was read is shown even after a bad line: the status tells.
        return writer.finish_output() ? status : 1;
      },
      line.csv, block, fd_sink(&err_fd), line.keep_going);
}

#ifdef CANTEXT_WITH_DECODE
int decode(const command_line& line, output_block& block) noexcept {
  const cantext::dbc::load_result loaded = cantext::dbc::load_file(line.dbc);
  if (!loaded.ok()) {
    say("%s", loaded.error.c_str());
    return 1;
  }
  const unsigned options = (line.choices ? cantext::dbc::format_choices : 0U) |
                           (line.multi_line ? cantext::dbc::format_multi_line : 0U);
  return with_writer<decode_writer>(
      line.filter, [&](auto& writer) { return read_with(line, writer); }, loaded.db, options, block,
      fd_sink(&err_fd), line.keep_going);
}
#else
int decode(const command_line&, output_block&) noexcept {
  say("this build of cantext cannot decode signals (configured with CANTEXT_DECODE=OFF)");
  return 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  command_line line;
  const int status = parse_command_line(argc, argv, line);
  if (status >= 0) return status;
  static int out_fd = STDOUT_FILENO;
  output_block block(fd_sink(&out_fd), fd_sink(&err_fd), buffers.output);
  switch (line.what) {
    case command::long_form:
      if (line.time != time_view::absolute) return timed_long(line, block);
      if ((line.view & cantext::VIEW_ERROR) != 0) {
        return rewrite_lines(line, long_lines_render<true>(line.view), block);
      }
      return rewrite_lines(line, long_lines_render<false>(line.view), block);
    case command::compact:
      return rewrite_lines(line, compact_lines_render(line.dots), block);
    case command::convert:
      return convert(line);
    case command::decode:
      return decode(line, block);
    case command::stats:
      return stats(line, block);
    case command::explain:
      return explain_frames(line.args, line.arg_count, block);
  }
  return 1;
}
