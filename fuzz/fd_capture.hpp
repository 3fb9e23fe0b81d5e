// SPDX-License-Identifier: MIT
// Catches what is written to a file descriptor (standard output or error) while a target runs
// code that writes there directly, into a temporary file read back as a string.
#ifndef CANTEXT_FUZZ_FD_CAPTURE_HPP
#define CANTEXT_FUZZ_FD_CAPTURE_HPP

#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_check.hpp"

namespace cantext_fuzz {

class fd_capture {
 public:
  // `stream` is the stdio stream on `fd`, flushed at each switch so that nothing crosses it.
  fd_capture(int fd, std::FILE* stream) noexcept : fd_(fd), stream_(stream), file_(std::tmpfile()) {
    FUZZ_CHECK(file_ != nullptr);
  }
  fd_capture(const fd_capture&) = delete;
  fd_capture& operator=(const fd_capture&) = delete;
  ~fd_capture() { std::fclose(file_); }

  void start() noexcept {
    std::fflush(stream_);
    saved_ = dup(fd_);
    FUZZ_CHECK(saved_ >= 0 && ftruncate(fileno(file_), 0) == 0);
    FUZZ_CHECK(lseek(fileno(file_), 0, SEEK_SET) == 0);
    FUZZ_CHECK(dup2(fileno(file_), fd_) == fd_);
  }

  // Puts the descriptor back; returns what was written to it since start().
  std::string stop() {
    std::fflush(stream_);
    FUZZ_CHECK(dup2(saved_, fd_) == fd_);
    close(saved_);
    std::string text;
    char block[4096];
    for (off_t at = 0;;) {
      const ssize_t n = pread(fileno(file_), block, sizeof block, at);
      FUZZ_CHECK(n >= 0);
      if (n == 0) return text;
      text.append(block, static_cast<std::size_t>(n));
      at += n;
    }
  }

 private:
  int fd_;
  std::FILE* stream_;
  std::FILE* file_;
  int saved_ = -1;
};

}  // namespace cantext_fuzz

#endif
