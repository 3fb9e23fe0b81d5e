// SPDX-License-Identifier: MIT
// The line reader: capture-log lines ("(time) interface frame") from any byte source, handed one
// by one to a consumer as three fields and a parsed frame record.
//
// Not public API in this release.  The reader is an internal part of the project, used by the
// programs (cantext-long, the cantext command) and the Python extension.  Its interface will
// settle with those first three users; the library promises a stable ABI for what it publishes,
// which argues for publishing the reader only once it has settled.
//
// How it reads: the input comes in blocks of block_size bytes; each block is marked once (white
// space and line breaks as bit maps) and lines and fields are found by scanning bits.  A line
// longer than max_piece bytes (its line break included) is read as several pieces of at most
// that size, each taken as a line of its own.  A NUL byte ends a line's text; the rest of it up
// to the line break is ignored.  Usual lines take a straight path with the parser's straight
// path inline and the consumer's handling inline too: the consumer is a template parameter, so
// there is no call through a pointer per line.
//
// The consumer is any class with these members (each may be inline and should be where speed
// matters; inside the class, the member `line` hides the type, hence its full name):
//
//   // A line with three fields and a well-formed frame.  False stops the reading.
//   bool line(const cantext::reader::line& l) noexcept;
//   // A line that is not one: fewer than three fields, or a third field that is not a frame.
//   // `text` is the whole piece, its line break included.  True skips it and reads on; false
//   // stops the reading.
//   bool bad_line(const cantext::reader::line& l, cantext::reader::line_fault fault,
//                 std::string_view text) noexcept;
//   // The reader is about to wait for more input: the moment to hand on what was made of the
//   // lines so far (a live capture must not wait for a full block).  False stops the reading.
//   bool before_read() noexcept;
//   // Optional: a line that holds no frame and is passed over (a header, a comment, an event of
//   // another format), `text` without its line break.  False stops the reading.
//   bool skipped_line(std::string_view text, std::uint64_t number) noexcept;
//   // Optional, both or neither: whether the consumer takes lines of `format` (other than the
//   // log) from their text, as the reading goes; and the next lines, before the format reads
//   // them, as the input from the first one's start on (what is read of it; its first 64 bytes
//   // may be read even where it is shorter): the consumer takes lines straight from their
//   // text, finding their ends (a conversion that writes one format's lines from another's in
//   // one pass), or leaves them, 0 lines, to the format and line().  go_on false stops the
//   // reading.
//   bool takes_line_texts(const cantext::reader::line_format& format) const noexcept;
//   cantext::reader::text_taken line_text(const cantext::reader::line_format& format,
//                                         const cantext::reader::format_state& state,
//                                         std::string_view text) noexcept;
//
// Example, a consumer that counts the CAN FD frames and skips bad lines:
//
//   struct fd_counter {
//     std::uint64_t count = 0;
//     bool line(const cantext::reader::line& l) noexcept {
//       count += l.max_data_length == cantext::CANFD_MAX_DLEN;
//       return true;
//     }
//     bool bad_line(const cantext::reader::line&, cantext::reader::line_fault,
//                   std::string_view) noexcept { return true; }
//     bool before_read() noexcept { return true; }
//   };
//
//   static cantext::reader::reader_buffers buffers;  // large: not on the stack
//   cantext::reader::line_reader reader(cantext::reader::fd_source(&fd), buffers);
//   fd_counter counter;
//   const cantext::reader::ending how = reader.read(counter);
#ifndef CANTEXT_READER_LINE_READER_HPP
#define CANTEXT_READER_LINE_READER_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/frame.hpp"
#include "line_format.hpp"
#include "space_marks.hpp"

