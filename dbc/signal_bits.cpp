// SPDX-License-Identifier: MIT
// Plans of signals' bits, and the place of every bit they are checked against.
#include "signal_bits.hpp"

namespace cantext::dbc::detail {

namespace {

// A big-endian signal's bits, in the file's numbering, run from the most significant one down
// through its byte and on at bit 7 of the next byte.  Counting instead bit 7 of byte 0 as 0, bit 0
// of byte 0 as 7, bit 7 of byte 1 as 8 and so on makes that run a row of consecutive numbers.
unsigned big_endian_row(unsigned start_bit) noexcept {
  return start_bit / 8 * 8 + 7 - start_bit % 8;
}

}  // namespace

bool plan_bits(unsigned start_bit, unsigned length, bool big_endian, unsigned bytes,
               bit_plan& plan) noexcept {
  if (length < 1 || length > 64 || start_bit >= 8 * bytes) return false;
  plan.mask = length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
  plan.length = static_cast<std::uint8_t>(length);
  plan.big_endian = big_endian;
  if (!big_endian) {
    const unsigned last = start_bit + length - 1;
    if (last >= 8 * bytes) return false;
    const unsigned first_byte = start_bit / 8;
    const unsigned at = first_byte < 56 ? first_byte : 56;
    plan.at = static_cast<std::uint8_t>(at);
    plan.shift = static_cast<std::uint8_t>(start_bit - 8 * at);
    plan.ninth = plan.shift + length > 64;
    plan.end = static_cast<std::uint8_t>(last / 8 + 1);
    return true;
  }
  const unsigned first = big_endian_row(start_bit);
  const unsigned last = first + length - 1;  // the least significant bit, in the row's numbering
  if (last >= 8 * bytes) return false;
  const unsigned first_byte = first / 8;
  const unsigned last_byte = last / 8;
  plan.end = static_cast<std::uint8_t>(last_byte + 1);
  plan.ninth = last_byte - first_byte == 8;
  if (plan.ninth) {
    // The word holds bits 63 - (first % 8) down to 0 of the value's top; the rest comes from the
    // high bits of the ninth byte.
    plan.at = static_cast<std::uint8_t>(first_byte);
    plan.shift = static_cast<std::uint8_t>(length - (64 - first % 8));
    return true;
  }
  const unsigned at = first_byte < 56 ? first_byte : 56;
  plan.at = static_cast<std::uint8_t>(at);
  // Byte k's bit j is bit (7 - (k - at)) * 8 + j of the big-endian word.
  plan.shift = static_cast<std::uint8_t>((7 - (last_byte - at)) * 8 + (7 - last % 8));
  return true;
}

unsigned bit_place(const signal& s, unsigned i) noexcept {
  if (!s.big_endian) return s.start_bit + i;
  const unsigned row = big_endian_row(s.start_bit) + s.length - 1 - i;
  return row / 8 * 8 + 7 - row % 8;
}

}  // namespace cantext::dbc::detail
