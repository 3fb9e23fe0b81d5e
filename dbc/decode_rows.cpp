// SPDX-License-Identifier: MIT
// A whole log decoded into one column per signal, in two passes: the message of every row (to
// size the columns), then the values.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "column_batches.hpp"
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

// The message of a row: an index into db.messages, no_message or short_frame.
inline std::uint32_t message_of(const database& db, const frame_columns& frames,
                                std::size_t row) noexcept {
  const std::uint32_t can_id = at_row(frames.can_id, frames.can_id_stride, row);
  const std::uint32_t index = detail::message_index(db.id_slots, can_id);
  if (index == no_message) return index;
  return at_row(frames.len, frames.len_stride, row) < db.messages[index].length ? short_frame
                                                                                : index;
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
    const std::uint32_t index = message_of(db, frames, row);
    if (index < db.messages.size()) {
      ++rows_per_message[index];
      ++matched;
    }
    message_of_row[row] = index;
  }
  return matched;
}

namespace detail {

column_step step_of(const signal& s) noexcept {
  column_step step{};
  step.bits = s.plan;
  step.factor = s.factor;
  step.offset = s.offset;
  step.integer_factor = s.integer_scaling ? static_cast<std::int64_t>(s.factor) : 1;
  step.integer_offset = s.integer_scaling ? static_cast<std::int64_t>(s.offset) : 0;
  step.multiplexer = s.multiplexer;
  step.kind = s.kind;
  for (const bool scaling : {true, false}) {
    std::uint8_t action = store_float_scaled;
    switch (column_type_of(s, scaling)) {
      case column_type::int64:
        action = gives_raw(s, scaling) ? store_int_raw : store_int_scaled;
        break;
      case column_type::uint64:
        action = store_uint_raw;
        break;
      case column_type::float64:
        action = gives_raw(s, scaling) ? store_float_raw : store_float_scaled;
        break;
    }
    step.action[scaling ? 0 : 1] = action;
  }
  return step;
}

}  // namespace detail

namespace {

constexpr double absent = std::numeric_limits<double>::quiet_NaN();

// Whether each signal of a multiplexed message is selected in this payload.
void selected_signals(const message& m, const std::uint8_t* data, bool* present) noexcept {
  for (const std::uint16_t i : m.mux_order) {
    const signal& s = m.signals[i];
    present[i] = true;
    if (s.multiplexer < 0) continue;
    const auto mux = static_cast<std::size_t>(s.multiplexer);
    present[i] = false;
    if (!present[mux]) continue;
    const column_step& step = m.steps[mux];
    const auto value =
        static_cast<std::int64_t>(widen(extract(step.bits, data), step.bits.length, step.kind));
    for (const mux_range& r : s.selected_by) {
      if (value >= r.low && value <= r.high) present[i] = true;
    }
  }
}

}  // namespace

namespace {

// The values of a row's fields into element k of their columns.
inline void copy_fields(const frame_columns& frames, std::size_t row, const message_columns& out,
                        std::size_t k) noexcept {
  if (out.fields == nullptr) return;
  for (std::size_t f = 0; f < frames.field_count; ++f) {
    const row_field& field = frames.fields[f];
    if (out.fields[f] == nullptr) continue;
    const char* from = &at_row(static_cast<const char*>(field.base), field.stride, row);
    char* to = static_cast<char*>(out.fields[f]) + k * field.size;
    // The usual sizes as constants, which the compiler makes single moves.
    switch (field.size) {
      case 1:
        *to = *from;
        break;
      case 2:
        std::memcpy(to, from, 2);
        break;
      case 4:
        std::memcpy(to, from, 4);
        break;
      case 8:
        std::memcpy(to, from, 8);
        break;
      default:
        std::memcpy(to, from, field.size);
        break;
    }
  }
}

// One frame's signals into element k of their columns.
inline void decode_row(const message& m, const std::uint8_t* data, const message_columns& out,
                       std::size_t k, std::size_t which, bool* present) noexcept {
  const bool multiplexed = !m.mux_order.empty();
  if (multiplexed) selected_signals(m, data, present);
  const column_step* const steps = m.steps.data();
  const std::size_t count = m.steps.size();
  for (std::size_t i = 0; i < count; ++i) {
    void* const column = out.signals[i];
    if (column == nullptr) continue;
    const column_step& step = steps[i];
    const std::uint64_t raw = widen(extract(step.bits, data), step.bits.length, step.kind);
    switch (step.action[which]) {
      case detail::store_int_raw:
      case detail::store_uint_raw:
        static_cast<std::uint64_t*>(column)[k] = raw;
        break;
      case detail::store_int_scaled:
        // In unsigned arithmetic, which wraps where int64 would overflow.
        static_cast<std::uint64_t*>(column)[k] =
            raw * static_cast<std::uint64_t>(step.integer_factor) +
            static_cast<std::uint64_t>(step.integer_offset);
        break;
      case detail::store_float_raw:
        static_cast<double*>(column)[k] =
            !multiplexed || present[i] ? number_of(raw, step.kind) : absent;
        break;
      default:
        static_cast<double*>(column)[k] =
            !multiplexed || present[i] ? number_of(raw, step.kind) * step.factor + step.offset
                                       : absent;
        break;
    }
  }
}

// The rows first_row + rows[j] of `frames` (all of them frames of m) into out's columns.
void decode_listed_rows(const message& m, const frame_columns& frames, std::size_t first_row,
                        const std::uint32_t* rows, std::size_t count, message_columns& out,
                        std::size_t which) noexcept {
  if (!m.mux_order.empty()) {
    // Multiplexed: row by row, each signal after the multiplexers that select it.
    bool present[detail::max_signals];
    for (std::size_t j = 0; j < count; ++j) {
      const std::size_t row = first_row + rows[j];
      const std::size_t k = out.filled++;
      if (out.rows != nullptr) out.rows[k] = row;
      decode_row(m, &at_row(frames.data, frames.data_stride, row), out, k, which, present);
      copy_fields(frames, row, out, k);
    }
    return;
  }
  const std::uint8_t* data[detail::batch_rows];
  for (std::size_t done = 0; done < count; done += detail::batch_rows) {
    const std::size_t n = std::min(detail::batch_rows, count - done);
    const std::uint32_t* const batch = rows + done;
    // The payloads are scattered over the log: all of the batch's are asked for before the
    // first is read.
    for (std::size_t j = 0; j < n; ++j) {
      data[j] = &at_row(frames.data, frames.data_stride, first_row + batch[j]);
      __builtin_prefetch(data[j]);
    }
    const std::size_t k = out.filled;
    if (out.rows != nullptr) {
      for (std::size_t j = 0; j < n; ++j) out.rows[k + j] = first_row + batch[j];
    }
    for (std::size_t j = 0; j < n; ++j) copy_fields(frames, first_row + batch[j], out, k + j);
    detail::decode_batch(m, data, n, out, k, which);
    out.filled += n;
  }
}

}  // namespace

