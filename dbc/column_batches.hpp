// SPDX-License-Identifier: MIT
// The column decoder's inner loops: a batch of frames of one message decoded signal after
// signal, each signal's values in a loop of their own.
#ifndef CANTEXT_DBC_COLUMN_BATCHES_HPP
#define CANTEXT_DBC_COLUMN_BATCHES_HPP

#include <cstddef>
#include <cstdint>

#include <cantext/dbc.hpp>

namespace cantext::dbc::detail {

// The most frames decode_batch takes at once: their payloads stay in the first-level cache
// while every signal is read from them.
inline constexpr std::size_t batch_rows = 128;

// The most multiplexers a message may have for decode_batch to take it.
inline constexpr std::size_t max_batch_multiplexers = 4;

// Whether decode_batch takes frames of m (else they are decoded one by one).
inline bool batches_fit(const message& m) noexcept {
  return m.multiplexers <= max_batch_multiplexers;
}

// A batch of frames of one message: the payloads of rows first_row + rows[j] (j < n) at base +
// row * stride, and the first eight bytes of each as words, read once for all the signals in
// them (in classic frames, all).
struct batch_input {
  const std::uint8_t* base;
  std::ptrdiff_t stride;
  std::size_t first_row;
  const std::uint32_t* rows;
  std::size_t n;
  std::uint64_t little[batch_rows];  // byte 0 the lowest
  std::uint64_t big[batch_rows];     // byte 0 the highest
};

// Decodes a batch of frames of m (where batches_fit(m)) into elements k..k+n of out's signal
// columns; `which` as column_step::action.
void decode_batch(const message& m, const batch_input& in, const message_columns& out,
                  std::size_t k, std::size_t which) noexcept;

}  // namespace cantext::dbc::detail

#endif
