// SPDX-License-Identifier: MIT
#include "frame_selector.hpp"

namespace cantext::reader {

frame_selector::frame_selector(const frame_filter& filter) noexcept
    : channels_(filter),
      by_frame_(filter.id_count != 0 || filter.errors_only || filter.no_errors),
      few_items_(filter.id_count <= most_even_items),
      kinds_kept_((filter.errors_only ? 0U : 1U) | (filter.no_errors ? 0U : 2U)),
      items_(),
      by_channel_(filter.channel_count != 0),
      errors_only_(filter.errors_only),
      no_errors_(filter.no_errors),
      words_(),
      all_(),
      all_count_(filter.id_count),
      other_(),
      standard_() {
  channels_.id_count = 0;
  channels_.errors_only = channels_.no_errors = false;
  for (std::size_t i = 0; i < filter.channel_count; ++i) {
    const std::size_t size = filter.channel_sizes[i];
    if (size <= word_name) words_[word_count_++] = word_of(filter.channels[i], size);
  }
  // An item that matches every frame stands for no --id.
  if (filter.id_count == 0) items_[item_count_++] = even_item{0, 0, 0, 0, false};
  for (std::size_t i = 0; i < filter.id_count && few_items_; ++i) {
    const id_item& item = filter.ids[i];
    constexpr std::uint32_t all = ~std::uint32_t{0};
    items_[item_count_++] = item.mask != 0
                                ? even_item{0, item.mask, item.id & item.mask, 0, item.inverted}
                                : even_item{all, all, item.id, item.last - item.id, false};
  }
  for (std::size_t i = 0; i < filter.id_count; ++i) {
    const id_item& item = all_[i] = filter.ids[i];
    // An identifier or a range of standard ones matches standard identifiers only.
    if (item.mask != 0 || (item.id & can_eff_flag) != 0) other_[other_count_++] = item;
  }
  // The verdicts for standard identifiers, error frames left aside.
  for (std::size_t i = 0; i < filter.id_count; ++i) {
    if ((filter.ids[i].mask & can_rtr_flag) != 0) standard_bits_ = can_sff_mask;
  }
  for (std::uint32_t id = 0; id <= can_sff_mask; ++id) {
    bool kept = !filter.errors_only && filter.id_count == 0;
    for (std::size_t i = 0; i < filter.id_count && !kept; ++i) {
      kept = !filter.errors_only && id_matches(filter.ids[i], id);
    }
    standard_[id] = kept;
  }
}

}  // namespace cantext::reader
