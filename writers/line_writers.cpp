// SPDX-License-Identifier: MIT
// The table of the formats a capture can be written in: a new format is a row here.
#include "capture_writer.hpp"
#include "format_fields.hpp"

namespace cantext::writers {

namespace {
const line_writer* const writers[] = {&log_writer, &asc_writer, &trc_writer};
}

const line_writer* find_writer(std::string_view name) noexcept {
  for (const line_writer* w : writers) {
    if (name == w->name) return w;
  }
  return nullptr;
}

std::uint32_t channel_number(std::string_view channel) noexcept {
  const auto digit = [](char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - 48u;
  };
  // The usual name, one digit after a character that is none ("can0").
  const std::size_t size = channel.size();
  if (size >= 2 && digit(channel[size - 1]) <= 9 && digit(channel[size - 2]) > 9) {
    return digit(channel[size - 1]) + 1;
  }
  std::size_t digits = 0;
  while (digits < channel.size() && channel[channel.size() - 1 - digits] >= '0' &&
         channel[channel.size() - 1 - digits] <= '9') {
    ++digits;
  }
  // Nine digits at most: the number and one more stay within 32 bits.
  if (digits == 0 || digits > 9) return 1;
  std::uint32_t n = 0;
  for (const char c : reader::fields::sub(channel, channel.size() - digits)) {
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return n + 1;
}

}  // namespace cantext::writers
