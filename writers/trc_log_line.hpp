// SPDX-License-Identifier: MIT
// A TRC line straight to the capture log's line, for `convert --to log`: the lines of version
// 2.1's fixed columns (reader/trc_columns.hpp), which cantext and python-can write, are checked
// and written in one pass, their hex digits moved from the TRC text into the log's by byte
// shuffles, with no record in between to fill and render again.  Every other line, and every
// line on a processor without AVX2 or another than x86-64, is left to the format's reader.
#ifndef CANTEXT_WRITERS_TRC_LOG_LINE_HPP
#define CANTEXT_WRITERS_TRC_LOG_LINE_HPP

#include <cstddef>
#include <string_view>

#include "instruction_sets.hpp"
#include "line_format.hpp"
#include "log_line.hpp"

namespace cantext::writers {

// Whether this processor and build take any line in put_trc_log_lines: x86-64 with AVX2.
bool trc_log_lines_usable() noexcept;

// What put_trc_log_lines took and wrote: the bytes and the lines read, and the end of the
// log lines.
struct taken_lines {
  std::size_t length;
  std::size_t lines;
  char* out;
};

// The log lines of the TRC lines at the start of `text`, the input of a TRC reading in `state`
// from a line's start on (its first 64 bytes may be read even where it is shorter), written at
// `out`, the times of a second from `times`: line after line, up to the first that the format's
// reader must read or the first that would begin past `out_limit` (with room past it for the
// longest log line and 32 bytes more).  What it writes of a line is what that reader's frame
// written by the log writer gives, to the byte.  Only where trc_log_lines_usable(), for a
// reading that wants the time as a number alone (format_options::time_text false), as a
// conversion to the log does.
#if CANTEXT_X86_KERNELS
__attribute__((target("avx2")))
#endif
taken_lines
put_trc_log_lines(const reader::format_state& state, std::string_view text, char* out,
                  const char* out_limit, log_time_out& times) noexcept;

}  // namespace cantext::writers

#endif
