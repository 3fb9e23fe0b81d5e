// SPDX-License-Identifier: MIT
// The line splitter: block reads, marks, and pieces of at most max_piece bytes, which the
// reader hands to its format.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "line_reader.hpp"

namespace cantext::reader {
namespace {

long read_fd(void* context, char* buf, std::size_t n) {
  return ::read(*static_cast<const int*>(context), buf, n);
}

long read_some(byte_source in, char* buf, std::size_t n) noexcept {
  for (;;) {
    const long r = in.read(in.context, buf, n);
    if (r >= 0 || errno != EINTR) return r;
  }
}

}  // namespace

byte_source fd_source(int* fd) noexcept {
  return {fd, read_fd};
}

line_reader::line_reader(byte_source in, reader_buffers& buffers, mark_function mark) noexcept
    : in_(in),
      space_marks_(buffers.space_marks),
      block_{buffers.input + input_front,
             {buffers.space_marks, buffers.break_marks},
             mark,
             0,
             false,
             false,
             false,
             0,
             1} {
  // What lies before the data is read but never used; it is set all the same.
  std::memset(buffers.input, ' ', input_front);
  loop::mark_all(block_);
}

namespace loop {

void mark_all(block_state& b) noexcept {
  // Whole words are marked, and one more for the searches that look one word ahead; the bytes
  // past the end read as blanks (not as NUL).
  const std::size_t words = b.end / 64 + 2;
  std::memset(b.buf + b.end, ' ', words * 64 - b.end);
  b.has_nul = b.mark(b.buf, words, b.marks);
}

void mark_from(block_state& b) noexcept {
  // From the word of b.start on: no search looks before it.
  const std::size_t first = b.start / 64;
  const std::size_t words = b.end / 64 + 2;
  std::memset(b.buf + b.end, ' ', words * 64 - b.end);
  // The white space marks only where the reading has them (want_space_marks).
  std::uint64_t* const spaces = b.marks.spaces != nullptr ? b.marks.spaces + first : nullptr;
  b.has_nul = b.mark(b.buf + 64 * first, words - first, {spaces, b.marks.breaks + first});
  b.marks_owed = false;
}

std::size_t next_piece(const block_state& b) noexcept {
  const std::size_t start = b.start;
  const std::size_t avail = b.end - start;
  const std::size_t window = avail < max_piece ? avail : max_piece;
  // Most lines end within the next 64 bytes: one word of bits, wherever it starts.
  const std::uint64_t near = bits_from(b.marks.breaks, start) &
                             (window < 64 ? (std::uint64_t{1} << window) - 1 : ~std::uint64_t{0});
  const std::size_t line_break =
      near != 0
          ? start + lowest_set_bit(near)
          : (window > 64 ? next_set(b.marks.breaks, start + 64, start + window) : start + window);
  if (line_break < start + window) return line_break - start + 1;
  if (avail >= max_piece) return max_piece;
  return b.at_end ? avail : 0;
}

bool refill(block_state& b, byte_source in, int& error, bool owe_marks) noexcept {
  std::memmove(b.buf, b.buf + b.start, b.end - b.start);
  b.end -= b.start;
  b.start = 0;
  const long n = read_some(in, b.buf + b.end, block_size);
  if (n < 0) {
    error = errno;
  } else if (n == 0) {
    b.at_end = true;
  } else {
    b.end += static_cast<std::size_t>(n);
  }
  // After a failed read too: the kept piece has moved.
  if (owe_marks) {
    b.marks_owed = true;
  } else {
    mark_all(b);
  }
  return n >= 0;
}

}  // namespace loop
}  // namespace cantext::reader
