// SPDX-License-Identifier: MIT
// cantext: the library's views of CAN frames from the command line.  `long` and `compact`
// rewrite capture-log lines from files or standard input; `explain` shows frames given as
// arguments.
#include <unistd.h>

#include "command_line.hpp"
#include "input_files.hpp"
#include "line_renders.hpp"

namespace {

using namespace cantext::tool;

writer_buffers buffers;
int err_fd = STDERR_FILENO;

template <class Render>
int rewrite_lines(const command_line& line, Render render, output_block& block) noexcept {
  line_writer<Render> writer(render, block, fd_sink(&err_fd), bad_line_style::command,
                             line.keep_going);
  return read_files(line.args, line.arg_count, writer, buffers.input);
}

}  // namespace

int main(int argc, char** argv) {
  command_line line;
  const int status = parse_command_line(argc, argv, line);
  if (status >= 0) return status;
  static int out_fd = STDOUT_FILENO;
  output_block block(fd_sink(&out_fd), fd_sink(&err_fd), buffers.output);
  switch (line.what) {
    case command::long_form:
      if ((line.view & cantext::VIEW_ERROR) != 0) {
        return rewrite_lines(line, long_lines_render<true>(line.view), block);
      }
      return rewrite_lines(line, long_lines_render<false>(line.view), block);
    case command::compact:
      return rewrite_lines(line, compact_lines_render(line.dots), block);
    case command::explain:
      return explain_frames(line.args, line.arg_count, block);
  }
  return 1;
}
