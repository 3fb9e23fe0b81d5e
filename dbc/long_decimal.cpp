// SPDX-License-Identifier: MIT
// The shortest text of a double that needs 16 or 17 significant digits, as 0.1 * 3 does
// (0.30000000000000004), worked out exactly in 128-bit integers rather than by std::to_chars'
// general method.
//
// x = M * 2^E reads back from every decimal strictly between (M - 1/2) * 2^E and (M + 1/2) * 2^E,
// and from the ends too when M is even (reading rounds ties to even).  Scaled by 10^s * 2^(1 - E)
// so that x * 10^s has 17 digits before the point, the ends are the integers (2M -+ 1) * 10^s,
// and the decimals of n digits are the multiples of 10^(17 - n) * 2^(1 - E).  The text is the
// fewest digits that have such a multiple between the ends and, among several, the one nearest
// x.  Where std::to_chars' rules for ties would decide, this gives up and leaves it to them.
#include <cstdint>
#include <cstring>

#include "short_decimal.hpp"

namespace cantext::dbc::detail {

#if defined(__SIZEOF_INT128__)

namespace {

__extension__ typedef unsigned __int128 uint128;

}  // namespace

char* long_decimal(char* out, double x) noexcept {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  // A power of two has its lower neighbour nearer than its upper one: left to std::to_chars,
  // as are zeros, subnormals, infinities and NaN.
  if (biased == 0 || biased == 0x7FF || fraction == 0) return nullptr;
  const std::uint64_t m = fraction | (std::uint64_t{1} << 52);
  const int e = biased - 1075;  // x = m * 2^e
  // 2^(52 + e) <= x < 2^(53 + e): log10(x) is at least (52 + e) * log10(2), less than 0.302
  // above it.
  const int shift = 1 - e;
  if (shift < 1 || shift > 63) return nullptr;  // 2^-10 <= x < 2^53
  int ten_exponent = (52 + e) * 1233 / 4096;    // floor((52 + e) * log10(2)), or one less
  if (52 + e < 0) --ten_exponent;               // the division truncates toward zero
  int s = 16 - ten_exponent;
  if (s < 1 || s > 19) return nullptr;
  uint128 center = uint128{2 * m} * tens[s];  // x * 10^s * 2^shift
  if ((center >> shift) >= tens[17]) {
    --s;
    center = uint128{2 * m} * tens[s];
  }
  uint128 low = center - tens[s];
  uint128 high = center + tens[s];
  if (m & 1) {
    ++low;
    --high;
  }
  const uint128 one = uint128{1} << shift;
  const auto least = static_cast<std::uint64_t>((low + one - 1) >> shift);
  const auto most = static_cast<std::uint64_t>(high >> shift);
  // Fifteen digits or fewer is short_decimal's ground; should they fit, this is no place for x.
  if ((least + 99) / 100 <= most / 100) return nullptr;
  const auto whole = static_cast<std::uint64_t>(center >> shift);  // x * 10^s, rounded down
  const uint128 rest = center & (one - 1);
  if ((least + 9) / 10 <= most / 10) {
    // Sixteen digits: x * 10^(s - 1) to the nearest integer.
    const uint128 tenths = uint128{whole % 10} * one + rest;
    const uint128 half = uint128{5} * one;
    if (tenths == half) return nullptr;
    const std::uint64_t c = whole / 10 + (tenths > half);
    if (c * 10 < least || c * 10 > most) return nullptr;
    return put_decimal(out, (bits >> 63) != 0, c, s - 1);
  }
  const uint128 half = one >> 1;
  if (rest == half) return nullptr;
  const std::uint64_t c = whole + (rest > half);
  if (c < least || c > most) return nullptr;
  return put_decimal(out, (bits >> 63) != 0, c, s);
}

#else

char* long_decimal(char*, double) noexcept {
  return nullptr;
}

#endif

}  // namespace cantext::dbc::detail
