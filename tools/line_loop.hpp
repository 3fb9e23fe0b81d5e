// SPDX-License-Identifier: MIT
// The converter's line loop, over any byte source and sinks, so that it can be driven in-process.
#ifndef CANTEXT_TOOLS_LINE_LOOP_HPP
#define CANTEXT_TOOLS_LINE_LOOP_HPP

#include <cstddef>
#include <cstdint>

#include "space_marks.hpp"

namespace cantext::tool {

// Reads up to n bytes into buf: returns the count, 0 at the end of input, or -1 with errno set.
struct byte_source {
  void* context;
  long (*read)(void* context, char* buf, std::size_t n);
};

// Writes up to n bytes: returns the count written (at least 1), or -1 with errno set.
struct byte_sink {
  void* context;
  long (*write)(void* context, const char* buf, std::size_t n);
};

// A line longer than this (the line break included) is handled in pieces of this size.
inline constexpr std::size_t max_piece = 518;
// Reads and writes of this size keep the working set in the processor's second-level cache.
inline constexpr std::size_t block_size = 128 * 1024;
// The longest converted line: two fields of a piece, their separators, the long form, "\n".
inline constexpr std::size_t max_output_line = max_piece + 4 + 208 + 1;
// Room past the data for copies of whole words that run beyond what they need.
inline constexpr std::size_t slack = 128;
// Room before the data for word loads that start a little before a text.
inline constexpr std::size_t front = 16;
// The input may hold an unfinished piece before a whole block.
inline constexpr std::size_t input_size = block_size + max_piece;

// The loop's buffers: caller-owned, so that the loop itself needs little stack.
struct line_buffers {
  char input[front + input_size + slack];
  char output[block_size + max_output_line + slack];
  std::uint64_t space_marks[input_size / 64 + 2];
  std::uint64_t break_marks[input_size / 64 + 2];
};

// Converts every line from `in` to `out`, messages to `err`; returns the exit status.
int convert_lines(byte_source in, byte_sink out, byte_sink err, line_buffers& buffers) noexcept;

// The same with a chosen way of marking blocks, so that tests can run each of them.
int convert_lines_with(mark_function mark, byte_source in, byte_sink out, byte_sink err,
                       line_buffers& buffers) noexcept;

}  // namespace cantext::tool

#endif
