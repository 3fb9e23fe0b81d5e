// SPDX-License-Identifier: MIT
// The line reader's general path and its block handling: block reads, marks, pieces of at most
// max_piece bytes, and the fields of any piece.
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

// The first three fields of [begin, end) as [begin, end) pairs; false if there are fewer, with
// the missing ones empty at `end`.  Once a field is missing every later search ends at `end`:
// one test after all of them.
bool piece_fields(const std::uint64_t* spaces, std::size_t begin, std::size_t end,
                  std::size_t (&field)[3][2]) noexcept {
  field[0][0] = next_clear(spaces, begin, end);
  field[0][1] = next_set(spaces, field[0][0], end);
  field[1][0] = next_clear(spaces, field[0][1], end);
  field[1][1] = next_set(spaces, field[1][0], end);
  field[2][0] = next_clear(spaces, field[1][1], end);
  field[2][1] = next_set(spaces, field[2][0], end);
  return field[2][0] != end;
}

// piece_fields for a piece shorter than 64 bytes with three fields: its white space in one
// word, with the bits past the piece set.
bool short_piece_fields(const std::uint64_t* spaces, std::size_t begin, std::size_t end,
                        std::size_t (&field)[3][2]) noexcept {
  loop::line_fields f;
  if (!loop::find_line_fields(bits_from(spaces, begin) | (~std::uint64_t{0} << (end - begin)), f)) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    field[i][0] = begin + f.start[i];
    field[i][1] = begin + f.end[i];
  }
  return true;
}

}  // namespace

byte_source fd_source(int* fd) noexcept {
  return {fd, read_fd};
}

line_reader::line_reader(byte_source in, reader_buffers& buffers, mark_function mark) noexcept
    : in_(in),
      block_{buffers.input + input_front,
             {buffers.space_marks, buffers.break_marks},
             mark,
             0,
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

int take_piece(const block_state& b, std::size_t begin, std::size_t end,
               std::string_view (&fields)[3], frame_record& record) noexcept {
  const char* const text = b.buf;
  // A NUL byte ends the line's text.
  if (b.has_nul) {
    if (const void* nul = std::memchr(text + begin, '\0', end - begin)) {
      end = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    }
  }
  std::size_t field[3][2];
  const bool three = (end - begin < 64 && short_piece_fields(b.marks.spaces, begin, end, field)) ||
                     piece_fields(b.marks.spaces, begin, end, field);
  for (int i = 0; i < 3; ++i) fields[i] = {text + field[i][0], field[i][1] - field[i][0]};
  if (!three) {
    std::memset(&record, 0, sizeof record);
    return -1;
  }
  return parse_frame_text(fields[2], record);
}

bool refill(block_state& b, byte_source in, int& error) noexcept {
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
  mark_all(b);
  return n >= 0;
}

}  // namespace loop
}  // namespace cantext::reader
