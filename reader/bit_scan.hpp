// SPDX-License-Identifier: MIT
// Bit positions in 64-bit words, for the line loop's bit maps.
#ifndef CANTEXT_READER_BIT_SCAN_HPP
#define CANTEXT_READER_BIT_SCAN_HPP

#include <cstdint>

namespace cantext::reader {

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

}  // namespace cantext::reader

#endif
