// SPDX-License-Identifier: MIT
// Capture writers: one frame as the reader gives it (the log's time text, a channel name, the
// direction and the record) into one line of a format, in a buffer of the caller's.  A writer
// keeps what it needs from line to line (the start time its header gave, a message count) in a
// state of the caller's too: no allocation, no I/O.  A new format is one file with its three
// functions and one row in the table of line_writers.cpp.
#ifndef CANTEXT_WRITERS_CAPTURE_WRITER_HPP
#define CANTEXT_WRITERS_CAPTURE_WRITER_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cantext/frame.hpp"
#include "civil_time.hpp"
#include "time_zone.hpp"

namespace cantext::writers {

// One frame: the time as the capture log writes it, "(seconds.fraction)" since the epoch; the
// channel name ("can0"); "R", "T" or empty; the record, and CAN_MAX_DLEN or CANFD_MAX_DLEN.
struct frame_line {
  std::string_view time;
  std::string_view channel;
  std::string_view direction;
  const frame_record& record;
  int max_data_length;
  // The time `time` was written from, in nanoseconds since the epoch, and its digits of
  // fraction, where the reader's format knew it (reader::line::time_ns; what the text says is
  // reader::written_log_time of them); time_digits 0 where it did not: then `time` is to be
  // read (read_line_time).
  std::int64_t time_ns = 0;
  int time_digits = 0;
};

struct writer_options {
  // The zone of the wall-clock start time of the headers that give it without one; UTC when
  // null.
  const reader::time_zone* zone = nullptr;
};

struct writer_state {
  writer_options options;
  std::int64_t start_ns = 0;  // the start the header gave, which the lines' times count from
  std::uint64_t count = 0;    // lines written
  // The last time read (read_line_time) up to its point, "(seconds.", as two words and the
  // masks of its bytes, and its seconds: a time of the same second reads only its fraction.
  std::uint64_t time_head[2] = {};
  std::uint64_t time_head_mask[2] = {};
  std::size_t time_head_size = 0;
  std::int64_t time_head_ns = 0;
  // For a time of the kept head with six digits of fraction (usual_time), when the start has
  // whole microseconds: the start for which these were set; its microsecond within its second as
  // digit values, the last digit in the lowest byte; and the whole seconds since the start of a
  // time of the head, and one fewer, as digits right-aligned in eight columns (0 where that is
  // before the start or from 10^8 s on).
  bool head_usual = false;
  std::int64_t head_start_ns = 0;
  std::uint64_t head_start_micro = 0;
  std::uint64_t head_seconds[2] = {};
  // The whole seconds since the start of the last time written (whole_seconds), from
  // `second_ns` on, as digits right-aligned in eight columns: lines of the same second write only
  // their fraction.  Far before any time to start with.
  std::int64_t second_ns = -1000000000000000000;
  std::uint64_t second_digits = 0;
  // The message number `number_of` as digits right-aligned in eight columns: the next number
  // mostly changes only the last digit.  None to start with.
  std::uint64_t number_of = ~std::uint64_t{0};
  std::uint64_t number_digits = 0;
};

// Room a writer needs for its longest output: the header, or one line.
inline constexpr std::size_t max_written_line = 1024;

struct line_writer {
  const char* name;
  // The header, for a capture whose first frame is `first` (null for one without frames): sets
  // the start time.  Returns the bytes written to `out`.
  std::size_t (*header)(writer_state& state, const frame_line* first, char* out) noexcept;
  // One frame's line, its line break included; 0 when the frame's time is not a log time.
  std::size_t (*line)(writer_state& state, const frame_line& frame, char* out) noexcept;
  // What follows the last line.
  std::size_t (*footer)(writer_state& state, char* out) noexcept;
};

extern const line_writer log_writer;  // "(seconds.fraction) canN frame [R|T]"
extern const line_writer asc_writer;  // Vector ASC, absolute times, hex
extern const line_writer trc_writer;  // PEAK TRC 2.1

// reader::parse_log_time for the time of a frame to write, faster for a time of the same second
// as the last one read.
bool read_line_time(writer_state& state, std::string_view time, std::int64_t& ns,
                    int& digits) noexcept;

// The writer of that name, or null.
const line_writer* find_writer(std::string_view name) noexcept;

// The 1-based channel number that ASC and TRC give the log's channel: N + 1 for a name ending in
// the number N ("can0" is 1), 1 for a name without one.
std::uint32_t channel_number(std::string_view channel) noexcept;

}  // namespace cantext::writers

#endif
