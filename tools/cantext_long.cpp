// SPDX-License-Identifier: MIT
// cantext-long: rewrites the frame of each "(time) interface frame" line in the long form.
#include <unistd.h>

#include "long_lines.hpp"

namespace {

cantext::tool::filter_buffers buffers;

}  // namespace

int main() {
  static int in_fd = STDIN_FILENO;
  static int out_fd = STDOUT_FILENO;
  static int err_fd = STDERR_FILENO;
  return cantext::tool::convert_lines(cantext::reader::fd_source(&in_fd),
                                      cantext::tool::fd_sink(&out_fd),
                                      cantext::tool::fd_sink(&err_fd), buffers);
}
