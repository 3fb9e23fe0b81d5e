// SPDX-License-Identifier: MIT
// cantext-long's conversion, the line reader with the long-form writer stage, over any byte
// source and sinks, so that it can be driven in-process.
#ifndef CANTEXT_TOOLS_LONG_LINES_HPP
#define CANTEXT_TOOLS_LONG_LINES_HPP

#include <cstddef>

#include "cantext/long_form.hpp"
#include "line_reader.hpp"
#include "output_block.hpp"

namespace cantext::tool {

// The room after a full output block for the line that fills it: the first two fields of a
// piece with two blanks after each, and the renderer's working room (which the line break after
// the long form uses too).
inline constexpr std::size_t max_output_line = reader::max_piece + 4 + LONG_FORM_BUF_SIZE;

// The buffers of a conversion: caller-owned, so that it needs little stack.  Writes are of
// about reader::block_size bytes, like the reads; a short field is copied as one fixed-size copy
// that may run reader::field_read_room bytes past it.
struct filter_buffers {
  reader::reader_buffers input;
  char output[reader::block_size + max_output_line + reader::field_read_room];
};

// Converts every line from `in` to `out`, messages to `err`; returns the exit status.  `mark`
// chooses how the reader marks blocks.
int convert_lines(reader::byte_source in, byte_sink out, byte_sink err, filter_buffers& buffers,
                  reader::mark_function mark = reader::best_mark_function()) noexcept;

}  // namespace cantext::tool

#endif
