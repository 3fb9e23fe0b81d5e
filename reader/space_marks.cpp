// SPDX-License-Identifier: MIT
// The block marker in three forms: plain word arithmetic for every target, SSE2 (part of every
// x86-64 processor) and AVX2 (chosen at run time where the processor has it).  All three give
// the same bits.
#include "space_marks.hpp"

#include "byte_words.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace cantext::reader {
namespace {

using detail::every_byte;

// High bit of each byte of `w` that equals `b`.
constexpr std::uint64_t bytes_equal(std::uint64_t w, std::uint8_t b) noexcept {
  constexpr std::uint64_t low7 = every_byte(0x7F);
  const std::uint64_t x = w ^ every_byte(b);
  return ~(((x & low7) + low7) | x) & every_byte(0x80);
}

// The high bits of the eight bytes gathered into the low eight bits, byte 0 first.
constexpr std::uint64_t gather_high_bits(std::uint64_t high) noexcept {
  return ((high >> 7) * 0x0102040810204080ULL) >> 56;
}

bool mark_portable(const char* block, std::size_t count, mark_words marks) noexcept {
  std::uint64_t nul = 0;
  for (std::size_t word = 0; word < count; ++word) {
    std::uint64_t spaces = 0;
    std::uint64_t breaks = 0;
    for (unsigned part = 0; part < 8; ++part) {
      const std::uint64_t w = detail::load_word(block + 64 * word + 8 * part);
      // \t..\r are 9..13: below 14 and not below 9, high bit clear.
      const std::uint64_t low = w & every_byte(0x7F);
      const std::uint64_t control =
          (low + every_byte(0x80 - 9)) & ~(low + every_byte(0x80 - 14)) & ~w & every_byte(0x80);
      spaces |= gather_high_bits(control | bytes_equal(w, ' ')) << (8 * part);
      breaks |= gather_high_bits(bytes_equal(w, '\n')) << (8 * part);
      nul |= bytes_equal(w, 0);
    }
    marks.spaces[word] = spaces;
    marks.breaks[word] = breaks;
  }
  return nul != 0;
}

#if defined(__x86_64__)

struct sse2_marks {
  std::uint64_t spaces;
  std::uint64_t breaks;
  __m128i nul;
};

// Marks of 16 bytes, placed at bit `shift`.
inline void mark16_sse2(const char* p, unsigned shift, sse2_marks& m) noexcept {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // \t..\r: adding 0x77 moves 9..13 to the five lowest signed values.
  const __m128i control = _mm_cmplt_epi8(_mm_add_epi8(c, _mm_set1_epi8(0x77)), _mm_set1_epi8(-123));
  const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(c, _mm_set1_epi8(' ')));
  m.spaces |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(space))) << shift;
  m.breaks |= static_cast<std::uint64_t>(
                  static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(c, _mm_set1_epi8('\n')))))
              << shift;
  m.nul = _mm_or_si128(m.nul, _mm_cmpeq_epi8(c, _mm_setzero_si128()));
}

bool mark_sse2(const char* block, std::size_t count, mark_words marks) noexcept {
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

__attribute__((target("avx2"))) bool mark_avx2(const char* block, std::size_t count,
                                               mark_words marks) noexcept {
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

#endif

}  // namespace

mark_function portable_mark_function() noexcept {
  return mark_portable;
}

mark_function sse2_mark_function() noexcept {
#if defined(__x86_64__)
  return mark_sse2;
#else
  return nullptr;
#endif
}

mark_function avx2_mark_function() noexcept {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) return mark_avx2;
#endif
  return nullptr;
}

mark_function best_mark_function() noexcept {
  if (const mark_function avx2 = avx2_mark_function()) return avx2;
  if (const mark_function sse2 = sse2_mark_function()) return sse2;
  return portable_mark_function();
}

}  // namespace cantext::reader
