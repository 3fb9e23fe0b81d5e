// SPDX-License-Identifier: MIT
// The x86-64 form of the line-break count (line_breaks.hpp), in SSE2, which every x86-64
// processor has.
#ifndef CANTEXT_PYTHON_LINE_BREAKS_X86_HPP
#define CANTEXT_PYTHON_LINE_BREAKS_X86_HPP

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>

namespace cantext_python {

// The line breaks in [p, end), sixteen bytes at a time: each compare adds one to the bytes of a
// counter that match, for at most 255 steps before the counter is summed.
inline std::uint64_t line_breaks_sse2(const char* p, const char* end) noexcept {
  const __m128i line_break = _mm_set1_epi8('\n');
  std::uint64_t breaks = 0;
  while (end - p >= 16) {
    __m128i counts = _mm_setzero_si128();
    for (int step = 0; step < 255 && end - p >= 16; ++step, p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, line_break));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    breaks += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
              static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }
  return breaks + static_cast<std::uint64_t>(std::count(p, end, '\n'));
}

}  // namespace cantext_python

#endif
