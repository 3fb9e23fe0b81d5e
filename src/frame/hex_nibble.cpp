// SPDX-License-Identifier: MIT
#include "cantext/frame.hpp"
#include "hex_tables.hpp"

namespace cantext {

unsigned hex_nibble(char c) noexcept {
  return detail::hex_value(c);
}

}  // namespace cantext
