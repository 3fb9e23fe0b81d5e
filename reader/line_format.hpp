// SPDX-License-Identifier: MIT
// Capture formats.  The line reader splits its input into lines (pieces of at most max_piece
// bytes); a format says what one line holds: the time, the channel, the frame and the direction,
// as the capture log writes them, or that the line is a header, a comment or an event that holds
// no frame, or that it is bad and why.  Every consumer of the reader sees the same fields
// whatever the format, so a program or binding that reads one format reads them all.
//
// A new format is one file with its two functions and one row in the table of
// line_formats.cpp (docs/architecture.md shows one).
#ifndef CANTEXT_READER_LINE_FORMAT_HPP
#define CANTEXT_READER_LINE_FORMAT_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/frame.hpp"

namespace cantext::reader {

// Why a line is bad.
enum class line_fault {
  too_few_fields,  // fewer than three fields
  bad_frame,       // the third field is not a frame
  blank,           // nothing but white space: bad in a capture log, skipped by every reader
  bad_line,        // another format's line that is wrong; `problem` says how
};

// What a format makes of one line.
enum class line_verdict : std::uint8_t { frame, skipped, bad };

class time_zone;  // time_zone.hpp

// The options of a reading that a format may need.
struct format_options {
  // The zone of the wall-clock times that headers give without one; UTC when null.
  const time_zone* zone = nullptr;
  // Whether a frame's time is wanted as text where the format hands on its number too: a
  // consumer that takes the number alone (time_ns, time_digits) for times of 0 or more, as
  // Python's read_log does, clears it, and the formats then leave fields[0] empty for those
  // times and skip writing the text, a good part of a line's work.
  bool time_text = true;
};

// What a format keeps from line to line of one input (what its header said), and room for the
// texts it makes for a line: they stay valid until the next line is read.
struct format_state {
  format_options options;
  std::int64_t start_ns = 0;   // the start time a header gave, in nanoseconds since the epoch
  std::int64_t last_ns = 0;    // the previous frame's time, where times are relative to it
  std::uint32_t settings = 0;  // bits of the format's own (a number base, relative times, ...)
  std::uint32_t version = 0;
  char columns[24] = {};  // a header's order of the columns, one letter each
  char time_text[40] = {};
  char channel_text[24] = {};
  char frame_text[16] = {};
  // The start of the time that begins the line before, up to its point, where a format reads
  // one there: most lines share it with the line before, and only their fraction is new.
  struct kept_time_head {
    std::uint64_t text = 0x0A0A0A0A0A0A0A0AULL;  // line breaks, which no line starts with
    std::uint64_t mask = ~std::uint64_t{0};      // of the bytes up to the point
    // Of the word from the fraction on: the byte after its digits, and that byte a space.
    std::uint64_t end_mask = 0;
    std::uint64_t end_space = 0;
    std::int64_t whole_ns = 0;         // what the digits before the point say
    std::uint32_t fraction_at = 0;     // after the point
    std::uint32_t digits = 1;          // of fraction, 1 to 7
    std::uint32_t fraction_shift = 0;  // 8 * (8 - digits): the digits to a word's top
    std::uint32_t fraction_scale = 0;  // nanoseconds per unit of the fraction
  } time_head;
};

// One line as a format gives it.  The fields are texts as a capture log holds them: the time
// "(seconds.fraction)" since the epoch, the channel name ("can0") and the frame's text (in the
// log format, the frame in compact notation; in others, the frame's text as the line has it).
struct line_parts {
  std::string_view fields[3];
  // "R" for a received frame, "T" for a transmitted one, empty when the line does not say.
  std::string_view direction;
  frame_record record;
  // CAN_MAX_DLEN or CANFD_MAX_DLEN, as max_dlen gives for the frame's kind.
  int max_data_length;
  // For a bad line: why, and for line_fault::bad_line the text that says what is wrong.
  line_fault fault;
  const char* problem;
  // The time fields[0] was written from, in nanoseconds since the epoch, and the digits of
  // fraction it was written with, where the format made that text from a time it knew
  // (set_log_time): a consumer that wants the number need not read the text back
  // (written_log_time).  time_digits is 0 where the format left the time unset (the log
  // format, which has only the text): then fields[0] is to be read.
  std::int64_t time_ns = 0;
  int time_digits = 0;
};

// fields[0] = `text`, which put_log_time (or put_next_log_time) wrote for `ns` with `digits`
// (1 to 9) digits of fraction, and the time it was written from.  Only stores: cutting the time
// to what the text says is left to the consumers that want the number.
inline void set_log_time(line_parts& out, std::string_view text, std::int64_t ns,
                         int digits) noexcept {
  out.fields[0] = text;
  out.time_ns = ns;
  out.time_digits = digits;
}

// The time that put_log_time's text for a time `ns` of 0 or more with `digits` (1 to 9) digits
// of fraction says, read back: `ns` with the digits past those cut off.  A constant divisor for
// each count, so no division instruction.
inline std::int64_t written_log_time(std::int64_t ns, int digits) noexcept {
  const auto t = static_cast<std::uint64_t>(ns);
  std::uint64_t cut;
  switch (digits) {
    case 1:
      cut = t % 100000000u;
      break;
    case 2:
      cut = t % 10000000u;
      break;
    case 3:
      cut = t % 1000000u;
      break;
    case 4:
      cut = t % 100000u;
      break;
    case 5:
      cut = t % 10000u;
      break;
    case 6:
      cut = t % 1000u;
      break;
    case 7:
      cut = t % 100u;
      break;
    case 8:
      cut = t % 10u;
      break;
    default:
      cut = 0;
      break;
  }
  return static_cast<std::int64_t>(t - cut);
}

struct line_format {
  const char* name;
  // Whether an input whose first bytes are `head` (up to a block of them) is of this format.
  bool (*recognise)(std::string_view head) noexcept;
  // What `text`, one line or piece without its line break, holds.  Writes `out` for a frame and
  // for a bad line (its fault and problem; its fields where it has them).
  line_verdict (*parse)(format_state& state, std::string_view text, line_parts& out) noexcept;
};

// Each format, defined in a file of its own.
extern const line_format log_format;  // "(seconds.fraction) channel frame [R|T]"
extern const line_format trc_format;  // PEAK TRC, which a conversion to the log may read itself

// The formats a reader knows, the log format first (line_formats.cpp).
extern const line_format* const line_formats[];
extern const std::size_t line_format_count;

// The format of that name, or null.
const line_format* find_format(std::string_view name) noexcept;
// The first format other than the log that takes the head, else the log format.
const line_format& recognise_format(std::string_view head) noexcept;

}  // namespace cantext::reader

#endif
