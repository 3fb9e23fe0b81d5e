// SPDX-License-Identifier: MIT
// Runs of hex digits with byte shuffles (SSSE3), for the renderers on the processors that have
// them (instruction_sets.hpp): the long form's spaced bytes and identifier, the compact form's
// plain and dotted bytes and identifier.
#ifndef CANTEXT_SRC_RENDER_HEX_RUNS_X86_HPP
#define CANTEXT_SRC_RENDER_HEX_RUNS_X86_HPP

#include <immintrin.h>

#include <cstdint>

namespace cantext::detail {
// Each renderer's own copies, for its compiler to inline as it sees fit.
namespace {

// The 16 digits of the low eight bytes, in memory order.
__attribute__((target("ssse3"))) inline __m128i digit_characters_ssse3(__m128i bytes) noexcept {
  const __m128i digit_chars =
      _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
  const __m128i low_nibbles = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), low_nibbles);
  const __m128i low = _mm_and_si128(bytes, low_nibbles);
  return _mm_shuffle_epi8(digit_chars, _mm_unpacklo_epi8(high, low));
}

// "sXXsXXsXXsXXsXXsXXsXXsXX", s the separator, for each group of eight bytes from `data`: the
// digits of a group are looked up and spread out among the separators in a few instructions.
template <char s>
__attribute__((target("ssse3"))) inline void put_hex_groups_ssse3(char* out,
                                                                  const std::uint8_t* data,
                                                                  int groups) noexcept {
  // Where each output character comes from: one of the 16 digits, or a separator (-1, which the
  // shuffle turns into 0 for the separator to be added).
  const __m128i first_spread = _mm_setr_epi8(-1, 0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1);
  const __m128i last_spread =
      _mm_setr_epi8(10, 11, -1, 12, 13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i first_separators = _mm_setr_epi8(s, 0, 0, s, 0, 0, s, 0, 0, s, 0, 0, s, 0, 0, s);
  const __m128i last_separators = _mm_setr_epi8(0, 0, s, 0, 0, s, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  for (int group = 0; group < groups; ++group) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + 8 * group));
    const __m128i digits16 = digit_characters_ssse3(bytes);
    char* const at = out + 24 * group;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm_or_si128(_mm_shuffle_epi8(digits16, first_spread), first_separators));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 16),
                     _mm_or_si128(_mm_shuffle_epi8(digits16, last_spread), last_separators));
  }
}

// The 16 digits of each group of eight bytes from `data`, one store per group.
__attribute__((target("ssse3"))) inline void put_hex_digit_groups_ssse3(char* out,
                                                                        const std::uint8_t* data,
                                                                        int groups) noexcept {
  for (int group = 0; group < groups; ++group) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + 8 * group));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * group), digit_characters_ssse3(bytes));
  }
}

// The eight digits of a number, the most significant first in memory.
__attribute__((target("ssse3"))) inline std::uint64_t eight_digits_ssse3(std::uint32_t v) noexcept {
  const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(v)));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(digit_characters_ssse3(bytes)));
}

}  // namespace
}  // namespace cantext::detail

#endif
