// SPDX-License-Identifier: MIT
// The converter's line loop: block reads, pieces of at most max_piece bytes, block writes.
//
// Each block read is marked once (white space and line breaks as bit maps); pieces and fields
// are then found by scanning bits, and every converted line is rendered straight into the
// output block.
#include "line_loop.hpp"

#include <cerrno>
#include <cstring>

#include "cantext/frame.hpp"
#include "cantext/long_form.hpp"
#include "frame/parse_general.hpp"
#include "frame/usual_frame.hpp"
#include "render/long_form_render.hpp"

namespace cantext::tool {
namespace {

constexpr unsigned line_view = VIEW_ASCII | VIEW_ALIGN_SFF;
constexpr char incomplete_frame[] = "read: incomplete CAN frame\n";
// The quick path reads words around a frame; the room around the data keeps them in the input.
static_assert(front >= detail::usual_frame_reach && slack >= detail::usual_frame_reach);

void write_all(byte_sink sink, const char* p, std::size_t n) noexcept;

// The most data bytes a frame of the parser's record size shows: the size less the header,
// which both sizes share.  No choice between the two, which follow each other at random.
static_assert(CAN_MTU - CAN_MAX_DLEN == CANFD_MTU - CANFD_MAX_DLEN);
int shown_length(int mtu) noexcept {
  return mtu - (CAN_MTU - CAN_MAX_DLEN);
}

// Writes "<what>: <system error text>\n" and gives the failure status.
int report_error(byte_sink err, const char* what, int errnum) noexcept {
  char message[256];
  const std::size_t w = std::strlen(what);
  std::memcpy(message, what, w);
  message[w] = ':';
  message[w + 1] = ' ';
  const char* text = std::strerror(errnum);
  std::size_t t = std::strlen(text);
  if (t > sizeof message - w - 3) t = sizeof message - w - 3;
  std::memcpy(message + w + 2, text, t);
  message[w + 2 + t] = '\n';
  write_all(err, message, w + 3 + t);
  return 1;
}

// Writes all n bytes unless the sink fails; false with errno set on failure.
bool try_write_all(byte_sink sink, const char* p, std::size_t n) noexcept {
  while (n > 0) {
    const long w = sink.write(sink.context, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void write_all(byte_sink sink, const char* p, std::size_t n) noexcept {
  (void)try_write_all(sink, p, n);
}

struct output {
  byte_sink sink;
  char* buf;
  std::size_t used;

  bool flush() noexcept {
    const bool ok = try_write_all(sink, buf, used);
    used = 0;
    return ok;
  }
};

// The input block with its marks: bytes [0, end) are read and marked.
struct input_block {
  char* buf;
  mark_words marks;
  mark_function mark;
  std::size_t end;
  bool has_nul;

  // Marks the whole block again: what is kept from the last one is under a piece long.
  void mark_all() noexcept {
    // Whole words are marked, and one more for the searches that look one word ahead; the
    // bytes past the end read as blanks (not as NUL).
    const std::size_t words = end / 64 + 2;
    std::memset(buf + end, ' ', words * 64 - end);
    has_nul = mark(buf, words, marks);
  }
};

// The three fields of a line whose first two and the start of the third lie in its first
// window_bits bytes, from the white space bits of those bytes (with the bits past the window or
// the line set): where each starts and ends, relative to the line.  False when the window holds
// fewer than three field starts.
struct line_fields {
  unsigned start[3];
  unsigned end[3];
};

bool find_line_fields(std::uint64_t blank, line_fields& f) noexcept {
  const std::uint64_t before = (blank << 1) | 1;  // white space (or the line start) before
  const std::uint64_t starts = ~blank & before;
  const std::uint64_t starts1 = starts & (starts - 1);
  const std::uint64_t starts2 = starts1 & (starts1 - 1);
  if (starts2 == 0) return false;
  // A field followed by another ends before it.
  const std::uint64_t ends = blank & ~before;
  const std::uint64_t ends1 = ends & (ends - 1);
  const std::uint64_t ends2 = ends1 & (ends1 - 1);
  f.start[0] = lowest_set_bit(starts);
  f.start[1] = lowest_set_bit(starts1);
  f.start[2] = lowest_set_bit(starts2);
  f.end[0] = lowest_set_bit(ends);
  f.end[1] = lowest_set_bit(ends1);
  // Where the window is a whole word, a third field may run past its end.
  f.end[2] = ends2 != 0 ? lowest_set_bit(ends2) : 64;
  return true;
}

// Copies a field of at most 32 bytes as one fixed-size copy, and the two blanks after it.
char* put_short_field(char* out, const char* p, unsigned n) noexcept {
  std::memcpy(out, p, 32);
  std::memcpy(out + n, "  ", 2);
  return out + n + 2;
}

// Copies a field; short ones as one fixed-size copy that may run past them into the slack.
char* put_field(char* out, const char* p, std::size_t n) noexcept {
  if (n <= 32) return put_short_field(out, p, static_cast<unsigned>(n));
  std::memcpy(out, p, n);
  std::memcpy(out + n, "  ", 2);
  return out + n + 2;
}

// The first three fields of [begin, end) as [begin, end) pairs; false if there are fewer.
// Once a field is missing every later search ends at `end`: one test after all of them.
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

// piece_fields for a piece shorter than 64 bytes: its white space in one word, with the bits
// past the piece set.
bool short_piece_fields(const std::uint64_t* spaces, std::size_t begin, std::size_t end,
                        std::size_t (&field)[3][2]) noexcept {
  line_fields f;
  if (!find_line_fields(bits_from(spaces, begin) | (~std::uint64_t{0} << (end - begin)), f)) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    field[i][0] = begin + f.start[i];
    field[i][1] = begin + f.end[i];
  }
  return true;
}

// Converts the piece [begin, end) of the block into the output; returns -1 to go on, or the
// status to stop with.
int convert_piece(const input_block& in, std::size_t begin, std::size_t end, output& out,
                  byte_sink err) noexcept {
  const char* const text = in.buf;
  // The line is a C string to the field splitter: a NUL byte ends it.
  if (in.has_nul) {
    if (const void* nul = std::memchr(text + begin, '\0', end - begin)) {
      end = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    }
  }
  std::size_t field[3][2];
  if (end - begin < 64) {
    if (!short_piece_fields(in.marks.spaces, begin, end, field)) return 1;
  } else if (!piece_fields(in.marks.spaces, begin, end, field)) {
    return 1;
  }
  frame_record record;
  const int mtu = parse_frame_text({text + field[2][0], field[2][1] - field[2][0]}, record);
  if (mtu == 0) {
    if (!out.flush()) return report_error(err, "write", errno);
    write_all(err, incomplete_frame, sizeof incomplete_frame - 1);
    return 1;
  }
  char* o = out.buf + out.used;
  o = put_field(o, text + field[0][0], field[0][1] - field[0][0]);
  o = put_field(o, text + field[1][0], field[1][1] - field[1][0]);
  o = detail::render_long(o, record, line_view, shown_length(mtu));
  *o++ = '\n';
  out.used = static_cast<std::size_t>(o - out.buf);
  return -1;
}

// Converts the lines from `start` on while each is whole in the block and one piece long, of
// the usual shape (its first two fields at most 32 bytes and, with the start of the third,
// within its first window_bits bytes; its frame well formed), and the output has room; returns
// where it stopped.  The general path takes the line there, so this one needs no care for long
// lines, NUL bytes, errors or the end of the input.
std::size_t convert_usual_lines(const input_block& in, std::size_t start, output& out) noexcept {
  const char* const text = in.buf;
  char* o = out.buf + out.used;
  char* const full = out.buf + block_size;
  while (o <= full) {
    const std::uint64_t breaks = bits_window(in.marks.breaks, start);
    // Past the window everything counts as white space: a field reaching it ends there.
    std::uint64_t blank =
        bits_window(in.marks.spaces, start) | (~std::uint64_t{0} << 1 << (window_bits - 1));
    std::size_t line_break;
    if (breaks != 0) {
      line_break = lowest_set_bit(breaks);
      blank |= ~std::uint64_t{0} << line_break;
    } else {
      const std::size_t limit = in.end - start < max_piece ? in.end - start : max_piece;
      line_break = next_set(in.marks.breaks, start + window_bits, start + limit) - start;
      if (line_break == limit) break;
    }
    line_fields f;
    if (!find_line_fields(blank, f)) break;
    const unsigned n0 = f.end[0] - f.start[0];
    const unsigned n1 = f.end[1] - f.start[1];
    if ((n0 | n1) > 32) break;
    const std::size_t frame_end =
        f.end[2] < window_bits
            ? f.end[2]
            : next_set(in.marks.spaces, start + window_bits, start + line_break) - start;
    const char* const line = text + start;
    const char* const frame = line + f.start[2];
    const std::size_t frame_length = frame_end - f.start[2];
    frame_record record;
    std::memset(&record, 0, sizeof record);
    int mtu = detail::parse_usual_frame(frame, frame_length, record);
    if (mtu == 0) mtu = detail::parse_frame_general(frame, frame_length, record);
    if (mtu == 0) break;
    o = put_short_field(o, line + f.start[0], n0);
    o = put_short_field(o, line + f.start[1], n1);
    o = detail::render_long(o, record, line_view, shown_length(mtu));
    *o++ = '\n';
    start += line_break + 1;
  }
  out.used = static_cast<std::size_t>(o - out.buf);
  return start;
}

// Length of the next piece from `start`, or 0 when more input is needed to tell.
std::size_t next_piece(const input_block& in, std::size_t start, bool at_end) noexcept {
  const std::size_t avail = in.end - start;
  const std::size_t window = avail < max_piece ? avail : max_piece;
  // Most lines end within the next 64 bytes: one word of bits, wherever it starts.
  const std::uint64_t near = bits_from(in.marks.breaks, start) &
                             (window < 64 ? (std::uint64_t{1} << window) - 1 : ~std::uint64_t{0});
  const std::size_t line_break =
      near != 0
          ? start + lowest_set_bit(near)
          : (window > 64 ? next_set(in.marks.breaks, start + 64, start + window) : start + window);
  if (line_break < start + window) return line_break - start + 1;
  if (avail >= max_piece) return max_piece;
  return at_end ? avail : 0;
}

long read_some(byte_source in, char* buf, std::size_t n) noexcept {
  for (;;) {
    const long r = in.read(in.context, buf, n);
    if (r >= 0 || errno != EINTR) return r;
  }
}

}  // namespace

int convert_lines_with(mark_function mark, byte_source in, byte_sink out, byte_sink err,
                       line_buffers& buffers) noexcept {
  // What lies before the data is read but never used; it is set all the same.
  std::memset(buffers.input, ' ', front);
  input_block block{
      buffers.input + front, {buffers.space_marks, buffers.break_marks}, mark, 0, false};
  output o{out, buffers.output, 0};
  std::size_t start = 0;
  bool at_end = false;
  block.mark_all();
  for (;;) {
    // Lines are cut at NUL bytes, which the quick path does not look for.
    if (!block.has_nul) start = convert_usual_lines(block, start, o);
    if (o.used > block_size && !o.flush()) return report_error(err, "write", errno);
    const std::size_t piece = next_piece(block, start, at_end);
    if (piece > 0) {
      const int status = convert_piece(block, start, start + piece, o, err);
      if (status >= 0) return o.flush() ? status : report_error(err, "write", errno);
      start += piece;
      if (o.used > block_size && !o.flush()) return report_error(err, "write", errno);
      continue;
    }
    if (at_end) return o.flush() ? 0 : report_error(err, "write", errno);
    // Keep the unfinished piece, and hand on everything converted before waiting for input.
    std::memmove(block.buf, block.buf + start, block.end - start);
    block.end -= start;
    start = 0;
    if (!o.flush()) return report_error(err, "write", errno);
    const long n = read_some(in, block.buf + block.end, block_size);
    if (n < 0) return report_error(err, "read", errno);
    if (n == 0) at_end = true;
    block.end += static_cast<std::size_t>(n);
    block.mark_all();
  }
}

int convert_lines(byte_source in, byte_sink out, byte_sink err, line_buffers& buffers) noexcept {
  return convert_lines_with(best_mark_function(), in, out, err, buffers);
}

}  // namespace cantext::tool
