// SPDX-License-Identifier: MIT
// The compact notation of a frame, as parse_frame_text reads it back.
#ifndef CANTEXT_COMPACT_FORM_HPP
#define CANTEXT_COMPACT_FORM_HPP

#include <cstddef>
#include <cstdio>

#include "cantext/export.h"

#include "cantext/frame.hpp"

namespace cantext {

// Least buffer for format_frame_compact: an 8-digit identifier, "#", the CAN FD marker and
// flags digit, and 64 bytes joined by ".", with the terminator.
inline constexpr std::size_t COMPACT_FORM_BUF_SIZE = 204;

// Renders the record in compact notation ("123#DEADBEEF", "123##1.11.22", "123#R5") as a
// NUL-terminated text.  sep puts "." between data bytes.  maxdlen 8 marks a remote request
// with "R", exactly 64 writes the CAN FD marker, any other value neither; at most 64 bytes
// are written whatever maxdlen says.  Identifier bits outside their mask and flags bits
// above the low four are not written.  The whole least buffer is working room: bytes after the
// terminator may change, bytes past it never do.  Returns the terminator's place.
CANTEXT_API char* format_frame_compact(char* buf, const frame_record& record, bool sep,
                                       int maxdlen) noexcept;

// Writes the compact notation to the stream, then eol unless it is null.  Stream errors are
// left for the caller to see through ferror.
CANTEXT_API void write_frame_compact(std::FILE* stream, const frame_record& record, const char* eol,
                                     bool sep, int maxdlen) noexcept;

// Both with the maxdlen of the kind that parse_frame_text returned.
inline char* format_frame_compact(char* buf, const frame_record& record, bool sep,
                                  frame_kind kind) noexcept {
  return format_frame_compact(buf, record, sep, max_dlen(kind));
}
inline void write_frame_compact(std::FILE* stream, const frame_record& record, const char* eol,
                                bool sep, frame_kind kind) noexcept {
  write_frame_compact(stream, record, eol, sep, max_dlen(kind));
}

}  // namespace cantext

#endif
