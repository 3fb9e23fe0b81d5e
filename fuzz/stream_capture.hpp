// SPDX-License-Identifier: MIT
// A memory stream for the library's stream writers, read back as a string.
#ifndef CANTEXT_FUZZ_STREAM_CAPTURE_HPP
#define CANTEXT_FUZZ_STREAM_CAPTURE_HPP

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.hpp"

namespace cantext_fuzz {

class stream_capture {
 public:
  stream_capture() noexcept : file_(open_memstream(&data_, &size_)) {
    FUZZ_CHECK(file_ != nullptr);
  }
  stream_capture(const stream_capture&) = delete;
  stream_capture& operator=(const stream_capture&) = delete;
  ~stream_capture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
  }

  std::FILE* file() noexcept { return file_; }

  // Everything written so far; the stream is closed by the first call.
  std::string text() {
    if (file_ != nullptr) {
      FUZZ_CHECK(std::fclose(file_) == 0);
      file_ = nullptr;
    }
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace cantext_fuzz

#endif
