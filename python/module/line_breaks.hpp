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

// The line breaks in [p, end), eight bytes at a time: each matching byte adds one to its byte
// of a counter, for at most 255 steps before the eight counters are summed (in pairs to 16-bit
// lanes, then the four lanes by one multiplication into the top lane).
inline std::uint64_t line_breaks_portable(const char* p, const char* end) noexcept {
  using cantext::detail::bytes_equal;
  using cantext::detail::load_word;
  constexpr std::uint64_t low_bytes_of_lanes = 0x00FF00FF00FF00FFULL;
  std::uint64_t breaks = 0;
  while (end - p >= 8) {
    std::uint64_t counts = 0;
    for (int step = 0; step < 255 && end - p >= 8; ++step, p += 8) {
      counts += bytes_equal(load_word(p), '\n') >> 7;
    }
    const std::uint64_t lanes =
        (counts & low_bytes_of_lanes) + ((counts >> 8) & low_bytes_of_lanes);
    breaks += (lanes * 0x0001000100010001ULL) >> 48;
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
