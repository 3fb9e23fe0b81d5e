// SPDX-License-Identifier: MIT
// `cantext long --time`: the first field of a line whose first field is a log time
// "(seconds.fraction)" written as seconds since the first frame, since the previous frame
// (overall or of the same channel and identifier), or as a UTC date; any other first field is
// written as it is.  Times are whole nanoseconds throughout, so nothing is lost to rounding.
#ifndef CANTEXT_TOOLS_TIME_VIEWS_HPP
#define CANTEXT_TOOLS_TIME_VIEWS_HPP

#include <cstddef>
#include <cstdint>

#include "frame_table.hpp"
#include "line_reader.hpp"
#include "line_writer.hpp"

namespace cantext::tool {

enum class time_view { absolute, relative, delta, delta_per_id, date };

// The longest field put_date writes: "YYYY-MM-DD hh:mm:ss.uuuuuu".
inline constexpr std::size_t date_size = 26;

// Writes the UTC date and time of `ns` nanoseconds since the epoch to the microsecond (rounded
// down), "2023-11-14 22:13:20.123456"; returns the end.
char* put_date(char* out, std::int64_t ns) noexcept;

// `long` with a time view other than absolute: the time field, then the rest as `long` writes
// it (with `explain`, the description under an error frame).
class timed_long_writer : public writer_stage {
 public:
  timed_long_writer(time_view view, unsigned long_view, output_block& block, byte_sink err,
                    bool keep_going) noexcept
      : writer_stage(block, err, bad_line_style::command, keep_going),
        view_(view),
        long_view_(long_view) {}

  bool line(const reader::line& l) noexcept;
  // Whether the reading stopped for want of memory for the identifiers' table.
  bool out_of_memory() const noexcept { return out_of_memory_; }

 private:
  // Writes the time field of `l` at `out` and returns its end; null when memory ran out.
  char* put_time(char* out, const reader::line& l) noexcept;

  time_view view_;
  unsigned long_view_;
  bool started_ = false;  // whether a frame with a time was met
  bool out_of_memory_ = false;
  std::int64_t first_ns_ = 0;
  std::int64_t previous_ns_ = 0;
  struct seen_time {
    std::int64_t ns;
    bool seen;
  };
  channel_names channels_;     // --delta-per-id: the channels met,
  key_table<seen_time> last_;  // and the last time of each channel and identifier
};

}  // namespace cantext::tool

#endif
