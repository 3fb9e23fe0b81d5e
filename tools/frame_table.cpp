// SPDX-License-Identifier: MIT
#include "frame_table.hpp"

#include <cstring>

namespace cantext::tool {

channel_names::~channel_names() {
  for (std::size_t i = 0; i < count_; ++i) std::free(names_[i].text);
  std::free(names_);
}

long channel_names::find(std::string_view name) noexcept {
  if (last_ < count_ && name == this->name(last_)) return static_cast<long>(last_);
  for (std::size_t i = 0; i < count_; ++i) {
    if (name == this->name(i)) return static_cast<long>(last_ = i);
  }
  if (count_ == room_) {
    const std::size_t room = room_ == 0 ? 8 : 2 * room_;
    void* names = std::realloc(names_, room * sizeof(entry));
    if (names == nullptr) return -1;
    names_ = static_cast<entry*>(names);
    room_ = room;
  }
  // One byte more, so that an empty name is an allocation too.
  char* text = static_cast<char*>(std::malloc(name.size() + 1));
  if (text == nullptr) return -1;
  std::memcpy(text, name.data(), name.size());
  names_[count_] = {text, name.size()};
  return static_cast<long>(last_ = count_++);
}

}  // namespace cantext::tool
