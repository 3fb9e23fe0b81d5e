// SPDX-License-Identifier: MIT
// cantext-long: rewrites the frame of each "(time) interface frame" line in the long form.
#include <unistd.h>

#include "long_lines.hpp"

namespace {

long write_fd(void* context, const char* buf, std::size_t n) {
  return ::write(*static_cast<const int*>(context), buf, n);
}

cantext::tool::filter_buffers buffers;

}  // namespace

int main() {
  static int in_fd = STDIN_FILENO;
  static int out_fd = STDOUT_FILENO;
  static int err_fd = STDERR_FILENO;
  return cantext::tool::convert_lines(cantext::reader::fd_source(&in_fd), {&out_fd, write_fd},
                                      {&err_fd, write_fd}, buffers);
}
