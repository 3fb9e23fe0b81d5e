// SPDX-License-Identifier: MIT
// Error frames in words, and the long form written to a stream with that text under it.
#ifndef CANTEXT_ERROR_TEXT_HPP
#define CANTEXT_ERROR_TEXT_HPP

#include <cstddef>
#include <cstdio>

#include "cantext/export.h"

#include "cantext/frame.hpp"

namespace cantext {

// Error classes: bits 0..8 of can_id & CAN_ERR_MASK, in the order they are listed.  Class
// values up to 0x200 are valid; bit 9 has no name.
inline constexpr const char* const error_class_names[9] = {
    "tx-timeout",
    "lost-arbitration",
    "controller-problem",
    "protocol-violation",
    "transceiver-status",
    "no-acknowledgement-on-tx",
    "bus-off",
    "bus-error",
    "restarted-after-bus-off",
};

// Controller problems: bits 0..6 of data[1].
inline constexpr const char* const controller_problem_names[7] = {
    "rx-overflow",      "tx-overflow",      "rx-error-warning",     "tx-error-warning",
    "rx-error-passive", "tx-error-passive", "back-to-error-active",
};

// Protocol violation types: bits 0..7 of data[2].
inline constexpr const char* const violation_type_names[8] = {
    "single-bit-error",       "frame-format-error", "bit-stuffing-error", "tx-dominant-bit-error",
    "tx-recessive-bit-error", "bus-overload",       "active-error",       "error-on-tx",
};

// Protocol violation locations, indexed by data[3]; only 1..31 are ever printed.
inline constexpr const char* const violation_location_names[32] = {
    "unspecified",   "unspecified",       "id.28-to-id.28",     "start-of-frame",
    "bit-srtr",      "bit-ide",           "id.20-to-id.18",     "id.17-to-id.13",
    "crc-sequence",  "reserved-bit-0",    "data-field",         "data-length-code",
    "bit-rtr",       "reserved-bit-1",    "id.4-to-id.0",       "id.12-to-id.5",
    "unspecified",   "active-error-flag", "intermission",       "tolerate-dominant-bits",
    "unspecified",   "unspecified",       "passive-error-flag", "error-delimiter",
    "crc-delimiter", "acknowledge-slot",  "end-of-frame",       "acknowledge-delimiter",
    "overload-flag", "unspecified",       "unspecified",        "unspecified",
};

// Least buffer that holds every description whole when its entries are joined by a separator
// of sep_length characters.  The longest description names all nine classes with every detail
// bit, the longest location and both counters at 255: 465 characters, 9 separators and the
// terminator.
constexpr std::size_t error_description_buf_size(std::size_t sep_length) noexcept {
  return 466 + 9 * sep_length;
}

// Enough for the default "," and for the "\n\t" of write_frame_long (483 characters and the
// terminator).
inline constexpr std::size_t ERROR_DESCRIPTION_BUF_SIZE = error_description_buf_size(2);

// Appends the names of the bits 0..count-1 set in bits, joined by ",", at buf, which has room
// for cap characters including the terminator.  The text is always terminated, also when no
// name is listed; a name that does not fit is cut at buf[cap-1].  With cap 0 nothing is written,
// so buf may then be null.  Returns the length of the whole list, which exceeds what was stored
// when the room ran out.  names[i] is read only for the bits that are set.
CANTEXT_API int append_bit_names(char* buf, std::size_t cap, unsigned bits,
                                 const char* const names[], int count) noexcept;

// Writes the error classes and details of an error frame in words, such as
// "controller-problem{rx-overflow,rx-error-warning}", its entries joined by sep ("," when null).
// A record without CAN_ERR_FLAG gives an empty text; a class value above 0x200 gives an empty
// text and the message "Error class 0x... is invalid" on standard error.  buf has room for cap
// characters including the terminator: a longer text is cut at buf[cap-1].  With cap 0 no byte
// of buf is touched (an invalid class is still reported).
CANTEXT_API void format_error_description(char* buf, std::size_t cap, const frame_record& record,
                                          const char* sep = nullptr) noexcept;

// Writes the long form of the record (format_frame_long with view and maxdlen), then, when view
// has VIEW_ERROR and the record is an error frame, a line break, a tab and the description with
// one entry per line, each after a tab; then eol unless it is null.  Write errors are ignored.
CANTEXT_API void write_frame_long(std::FILE* stream, const frame_record& record, const char* eol,
                                  unsigned view, int maxdlen) noexcept;

// The same with the maxdlen of the kind that parse_frame_text returned.
inline void write_frame_long(std::FILE* stream, const frame_record& record, const char* eol,
                             unsigned view, frame_kind kind) noexcept {
  write_frame_long(stream, record, eol, view, max_dlen(kind));
}

}  // namespace cantext

#endif
