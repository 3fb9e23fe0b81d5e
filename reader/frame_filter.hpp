// SPDX-License-Identifier: MIT
// Which frames a reading keeps: by identifier (--id), by channel (--channel) and by whether a
// frame is an error frame.  Identifiers are written as in a frame's compact notation: 3 hex
// digits for a standard identifier, 8 for an extended one, so that a standard 123 and an
// extended 00000123 stay apart.  An item of the list is
//   ID          one identifier
//   ID-ID       a range of them, both ends included, of one kind
//   ID:MASK     the identifiers whose bits under MASK are ID's, as the kernel's CAN filters
//               match (can_id & mask) == (id & mask); the kind is ID's, and the mask may
//               also hold the flag bits of the record (remote request, error frame)
//   ~ID:MASK    the identifiers that do not match
// A frame is kept when it matches any item (and, with no item, always).
#ifndef CANTEXT_READER_FRAME_FILTER_HPP
#define CANTEXT_READER_FRAME_FILTER_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/frame.hpp"

namespace cantext::reader {

struct id_item {
  std::uint32_t id;    // with can_eff_flag for an extended identifier
  std::uint32_t last;  // a range's last identifier; id for one identifier
  std::uint32_t mask;  // 0 for an identifier or a range
  bool inverted;
};

struct frame_filter {
  static constexpr std::size_t most_ids = 64;
  static constexpr std::size_t most_channels = 16;
  static constexpr std::size_t channel_room = 32;

  id_item ids[most_ids];
  std::size_t id_count = 0;
  char channels[most_channels][channel_room];
  std::uint8_t channel_sizes[most_channels];
  std::size_t channel_count = 0;
  bool errors_only = false;
  bool no_errors = false;
};

// Adds the comma-separated items of `list` (--id) to the filter; false, with `problem` saying
// which item and why, when one is not an item or there are more than most_ids.
bool add_ids(frame_filter& filter, std::string_view list, const char*& problem) noexcept;
// Adds the comma-separated channel names of `list` (--channel); false when a name is empty or
// longer than channel_room, or there are more than most_channels.
bool add_channels(frame_filter& filter, std::string_view list, const char*& problem) noexcept;

// Whether the filter keeps nothing out.
inline bool keeps_all(const frame_filter& f) noexcept {
  return f.id_count == 0 && f.channel_count == 0 && !f.errors_only && !f.no_errors;
}

// Whether the identifier of `can_id` (a record's, with its flags) matches the item.  Inline: a
// program tests it for every frame.
inline bool id_matches(const id_item& item, std::uint32_t can_id) noexcept {
  if (item.mask != 0) return ((can_id & item.mask) == (item.id & item.mask)) != item.inverted;
  // Identifiers and ranges look at the identifier and its kind only; an error frame has none.
  if ((can_id & can_err_flag) != 0) return false;
  const std::uint32_t id =
      can_id & ((can_id & can_eff_flag) != 0 ? can_eff_flag | can_eff_mask : can_sff_mask);
  return id >= item.id && id <= item.last;
}

// Whether the frame of `record` on `channel` is kept.
bool keeps(const frame_filter& filter, const frame_record& record,
           std::string_view channel) noexcept;

}  // namespace cantext::reader

#endif
