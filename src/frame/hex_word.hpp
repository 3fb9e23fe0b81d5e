// SPDX-License-Identifier: MIT
// Many hex digits at a time: the parser's fast path for identifiers and runs of data bytes.
// Nothing here branches on the characters: a whole run is checked at once and the caller makes
// one decision for it.
#ifndef CANTEXT_SRC_FRAME_HEX_WORD_HPP
#define CANTEXT_SRC_FRAME_HEX_WORD_HPP

#include <cstdint>

#include "byte_words.hpp"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
#include <emmintrin.h>
#define CANTEXT_HEX_WORD_SSE2 1
#endif

namespace cantext::detail {

// The values of eight hex digits, one per byte of `chars` (a word from load_word).  Sets
// bits of `bad` when any byte is not a hex digit; the values of such bytes are meaningless.
// Bytes are masked to seven bits before any addition, so no carry crosses into the next byte.
inline std::uint64_t hex_digit_values(std::uint64_t chars, std::uint64_t& bad) noexcept {
  constexpr std::uint64_t high = every_byte(0x80);
  const std::uint64_t low7 = chars & every_byte(0x7F);
  const std::uint64_t digit =
      (low7 + every_byte(0x80 - '0')) & ~(low7 + every_byte(0x80 - '9' - 1));
  const std::uint64_t folded = low7 | every_byte(0x20);
  const std::uint64_t letter =
      (folded + every_byte(0x80 - 'a')) & ~(folded + every_byte(0x80 - 'f' - 1)) & high;
  bad |= (((digit & high) | letter) & ~chars) ^ high;
  return (chars & every_byte(0x0F)) + (letter >> 7) * 9;
}

// Joins digit values (first digit in the lowest byte) into four bytes, the first in the lowest.
inline std::uint32_t join_digit_pairs(std::uint64_t values) noexcept {
  std::uint64_t v = ((values << 4) | (values >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v | (v >> 8)) & 0x0000FFFF0000FFFFULL;
  return static_cast<std::uint32_t>(v | (v >> 16));
}

// The number written by eight hex digits, the first the most significant.
inline std::uint32_t digits_number(std::uint64_t values) noexcept {
  return __builtin_bswap32(join_digit_pairs(values));
}

// Sixteen hex digits, the first eight in `first` and the next in `second` (words from
// load_word), as eight bytes in a word for store_word; false when any is not a hex digit.
inline bool digit_pairs_swar(std::uint64_t first, std::uint64_t second,
                             std::uint64_t& bytes) noexcept {
  std::uint64_t bad = 0;
  const std::uint64_t low = hex_digit_values(first, bad);
  const std::uint64_t high = hex_digit_values(second, bad);
  bytes = join_digit_pairs(low) | std::uint64_t{join_digit_pairs(high)} << 32;
  return bad == 0;
}

// One bit for each byte of a word from hex_digit_values' `bad`, set for a hex digit: the bit of
// byte i is bit i.  The multiplication gathers the lowest bit of every byte into the top byte.
inline std::uint32_t good_digit_bits(std::uint64_t bad) noexcept {
  const std::uint64_t good = (~bad >> 7) & every_byte(1);
  return static_cast<std::uint32_t>((good * 0x0102040810204080ULL) >> 56);
}

// Twenty-four characters in three words, each a hex digit or not: the bytes of the first eight
// in `a_bytes`, of the next sixteen in `bc_bytes`; returns one bit per character, bit i set when
// character i is a hex digit.  The bytes of pairs with a character that is not are meaningless,
// but never spill into the others.
inline std::uint32_t digit_pairs_swar(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                      std::uint32_t& a_bytes, std::uint64_t& bc_bytes) noexcept {
  std::uint64_t bad_a = 0;
  std::uint64_t bad_b = 0;
  std::uint64_t bad_c = 0;
  a_bytes = join_digit_pairs(hex_digit_values(a, bad_a));
  const std::uint64_t vb = hex_digit_values(b, bad_b);
  const std::uint64_t vc = hex_digit_values(c, bad_c);
  bc_bytes = join_digit_pairs(vb) | std::uint64_t{join_digit_pairs(vc)} << 32;
  return good_digit_bits(bad_a) | good_digit_bits(bad_b) << 8 | good_digit_bits(bad_c) << 16;
}

#if defined(CANTEXT_HEX_WORD_SSE2)
// The same with SSE2, sixteen characters to a vector, the first in its lowest byte.  A character
// is in [lo, hi] when adding 0x80 - lo leaves it below -0x80 + (hi - lo + 1) as a signed byte.

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
#endif

// The decoders for this target: sixteen digits from two words or from memory, twenty-four
// characters from three words.
inline bool digit_pairs(std::uint64_t first, std::uint64_t second, std::uint64_t& bytes) noexcept {
#if defined(CANTEXT_HEX_WORD_SSE2)
  return digit_pairs_sse2(first, second, bytes);
#else
  return digit_pairs_swar(first, second, bytes);
#endif
}

inline std::uint32_t digit_pairs(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                 std::uint32_t& a_bytes, std::uint64_t& bc_bytes) noexcept {
#if defined(CANTEXT_HEX_WORD_SSE2)
  return digit_pairs_sse2(a, b, c, a_bytes, bc_bytes);
#else
  return digit_pairs_swar(a, b, c, a_bytes, bc_bytes);
#endif
}

inline bool digit_pairs_at(const char* text, std::uint64_t& bytes) noexcept {
#if defined(CANTEXT_HEX_WORD_SSE2)
  return digit_pairs_sse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)), bytes);
#else
  return digit_pairs_swar(load_word(text), load_word(text + 8), bytes);
#endif
}

}  // namespace cantext::detail

#endif
