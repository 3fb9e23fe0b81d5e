// SPDX-License-Identifier: MIT
// The block marker with SSE2 (part of every x86-64 processor) and AVX2 (where the processor has
// it, instruction_sets.hpp).
#include "instruction_sets.hpp"
#include "space_marks.hpp"

#if CANTEXT_X86_KERNELS
#include <immintrin.h>

namespace cantext::reader {
namespace {

// \t..\r are 9..13: adding 0x77 moves them to -128..-124, the five lowest signed byte values,
// below -123; every other byte lands at -123 or above.
constexpr char control_shift = 0x77;
constexpr char below_control = -123;

struct sse2_marks {
  std::uint64_t spaces;
  std::uint64_t breaks;
  __m128i nul;
};

// Marks of 16 bytes, placed at bit `shift`.
inline void mark16_sse2(const char* p, unsigned shift, sse2_marks& m) noexcept {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i control =
      _mm_cmplt_epi8(_mm_add_epi8(c, _mm_set1_epi8(control_shift)), _mm_set1_epi8(below_control));
  const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(c, _mm_set1_epi8(' ')));
  m.spaces |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(space))) << shift;
  m.breaks |= static_cast<std::uint64_t>(
                  static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(c, _mm_set1_epi8('\n')))))
              << shift;
  m.nul = _mm_or_si128(m.nul, _mm_cmpeq_epi8(c, _mm_setzero_si128()));
}

// The breaks of 16 bytes, placed at bit `shift`, and their NUL bytes into `nul`.
inline std::uint64_t breaks16_sse2(const char* p, unsigned shift, __m128i& nul) noexcept {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  nul = _mm_or_si128(nul, _mm_cmpeq_epi8(c, _mm_setzero_si128()));
  return static_cast<std::uint64_t>(
             static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(c, _mm_set1_epi8('\n')))))
         << shift;
}

bool mark_breaks_sse2(const char* block, std::size_t count, std::uint64_t* breaks) noexcept {
  __m128i nul = _mm_setzero_si128();
  for (std::size_t word = 0; word < count; ++word) {
    const char* const p = block + 64 * word;
    breaks[word] = breaks16_sse2(p, 0, nul) | breaks16_sse2(p + 16, 16, nul) |
                   breaks16_sse2(p + 32, 32, nul) | breaks16_sse2(p + 48, 48, nul);
  }
  return _mm_movemask_epi8(nul) != 0;
}

bool mark_sse2(const char* block, std::size_t count, mark_words marks) noexcept {
  if (marks.spaces == nullptr) return mark_breaks_sse2(block, count, marks.breaks);
  __m128i nul = _mm_setzero_si128();
  for (std::size_t word = 0; word < count; ++word) {
    sse2_marks m{0, 0, nul};
    const char* const p = block + 64 * word;
    mark16_sse2(p, 0, m);
    mark16_sse2(p + 16, 16, m);
    mark16_sse2(p + 32, 32, m);
    mark16_sse2(p + 48, 48, m);
    marks.spaces[word] = m.spaces;
    marks.breaks[word] = m.breaks;
    nul = m.nul;
  }
  return _mm_movemask_epi8(nul) != 0;
}

struct avx2_marks {
  std::uint64_t spaces;
  std::uint64_t breaks;
  __m256i nul;
};

__attribute__((target("avx2"))) inline void mark32_avx2(const char* p, unsigned shift,
                                                        avx2_marks& m) noexcept {
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i control =
      _mm256_cmpgt_epi8(_mm256_set1_epi8(-123), _mm256_add_epi8(c, _mm256_set1_epi8(0x77)));
  const __m256i space = _mm256_or_si256(control, _mm256_cmpeq_epi8(c, _mm256_set1_epi8(' ')));
  m.spaces |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(space)))
              << shift;
  m.breaks |= static_cast<std::uint64_t>(static_cast<unsigned>(
                  _mm256_movemask_epi8(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('\n')))))
              << shift;
  m.nul = _mm256_or_si256(m.nul, _mm256_cmpeq_epi8(c, _mm256_setzero_si256()));
}

__attribute__((target("avx2"))) bool mark_breaks_avx2(const char* block, std::size_t count,
                                                      std::uint64_t* breaks) noexcept {
  const __m256i line_break = _mm256_set1_epi8('\n');
  __m256i nul = _mm256_setzero_si256();
  for (std::size_t word = 0; word < count; ++word) {
    const char* const p = block + 64 * word;
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    // A NUL in either half is a NUL in their bytewise minimum.
    nul =
        _mm256_or_si256(nul, _mm256_cmpeq_epi8(_mm256_min_epu8(low, high), _mm256_setzero_si256()));
    breaks[word] = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, line_break))) |
                   static_cast<std::uint64_t>(static_cast<unsigned>(
                       _mm256_movemask_epi8(_mm256_cmpeq_epi8(high, line_break))))
                       << 32;
  }
  return _mm256_movemask_epi8(nul) != 0;
}

__attribute__((target("avx2"))) bool mark_avx2(const char* block, std::size_t count,
                                               mark_words marks) noexcept {
  if (marks.spaces == nullptr) return mark_breaks_avx2(block, count, marks.breaks);
  __m256i nul = _mm256_setzero_si256();
  for (std::size_t word = 0; word < count; ++word) {
    avx2_marks m{0, 0, nul};
    mark32_avx2(block + 64 * word, 0, m);
    mark32_avx2(block + 64 * word + 32, 32, m);
    marks.spaces[word] = m.spaces;
    marks.breaks[word] = m.breaks;
    nul = m.nul;
  }
  return _mm256_movemask_epi8(nul) != 0;
}

}  // namespace

mark_function sse2_mark_function() noexcept {
  return mark_sse2;
}

mark_function avx2_mark_function() noexcept {
  return detail::usable_instruction_sets.avx2 ? mark_avx2 : nullptr;
}

}  // namespace cantext::reader
#endif
