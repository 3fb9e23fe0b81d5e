// SPDX-License-Identifier: MIT
// A batch of frames decoded signal by signal.  What a signal's values need (byte order, sign,
// column type, scaling) is settled once a batch instead of once a value, and what is left in
// each loop is a load, a shift, a mask and a store.
#include "column_batches.hpp"

#include "signal_bits.hpp"

namespace cantext::dbc::detail {

namespace {

// Calls store(j, bits) with the zero-extended bits of the signal in each payload.
template <typename Store>
inline void each_value(const bit_plan& p, const std::uint8_t* const* data, std::size_t n,
                       Store store) noexcept {
  const std::uint8_t at = p.at;
  const std::uint8_t shift = p.shift;
  const std::uint64_t mask = p.mask;
  if (p.ninth) {
    for (std::size_t j = 0; j < n; ++j) store(j, extract(p, data[j]));
  } else if (p.big_endian) {
    for (std::size_t j = 0; j < n; ++j) store(j, (load_big(data[j] + at) >> shift) & mask);
  } else {
    for (std::size_t j = 0; j < n; ++j) store(j, (load_little(data[j] + at) >> shift) & mask);
  }
}

// The values as doubles, scaled or not: out[j] = number * factor + offset.
template <bool Scaled>
void store_doubles(const column_step& step, const std::uint8_t* const* data, std::size_t n,
                   double* out) noexcept {
  const double factor = step.factor;
  const double offset = step.offset;
  const auto put = [&](std::size_t j, double number) {
    out[j] = Scaled ? number * factor + offset : number;
  };
  const std::uint64_t sign = std::uint64_t{1} << (step.bits.length - 1);
  switch (step.kind) {
    case value_kind::unsigned_integer:
      each_value(step.bits, data, n,
                 [&](std::size_t j, std::uint64_t b) { put(j, static_cast<double>(b)); });
      break;
    case value_kind::signed_integer:
      each_value(step.bits, data, n, [&](std::size_t j, std::uint64_t b) {
        put(j, static_cast<double>(static_cast<std::int64_t>((b ^ sign) - sign)));
      });
      break;
    case value_kind::float32:
    case value_kind::float64:
      each_value(step.bits, data, n,
                 [&](std::size_t j, std::uint64_t b) { put(j, number_of(b, step.kind)); });
      break;
  }
}

// The values as 64-bit integers: raw (sign-extended where signed) * factor + offset, in
// unsigned arithmetic, which wraps where int64 would overflow.
void store_integers(const column_step& step, bool scaled, const std::uint8_t* const* data,
                    std::size_t n, std::uint64_t* out) noexcept {
  const std::uint64_t factor = scaled ? static_cast<std::uint64_t>(step.integer_factor) : 1;
  const std::uint64_t offset = scaled ? static_cast<std::uint64_t>(step.integer_offset) : 0;
  if (step.kind == value_kind::signed_integer) {
    const std::uint64_t sign = std::uint64_t{1} << (step.bits.length - 1);
    each_value(step.bits, data, n, [&](std::size_t j, std::uint64_t b) {
      out[j] = ((b ^ sign) - sign) * factor + offset;
    });
  } else if (factor == 1 && offset == 0) {
    each_value(step.bits, data, n, [&](std::size_t j, std::uint64_t b) { out[j] = b; });
  } else {
    each_value(step.bits, data, n,
               [&](std::size_t j, std::uint64_t b) { out[j] = b * factor + offset; });
  }
}

}  // namespace

void decode_batch(const message& m, const std::uint8_t* const* data, std::size_t n,
                  const message_columns& out, std::size_t k, std::size_t which) noexcept {
  for (std::size_t i = 0; i < m.steps.size(); ++i) {
    void* const column = out.signals[i];
    if (column == nullptr) continue;
    const column_step& step = m.steps[i];
    switch (step.action[which]) {
      case store_int_raw:
      case store_uint_raw:
        store_integers(step, false, data, n, static_cast<std::uint64_t*>(column) + k);
        break;
      case store_int_scaled:
        store_integers(step, true, data, n, static_cast<std::uint64_t*>(column) + k);
        break;
      case store_float_raw:
        store_doubles<false>(step, data, n, static_cast<double*>(column) + k);
        break;
      default:
        store_doubles<true>(step, data, n, static_cast<double*>(column) + k);
        break;
    }
  }
}

}  // namespace cantext::dbc::detail
