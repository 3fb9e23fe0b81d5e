// SPDX-License-Identifier: MIT
// `cantext convert`: each frame the reader gives, written by a capture writer (a log, ASC or
// TRC line), with the writer's header before the first frame and its footer after the last;
// channel names changed by --channel-map on the way.
#ifndef CANTEXT_TOOLS_CONVERT_LINES_HPP
#define CANTEXT_TOOLS_CONVERT_LINES_HPP

#include <cstddef>
#include <cstring>
#include <string_view>

#include "capture_writer.hpp"
#include "line_writer.hpp"
#include "log_line.hpp"
#include "trc_log_line.hpp"

namespace cantext::tool {

// --channel-map's pairs "FROM=TO,...": a channel named FROM is written as TO.  A number N on
// either side stands for the channel ASC and TRC number N, the log's "canN-1".
class channel_map {
 public:
  static constexpr std::size_t most = 64;

  // False when the text is no such list (or has more pairs than `most`).
  bool parse(const char* text) noexcept;
  // The name to write for `name`; inline for the usual conversion without a map.
  std::string_view operator()(std::string_view name) const noexcept {
    return count_ == 0 ? name : mapped(name);
  }
  // Whether every name is written as it is.
  bool none() const noexcept { return count_ == 0; }

 private:
  struct pair {
    std::string_view from;
    std::string_view to;
  };
  // A number's log name, kept here so that the views stay valid.
  static constexpr std::size_t name_room = 16;
  char names_[2 * most][name_room] = {};
  pair pairs_[most] = {};
  std::size_t count_ = 0;

  std::string_view side(std::string_view text, std::size_t slot) noexcept;
  std::string_view mapped(std::string_view name) const noexcept;
};

// The writer stage of `convert`.
class convert_writer : public writer_stage {
 public:
  convert_writer(const writers::line_writer& writer, writers::writer_options options,
                 const channel_map& channels, output_block& block, byte_sink err,
                 bool keep_going) noexcept
      : writer_stage(block, err, bad_line_style::command, keep_going),
        writer_(writer),
        channels_(channels),
        // The log writer's header is empty: lines may be written before the first frame's,
        // which writes it.
        straight_trc_(&writer == &writers::log_writer && channels.none() &&
                      writers::trc_log_lines_usable()) {
    state_.options = options;
  }

  // Inline in the reader's loop: a conversion to the log, the usual one, writes its line here,
  // without a call through the writer's table.  The time and the channel are the reader's
  // fields, which may be read reader::field_read_room bytes from their start (a mapped channel
  // name may not): one fixed-size copy each, into the block's room past its end.  A format
  // that was asked for the time as a number alone (wants_time_text) leaves the time's field
  // empty: it is written from the number then.
  bool line(const reader::line& l) noexcept {
    if (straight_log_ && (l.fields[0].size() | l.fields[1].size()) <= reader::field_read_room) {
      ++state_.count;
      char* out = block_.end();
      if (l.fields[0].empty() && l.time_digits != 0) {
        out = times_.put(out, l.time_ns, l.time_digits);
      } else {
        std::memcpy(out, l.fields[0].data(), reader::field_read_room);
        out += l.fields[0].size();
        *out++ = ' ';
      }
      std::memcpy(out, l.fields[1].data(), reader::field_read_room);
      out += l.fields[1].size();
      *out++ = ' ';
      return block_.commit(writers::put_log_frame(out, l.record, l.max_data_length, l.direction));
    }
    // A copy for the call, so that the reader's line need not be in memory on the usual way.
    const reader::line copy = l;
    return write_line(copy);
  }
  // TRC lines of the fixed columns on their way to the log, with no channel map, are written
  // straight from their text (trc_log_line.hpp), as many as follow each other: inline in the
  // reader's loop, before the format reads a line.
  bool takes_line_texts(const reader::line_format& format) const noexcept {
    return straight_trc_ && &format == &reader::trc_format;
  }
  reader::text_taken line_text(const reader::line_format&, const reader::format_state& state,
                               std::string_view text) noexcept {
    const writers::taken_lines taken =
        writers::put_trc_log_lines(state, text, block_.end(), block_.limit(), times_);
    if (taken.lines == 0) return {0, 0, true};
    state_.count += taken.lines;
    return {taken.length, taken.lines, block_.commit(taken.out)};
  }
  // Whether the reading is to give the time's text (format_options::time_text): the log writer
  // writes it from the number itself, which costs less than a format's writing it to be copied.
  static bool wants_time_text(const writers::line_writer& writer) noexcept {
    return &writer != &writers::log_writer;
  }
  // The header (when no frame came) and the footer; false when the write fails.
  bool finish_output() noexcept;

 private:
  // The line by the writer's own function, the header first for the first line.
  bool write_line(const reader::line& l) noexcept;
  // Out of the way of every line: the header before the first, and a line whose time the writer
  // cannot read.
  [[gnu::noinline]] char* write_header(const writers::frame_line& first, char* out) noexcept;
  [[gnu::noinline]] bool time_not_read(const reader::line& l, char* out) noexcept;

  const writers::line_writer& writer_;
  const channel_map& channels_;
  writers::writer_state state_;
  writers::log_time_out times_;
  bool header_written_ = false;
  // Lines go to the log writer, past its header, with no channel map: line() writes them.
  bool straight_log_ = false;
  // Lines go to the log writer with no channel map, and the processor has what
  // put_trc_log_lines needs.
  bool straight_trc_;
};

}  // namespace cantext::tool

#endif
