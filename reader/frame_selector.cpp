// SPDX-License-Identifier: MIT
#include "frame_selector.hpp"

namespace cantext::reader {
namespace {

// What the items match of a bucket as they are added up: every record of it, or some.
constexpr std::uint8_t all_matched = 1;
constexpr std::uint8_t some_matched = 2;

// Adds to `marks` what `item` matches of each bucket of a kind: bucket b holds the records
// `flags | b << shift | x`, for every x under `free`.
void mark_item(std::uint8_t* marks, std::uint32_t buckets, const id_item& item, std::uint32_t flags,
               unsigned shift, std::uint32_t free) noexcept {
  if (item.mask != 0) {
    // The bits under the mask that a bucket's records share decide for all of them, unless the
    // mask also looks at bits that tell them apart.
    const std::uint32_t shared = item.mask & ~free;
    const bool apart = (item.mask & free) != 0;
    const std::uint32_t own = shared & can_sff_mask << shift;  // those that differ by bucket
    const std::uint8_t differ = item.inverted ? all_matched : 0;
    if (((flags ^ item.id) & shared & ~own) != 0) {
      for (std::uint32_t b = 0; b < buckets; ++b) marks[b] |= differ;
      return;
    }
    const std::uint8_t same = apart ? some_matched : item.inverted ? 0 : all_matched;
    for (std::uint32_t b = 0; b < buckets; ++b) {
      marks[b] |= ((b << shift ^ item.id) & own) != 0 ? differ : same;
    }
    return;
  }
  // An identifier or a range: frames of its kind that are not errors, by their identifier.
  if ((flags & can_err_flag) != 0 || (flags & can_eff_flag) != (item.id & can_eff_flag)) return;
  const std::uint32_t first = item.id & can_eff_mask;
  const std::uint32_t last = item.last & can_eff_mask;
  const std::uint32_t span = (std::uint32_t{1} << shift) - 1;  // a bucket's identifiers
  for (std::uint32_t b = first >> shift; b <= last >> shift; ++b) {
    const std::uint32_t low = b << shift;
    marks[b] |= first <= low && low + span <= last ? all_matched : some_matched;
  }
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
      tests_(tests_of(filter)),
      tables_(),
      raises_(),
      name_masks_(),
      size_tags_(),
      slots_() {
  if ((tests_ & by_frame) != 0) make_tables(filter);
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

void frame_selector::make_tables(const frame_filter& filter) noexcept {
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
      raises_[k] = raises_[k ^ (can_rtr_flag >> 29)];
      continue;
    }
    const unsigned shift = (flags & can_eff_flag) != 0 ? extended_shift : 0;
    raises_[k] = std::uint32_t{1} << (32 - bucket_bits - shift);
    const bool allowed = (flags & can_err_flag) != 0 ? !filter.no_errors : !filter.errors_only;
    std::memset(next, allowed && filter.id_count == 0 ? all_matched : 0, buckets);
    for (std::size_t i = 0; i < filter.id_count && allowed; ++i) {
      mark_item(next, buckets, filter.ids[i], flags, shift,
                can_eff_mask & ~(can_sff_mask << shift));
    }
    for (std::uint32_t b = 0; b < buckets; ++b) {
      next[b] = (next[b] & all_matched) != 0 ? kept : next[b] != 0 ? ask : dropped;
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
