// SPDX-License-Identifier: MIT
// The tables that find a message by identifier (hashed, probed in order) and by name (sorted),
// built once when a database is loaded.
#ifndef CANTEXT_DBC_LOOKUP_HPP
#define CANTEXT_DBC_LOOKUP_HPP

#include <cstdint>

#include <cantext/dbc.hpp>

namespace cantext::dbc::detail {

// A slot holds the can_id in its high half, and in its low half the message's index + 1 (low 24
// bits) and its length (high 8), so that the column decoder checks a frame's length without
// reading the message; 0 is a free slot.  The table has a power of two of slots, at least twice
// the messages.
inline constexpr std::uint32_t slot_index_bits = 0xFFFFFFU;
inline std::size_t first_slot(std::uint32_t can_id, std::size_t slot_count) noexcept {
  return static_cast<std::size_t>((std::uint64_t{can_id} * 0x9E3779B97F4A7C15ULL) >> 40) &
         (slot_count - 1);
}

// The low half of the slot of the message with this can_id, or 0 when there is none.
inline std::uint32_t message_slot(const std::vector<std::uint64_t>& slots,
                                  std::uint32_t can_id) noexcept {
  const std::size_t count = slots.size();
  if (count == 0) return 0;
  for (std::size_t i = first_slot(can_id, count);; i = (i + 1) & (count - 1)) {
    const std::uint64_t slot = slots[i];
    if (slot == 0 || static_cast<std::uint32_t>(slot >> 32) == can_id)
      return static_cast<std::uint32_t>(slot);
  }
}

// The index of the message with this can_id, or no_message.
inline std::uint32_t message_index(const std::vector<std::uint64_t>& slots,
                                   std::uint32_t can_id) noexcept {
  return (message_slot(slots, can_id) & slot_index_bits) - 1;
}

// Fills the tables of db from its messages; false when two messages share an identifier (the
// index of the second is then in `duplicate`).
bool build_lookup(database& db, std::size_t& duplicate);

}  // namespace cantext::dbc::detail

#endif
