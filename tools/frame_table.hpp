// SPDX-License-Identifier: MIT
// What the commands keep per channel and identifier (the previous time of --delta-per-id, the
// rows of `stats`): memory that grows with the identifiers a capture has, never with its length.
// Plain C allocation, no exceptions: a failed allocation is an answer the caller reports.
#ifndef CANTEXT_TOOLS_FRAME_TABLE_HPP
#define CANTEXT_TOOLS_FRAME_TABLE_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cantext/frame.hpp"

namespace cantext::tool {

// A frame's identifier with its kind, as a row is keyed: 11 bits for a standard identifier,
// can_eff_flag and 29 bits for an extended one, can_err_flag and the class bits for an error
// frame.  A remote request is its identifier's.
constexpr std::uint32_t id_key(std::uint32_t can_id) noexcept {
  if ((can_id & can_err_flag) != 0) return can_id & (can_err_flag | can_eff_mask);
  if ((can_id & can_eff_flag) != 0) return can_id & (can_eff_flag | can_eff_mask);
  return can_id & can_sff_mask;
}

// The channel names of a reading, numbered from 0 in the order they are first met.  Captures
// have a few: they are looked up one after the other, the previous frame's first.
class channel_names {
 public:
  channel_names() noexcept = default;
  channel_names(const channel_names&) = delete;
  channel_names& operator=(const channel_names&) = delete;
  ~channel_names();

  // The number of `name`, which is added when new; -1 when memory runs out.
  long find(std::string_view name) noexcept;
  std::string_view name(std::size_t number) const noexcept {
    return {names_[number].text, names_[number].size};
  }
  std::size_t size() const noexcept { return count_; }

 private:
  struct entry {
    char* text;
    std::size_t size;
  };
  entry* names_ = nullptr;
  std::size_t count_ = 0;
  std::size_t room_ = 0;
  std::size_t last_ = 0;
};

// An open-addressing hash table from a key other than 0 to a Value (trivially copyable, made
// zero when a key is new), grown by doubling to keep it at most half full.
template <class Value>
class key_table {
 public:
  struct slot {
    std::uint64_t key;  // 0: free
    Value value;
  };

  key_table() noexcept = default;
  key_table(const key_table&) = delete;
  key_table& operator=(const key_table&) = delete;
  ~key_table() { std::free(slots_); }

  // The value of `key`, added when new; null when memory runs out.
  Value* find(std::uint64_t key) noexcept {
    if (2 * (count_ + 1) > size_ && !grow()) return nullptr;
    slot& s = place(slots_, size_, shift_, key);
    if (s.key == 0) {
      s.key = key;
      ++count_;
    }
    return &s.value;
  }

  // The slots, free ones (key 0) among them.
  const slot* begin() const noexcept { return slots_; }
  const slot* end() const noexcept { return slots_ + size_; }
  std::size_t size() const noexcept { return count_; }

 private:
  // The slot of `key` in `slots`, or the free one where it goes.
  static slot& place(slot* slots, std::size_t size, int shift, std::uint64_t key) noexcept {
    // Fibonacci hashing: the multiplication spreads the bits of a key into the top ones.
    std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> shift);
    while (slots[i].key != 0 && slots[i].key != key) i = (i + 1) & (size - 1);
    return slots[i];
  }

  bool grow() noexcept {
    const std::size_t size = size_ == 0 ? 64 : 2 * size_;
    const int shift = size_ == 0 ? 64 - 6 : shift_ - 1;
    slot* slots = size > size_ ? static_cast<slot*>(std::calloc(size, sizeof(slot))) : nullptr;
    if (slots == nullptr) return false;
    for (std::size_t i = 0; i < size_; ++i) {
      if (slots_[i].key != 0) place(slots, size, shift, slots_[i].key) = slots_[i];
    }
    std::free(slots_);
    slots_ = slots;
    size_ = size;
    shift_ = shift;
    return true;
  }

  slot* slots_ = nullptr;
  std::size_t size_ = 0;  // a power of two, 2 to the (64 - shift_)
  int shift_ = 64;
  std::size_t count_ = 0;
};

// The key of a channel's row (`channel` from channel_names) for an identifier key.
constexpr std::uint64_t row_key(long channel, std::uint32_t id) noexcept {
  return (static_cast<std::uint64_t>(channel) + 1) << 32 | id;
}

}  // namespace cantext::tool

#endif
