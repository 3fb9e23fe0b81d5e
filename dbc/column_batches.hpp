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

// Decodes the payloads data[0..n) of frames of m, a message without multiplexing, into elements
// k..k+n of out's signal columns; `which` as column_step::action.
void decode_batch(const message& m, const std::uint8_t* const* data, std::size_t n,
                  const message_columns& out, std::size_t k, std::size_t which) noexcept;

}  // namespace cantext::dbc::detail

#endif
