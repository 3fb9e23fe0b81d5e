// Eight hex digits at a time: the parser's fast path for identifiers and runs of data bytes.
#ifndef CANTEXT_SRC_FRAME_HEX_WORD_HPP
#define CANTEXT_SRC_FRAME_HEX_WORD_HPP

#include <cstdint>

#include "byte_words.hpp"

namespace cantext::detail {

// The values of eight hex digits, one per byte of `chars` (a word from load_word); false when
// any of them is not a hex digit.  Every step stays inside its byte: no carry crosses over.
inline bool hex_digit_values(std::uint64_t chars, std::uint64_t& values) noexcept {
  constexpr std::uint64_t high = every_byte(0x80);
  if (chars & high) return false;
  const std::uint64_t digit =
      (chars + every_byte(0x80 - '0')) & ~(chars + every_byte(0x80 - '9' - 1));
  const std::uint64_t folded = chars | every_byte(0x20);
  const std::uint64_t letter =
      (folded + every_byte(0x80 - 'a')) & ~(folded + every_byte(0x80 - 'f' - 1)) & high;
  if (((digit & high) | letter) != high) return false;
  values = (chars & every_byte(0x0F)) + (letter >> 7) * 9;
  return true;
}

// Joins digit values (first digit in the lowest byte) into four bytes, the first in the lowest.
inline std::uint32_t join_digit_pairs(std::uint64_t values) noexcept {
  std::uint64_t v = ((values << 4) | (values >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v | (v >> 8)) & 0x0000FFFF0000FFFFULL;
  return static_cast<std::uint32_t>(v | (v >> 16));
}

// The number written by eight hex digits, the first the most significant.
inline std::uint32_t digits_number(std::uint64_t values) noexcept {
  const std::uint32_t b = join_digit_pairs(values);
  return (b << 24) | ((b & 0xFF00) << 8) | ((b >> 8) & 0xFF00) | (b >> 24);
}

}  // namespace cantext::detail

#endif
