// SPDX-License-Identifier: MIT
// A whole log decoded into one column per signal, in two passes: the message of every row (to
// size the columns), then the values.
#include <cmath>
#include <limits>

#include "lookup.hpp"
#include "signal_bits.hpp"

namespace cantext::dbc {

using detail::extract;
using detail::number_of;
using detail::widen;

frame_columns columns_of(const frame_record* frames, std::size_t count) noexcept {
  constexpr auto stride = static_cast<std::ptrdiff_t>(sizeof(frame_record));
  return {&frames->can_id, stride, &frames->len, stride, frames->data, stride, count};
}

namespace {

template <typename T>
const T& at_row(const T* base, std::ptrdiff_t stride, std::size_t row) noexcept {
  return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(base) +
                                     static_cast<std::ptrdiff_t>(row) * stride);
}

// Integers of at most 63 bits scaled by integers stay integers well within int64.
bool integer_valued(const signal& s, bool scaling) noexcept {
  const bool integer =
      s.kind == value_kind::unsigned_integer || s.kind == value_kind::signed_integer;
  return integer && (!scaling || !s.choices.empty() || s.integer_scaling);
}

bool gives_raw(const signal& s, bool scaling) noexcept {
  return !scaling || !s.choices.empty();
}

}  // namespace

column_type column_type_of(const signal& s, bool scaling) noexcept {
  if (s.multiplexer >= 0 || !integer_valued(s, scaling)) return column_type::float64;
  if (s.kind == value_kind::unsigned_integer && s.length == 64) {
    // Beyond int64: kept unsigned when it is the raw value or scaled by 1 and 0, else a double.
    if (gives_raw(s, scaling) || (s.factor == 1 && s.offset == 0)) return column_type::uint64;
    return column_type::float64;
  }
  return column_type::int64;
}

std::size_t match_rows(const database& db, const frame_columns& frames,
                       std::uint32_t* message_of_row, std::size_t* rows_per_message) noexcept {
  std::size_t matched = 0;
  for (std::size_t row = 0; row < frames.count; ++row) {
    const std::uint32_t can_id = at_row(frames.can_id, frames.can_id_stride, row);
    std::uint32_t index = detail::message_index(db.id_slots, can_id);
    if (index != no_message) {
      if (at_row(frames.len, frames.len_stride, row) < db.messages[index].length) {
        index = short_frame;
      } else {
        ++rows_per_message[index];
        ++matched;
      }
    }
    message_of_row[row] = index;
  }
  return matched;
}

namespace {

void store(const signal& s, std::uint64_t raw, bool present, void* column, std::size_t k,
           bool scaling) noexcept {
  switch (column_type_of(s, scaling)) {
    case column_type::int64: {
      auto value = static_cast<std::int64_t>(raw);
      if (!gives_raw(s, scaling)) {
        value = value * static_cast<std::int64_t>(s.factor) + static_cast<std::int64_t>(s.offset);
      }
      static_cast<std::int64_t*>(column)[k] = value;
      return;
    }
    case column_type::uint64: {
      static_cast<std::uint64_t*>(column)[k] = raw;
      return;
    }
    case column_type::float64:
      break;
  }
  double value = std::numeric_limits<double>::quiet_NaN();
  if (present) {
    value = number_of(raw, s.kind);
    if (!gives_raw(s, scaling)) value = value * s.factor + s.offset;
  }
  static_cast<double*>(column)[k] = value;
}

// Whether each signal of a multiplexed message is selected in this payload.
void selected_signals(const message& m, const std::uint8_t* data, bool* present) noexcept {
  for (const std::uint16_t i : m.mux_order) {
    const signal& s = m.signals[i];
    present[i] = true;
    if (s.multiplexer < 0) continue;
    const signal& mux = m.signals[static_cast<std::size_t>(s.multiplexer)];
    present[i] = false;
    if (!present[s.multiplexer]) continue;
    const auto value =
        static_cast<std::int64_t>(widen(extract(mux.plan, data), mux.length, mux.kind));
    for (const mux_range& r : s.selected_by) {
      if (value >= r.low && value <= r.high) present[i] = true;
    }
  }
}

}  // namespace

void decode_rows(const database& db, const frame_columns& frames,
                 const std::uint32_t* message_of_row, message_columns* columns,
                 bool scaling) noexcept {
  // Loading refuses messages of more signals.
  bool present[detail::max_signals];
  for (std::size_t row = 0; row < frames.count; ++row) {
    const std::uint32_t index = message_of_row[row];
    if (index >= db.messages.size()) continue;
    const message& m = db.messages[index];
    message_columns& out = columns[index];
    const std::size_t k = out.filled++;
    if (out.rows != nullptr) out.rows[k] = row;
    const std::uint8_t* const data = &at_row(frames.data, frames.data_stride, row);
    const bool multiplexed = !m.mux_order.empty();
    if (multiplexed) selected_signals(m, data, present);
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      void* const column = out.signals[i];
      if (column == nullptr) continue;
      const signal& s = m.signals[i];
      const bool here = !multiplexed || present[i];
      store(s, widen(extract(s.plan, data), s.length, s.kind), here, column, k, scaling);
    }
  }
}

}  // namespace cantext::dbc
