// SPDX-License-Identifier: MIT
// Hex strings decoded into fixed-size byte fields.
#include "cantext/hex_string.hpp"

#include <cstring>

#include "hex_tables.hpp"

namespace cantext {

int hex_to_bytes(std::string_view text, std::uint8_t* out, int size) noexcept {
  const std::size_t n = text.size();
  // Every length check comes before the first write, so a rejected text leaves out as it was.
  if (size <= 0 || n == 0 || n % 2 != 0 || n / 2 > static_cast<std::size_t>(size)) return 1;
  std::memset(out, 0, static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < n; i += 2) {
    const unsigned hi = detail::hex_value(text[i]);
    if (hi > 15) return 1;
    std::uint8_t& byte = out[i / 2];
    byte = static_cast<std::uint8_t>(hi << 4);
    const unsigned lo = detail::hex_value(text[i + 1]);
    if (lo > 15) return 1;
    byte = static_cast<std::uint8_t>(byte | lo);
  }
  return 0;
}

}  // namespace cantext
