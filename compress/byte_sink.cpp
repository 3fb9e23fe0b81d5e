// SPDX-License-Identifier: MIT
#include "byte_sink.hpp"

#include <cerrno>

namespace cantext::compress {

bool try_write_all(byte_sink sink, const char* p, std::size_t n) noexcept {
  while (n > 0) {
    const long w = sink.write(sink.context, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace cantext::compress
