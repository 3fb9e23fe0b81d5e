// SPDX-License-Identifier: MIT
// A batch of frames decoded signal by signal.  What a signal's values need (byte order, sign,
// column type, scaling) is settled once a batch instead of once a value, and what is left in
// each loop is a shift, a mask, a conversion and a store.
#include "column_batches.hpp"

#include <limits>

#include "signal_bits.hpp"

namespace cantext::dbc::detail {

namespace {

// Calls put(j, bits) with the zero-extended bits of the signal in each payload.
template <typename Put>
inline void each_value(const column_step& step, const batch_input& in, Put put) noexcept {
  const bit_plan& p = step.bits;
  const std::uint64_t mask = p.mask;
  const std::size_t n = in.n;
  if (p.end <= 8) {
    const std::uint8_t shift = step.word_shift;
    const std::uint64_t* const words = p.big_endian ? in.big : in.little;
    for (std::size_t j = 0; j < n; ++j) put(j, (words[j] >> shift) & mask);
    return;
  }
  const auto data = [&in](std::size_t j) {
    return in.base + static_cast<std::ptrdiff_t>(in.first_row + in.rows[j]) * in.stride;
  };
  if (p.ninth) {
    for (std::size_t j = 0; j < n; ++j) put(j, extract(p, data(j)));
  } else if (p.big_endian) {
    for (std::size_t j = 0; j < n; ++j) put(j, (load_big(data(j) + p.at) >> p.shift) & mask);
  } else {
    for (std::size_t j = 0; j < n; ++j) put(j, (load_little(data(j) + p.at) >> p.shift) & mask);
  }
}

// The values as doubles, scaled or not: out[j] = number * factor + offset.
template <bool Scaled>
void store_doubles(const column_step& step, const batch_input& in, double* out) noexcept {
  const double factor = step.factor;
  const double offset = step.offset;
  const auto put = [&](std::size_t j, double number) {
    out[j] = Scaled ? number * factor + offset : number;
  };
  const std::uint64_t sign = std::uint64_t{1} << (step.bits.length - 1);
  switch (step.kind) {
    case value_kind::unsigned_integer:
      // Below 64 bits the value fits int64, whose conversion is one instruction.
      if (step.bits.length < 64) {
        each_value(step, in, [&](std::size_t j, std::uint64_t b) {
          put(j, static_cast<double>(static_cast<std::int64_t>(b)));
        });
      } else {
        each_value(step, in,
                   [&](std::size_t j, std::uint64_t b) { put(j, static_cast<double>(b)); });
      }
      break;
    case value_kind::signed_integer:
      each_value(step, in, [&](std::size_t j, std::uint64_t b) {
        put(j, static_cast<double>(static_cast<std::int64_t>((b ^ sign) - sign)));
      });
      break;
    case value_kind::float32:
    case value_kind::float64:
      each_value(step, in,
                 [&](std::size_t j, std::uint64_t b) { put(j, number_of(b, step.kind)); });
      break;
  }
}

// The values as 64-bit integers: raw (sign-extended where signed) * factor + offset, in
// unsigned arithmetic, which wraps where int64 would overflow.
void store_integers(const column_step& step, bool scaled, const batch_input& in,
                    std::uint64_t* out) noexcept {
  const std::uint64_t factor = scaled ? static_cast<std::uint64_t>(step.integer_factor) : 1;
  const std::uint64_t offset = scaled ? static_cast<std::uint64_t>(step.integer_offset) : 0;
  if (step.kind == value_kind::signed_integer) {
    const std::uint64_t sign = std::uint64_t{1} << (step.bits.length - 1);
    each_value(step, in, [&](std::size_t j, std::uint64_t b) {
      out[j] = ((b ^ sign) - sign) * factor + offset;
    });
  } else if (factor == 1 && offset == 0) {
    each_value(step, in, [&](std::size_t j, std::uint64_t b) { out[j] = b; });
  } else {
    each_value(step, in, [&](std::size_t j, std::uint64_t b) { out[j] = b * factor + offset; });
  }
}

// One signal's values into its column (element 0 at `column`), as column_step::action says.
void store(const column_step& step, std::uint8_t action, const batch_input& in,
           void* column) noexcept {
  switch (action) {
    case store_int_raw:
    case store_uint_raw:
      store_integers(step, false, in, static_cast<std::uint64_t*>(column));
      break;
    case store_int_scaled:
      store_integers(step, true, in, static_cast<std::uint64_t*>(column));
      break;
    case store_float_raw:
      store_doubles<false>(step, in, static_cast<double*>(column));
      break;
    default:
      store_doubles<true>(step, in, static_cast<double*>(column));
      break;
  }
}

// What a batch keeps of each multiplexer: its raw values, and whether it is present.
struct multiplexer_values {
  std::size_t signal;
  std::int64_t raw[batch_rows];
  bool present[batch_rows];
};

// The signals of a multiplexed message, multiplexers before the signals they select (as the
// frame decoder takes them); a signal that its multiplexer does not select is NaN.
void decode_multiplexed(const message& m, const batch_input& in, const message_columns& out,
                        std::size_t k, std::size_t which) noexcept {
  multiplexer_values muxes[max_batch_multiplexers];
  std::size_t mux_count = 0;
  bool selected[batch_rows];
  const std::size_t n = in.n;
  for (const std::uint16_t i : m.mux_order) {
    const signal& s = m.signals[i];
    const column_step& step = m.steps[i];
    const multiplexer_values* by = nullptr;
    if (s.multiplexer >= 0) {
      for (std::size_t x = 0; x < mux_count; ++x) {
        if (muxes[x].signal == static_cast<std::size_t>(s.multiplexer)) by = &muxes[x];
      }
      for (std::size_t j = 0; j < n; ++j) {
        bool chosen = false;
        for (const mux_range& r : s.selected_by)
          chosen = chosen || (by->raw[j] >= r.low && by->raw[j] <= r.high);
        selected[j] = by->present[j] && chosen;
      }
    }
    if (s.is_multiplexer) {
      multiplexer_values& mine = muxes[mux_count++];
      mine.signal = i;
      const std::uint64_t sign = std::uint64_t{1} << (step.bits.length - 1);
      const bool is_signed = step.kind == value_kind::signed_integer;
      each_value(step, in, [&](std::size_t j, std::uint64_t b) {
        mine.raw[j] = static_cast<std::int64_t>(is_signed ? (b ^ sign) - sign : b);
      });
      for (std::size_t j = 0; j < n; ++j) mine.present[j] = by == nullptr || selected[j];
    }
    void* const column = out.signals[i];
    if (column == nullptr) continue;
    store(step, step.action[which], in, static_cast<std::uint64_t*>(column) + k);
    if (by == nullptr) continue;
    // A multiplexed signal's column is float64.
    double* const values = static_cast<double*>(column) + k;
    for (std::size_t j = 0; j < n; ++j) {
      if (!selected[j]) values[j] = std::numeric_limits<double>::quiet_NaN();
    }
  }
}

}  // namespace

void decode_batch(const message& m, const batch_input& in, const message_columns& out,
                  std::size_t k, std::size_t which) noexcept {
  if (m.multiplexers != 0) {
    decode_multiplexed(m, in, out, k, which);
    return;
  }
  for (std::size_t i = 0; i < m.steps.size(); ++i) {
    if (void* const column = out.signals[i]) {
      const column_step& step = m.steps[i];
      store(step, step.action[which], in, static_cast<std::uint64_t*>(column) + k);
    }
  }
}

}  // namespace cantext::dbc::detail
