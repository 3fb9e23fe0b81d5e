// SPDX-License-Identifier: MIT
// The line reader's loop, included by line_reader.hpp: a template over the consumer, so that
// the consumer's handling of a line is inline in the straight path.  Only what must be inline is
// here; the rest of the reading is in line_reader.cpp.
#ifndef CANTEXT_READER_LINE_READER_LOOP_HPP
#define CANTEXT_READER_LINE_READER_LOOP_HPP

#include <cstring>
#include <type_traits>
#include <utility>

#include "frame/parse_general.hpp"
#include "frame/usual_frame.hpp"

namespace cantext::reader {
namespace loop {

using block_state = line_reader::block_state;

// Marks the whole block again: what is kept from the last one is under a piece long.
void mark_all(block_state& b) noexcept;

// Length of the next piece from b.start, or 0 when more input is needed to tell.
std::size_t next_piece(const block_state& b) noexcept;

// Marks the block from b.start on (has_nul then tells of those bytes alone).
void mark_from(block_state& b) noexcept;

// Keeps the unfinished piece from b.start on, reads more after it and marks the block, or with
// `owe_marks` leaves the marks to mark_from; false with `error` set when the read fails.
bool refill(block_state& b, byte_source in, int& error, bool owe_marks) noexcept;

// The three fields of a line whose first two and the start of the third lie in its first
// window_bits bytes, from the white space bits of those bytes (with the bits past the window or
// the line set): where each starts and ends, relative to the line.  False when the window holds
// fewer than three field starts.
struct line_fields {
  unsigned start[3];
  unsigned end[3];
};

inline bool find_line_fields(std::uint64_t blank, line_fields& f) noexcept {
  const std::uint64_t before = (blank << 1) | 1;  // white space (or the line start) before
  const std::uint64_t starts = ~blank & before;
  // Clearing the lowest set bit (x & (x - 1)) leaves the starts of the second field on, then of
  // the third.
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

// The fourth field of a log line, in [p, end) after its frame: "R" or "T" when it is just that
// letter, else empty.
inline std::string_view direction_field(const char* p, const char* end) noexcept {
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\v' || *p == '\f')) ++p;
  if (p == end || (*p != 'R' && *p != 'T')) return {};
  const char after = p + 1 < end ? p[1] : ' ';
  return after == ' ' || after == '\t' || after == '\r' || after == '\v' || after == '\f'
             ? std::string_view(p, 1)
             : std::string_view();
}

// A consumer that wants the lines without frames has skipped_line(); others never see them.
template <class Consumer, class = void>
struct takes_skipped_lines : std::false_type {};
template <class Consumer>
struct takes_skipped_lines<Consumer, std::void_t<decltype(std::declval<Consumer&>().skipped_line(
                                         std::string_view(), std::uint64_t{}))>> : std::true_type {
};

// A consumer that has frame() takes a frame's line as the format's parts, where they lie: a line
// built of them is a copy of its fields, which costs a consumer that has calls out of line for
// rare cases (and so keeps them) a few dozen instructions a line.
template <class Consumer, class = void>
struct takes_parts : std::false_type {};
template <class Consumer>
struct takes_parts<Consumer, std::void_t<decltype(std::declval<Consumer&>().frame(
                                 std::declval<const line_parts&>(), std::uint64_t{}))>>
    : std::true_type {};

template <class Consumer>
bool hand_skipped_line(Consumer& consumer, std::string_view text, std::uint64_t number) noexcept {
  if constexpr (takes_skipped_lines<Consumer>::value) {
    return consumer.skipped_line(text, number);
  } else {
    (void)consumer, (void)text, (void)number;
    return true;
  }
}

// A consumer that takes some lines straight from their text has line_text() (and
// takes_line_texts(), which says for which format).
template <class Consumer, class = void>
struct takes_line_texts : std::false_type {};
template <class Consumer>
struct takes_line_texts<Consumer, std::void_t<decltype(std::declval<Consumer&>().line_text(
                                      std::declval<const line_format&>(),
                                      std::declval<const format_state&>(), std::string_view()))>>
    : std::true_type {};

template <class Consumer>
bool wants_line_texts(const Consumer& consumer, const line_format& format) noexcept {
  if constexpr (takes_line_texts<Consumer>::value) {
    return consumer.takes_line_texts(format);
  } else {
    (void)consumer, (void)format;
    return false;
  }
}

// The straight path reads words around a frame; the room around the data keeps them in the input.
static_assert(input_front >= cantext::detail::usual_frame_reach &&
              input_slack >= cantext::detail::usual_frame_reach);
static_assert(input_slack >= field_read_room && input_slack >= 64);

// Hands the consumer the lines from `start` on while each is whole in the block and one piece
// long, of the usual shape (its first two fields at most field_read_room bytes and, with the
// start of the third, within its first window_bits bytes; its frame well formed); returns where
// it stopped, with `stop` set when the consumer stopped.  The general path takes the line there,
// so this one needs no care for long lines, NUL bytes, bad lines or the end of the input.
template <class Consumer>
std::size_t read_usual_lines(const block_state& in, std::size_t start, std::uint64_t& number,
                             Consumer& consumer, bool& stop) noexcept {
  const char* const text = in.buf;
  for (;;) {
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
    if ((n0 | n1) > field_read_room) break;
    const std::size_t frame_end =
        f.end[2] < window_bits
            ? f.end[2]
            : next_set(in.marks.spaces, start + window_bits, start + line_break) - start;
    const char* const begin = text + start;
    const char* const frame = begin + f.start[2];
    const std::size_t frame_length = frame_end - f.start[2];
    frame_record record;
    std::memset(&record, 0, sizeof record);
    int mtu = cantext::detail::parse_usual_frame(frame, frame_length, record);
    if (mtu == 0) mtu = cantext::detail::parse_frame_general(frame, frame_length, record);
    if (mtu == 0) break;
    start += line_break + 1;
    const std::string_view direction = frame_end == line_break
                                           ? std::string_view()
                                           : direction_field(begin + frame_end, begin + line_break);
    const bool go_on = consumer.line(
        line{{{begin + f.start[0], n0}, {begin + f.start[1], n1}, {frame, frame_length}},
             direction,
             record,
             max_dlen(static_cast<frame_kind>(mtu)),
             number++,
             nullptr,
             {begin, line_break}});
    if (!go_on) {
      stop = true;
      break;
    }
  }
  return start;
}

}  // namespace loop

template <class Consumer>
bool line_reader::take_piece(Consumer& consumer, std::size_t begin, std::size_t size, bool whole,
                             std::uint64_t number) noexcept {
  const char* const text = block_.buf + begin;
  line_parts parts;
  const line_verdict verdict = format_->parse(state_, {text, size - whole}, parts);
  if (verdict == line_verdict::skipped) {
    ++skipped_;
    return loop::hand_skipped_line(consumer, {text, size - whole}, number);
  }
  // A line of its own for each call: the frame's is a temporary whose address the consumer's
  // line(), inline, need not take, so that its fields are read from `parts` with no copy.
  if (verdict == line_verdict::frame) {
    if constexpr (loop::takes_parts<Consumer>::value) return consumer.frame(parts, number);
    return consumer.line(line{{parts.fields[0], parts.fields[1], parts.fields[2]},
                              parts.direction,
                              parts.record,
                              parts.max_data_length,
                              number,
                              nullptr,
                              {text, size - whole},
                              parts.time_ns,
                              parts.time_digits});
  }
  const line l{{parts.fields[0], parts.fields[1], parts.fields[2]},
               parts.direction,
               parts.record,
               0,
               number,
               parts.problem,
               {text, size - whole},
               parts.time_ns,
               parts.time_digits};
  return consumer.bad_line(l, parts.fault, {text, size});
}

template <class Consumer>
bool line_reader::take_whole_lines(Consumer& consumer, std::uint64_t& number) noexcept {
  // Two loops, so that the one without line texts tests nothing more for each line.
  if constexpr (loop::takes_line_texts<Consumer>::value) {
    if (consumer.takes_line_texts(*format_)) return take_whole_lines_as<true>(consumer, number);
  }
  if (block_.marks_owed) loop::mark_from(block_);
  return take_whole_lines_as<false>(consumer, number);
}

template <bool texts, class Consumer>
bool line_reader::take_whole_lines_as(Consumer& consumer, std::uint64_t& number) noexcept {
  block_state& b = block_;
  std::size_t start = b.start;
  for (;;) {
    if constexpr (texts) {
      // The lines' ends are the consumer's to find, for the lines it takes.
      const text_taken taken = consumer.line_text(*format_, state_, {b.buf + start, b.end - start});
      if (taken.lines != 0) {
        start += taken.length;
        b.start = start;
        number += taken.lines;
        if (!taken.go_on) return false;
        continue;
      }
      if (b.marks_owed) loop::mark_from(b);
    }
    // The pieces next_piece would give: a line break within the next max_piece bytes of the
    // block ends one.  Most lines end within the window of bits of one load.
    const std::uint64_t breaks = bits_window(b.marks.breaks, start);
    std::size_t line_break;
    std::uint64_t next_breaks;
    if (breaks != 0) {
      line_break = lowest_set_bit(breaks);
    } else if (2 * window_bits <= b.end - start &&
               (next_breaks = bits_window(b.marks.breaks, start + window_bits)) != 0) {
      // The lines of the formats other than the log are often longer than a window: the next
      // one, where it lies in the block, holds most of the others' ends.
      line_break = window_bits + lowest_set_bit(next_breaks);
    } else {
      const std::size_t limit = b.end - start < max_piece ? b.end - start : max_piece;
      line_break = next_set(b.marks.breaks, start + window_bits, start + limit) - start;
      if (line_break == limit) break;
    }
    const std::size_t begin = start;
    start += line_break + 1;
    b.start = start;
    if (!take_piece(consumer, begin, line_break + 1, true, number++)) return false;
  }
  return true;
}

template <class Consumer>
ending line_reader::read(Consumer& consumer) noexcept {
  block_state& b = block_;
  std::uint64_t number = b.number;
  for (;;) {
    // The format is told by the first block, once there is one.
    if (format_ == nullptr && (b.end > 0 || b.at_end)) {
      format_ = &recognise_({b.buf, b.end});
      want_space_marks(format_ == &log_format);
    }
    // Lines are cut at NUL bytes, which the straight path does not look for.
    if (format_ == &log_format && !b.has_nul) {
      bool stop = false;
      b.start = loop::read_usual_lines(b, b.start, number, consumer, stop);
      if (stop) break;
    } else if (format_ != nullptr && !take_whole_lines(consumer, number)) {
      break;
    }
    const std::size_t piece = format_ != nullptr ? loop::next_piece(b) : 0;
    if (piece > 0) {
      const std::size_t begin = b.start;
      b.start += piece;
      // A piece cut from a long line keeps the line's number for the next piece.
      const bool whole = b.buf[b.start - 1] == '\n';
      const bool go_on = take_piece(consumer, begin, piece, whole, number);
      if (whole) ++number;
      if (!go_on) break;
      continue;
    }
    b.number = number;
    if (b.at_end) return ending::end_of_input;
    if (!consumer.before_read()) return ending::stopped;
    // A consumer that takes lines of a format other than the log from their text may need no
    // marks for most of the block: they are made when the format is to read a line.
    const bool owe_marks =
        format_ != nullptr && format_ != &log_format && loop::wants_line_texts(consumer, *format_);
    if (!loop::refill(b, in_, error_, owe_marks)) return ending::read_error;
  }
  b.number = number;
  return ending::stopped;
}

}  // namespace cantext::reader

#endif
