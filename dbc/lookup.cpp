// SPDX-License-Identifier: MIT
// Finding messages by identifier and by name.
#include "lookup.hpp"

#include <algorithm>

namespace cantext::dbc {

const message* find_message(const database& db, std::uint32_t can_id) noexcept {
  const std::uint32_t index = detail::message_index(db.id_slots, can_id);
  return index == no_message ? nullptr : &db.messages[index];
}

const message* find_message_named(const database& db, std::string_view name) noexcept {
  const auto found = std::lower_bound(
      db.name_order.begin(), db.name_order.end(), name,
      [&db](std::uint32_t index, std::string_view n) { return db.messages[index].name < n; });
  if (found == db.name_order.end() || db.messages[*found].name != name) return nullptr;
  return &db.messages[*found];
}

namespace detail {

bool build_lookup(database& db, std::size_t& duplicate) {
  std::size_t count = 16;
  while (count < 2 * db.messages.size()) count *= 2;
  db.id_slots.assign(count, 0);
  for (std::size_t m = 0; m < db.messages.size(); ++m) {
    const std::uint32_t can_id = db.messages[m].can_id();
    std::size_t i = first_slot(can_id, count);
    for (; db.id_slots[i] != 0; i = (i + 1) & (count - 1)) {
      if (static_cast<std::uint32_t>(db.id_slots[i] >> 32) == can_id) {
        duplicate = m;
        return false;
      }
    }
    db.id_slots[i] =
        (std::uint64_t{can_id} << 32) | (std::uint64_t{db.messages[m].length} << 24) | (m + 1);
  }
  db.name_order.resize(db.messages.size());
  for (std::size_t m = 0; m < db.messages.size(); ++m)
    db.name_order[m] = static_cast<std::uint32_t>(m);
  std::sort(db.name_order.begin(), db.name_order.end(), [&db](std::uint32_t a, std::uint32_t b) {
    return db.messages[a].name < db.messages[b].name;
  });
  return true;
}

}  // namespace detail
}  // namespace cantext::dbc
