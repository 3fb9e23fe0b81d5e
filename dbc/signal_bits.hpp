// SPDX-License-Identifier: MIT
// A signal's bits: the plan worked out at load time, reading them by the plan, and the values
// they stand for.  Shared by the one-frame decoder and the column decoder, which must agree bit
// for bit.
#ifndef CANTEXT_DBC_SIGNAL_BITS_HPP
#define CANTEXT_DBC_SIGNAL_BITS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <cantext/dbc.hpp>

namespace cantext::dbc::detail {

// The most signals a message may have (overlapping multiplexed signals may be many).
inline constexpr std::size_t max_signals = 4096;

// Eight bytes as a word, the first the lowest (little) or the highest (big) byte, on any host.
inline std::uint64_t load_little(const std::uint8_t* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

inline std::uint64_t load_big(const std::uint8_t* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

// The signal's bits, zero-extended, from a payload of which 64 bytes may be read.
inline std::uint64_t extract(const bit_plan& p, const std::uint8_t* data) noexcept {
  if (!p.big_endian) {
    std::uint64_t v = load_little(data + p.at) >> p.shift;
    if (p.ninth) v |= std::uint64_t{data[p.at + 8]} << (64 - p.shift);
    return v & p.mask;
  }
  const std::uint64_t w = load_big(data + p.at);
  if (p.ninth) return ((w << p.shift) | (data[p.at + 8] >> (8 - p.shift))) & p.mask;
  return (w >> p.shift) & p.mask;
}

// Signed values sign-extended to 64 bits, others as read.
inline std::uint64_t widen(std::uint64_t bits, unsigned length, value_kind kind) noexcept {
  if (kind != value_kind::signed_integer) return bits;
  const std::uint64_t sign = std::uint64_t{1} << (length - 1);
  return (bits ^ sign) - sign;
}

inline double number_of(std::uint64_t raw, value_kind kind) noexcept {
  switch (kind) {
    case value_kind::unsigned_integer:
      return static_cast<double>(raw);
    case value_kind::signed_integer:
      return static_cast<double>(static_cast<std::int64_t>(raw));
    case value_kind::float32: {
      const auto low = static_cast<std::uint32_t>(raw);
      float f;
      std::memcpy(&f, &low, sizeof f);
      return f;
    }
    case value_kind::float64:
      break;
  }
  double d;
  std::memcpy(&d, &raw, sizeof d);
  return d;
}

// How many bytes from the payload's start extract reads for the plan.
inline std::size_t reach_of(const bit_plan& p) noexcept {
  return p.at + 8U + p.ninth;
}

// The one-frame decoders go from one signal to the next, each of its own byte order, sign and
// kind: a branch on those is a guess the processor often loses, so these choose by selecting.

// The signal's raw value, as widen(extract(...)) gives it.
inline std::uint64_t read_raw(const bit_plan& p, value_kind kind,
                              const std::uint8_t* data) noexcept {
  if (p.ninth) return widen(extract(p, data), p.length, kind);
  const std::uint64_t little = load_little(data + p.at);
  const std::uint64_t word = p.big_endian ? __builtin_bswap64(little) : little;
  const std::uint64_t bits = (word >> p.shift) & p.mask;
  const std::uint64_t sign = std::uint64_t{kind == value_kind::signed_integer} << (p.length - 1);
  return (bits ^ sign) - sign;
}

// The physical value of a raw value, as number_of(raw, kind) * factor + offset gives it.
inline double physical_of(std::uint64_t raw, value_kind kind, double factor,
                          double offset) noexcept {
  // A raw value below 2^63 is the same number read as signed, whatever its kind's sign.
  const bool plain = kind <= value_kind::signed_integer &&
                     ((raw >> 63) & std::uint64_t{kind == value_kind::unsigned_integer}) == 0;
  const double number =
      plain ? static_cast<double>(static_cast<std::int64_t>(raw)) : number_of(raw, kind);
  return number * factor + offset;
}

// The payload as the plans read it, `reach` bytes of it (64 for any plan): data itself when it
// has them, else a copy with zeros after its size bytes in `padded`.
inline const std::uint8_t* readable(const std::uint8_t* data, std::size_t size,
                                    std::uint8_t (&padded)[64],
                                    std::size_t reach = sizeof padded) noexcept {
  if (size >= reach) return data;
  std::memset(padded, 0, sizeof padded);  // of a known size: a few stores, no call
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) std::memcpy(padded + i, data + i, 8);
  for (; i < size; ++i) padded[i] = data[i];
  return padded;
}

// What decode_rows does with a signal's bits (column_step::action).
enum store_action : std::uint8_t {
  store_int_raw,       // int64: the raw value
  store_int_scaled,    // int64: raw * factor + offset, in integers
  store_uint_raw,      // uint64: the raw value
  store_float_raw,     // float64: the raw value as a number, NaN where absent
  store_float_scaled,  // float64: the physical value, NaN where absent
};

// The step of a signal, once its kind and choices are known.
column_step step_of(const signal& s) noexcept;

// The plan of a signal of `length` bits whose start bit is as the file writes it.  False when the
// bits do not lie within `bytes` bytes.
bool plan_bits(unsigned start_bit, unsigned length, bool big_endian, unsigned bytes,
               bit_plan& plan) noexcept;

// The place of each bit of a signal: bit i (0 = least significant) is bit (place % 8) of byte
// place / 8.  The reference the plans are checked against, and what insert writes by.
unsigned bit_place(const signal& s, unsigned i) noexcept;

}  // namespace cantext::dbc::detail

#endif
