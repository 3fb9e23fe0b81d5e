// SPDX-License-Identifier: MIT
// Words of bytes in memory order, for the routines that work on eight characters at a time.
// Bytes are numbered from the lowest-order byte of the word on every target, so the bit tricks
// built on them give the same results on little- and big-endian machines; memcpy keeps the
// accesses free of alignment assumptions.
#ifndef CANTEXT_SRC_BYTE_WORDS_HPP
#define CANTEXT_SRC_BYTE_WORDS_HPP

#include <cstdint>
#include <cstring>

namespace cantext::detail {

inline constexpr std::uint64_t every_byte(std::uint8_t b) noexcept {
  return 0x0101010101010101ULL * b;
}

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

}  // namespace cantext::detail

#endif
