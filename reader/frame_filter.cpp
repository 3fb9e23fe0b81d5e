// SPDX-License-Identifier: MIT
#include "frame_filter.hpp"

#include <cstring>

namespace cantext::reader {
namespace {

// The identifier of `text` (3 or 8 hex digits), with can_eff_flag for 8 digits; false for
// anything else.  A mask takes 8 digits as they are (its top bits are the record's flags).
bool read_id(std::string_view text, std::uint32_t& id, bool mask) noexcept {
  if (text.size() != 3 && text.size() != 8) return false;
  std::uint32_t value = 0;
  for (const char c : text) {
    const unsigned digit = hex_nibble(c);
    if (digit > 15) return false;
    value = value << 4 | digit;
  }
  if (text.size() == 8 && !mask) {
    if (value > can_eff_mask) return false;
    value |= can_eff_flag;
  }
  id = value;
  return true;
}

std::string_view part(std::string_view text, std::size_t begin, std::size_t end) noexcept {
  if (end > text.size()) end = text.size();
  return {text.data() + begin, end - begin};
}

bool add_id(frame_filter& f, std::string_view item, const char*& problem) noexcept {
  if (f.id_count == frame_filter::most_ids) {
    problem = "too many identifiers";
    return false;
  }
  id_item& to = f.ids[f.id_count];
  to = {0, 0, 0, false};
  if (!item.empty() && item[0] == '~') {
    to.inverted = true;
    item = part(item, 1, item.size());
  }
  const std::size_t colon = item.find(':');
  const std::size_t dash = item.find('-');
  bool ok;
  if (colon != std::string_view::npos) {
    std::uint32_t mask = 0;
    ok = read_id(part(item, 0, colon), to.id, false) &&
         read_id(part(item, colon + 1, item.size()), mask, true);
    // The kind is part of what is matched: the mask always holds the extended flag.
    to.mask = mask | can_eff_flag;
    to.last = to.id;
  } else if (to.inverted) {
    ok = false;  // only a mask pair is inverted
  } else if (dash != std::string_view::npos) {
    ok = read_id(part(item, 0, dash), to.id, false) &&
         read_id(part(item, dash + 1, item.size()), to.last, false) &&
         (to.id & can_eff_flag) == (to.last & can_eff_flag) && to.id <= to.last;
  } else {
    ok = read_id(item, to.id, false);
    to.last = to.id;
  }
  if (!ok) {
    problem = "an identifier is 3 or 8 hex digits; items are ID, ID-ID, ID:MASK or ~ID:MASK";
    return false;
  }
  ++f.id_count;
  return true;
}

template <class Add>
bool each_item(std::string_view list, Add add) noexcept {
  while (true) {
    const std::size_t comma = list.find(',');
    if (!add(part(list, 0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    list = part(list, comma + 1, list.size());
  }
}

}  // namespace

bool add_ids(frame_filter& filter, std::string_view list, const char*& problem) noexcept {
  return each_item(list, [&](std::string_view item) { return add_id(filter, item, problem); });
}

bool add_channels(frame_filter& filter, std::string_view list, const char*& problem) noexcept {
  return each_item(list, [&](std::string_view name) {
    if (name.empty() || name.size() > frame_filter::channel_room ||
        filter.channel_count == frame_filter::most_channels) {
      problem = "a channel name is 1 to 32 characters, at most 16 of them";
      return false;
    }
    std::memcpy(filter.channels[filter.channel_count], name.data(), name.size());
    filter.channel_sizes[filter.channel_count++] = static_cast<std::uint8_t>(name.size());
    return true;
  });
}

bool keeps(const frame_filter& filter, const frame_record& record,
           std::string_view channel) noexcept {
  const bool error = (record.can_id & can_err_flag) != 0;
  if ((filter.errors_only && !error) || (filter.no_errors && error)) return false;
  if (filter.channel_count != 0) {
    bool found = false;
    for (std::size_t i = 0; i < filter.channel_count && !found; ++i) {
      found = channel == std::string_view(filter.channels[i], filter.channel_sizes[i]);
    }
    if (!found) return false;
  }
  if (filter.id_count == 0) return true;
  for (std::size_t i = 0; i < filter.id_count; ++i) {
    if (id_matches(filter.ids[i], record.can_id)) return true;
  }
  return false;
}

}  // namespace cantext::reader