namespace cantext::reader {

// A line longer than this (its line break included) is read in pieces of this size.
inline constexpr std::size_t max_piece = 518;
// Reads of this size keep the working set in the processor's second-level cache.
inline constexpr std::size_t block_size = 128 * 1024;
// A field's text may be read this far from its start, even past its end: a short field can be
// copied with one fixed-size copy.
inline constexpr std::size_t field_read_room = 32;

// Reads up to n bytes into buf: returns the count, 0 at the end of input, or -1 with errno set
// (EINTR is retried).
struct byte_source {
  void* context;
  long (*read)(void* context, char* buf, std::size_t n);
};

// A source reading the file descriptor *fd.
byte_source fd_source(int* fd) noexcept;

// One line, or one piece of a long line, as the consumer sees it.  Everything in it is valid
// only during the call that hands it over.
struct line {
  // The time, the channel and the frame as a capture log writes them (line_format.hpp): in a
  // log, its first three fields, split at the C locale's white space.  For a line with fewer
  // fields, the missing ones are empty.
  std::string_view fields[3];
  // "R" (received) or "T" (transmitted) where the line says, else empty: in a log, a fourth
  // field of just that letter.  Nothing past a line's own end is looked at.
  std::string_view direction;
  // The third field parsed as a frame (cleared when it is not one).  A reference, so that the
  // rest of the line stays in registers while the record is handed on.
  const frame_record& record;
  // The most data bytes the frame's kind holds: CAN_MAX_DLEN (8) for a classic frame,
  // CANFD_MAX_DLEN (64) for a CAN FD frame, what the renderers take as maxdlen; 0 for a bad line.
  int max_data_length;
  // 1 for the first line; counts line breaks, so every piece of a long line has its number.
  std::uint64_t number;
  // For a bad line, what is wrong with it in words ("not a CAN frame", ...); else null.
  const char* problem;
  // The whole line (or piece) as the input has it, without its line break.
  std::string_view text;
  // For a frame, the time fields[0] was written from, in nanoseconds since the epoch, and the
  // digits of fraction written, where the format knew it (line_parts::time_ns; what the text
  // says is written_log_time of them); time_digits 0 where it did not, as in a log: then
  // fields[0] is the time to read.
  std::int64_t time_ns = 0;
  int time_digits = 0;
};

// What a consumer's line_text() took: the lines' length with their line breaks and their
// count, 0 for none, and whether the reading goes on.
struct text_taken {
  std::size_t length;
  std::size_t lines;
  bool go_on;
};

// Why the reading ended.
enum class ending {
  end_of_input,
  stopped,     // the consumer said so
  read_error,  // line_reader::error() tells which
};

// Room past the data for word reads and copies that run beyond what they need (at least
// field_read_room), and before it for word reads that start a little before a text.
inline constexpr std::size_t input_slack = 128;
inline constexpr std::size_t input_front = 16;
// The input may hold an unfinished piece before a whole block.
inline constexpr std::size_t input_size = block_size + max_piece;

// The reader's buffers: caller-owned (about 150 KiB), so that reading needs little stack.
struct reader_buffers {
  char input[input_front + input_size + input_slack];
  std::uint64_t space_marks[input_size / 64 + 2];
  std::uint64_t break_marks[input_size / 64 + 2];
};

class line_reader {
 public:
  // Reads from `in` into `buffers`, which must outlive the reader.  `mark` chooses how blocks
  // are marked; the default is the fastest this processor has.
  line_reader(byte_source in, reader_buffers& buffers,
              mark_function mark = best_mark_function()) noexcept;

  // Hands every line to the consumer until the input ends, the consumer stops, or a read
  // fails.  After a stop, read() goes on with the next line.
  template <class Consumer>
  ending read(Consumer& consumer) noexcept;

  // Reads the input as `format` (the log format until this is called), or, with null, as the
  // format that its first block shows (recognise_format).  Before the first read().
  void set_format(const line_format* format, format_options options = {}) noexcept {
    format_ = format;
    want_space_marks(format == nullptr || format == &log_format);
    state_.options = options;
    // Only a reader told to recognise formats refers to the table of them, so that a program
    // that reads logs alone does not carry the others' code.
    if (format == nullptr) recognise_ = recognise_format;
  }
  // The format being read; null while it is still to be recognised.
  const line_format* format() const noexcept { return format_; }
  // The lines that hold no frame and were passed over: headers, comments, other events.
  std::uint64_t skipped_lines() const noexcept { return skipped_; }

  // The errno of the failed read, after ending::read_error.
  int error() const noexcept { return error_; }
  // The number the next line will have: after the input has ended, one more than the line
  // breaks read.
  std::uint64_t next_number() const noexcept { return block_.number; }

  // The state of the reading between calls; internal to the reader.
  struct block_state {
    char* buf;
    mark_words marks;
    mark_function mark;
    std::size_t end;  // bytes [0, end) of buf are read and marked
    bool has_nul;
    // The marks of the bytes from `start` on are still to be made (mark_from), as the block was
    // read for a consumer that may take its lines without them.
    bool marks_owed;
    bool at_end;
    std::size_t start;  // the next line starts here
    std::uint64_t number;
  };

 private:
  // Hands the piece of `size` bytes at `begin`, `whole` when it ends with its line's break, to
  // the format and its result to the consumer; false when the consumer stops.
  template <class Consumer>
  [[gnu::always_inline]] inline bool take_piece(Consumer& consumer, std::size_t begin,
                                                std::size_t size, bool whole,
                                                std::uint64_t number) noexcept;
  // take_piece for each line from block_.start on that is whole in the block and one piece
  // long, for a format other than the log; stops at the first other one, with block_.start
  // there, or when the consumer stops (then returns false).
  template <class Consumer>
  bool take_whole_lines(Consumer& consumer, std::uint64_t& number) noexcept;
  // Its loop, with the consumer's line_text() first for each line (`texts`) or without.
  template <bool texts, class Consumer>
  bool take_whole_lines_as(Consumer& consumer, std::uint64_t& number) noexcept;
  // Only the log format's straight path reads the marks of white space: the blocks of the other
  // formats are marked for their line breaks alone, in half the time.
  void want_space_marks(bool wanted) noexcept {
    block_.marks.spaces = wanted ? space_marks_ : nullptr;
  }

  byte_source in_;
  std::uint64_t* space_marks_;
  block_state block_;
  const line_format* format_ = &log_format;
  const line_format& (*recognise_)(std::string_view head) noexcept = nullptr;
  format_state state_;
  std::uint64_t skipped_ = 0;
  int error_ = 0;
};

}  // namespace cantext::reader

#include "line_reader_loop.hpp"

#endif
