// SPDX-License-Identifier: MIT
// The hex digit decoders of hex_word.hpp with SSE2, part of every x86-64 processor
// (instruction_sets.hpp): sixteen characters to a vector, the first in its lowest byte.
#ifndef CANTEXT_SRC_FRAME_HEX_WORD_X86_HPP
#define CANTEXT_SRC_FRAME_HEX_WORD_X86_HPP

#include <emmintrin.h>

#include <cstdint>

namespace cantext::detail {

// A character is in [lo, hi] when adding 0x80 - lo leaves it below -0x80 + (hi - lo + 1) as a
// signed byte.

// Every byte of `chars` that is a hex digit set in the result, every letter digit in `letter`.
inline __m128i hex_digits_sse2(__m128i chars, __m128i& letter) noexcept {
  const __m128i digit =
      _mm_cmplt_epi8(_mm_add_epi8(chars, _mm_set1_epi8(0x80 - '0')), _mm_set1_epi8(-0x80 + 10));
  const __m128i folded = _mm_or_si128(chars, _mm_set1_epi8(0x20));
  letter =
      _mm_cmplt_epi8(_mm_add_epi8(folded, _mm_set1_epi8(0x80 - 'a')), _mm_set1_epi8(-0x80 + 6));
  return _mm_or_si128(digit, letter);
}

// The byte of each pair of digits in the low byte of its 16-bit lane, ready for packing.
inline __m128i pair_values_sse2(__m128i chars, __m128i letter) noexcept {
  const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                      _mm_and_si128(letter, _mm_set1_epi8(9)));
  // The first digit of a pair is the low byte of its lane, so the lane times 0x1001 holds
  // first * 16 + second in its high byte (digits below 16 leave no carry out of the lane).
  return _mm_srli_epi16(_mm_mullo_epi16(values, _mm_set1_epi16(0x1001)), 8);
}

inline bool digit_pairs_sse2(__m128i chars, std::uint64_t& bytes) noexcept {
  __m128i letter;
  const int good = _mm_movemask_epi8(hex_digits_sse2(chars, letter));
  const __m128i pairs = pair_values_sse2(chars, letter);
  bytes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(pairs, pairs)));
  return good == 0xFFFF;
}

inline bool digit_pairs_sse2(std::uint64_t first, std::uint64_t second,
                             std::uint64_t& bytes) noexcept {
  return digit_pairs_sse2(
      _mm_set_epi64x(static_cast<long long>(second), static_cast<long long>(first)), bytes);
}

inline std::uint32_t digit_pairs_sse2(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                      std::uint32_t& a_bytes, std::uint64_t& bc_bytes) noexcept {
  // The upper half of the first vector is zero bytes, which are no digits and give no bits.
  const __m128i a0 = _mm_cvtsi64_si128(static_cast<long long>(a));
  const __m128i bc = _mm_set_epi64x(static_cast<long long>(c), static_cast<long long>(b));
  __m128i letter_a0;
  __m128i letter_bc;
  const unsigned good_a0 = static_cast<unsigned>(_mm_movemask_epi8(hex_digits_sse2(a0, letter_a0)));
  const unsigned good_bc = static_cast<unsigned>(_mm_movemask_epi8(hex_digits_sse2(bc, letter_bc)));
  const __m128i bytes =
      _mm_packus_epi16(pair_values_sse2(a0, letter_a0), pair_values_sse2(bc, letter_bc));
  a_bytes = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
  bc_bytes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(bytes, bytes)));
  return good_a0 | good_bc << 8;
}

}  // namespace cantext::detail

#endif
