// SPDX-License-Identifier: MIT
#include "frame_selector.hpp"

namespace cantext::reader {
namespace {

// What an item matches of a bucket: every identifier in it, none or some.
enum class share { all, none, some };

// The bucket holds the records `fixed | x` for every x under `free`, of the kind of `fixed`.
share matched_share(const id_item& item, std::uint32_t fixed, std::uint32_t free) noexcept {
  if (item.mask != 0) {
    share s = share::all;
    if (((fixed ^ item.id) & item.mask & ~free) != 0) {
      s = share::none;  // a bit every record of the bucket has differs from the item's
    } else if ((item.mask & free) != 0) {
      return share::some;
    }
    if (!item.inverted) return s;
    return s == share::all ? share::none : share::all;
  }
  // An identifier or a range: the identifier with its kind, of a frame that is not an error.
  if ((fixed & can_err_flag) != 0) return share::none;
  const std::uint32_t key_mask =
      (fixed & can_eff_flag) != 0 ? can_eff_flag | can_eff_mask : can_sff_mask;
  const std::uint32_t first = fixed & key_mask;
  const std::uint32_t last = first + (free & key_mask);
  if (last < item.id || first > item.last) return share::none;
  return first >= item.id && last <= item.last ? share::all : share::some;
}

// What the items together match of the bucket: a record is kept when any item matches it.
share filter_share(const frame_filter& filter, std::uint32_t fixed, std::uint32_t free) noexcept {
  bool some = false;
  for (std::size_t i = 0; i < filter.id_count; ++i) {
    const share s = matched_share(filter.ids[i], fixed, free);
    if (s == share::all) return share::all;
    some |= s == share::some;
  }
  return some ? share::some : share::none;
}

// A fixed sequence of odd multipliers for the channel names' hash.
std::uint64_t multiplier(std::uint64_t i) noexcept {
  std::uint64_t z = i * 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  return (z ^ (z >> 27)) | 1;
}

}  // namespace

frame_selector::frame_selector(const frame_filter& filter) noexcept
    : filter_(filter),
      by_frame_(filter.id_count != 0 || filter.errors_only || filter.no_errors),
      by_channel_(filter.channel_count != 0),
      tables_(),
      shifts_(),
      verdicts_(),
      name_masks_(),
      size_tags_(),
      slots_() {
  // Unless an item's mask holds the remote request flag, a remote request has the verdict of
  // the frame without it.
  bool remote_told = false;
  for (std::size_t i = 0; i < filter.id_count; ++i) {
    remote_told |= (filter.ids[i].mask & can_rtr_flag) != 0;
  }
  std::uint8_t* next = verdicts_;
  for (unsigned k = 0; k < kinds; ++k) {
    const std::uint32_t flags = std::uint32_t{k} << 29;
    if ((flags & can_rtr_flag) != 0 && !remote_told) {
      tables_[k] = tables_[k ^ (can_rtr_flag >> 29)];
      shifts_[k] = shifts_[k ^ (can_rtr_flag >> 29)];
      continue;
    }
    const bool error = (flags & can_err_flag) != 0;
    const unsigned shift = (flags & can_eff_flag) != 0 ? extended_shift : 0;
    shifts_[k] = static_cast<std::uint8_t>(shift);
    const std::uint32_t free = can_eff_mask & ~(can_sff_mask << shift);
    const bool allowed = error ? !filter.no_errors : !filter.errors_only;
    for (std::uint32_t b = 0; b < buckets; ++b) {
      share s = allowed && filter.id_count == 0 ? share::all : share::none;
      if (allowed && filter.id_count != 0) s = filter_share(filter, flags | b << shift, free);
      next[b] = s == share::all ? kept : s == share::none ? dropped : ask;
    }
    // Kinds the items do not tell apart share their entries, so fewer are read.
    tables_[k] = next;
    for (unsigned j = 0; j < k; ++j) {
      if (std::memcmp(tables_[j], next, buckets) == 0) {
        tables_[k] = tables_[j];
        break;
      }
    }
    if (tables_[k] == next) next += buckets;
  }

  for (std::size_t size = 0; size <= word_name; ++size) {
    unsigned char bytes[sizeof(std::uint64_t)] = {};
    std::memset(bytes, 0xFF, size);
    std::memcpy(&name_masks_[size], bytes, sizeof bytes);
    std::memset(bytes, 0, sizeof bytes);
    bytes[sizeof bytes - 1] = static_cast<unsigned char>(size);
    std::memcpy(&size_tags_[size], bytes, sizeof bytes);
  }
  // Multipliers are tried until the names all have slots of their own; with at most 16 names in
  // 64 slots, about one in six does.
  bool hashed = false;
  for (std::uint64_t attempt = 0; attempt < 1000 && !hashed; ++attempt) {
    multiplier_ = multiplier(attempt + 1);
    std::memset(slots_, 0, sizeof slots_);
    hashed = true;
    for (std::size_t i = 0; i < filter.channel_count && hashed; ++i) {
      const std::size_t size = filter.channel_sizes[i];
      if (size > word_name) continue;
      std::uint64_t word;
      std::memcpy(&word, filter.channels[i], sizeof word);
      word = (word & name_masks_[size]) | size_tags_[size];
      std::uint64_t& slot = slots_[slot_of(word)];
      hashed = slot == 0 || slot == word;
      slot = word;
    }
  }
  // Without slots, every name is compared with the filter's names.
  word_limit_ = hashed ? word_name : 0;
}

bool frame_selector::keeps_by_items(std::uint32_t can_id) const noexcept {
  for (std::size_t i = 0; i < filter_.id_count; ++i) {
    if (id_matches(filter_.ids[i], can_id)) return true;
  }
  return false;
}

bool frame_selector::keeps_by_names(std::string_view channel) const noexcept {
  for (std::size_t i = 0; i < filter_.channel_count; ++i) {
    if (channel == std::string_view(filter_.channels[i], filter_.channel_sizes[i])) return true;
  }
  return false;
}

}  // namespace cantext::reader
