// SPDX-License-Identifier: MIT
// Many hex digits at a time: the parser's fast path for identifiers and runs of data bytes.
// Nothing here branches on the characters: a whole run is checked at once and the caller makes
// one decision for it.
#ifndef CANTEXT_SRC_FRAME_HEX_WORD_HPP
#define CANTEXT_SRC_FRAME_HEX_WORD_HPP

#include <cstdint>

#include "byte_words.hpp"
#include "instruction_sets.hpp"

#if CANTEXT_X86_KERNELS
#include "frame/hex_word_x86.hpp"
#endif

namespace cantext::detail {

// The values of eight hex digits, one per byte of `chars` (a word from load_word).  Sets
// bits of `bad` when any byte is not a hex digit; the values of such bytes are meaningless.
// Bytes are masked to seven bits before any addition, so no carry crosses into the next byte.
// A byte is in [lo, hi] when adding 0x80 - lo sets its high bit and adding 0x80 - hi - 1 does
// not; "0 to 9" and, with the case bit 0x20 set, "a to f" are the two ranges.  A letter's value
// is its low four bits plus 9: 'A' (0x41) and 'a' (0x61) give 1 + 9.
inline std::uint64_t hex_digit_values(std::uint64_t chars, std::uint64_t& bad) noexcept {
  constexpr std::uint64_t high = high_bits;
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
// Each 16-bit lane holds a pair, first digit low: (values << 4) | (values >> 8) puts
// first * 16 + second in the lane's low byte, the masks drop the rest, and the two steps after
// close the gaps between lanes.  Example: the digits 1 2 3 4 5 6 7 8 (values 0x0807060504030201)
// give the bytes 0x12 0x34 0x56 0x78, 0x78563412.
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
// byte i is bit i.
inline std::uint32_t good_digit_bits(std::uint64_t bad) noexcept {
  return static_cast<std::uint32_t>(gather_high_bits(~bad & high_bits));
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

// The decoders for this target: sixteen digits from two words or from memory, twenty-four
// characters from three words.
inline bool digit_pairs(std::uint64_t first, std::uint64_t second, std::uint64_t& bytes) noexcept {
#if CANTEXT_X86_KERNELS
  return digit_pairs_sse2(first, second, bytes);
#else
  return digit_pairs_swar(first, second, bytes);
#endif
}

inline std::uint32_t digit_pairs(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                 std::uint32_t& a_bytes, std::uint64_t& bc_bytes) noexcept {
#if CANTEXT_X86_KERNELS
  return digit_pairs_sse2(a, b, c, a_bytes, bc_bytes);
#else
  return digit_pairs_swar(a, b, c, a_bytes, bc_bytes);
#endif
}

inline bool digit_pairs_at(const char* text, std::uint64_t& bytes) noexcept {
#if CANTEXT_X86_KERNELS
  return digit_pairs_sse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)), bytes);
#else
  return digit_pairs_swar(load_word(text), load_word(text + 8), bytes);
#endif
}

}  // namespace cantext::detail

#endif
