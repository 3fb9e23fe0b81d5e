// SPDX-License-Identifier: MIT
// The plain models' text helpers and the notation's model, for the fuzz targets and the tests,
// kept apart from the library's own.
#ifndef CANTEXT_FUZZ_MODEL_TEXT_HPP
#define CANTEXT_FUZZ_MODEL_TEXT_HPP

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "cantext/frame.hpp"

namespace cantext_fuzz {

// Value of a hex digit of either case, 16 for any other character.
inline unsigned digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return 16;
}

// The compact notation's rules one step at a time, written for clarity rather than speed:
// parse_frame_text as it must behave (parse_frame_fuzz.cpp).
int model_parse(std::string_view text, cantext::frame_record& r);

// `digits` upper-case hex digits of value.
inline std::string hex_text(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace cantext_fuzz

#endif
