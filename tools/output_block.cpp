// SPDX-License-Identifier: MIT
#include "output_block.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cantext::tool {
namespace {

long write_fd(void* context, const char* buf, std::size_t n) {
  return ::write(*static_cast<const int*>(context), buf, n);
}

}  // namespace

byte_sink fd_sink(int* fd) noexcept {
  return {fd, write_fd};
}

void report_error(byte_sink err, const char* what, int errnum) noexcept {
  char message[256];
  const std::size_t w = std::strlen(what);
  std::memcpy(message, what, w);
  message[w] = ':';
  message[w + 1] = ' ';
  const char* text = std::strerror(errnum);
  std::size_t t = std::strlen(text);
  if (t > sizeof message - w - 3) t = sizeof message - w - 3;
  std::memcpy(message + w + 2, text, t);
  message[w + 2 + t] = '\n';
  (void)try_write_all(err, message, w + 3 + t);
}

bool output_block::before_read() noexcept {
  return !input_waits_ || flush();
}

void output_block::report_failure() noexcept {
  report_error(err_, "write", errno);
  failed_ = true;
}

}  // namespace cantext::tool
