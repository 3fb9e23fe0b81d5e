// SPDX-License-Identifier: MIT
// A whole log read in parts on threads of their own, straight into the columns one reading
// would fill: each part first counts its line breaks, which tells where its rows go.
#ifndef CANTEXT_PYTHON_LOG_PARTS_HPP
#define CANTEXT_PYTHON_LOG_PARTS_HPP

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "column_sink.hpp"
#include "line_reader.hpp"
#include "log_sources.hpp"

namespace cantext_python {

// A stretch of a log that begins a line.
struct log_part {
  log_part(const log_source& source, std::size_t at, std::size_t end, bool keep_going)
      : range{&source, at, end}, sink(keep_going) {}

  source_range range;
  column_sink sink;
  bool counted = false;
  std::uint64_t line_breaks = 0;
  std::size_t first_row = 0;  // where its rows go
  std::size_t window = 0;     // the most rows it may have there
  std::size_t rows = 0;
  reader::ending how = reader::ending::stopped;
  int error = 0;
};

using log_parts = std::vector<std::unique_ptr<log_part>>;

// The parts of a source that reads at offsets: `count` of them where the log allows.
log_parts make_parts(const log_source& source, std::size_t count, bool keep_going);

// The processors this process may run on (taskset, a container's share), else all there are.
std::size_t usable_processors() noexcept;

// Of those, the ones no other work wants now (at least 1, this thread's): the threads ready to
// run on the whole system (Linux's /proc/loadavg), less this one, taken from them in the share
// they have of all the processors.  Parts on busy processors only add their count of the line
// breaks to the reading.
std::size_t idle_processors() noexcept;

enum class parts_outcome {
  read,         // each part's rows are in the columns from its first_row on
  read_in_one,  // a part had more rows than line breaks (pieces of a long line), or counting failed
  out_of_memory,
};

// Reads every part into `columns` on `workers` threads, each part after counting its line
// breaks (in `whole`, the log in memory, where it is not empty).  Without the GIL.
parts_outcome read_parts(log_parts& parts, std::string_view whole, std::size_t workers,
                         column_set& columns) noexcept;

// What the parts found besides their rows, as one reading would have found it.
struct joined_parts {
  channel_table channels;
  column_sink::odd_time_list odd_times;
  column_sink::line_numbers bad_lines;
};

// The parts' rows made one run (where lines were skipped, a part has fewer rows than its window)
// with the codes of all parts' channel names.  Without the GIL; false when memory runs out.
bool join_parts(log_parts& parts, column_set& columns, joined_parts& joined) noexcept;

}  // namespace cantext_python

#endif
