// SPDX-License-Identifier: MIT
// A frame filter made ready for a reading: the verdicts of keeps in a few instructions a
// frame, inline in the reader's loop, so that a filter that drops nothing costs next to nothing.
// A standard identifier's verdict is in a table made beforehand; other identifiers are
// tested against the items that can match them; a channel name of up to 7 bytes is one word,
// compared with the filter's names as words.
#ifndef CANTEXT_READER_FRAME_SELECTOR_HPP
#define CANTEXT_READER_FRAME_SELECTOR_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "frame_filter.hpp"
#include "line_reader.hpp"

namespace cantext::reader {

class frame_selector {
 public:
  explicit frame_selector(const frame_filter& filter) noexcept;

  bool keeps(const frame_record& record, std::string_view channel) const noexcept {
    return (!by_frame_ || keeps_frame(record.can_id)) && (!by_channel_ || keeps_channel(channel));
  }

 private:
  // A name of up to this many bytes is one word: its bytes, zeros, and its size in the last.
  static constexpr std::size_t word_name = 7;
  static_assert(word_name < field_read_room);

  // The word of a name of 1 to word_name bytes; the reader lets 8 bytes of a field be read.
  static std::uint64_t word_of(const char* name, std::size_t size) noexcept {
    std::uint64_t word;
    std::memcpy(&word, name, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return (word & ~(~std::uint64_t{0} >> 8 * size)) | size;
#else
    return (word & ~(~std::uint64_t{0} << 8 * size)) | std::uint64_t{size} << 56;
#endif
  }

  bool keeps_frame(std::uint32_t can_id) const noexcept {
    return few_items_ ? keeps_frame_evenly(can_id) : keeps_frame_by_kind(can_id);
  }

  // With a few items, each is tested, the same instructions for every frame: which items match
  // varies from frame to frame, and branches on it would often be mispredicted.
  bool keeps_frame_evenly(std::uint32_t can_id) const noexcept {
    const bool error = (can_id & can_err_flag) != 0;
    const std::uint32_t id_mask =
        (can_id & can_eff_flag) != 0 ? can_eff_flag | can_eff_mask : can_sff_mask;
    // The identifier with its kind, or for an error frame what no range holds.
    const std::uint32_t key = error ? ~std::uint32_t{0} : can_id & id_mask;
    const std::uint32_t to_key = can_id ^ key;
    // items_ holds at least one item: with no --id, one that matches every frame.
    bool matched = false;
    std::size_t i = 0;
    do {
      const even_item& item = items_[i];
      const std::uint32_t word = (can_id ^ (to_key & item.of_key)) & item.mask;
      matched |= (word - item.first <= item.span) != item.inverted;
    } while (++i < item_count_);
    // Bit 0: other frames are kept; bit 1: error frames are.
    return matched & ((kinds_kept_ >> (can_id >> 29 & 1)) & 1);
  }

  bool keeps_frame_by_kind(std::uint32_t can_id) const noexcept {
    // A standard identifier, and a remote request for one unless an item's mask tells them apart.
    if ((can_id & ~standard_bits_) == 0) return standard_[can_id & can_sff_mask] != 0;
    if ((can_id & can_err_flag) != 0 ? no_errors_ : errors_only_) return false;
    // Only a standard remote request comes here with neither flag, and any item may match it.
    const bool standard = (can_id & (can_eff_flag | can_err_flag)) == 0;
    const id_item* const items = standard ? all_ : other_;
    const std::size_t count = standard ? all_count_ : other_count_;
    for (std::size_t i = 0; i < count; ++i) {
      if (id_matches(items[i], can_id)) return true;
    }
    return false;
  }

  bool keeps_channel(std::string_view channel) const noexcept {
    if (channel.size() - 1 >= word_name) return reader::keeps(channels_, {}, channel);
    const std::uint64_t word = word_of(channel.data(), channel.size());
    // Every name is compared: which one matches varies from frame to frame, and a branch on it
    // would often be mispredicted.
    bool found = false;
    for (std::size_t i = 0; i < word_count_; ++i) found |= word == words_[i];
    return found;
  }

  // An item as keeps_frame_evenly tests it: it matches when the bits under `mask` of the
  // record's identifier word (of its key, the identifier with its kind, for `of_key` all ones)
  // are from `first` to `first + span` (or, inverted, are not).  A mask pair takes the word
  // and a span of 0; an identifier or a range the key.
  struct even_item {
    std::uint32_t of_key;
    std::uint32_t mask;
    std::uint32_t first;
    std::uint32_t span;
    bool inverted;
  };
  static constexpr std::size_t most_even_items = 8;

  frame_filter channels_;  // the filter's channels alone
  bool by_frame_;          // by identifier or error frame
  bool few_items_;         // at most most_even_items items
  unsigned kinds_kept_;    // bit 0: other frames are kept, bit 1: error frames are
  even_item items_[most_even_items];
  std::size_t item_count_ = 0;
  bool by_channel_;
  bool errors_only_;
  bool no_errors_;
  std::uint64_t words_[frame_filter::most_channels];  // the names of up to 7 bytes
  std::size_t word_count_ = 0;
  id_item all_[frame_filter::most_ids];  // the filter's items
  std::size_t all_count_;
  // The items that may match an extended identifier or an error frame.
  id_item other_[frame_filter::most_ids];
  std::size_t other_count_ = 0;
  std::uint32_t standard_bits_ = can_rtr_flag | can_sff_mask;  // a frame looked up in standard_
  std::uint8_t standard_[can_sff_mask + 1];                    // the verdict of each identifier
};

}  // namespace cantext::reader

#endif
