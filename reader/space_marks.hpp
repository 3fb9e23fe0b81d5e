// SPDX-License-Identifier: MIT
// Bit maps of where the white space and the line breaks of a block of input are: the line reader
// finds pieces and fields by scanning bits instead of characters.
#ifndef CANTEXT_READER_SPACE_MARKS_HPP
#define CANTEXT_READER_SPACE_MARKS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "byte_words.hpp"

namespace cantext::reader {

using cantext::detail::lowest_set_bit;

// Bit i % 64 of word i / 64 stands for byte i of the block.
struct mark_words {
  std::uint64_t* spaces;  // the C locale's white space: space, \t, \n, \v, \f, \r; may be null
  std::uint64_t* breaks;  // \n
};

// Fills words [0, count) of both maps (of the breaks alone where `spaces` is null: a reading
// that does not look at the white space saves half the marking) from bytes [0, 64 * count) of
// `block`; returns whether any of those bytes is NUL.
using mark_function = bool (*)(const char* block, std::size_t count, mark_words marks) noexcept;

// The fastest way the running processor offers.
mark_function best_mark_function() noexcept;

// Each way on its own, so that tests can hold them against each other.  Null where the build,
// the target or the processor lacks it; the portable one is always there.
mark_function portable_mark_function() noexcept;
mark_function sse2_mark_function() noexcept;
mark_function avx2_mark_function() noexcept;

// The 64 bits from bit `from` on, taken from two words; the map must hold the word after the
// one of `from`.  The second word is shifted in two steps (by 1, then 63 - shift), as one
// shift by 64 - shift would not be defined for shift 0.
inline std::uint64_t bits_from(const std::uint64_t* bits, std::size_t from) noexcept {
  const std::size_t word = from / 64;
  const unsigned shift = from % 64;
  return (bits[word] >> shift) | ((bits[word + 1] << 1) << (63 - shift));
}

// bits_from for the quick path, where a narrower window will do: bit i of the result is bit
// from + i of the map for i < window_bits, and 0 above.  Where the bytes of a word are in the
// order of its bits, the window is one unaligned load and one shift: the load at byte from / 8
// holds 64 bits, of which the shift drops up to 7, which leaves 57 sure ones.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
inline constexpr unsigned window_bits = 64 - 7;

inline std::uint64_t bits_window(const std::uint64_t* bits, std::size_t from) noexcept {
  std::uint64_t w;
  std::memcpy(&w, reinterpret_cast<const unsigned char*>(bits) + from / 8, sizeof w);
  return (w >> (from % 8)) & (~std::uint64_t{0} >> (64 - window_bits));
}
#else
inline constexpr unsigned window_bits = 64;

inline std::uint64_t bits_window(const std::uint64_t* bits, std::size_t from) noexcept {
  return bits_from(bits, from);
}
#endif

// Position of the first set bit at or after `from`, or `limit` when there is none before it.
inline std::size_t next_set(const std::uint64_t* bits, std::size_t from, std::size_t limit,
                            std::uint64_t flip = 0) noexcept {
  std::size_t word = from / 64;
  std::uint64_t w = (bits[word] ^ flip) >> (from % 64);
  std::size_t at = from;
  while (w == 0) {
    at = ++word * 64;
    if (at >= limit) return limit;
    w = bits[word] ^ flip;
  }
  at += lowest_set_bit(w);
  return at < limit ? at : limit;
}

// Position of the first clear bit at or after `from`, or `limit` when there is none before it.
inline std::size_t next_clear(const std::uint64_t* bits, std::size_t from,
                              std::size_t limit) noexcept {
  return next_set(bits, from, limit, ~std::uint64_t{0});
}

}  // namespace cantext::reader

#endif
