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
  const std::uint32_t slot = detail::message_slot(db.id_slots, can_id);
  const std::uint32_t index = (slot & detail::slot_index_bits) - 1;
  if (index == no_message) return index;
  return at_row(frames.len, frames.len_stride, row) < slot >> 24 ? short_frame : index;
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
  // The word of bytes 0..7 has byte `at` where the plan's word has byte 0: 8 * at bits higher
  // (little-endian) or lower (big-endian).
  const unsigned moved = 8U * s.plan.at;
  if (s.plan.end <= 8)
    step.word_shift =
        static_cast<std::uint8_t>(s.big_endian ? s.plan.shift - moved : s.plan.shift + moved);
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

// The same for the rows first_row + rows[j] into elements k..k+n, field by field.
void copy_batch_fields(const frame_columns& frames, std::size_t first_row,
                       const std::uint32_t* rows, std::size_t n, const message_columns& out,
                       std::size_t k) noexcept {
  if (out.fields == nullptr) return;
  for (std::size_t f = 0; f < frames.field_count; ++f) {
    const row_field& field = frames.fields[f];
    char* const to = static_cast<char*>(out.fields[f]);
    if (to == nullptr) continue;
    const auto from = [&](std::size_t j) {
      return &at_row(static_cast<const char*>(field.base), field.stride, first_row + rows[j]);
    };
    // The usual sizes as constants, which the compiler makes single moves.
    switch (field.size) {
      case 1:
        for (std::size_t j = 0; j < n; ++j) to[k + j] = *from(j);
        break;
      case 2:
        for (std::size_t j = 0; j < n; ++j) std::memcpy(to + (k + j) * 2, from(j), 2);
        break;
      case 4:
        for (std::size_t j = 0; j < n; ++j) std::memcpy(to + (k + j) * 4, from(j), 4);
        break;
      case 8:
        for (std::size_t j = 0; j < n; ++j) std::memcpy(to + (k + j) * 8, from(j), 8);
        break;
      default:
        for (std::size_t j = 0; j < n; ++j)
          std::memcpy(to + (k + j) * field.size, from(j), field.size);
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

// The rows first_row + rows[j] of `frames` (all of them frames of m) into out's columns; words,
// when not nullptr, has the first eight bytes of each payload, two 32-bit halves a row as
// decode_log puts them (the low one first).
void decode_listed_rows(const message& m, const frame_columns& frames, std::size_t first_row,
                        const std::uint32_t* rows, const std::uint32_t* words, std::size_t count,
                        message_columns& out, std::size_t which) noexcept {
  if (!detail::batches_fit(m)) {
    // Row by row, each signal after the multiplexers that select it.
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
  detail::batch_input in;
  in.base = frames.data;
  in.stride = frames.data_stride;
  in.first_row = first_row;
  for (std::size_t done = 0; done < count; done += detail::batch_rows) {
    const std::size_t n = std::min(detail::batch_rows, count - done);
    in.rows = rows + done;
    in.n = n;
    for (std::size_t j = 0; j < n; ++j) {
      std::uint64_t little;
      if (words != nullptr) {
        little = std::uint64_t{words[2 * (done + j)]} | std::uint64_t{words[2 * (done + j) + 1]}
                                                            << 32;
      } else {
        little =
            detail::load_little(&at_row(frames.data, frames.data_stride, first_row + in.rows[j]));
      }
      in.little[j] = little;
      in.big[j] = __builtin_bswap64(little);
    }
    const std::size_t k = out.filled;
    if (out.rows != nullptr) {
      for (std::size_t j = 0; j < n; ++j) out.rows[k + j] = first_row + in.rows[j];
    }
    copy_batch_fields(frames, first_row, in.rows, n, out, k);
    detail::decode_batch(m, in, out, k, which);
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
  decode_listed_rows(m, frames, 0, rows, nullptr, count, out, scaling ? 0 : 1);
}

void decode_log(const database& db, const frame_columns& frames, message_columns* columns,
                bool scaling, std::uint32_t* scratch) noexcept {
  const std::size_t messages = db.messages.size();
  const std::size_t which = scaling ? 0 : 1;
  std::uint32_t* const words = scratch;
  std::uint32_t* const message_of_row = words + 2 * log_block_rows;
  std::uint32_t* const order = message_of_row + log_block_rows;
  std::uint32_t* const counts = order + log_block_rows;
  std::uint32_t* const next = counts + messages;
  for (std::size_t start = 0; start < frames.count; start += log_block_rows) {
    const std::size_t size = std::min(log_block_rows, frames.count - start);
    std::fill(counts, counts + messages, 0);
    for (std::size_t j = 0; j < size; ++j) {
      const std::uint32_t index = message_of(db, frames, start + j);
      message_of_row[j] = index;
      if (index < messages) ++counts[index];
    }
    // The block's rows grouped by message, in their order within each, with the first eight
    // bytes of their payloads: the payloads are read in order, as the processor reads ahead
    // best, and the decoding reads the words straight through.
    std::uint32_t sum = 0;
    for (std::size_t m = 0; m < messages; ++m) {
      next[m] = sum;
      sum += counts[m];
    }
    for (std::size_t j = 0; j < size; ++j) {
      const std::uint32_t index = message_of_row[j];
      if (index >= messages) continue;
      const std::uint32_t at = next[index]++;
      order[at] = static_cast<std::uint32_t>(j);
      const std::uint64_t word =
          detail::load_little(&at_row(frames.data, frames.data_stride, start + j));
      words[2 * at] = static_cast<std::uint32_t>(word);
      words[2 * at + 1] = static_cast<std::uint32_t>(word >> 32);
      // The fields are gathered in the decoding below; asked for now, they are there by then.
      for (std::size_t f = 0; f < frames.field_count; ++f)
        __builtin_prefetch(&at_row(static_cast<const char*>(frames.fields[f].base),
                                   frames.fields[f].stride, start + j));
    }
    for (std::size_t m = 0; m < messages; ++m) {
      if (counts[m] == 0) continue;
      const std::uint32_t first = next[m] - counts[m];
      decode_listed_rows(db.messages[m], frames, start, order + first, words + 2 * first, counts[m],
                         columns[m], which);
    }
  }
}

}  // namespace cantext::dbc
