// SPDX-License-Identifier: MIT
// The long, column-aligned form of a frame.
#ifndef CANTEXT_LONG_FORM_HPP
#define CANTEXT_LONG_FORM_HPP

#include <cstddef>

#include "cantext/export.h"

#include "cantext/frame.hpp"

namespace cantext {

// View flags for format_frame_long and write_frame_long.
inline constexpr unsigned VIEW_ASCII = 0x01;      // column of the bytes as characters
inline constexpr unsigned VIEW_BINARY = 0x02;     // bytes as 8 binary digits
inline constexpr unsigned VIEW_SWAP = 0x04;       // bytes in reverse order, joined by '`'
inline constexpr unsigned VIEW_ERROR = 0x08;      // write_frame_long: error description below
inline constexpr unsigned VIEW_ALIGN_SFF = 0x10;  // right-align 3-digit identifiers in 8 columns

// Least buffer for format_frame_long: an 8-digit identifier and 64 bytes in binary.
inline constexpr std::size_t LONG_FORM_BUF_SIZE = 592;
// Enough when at most 8 data bytes are shown (maxdlen 8).
inline constexpr std::size_t LONG_FORM_CLASSIC_BUF_SIZE = 101;

// Renders the record as one NUL-terminated line without a line break.  maxdlen is 8 for a
// classic frame, 64 for a CAN FD frame; any other value selects the CAN FD length style, and
// the number of bytes shown never exceeds 64.  The whole least buffer (LONG_FORM_BUF_SIZE, or
// LONG_FORM_CLASSIC_BUF_SIZE when at most 8 bytes are shown) is working room: bytes after the
// terminator may change, bytes past the least buffer never do.  Returns the terminator's place,
// so that a caller can append after the text without measuring it.
CANTEXT_API char* format_frame_long(char* buf, const frame_record& record, unsigned view,
                                    int maxdlen) noexcept;

// The same with the maxdlen of the kind that parse_frame_text returned.
inline char* format_frame_long(char* buf, const frame_record& record, unsigned view,
                               frame_kind kind) noexcept {
  return format_frame_long(buf, record, view, max_dlen(kind));
}

}  // namespace cantext

#endif
