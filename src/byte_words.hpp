// SPDX-License-Identifier: MIT
// Byte and bit helpers for the routines that work on eight characters at a time or on bit maps:
// words of bytes in memory order, tests on every byte of a word at once, and bit positions.
//
// Bytes are numbered from the lowest-order byte of the word on every target, so the bit tricks
// built on them give the same results on little- and big-endian machines; memcpy keeps the
// accesses free of alignment assumptions.
#ifndef CANTEXT_SRC_BYTE_WORDS_HPP
#define CANTEXT_SRC_BYTE_WORDS_HPP

#include <cstdint>
#include <cstring>

namespace cantext::detail {

// b in every byte: every_byte(0x20) == 0x2020202020202020.
inline constexpr std::uint64_t every_byte(std::uint8_t b) noexcept {
  return 0x0101010101010101ULL * b;
}

// Eight characters as a word for store_word, the first in the lowest byte: a constant that
// stores as that text.  text_word("   [\0]  ") == 0x20205D005B202020.
constexpr std::uint64_t text_word(const char (&text)[9]) noexcept {
  std::uint64_t w = 0;
  for (unsigned i = 0; i < 8; ++i)
    w |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
  return w;
}

// The high bit of every byte; each byte test below answers in it.
inline constexpr std::uint64_t high_bits = every_byte(0x80);

inline std::uint64_t load_word(const void* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

inline void store_word(void* p, std::uint64_t w) noexcept {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  std::memcpy(p, &w, sizeof w);
}

inline void store_half_word(void* p, std::uint32_t w) noexcept {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap32(w);
#endif
  std::memcpy(p, &w, sizeof w);
}

// The high bit of each byte of `w` that equals `b`.  x = w ^ b is 0 exactly in those bytes; for
// the low seven bits, adding 0x7F carries into the high bit unless they are all 0, and x itself
// has the high bit of a byte with it set: only a 0 byte leaves the high bit clear in both.
constexpr std::uint64_t bytes_equal(std::uint64_t w, std::uint8_t b) noexcept {
  constexpr std::uint64_t low7 = every_byte(0x7F);
  const std::uint64_t x = w ^ every_byte(b);
  return ~(((x & low7) + low7) | x) & high_bits;
}

// The high bits of the eight bytes (nothing else set) gathered into the low eight bits, byte 0
// first.  After the shift the bit of byte i is at 8i; the multiplier's byte j (2^(7 - j) at bit
// 8j) moves it to 8(i + j) + 7 - j, which lands in the top byte, at bit 56 + i, when i + j = 7,
// and nowhere two terms meet.  Example: 0x8000000000000080 (bytes 0 and 7) gives 0x81.
constexpr std::uint64_t gather_high_bits(std::uint64_t high) noexcept {
  return ((high >> 7) * 0x0102040810204080ULL) >> 56;
}

// Index of the lowest set bit of w, which must not be 0.  A 32-bit processor has no 64-bit
// count instruction: there the compiler calls a helper in its shared run-time library, which
// the filter must not need, while two 32-bit counts are single instructions.
inline unsigned lowest_set_bit(std::uint64_t w) noexcept {
#if UINTPTR_MAX > 0xFFFFFFFFU
  return static_cast<unsigned>(__builtin_ctzll(w));
#else
  const auto low = static_cast<std::uint32_t>(w);
  if (low != 0) return static_cast<unsigned>(__builtin_ctz(low));
  return 32U + static_cast<unsigned>(__builtin_ctz(static_cast<std::uint32_t>(w >> 32)));
#endif
}

}  // namespace cantext::detail

#endif
