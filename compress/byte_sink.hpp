// SPDX-License-Identifier: MIT
// Where written bytes go: a file descriptor, a stdio stream, a compressor in front of either.
#ifndef CANTEXT_COMPRESS_BYTE_SINK_HPP
#define CANTEXT_COMPRESS_BYTE_SINK_HPP

#include <cstddef>

namespace cantext::compress {

// Writes up to n bytes: returns the count written (at least 1), or -1 with errno set.
struct byte_sink {
  void* context;
  long (*write)(void* context, const char* buf, std::size_t n);
};

// Writes all n bytes unless the sink fails; false with errno set on failure.
bool try_write_all(byte_sink sink, const char* p, std::size_t n) noexcept;

}  // namespace cantext::compress

#endif
