// SPDX-License-Identifier: MIT
// The parser's general path: every text, the forms the straight path declines included.
#ifndef CANTEXT_SRC_FRAME_PARSE_GENERAL_HPP
#define CANTEXT_SRC_FRAME_PARSE_GENERAL_HPP

#include <cstddef>

#include "cantext/frame.hpp"

namespace cantext::detail {

// Parses text[0, n) into a cleared record as parse_frame_text does, whatever the text; reads
// only the text.  For callers that have tried the straight path already.
int parse_frame_general(const char* text, std::size_t n, frame_record& record) noexcept;

}  // namespace cantext::detail

#endif
