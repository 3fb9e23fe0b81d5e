// SPDX-License-Identifier: MIT
#include "format_fields.hpp"

#include <cstdio>

namespace cantext::reader::fields {

void put_channel_name(format_state& state, std::uint32_t number) noexcept {
  std::snprintf(state.channel_text, sizeof state.channel_text, "can%lu",
                static_cast<unsigned long>(number - 1));
}

}  // namespace cantext::reader::fields