void decode_rows(const database& db, const frame_columns& frames,
                 const std::uint32_t* message_of_row, message_columns* columns,
                 bool scaling) noexcept {
  // Loading refuses messages of more signals.
  bool present[detail::max_signals];
  const std::size_t which = scaling ? 0 : 1;
  for (std::size_t row = 0; row < frames.count; ++row) {
    const std::uint32_t index = message_of_row[row];
    if (index >= db.messages.size()) continue;
    message_columns& out = columns[index];
    const std::size_t k = out.filled++;
    if (out.rows != nullptr) out.rows[k] = row;
    decode_row(db.messages[index], &at_row(frames.data, frames.data_stride, row), out, k, which,
               present);
    copy_fields(frames, row, out, k);
  }
}

void decode_message_rows(const message& m, const frame_columns& frames, const std::uint32_t* rows,
                         std::size_t count, message_columns& out, bool scaling) noexcept {
  decode_listed_rows(m, frames, 0, rows, count, out, scaling ? 0 : 1);
}

void decode_log(const database& db, const frame_columns& frames, message_columns* columns,
                bool scaling, std::uint32_t* scratch) noexcept {
  const std::size_t messages = db.messages.size();
  const std::size_t which = scaling ? 0 : 1;
  std::uint32_t* const message_of_row = scratch;
  std::uint32_t* const order = scratch + log_block_rows;
  std::uint32_t* const counts = order + log_block_rows;
  std::uint32_t* const next = counts + messages;
  for (std::size_t start = 0; start < frames.count; start += log_block_rows) {
    const std::size_t size = std::min(log_block_rows, frames.count - start);
    std::fill(counts, counts + messages, 0);
    for (std::size_t j = 0; j < size; ++j) {
      const std::size_t row = start + j;
      const std::uint32_t index = message_of(db, frames, row);
      message_of_row[j] = index;
      if (index < messages) ++counts[index];
      // Asked for in order, the block's payloads and fields stream into the caches; the
      // decoding below then reads them in the order of the messages' rows.
      __builtin_prefetch(&at_row(frames.data, frames.data_stride, row));
      for (std::size_t f = 0; f < frames.field_count; ++f)
        __builtin_prefetch(
            &at_row(static_cast<const char*>(frames.fields[f].base), frames.fields[f].stride, row));
    }
    // The block's rows grouped by message, in their order within each.
    std::uint32_t sum = 0;
    for (std::size_t m = 0; m < messages; ++m) {
      next[m] = sum;
      sum += counts[m];
    }
    for (std::size_t j = 0; j < size; ++j) {
      const std::uint32_t index = message_of_row[j];
      if (index < messages) order[next[index]++] = static_cast<std::uint32_t>(j);
    }
    for (std::size_t m = 0; m < messages; ++m) {
      if (counts[m] == 0) continue;
      decode_listed_rows(db.messages[m], frames, start, order + (next[m] - counts[m]), counts[m],
                         columns[m], which);
    }
  }
}

}  // namespace cantext::dbc
