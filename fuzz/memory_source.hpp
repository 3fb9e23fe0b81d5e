// SPDX-License-Identifier: MIT
// A byte source over text in memory for the line reader, delivering it in the sizes a chooser
// picks (mostly small, sometimes interrupted), so that targets see every way input can arrive.
#ifndef CANTEXT_FUZZ_MEMORY_SOURCE_HPP
#define CANTEXT_FUZZ_MEMORY_SOURCE_HPP

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "fuzz_check.hpp"
#include "line_reader.hpp"

namespace cantext_fuzz {

// How large the next read or write may be: mostly small, sometimes interrupted, sometimes all.
// Without a chooser, all of it.
inline long next_chunk(choice_stream* chunks, std::size_t wanted) {
  if (chunks == nullptr) return static_cast<long>(wanted);
  const std::uint32_t r = chunks->next();
  std::size_t k = wanted;
  switch (r % 8) {
    case 0:
      errno = EINTR;
      return -1;
    case 1:
    case 2:
      k = 1 + (r >> 8) % 8;
      break;
    case 3:
    case 4:
      k = 1 + (r >> 8) % (2 * cantext::reader::max_piece);
      break;
    case 5:
      k = 1 + (r >> 8) % 8192;
      break;
    default:
      break;
  }
  return static_cast<long>(k < wanted ? k : wanted);
}

struct memory_source {
  std::string_view text;
  choice_stream* chunks;
  bool fails_at_end;  // after the text, reads fail as a broken device would
  std::size_t pos = 0;

  static long read(void* context, char* buf, std::size_t n) {
    auto& s = *static_cast<memory_source*>(context);
    if (s.pos == s.text.size()) {
      if (!s.fails_at_end) return 0;
      errno = EIO;
      return -1;
    }
    const long k = next_chunk(s.chunks, n < s.text.size() - s.pos ? n : s.text.size() - s.pos);
    if (k < 0) return k;
    std::memcpy(buf, s.text.data() + s.pos, static_cast<std::size_t>(k));
    s.pos += static_cast<std::size_t>(k);
    return k;
  }

  cantext::reader::byte_source source() noexcept { return {this, read}; }
};

}  // namespace cantext_fuzz

#endif
