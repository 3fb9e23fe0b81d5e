// SPDX-License-Identifier: MIT
// A frame filter made ready for a reading: the verdicts of keeps in a few instructions a
// frame, inline in the reader's loop and without a branch on what varies from frame to frame,
// so that a filter that drops nothing costs next to nothing.
//
// Identifiers: the record's flag bits pick a kind (standard, extended, error frame, each with or
// without the remote request flag), and 11 bits of the identifier a bucket of that kind: a
// standard identifier is a bucket of its own, an extended one shares it with the 2^18 that have
// its top 11 bits.  A table made beforehand holds each bucket's verdict, or says that the items
// must be asked when they tell the bucket's identifiers apart, which happens only near the
// identifiers the items name (and for a mask over bits a standard identifier does not have).
//
// Channels: a name of up to 7 bytes is one word; the filter's names are placed in a small table
// by a hash that gives each a slot of its own, so that a name is kept exactly when its slot
// holds it.
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
  // It points into itself.
  frame_selector(const frame_selector&) = delete;
  frame_selector& operator=(const frame_selector&) = delete;

  // What a filter tests: its selector's keeps<tests>() tests that and nothing else, so that a
  // reading made for one filter has no branch on what the filter holds.
  static constexpr unsigned by_frame = 1;    // identifiers, error frames
  static constexpr unsigned by_channel = 2;  // channel names
  static unsigned tests_of(const frame_filter& filter) noexcept {
    return (filter.id_count != 0 || filter.errors_only || filter.no_errors ? by_frame : 0) |
           (filter.channel_count != 0 ? by_channel : 0);
  }
  unsigned tests() const noexcept { return tests_; }

  // Whether the frame is kept, testing exactly what `Tests` names, which must be tests(); with
  // `any`, what tests() names, at the cost of a branch on each.
  static constexpr unsigned any = 4;
  template <unsigned Tests = any>
  bool keeps(const frame_record& record, std::string_view channel) const noexcept {
    if constexpr (Tests == any) {
      return (!(tests_ & by_frame) || keeps_frame(record.can_id)) &&
             (!(tests_ & by_channel) || keeps_channel(channel));
    } else {
      if constexpr ((Tests & by_frame) != 0) {
        if (!keeps_frame(record.can_id)) return false;
      }
      if constexpr ((Tests & by_channel) != 0) return keeps_channel(channel);
      (void)record, (void)channel;
      return true;
    }
  }

 private:
  // The kinds of a record, by its three flag bits (extended, remote request, error frame).
  static constexpr unsigned kinds = 8;
  // A kind's buckets: 11 bits of the identifier, its lowest for a standard one (or an error
  // frame's class), its highest for an extended one.
  static constexpr unsigned bucket_bits = 11;
  static constexpr std::uint32_t buckets = std::uint32_t{1} << bucket_bits;
  static_assert(buckets == can_sff_mask + 1);
  static constexpr unsigned extended_shift = 18;
  // A table entry: the bucket's frames are dropped, kept, or the items must be asked.
  static constexpr std::uint8_t dropped = 0;
  static constexpr std::uint8_t kept = 1;
  static constexpr std::uint8_t ask = 2;

  bool keeps_frame(std::uint32_t can_id) const noexcept {
    const unsigned kind = can_id >> 29;
    // The bucket's 11 bits brought to the top by a multiplication, which also drops the flags
    // above them: fewer instructions than a shift by a variable count and a mask.
    const std::uint32_t bucket =
        static_cast<std::uint32_t>(can_id * raises_[kind]) >> (32 - bucket_bits);
    const std::uint8_t verdict = tables_[kind][bucket];
    // One branch, always taken the same way while nothing is dropped.
    if (__builtin_expect(verdict != kept, 0)) return verdict == ask && keeps_by_items(can_id);
    return true;
  }
  bool keeps_by_items(std::uint32_t can_id) const noexcept;
  void make_tables(const frame_filter& filter) noexcept;

  // A name of up to this many bytes is one word: its bytes, zeros, and its size in the last.
  static constexpr std::size_t word_name = 7;
  static_assert(word_name < field_read_room);
  static constexpr unsigned slot_bits = 6;  // room for most_channels names and few collisions

  bool keeps_channel(std::string_view channel) const noexcept {
    const std::size_t size = channel.size();
    if (size - 1 >= word_limit_) return keeps_by_names(channel);
    // The reader lets 8 bytes of a field be read.
    std::uint64_t word;
    std::memcpy(&word, channel.data(), sizeof word);
    word = (word & name_masks_[size]) | size_tags_[size];
    return slots_[slot_of(word)] == word;
  }
  bool keeps_by_names(std::string_view channel) const noexcept;
  std::size_t slot_of(std::uint64_t word) const noexcept {
    return static_cast<std::size_t>((word * multiplier_) >> (64 - slot_bits));
  }

  frame_filter filter_;  // the filter itself, for what the tables leave to it
  // word_name when every name of up to word_name bytes has a slot of its own, else 0.
  std::size_t word_limit_ = 0;
  unsigned tests_;
  // Each kind's verdicts, in verdicts_, and 2^(32 - bucket_bits - the lowest of its bucket's bits).
  const std::uint8_t* tables_[kinds];
  std::uint32_t raises_[kinds];
  std::uint8_t verdicts_[kinds * buckets];  // made only when the filter tests frames
  std::uint64_t multiplier_ = 0;
  // Bytes 0 to size - 1 of a word, and the size in byte 7, whatever the host's byte order.
  std::uint64_t name_masks_[word_name + 1];
  std::uint64_t size_tags_[word_name + 1];
  std::uint64_t slots_[std::size_t{1} << slot_bits];  // 0, which no name's word is, when empty
};

}  // namespace cantext::reader

#endif
