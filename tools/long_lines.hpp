// SPDX-License-Identifier: MIT
// cantext-long's conversion, the line reader with the long-form writer stage, over any byte
// source and sinks, so that it can be driven in-process.
#ifndef CANTEXT_TOOLS_LONG_LINES_HPP
#define CANTEXT_TOOLS_LONG_LINES_HPP

#include "line_reader.hpp"
#include "line_writer.hpp"
#include "output_block.hpp"

namespace cantext::tool {

using filter_buffers = writer_buffers;

// Converts every line from `in` to `out`, messages to `err`; returns the exit status.  `mark`
// chooses how the reader marks blocks.
int convert_lines(reader::byte_source in, byte_sink out, byte_sink err, writer_buffers& buffers,
                  reader::mark_function mark = reader::best_mark_function()) noexcept;

}  // namespace cantext::tool

#endif
