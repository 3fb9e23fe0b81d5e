// SPDX-License-Identifier: MIT
// `cantext stats`: a row per channel and identifier (and per error class, and a summary row per
// channel) with the count of frames, the first and last time, the mean, least and greatest time
// between two of them, the rate and the data lengths seen; as aligned text or CSV.  The memory
// grows with the rows, never with the capture's length.
#ifndef CANTEXT_TOOLS_FRAME_STATS_HPP
#define CANTEXT_TOOLS_FRAME_STATS_HPP

#include <cstdint>

#include "frame_table.hpp"
#include "line_reader.hpp"
#include "line_writer.hpp"

namespace cantext::tool {

// What a row gathers.
struct frame_counts {
  std::uint64_t count;    // frames
  std::uint64_t timed;    // of them with a log time
  std::int64_t first_ns;  // the first and last of those times, in the order read
  std::int64_t last_ns;
  std::int64_t min_gap_ns;   // the least and greatest time from one frame to the next,
  std::int64_t max_gap_ns;   // once two have a time
  std::uint64_t lengths[2];  // bit n: a frame of n data bytes (0 to 64) was seen
};

class stats_writer : public writer_stage {
 public:
  stats_writer(bool csv, output_block& block, byte_sink err, bool keep_going) noexcept
      : writer_stage(block, err, bad_line_style::command, keep_going), csv_(csv) {}

  bool line(const reader::line& l) noexcept;
  // Writes the table; false when memory runs out (reported) or the write fails.
  bool finish_output() noexcept;
  // Whether the reading stopped for want of memory.
  bool out_of_memory() const noexcept { return out_of_memory_; }

 private:
  // Counts a frame in the row of `id` (a row key's identifier) on the channel; false when memory
  // runs out.
  bool count(long channel, std::uint32_t id, const frame_counts& frame) noexcept;
  bool run_out_of_memory() noexcept;

  bool csv_;
  bool out_of_memory_ = false;
  int digits_ = 0;  // the most digits of fraction of a time read
  channel_names channels_;
  key_table<frame_counts> rows_;
};

}  // namespace cantext::tool

#endif
