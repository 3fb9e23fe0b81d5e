// SPDX-License-Identifier: MIT
// Counting the line breaks of a stretch of a log, which tells a part of it read on a thread of
// its own where its rows go.  The instruction sets are the project's one choice
// (instruction_sets.hpp): the x86-64 form only where the build uses x86-64 kernels.
#ifndef CANTEXT_PYTHON_LINE_BREAKS_HPP
#define CANTEXT_PYTHON_LINE_BREAKS_HPP

#include <cstdint>

#include "byte_words.hpp"
#include "instruction_sets.hpp"

#if CANTEXT_X86_KERNELS
#include "line_breaks_x86.hpp"
#endif

namespace cantext_python {

// The line breaks in [p, end), eight bytes at a time: the matching bytes' high bits moved to
// their low bits and summed into the top byte by one multiplication (at most 8: no carry).
inline std::uint64_t line_breaks_portable(const char* p, const char* end) noexcept {
  using cantext::detail::bytes_equal;
  using cantext::detail::every_byte;
  std::uint64_t breaks = 0;
  for (; end - p >= 8; p += 8) {
    breaks += ((bytes_equal(cantext::detail::load_word(p), '\n') >> 7) * every_byte(1)) >> 56;
  }
  for (; p < end; ++p) breaks += *p == '\n';
  return breaks;
}

inline std::uint64_t line_breaks_in(const char* p, const char* end) noexcept {
#if CANTEXT_X86_KERNELS
  return line_breaks_sse2(p, end);
#else
  return line_breaks_portable(p, end);
#endif
}

}  // namespace cantext_python

#endif
