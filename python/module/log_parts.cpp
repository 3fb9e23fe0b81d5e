// SPDX-License-Identifier: MIT
#include "log_parts.hpp"

#include "line_breaks.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace cantext_python {
namespace {

// work(0, worker) .. work(items - 1, worker) shared by `workers` threads (this one among them,
// or this one alone should no other start), each taking the next item once done with one: a
// thread slowed down by other work takes fewer.
template <class Work>
void share_out(std::size_t workers, std::size_t items, const Work& work) noexcept {
  std::atomic<std::size_t> next{0};
  const auto take_items = [&](std::size_t worker) {
    for (std::size_t i; (i = next.fetch_add(1)) < items;) work(i, worker);
  };
  std::vector<std::thread> threads;
  for (std::size_t worker = 1; worker < workers; ++worker) {
    try {
      threads.emplace_back(take_items, worker);
    } catch (...) {
      break;
    }
  }
  take_items(0);
  for (std::thread& thread : threads) thread.join();
}

// The line breaks of the part's bytes: in the log in memory where it is, else read in blocks
// into the reader's buffers.
void count_line_breaks(log_part& part, std::string_view whole, reader::reader_buffers& b) noexcept {
  if (!whole.empty()) {
    const std::size_t end = std::min(part.range.end, whole.size());
    part.line_breaks = line_breaks_in(whole.data() + part.range.at, whole.data() + end);
    part.counted = true;
    return;
  }
  source_range range = part.range;
  const reader::byte_source in = range_bytes(range);
  std::uint64_t breaks = 0;
  for (;;) {
    const long got = in.read(in.context, b.input, reader::block_size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return;
    if (got == 0) break;
    breaks += line_breaks_in(b.input, b.input + got);
  }
  part.line_breaks = breaks;
  part.counted = true;
}

void read_part(log_part& part, const column_set& columns, reader::reader_buffers& b) noexcept {
  source_range range = part.range;
  reader::line_reader reader(range_bytes(range), b);
  part.sink.start_window(columns, part.first_row, part.window);
  part.how = reader.read(part.sink);
  part.error = reader.error();
  part.rows = part.sink.rows();
  part.line_breaks = reader.next_number() - 1;
}

// Each part's rows given their place: as many as it has line breaks (one more for the last
// part, whose last line may have none).  False when a count failed.
bool place_parts(log_parts& parts, std::size_t& rows) noexcept {
  rows = 0;
  for (const auto& part : parts) {
    if (!part->counted) return false;
    part->first_row = rows;
    part->window = part->line_breaks + (part == parts.back() ? 1 : 0);
    rows += part->window;
  }
  return true;
}

// The channel codes of a part's rows turned into codes of the names of all parts.
void recode_channels(const log_part& part, std::uint32_t* codes_column, channel_table& all) {
  std::vector<std::uint32_t> codes;
  bool same = true;
  for (const std::string& name : part.sink.channels().names()) {
    codes.push_back(all.code(name));
    same = same && codes.back() == codes.size() - 1;
  }
  if (same) return;
  std::uint32_t* const column = codes_column + part.first_row;
  for (std::size_t row = 0; row < part.rows; ++row) column[row] = codes[column[row]];
}

}  // namespace

log_parts make_parts(const log_source& source, std::size_t count, bool keep_going) {
  const std::vector<std::size_t> starts = part_starts(source, count);
  log_parts parts;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : SIZE_MAX;
    parts.push_back(std::make_unique<log_part>(source, starts[i], end, keep_going));
  }
  return parts;
}

std::size_t usable_processors() noexcept {
#if defined(__linux__)
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    return static_cast<std::size_t>(CPU_COUNT(&allowed));
  }
#endif
  return std::thread::hardware_concurrency();
}

std::size_t idle_processors() noexcept {
  const std::size_t usable = usable_processors();
#if defined(__linux__)
  std::FILE* const f = std::fopen("/proc/loadavg", "re");
  if (f == nullptr) return usable;
  unsigned long ready = 0;
  const bool read = std::fscanf(f, "%*s %*s %*s %lu/", &ready) == 1;
  std::fclose(f);
  const auto all = static_cast<std::size_t>(::sysconf(_SC_NPROCESSORS_ONLN));
  if (!read || ready == 0 || all == 0) return usable;
  const std::size_t others = (ready - 1) * std::min(usable, all) / all;
  return others < usable ? usable - others : 1;
#else
  return usable;
#endif
}

parts_outcome read_parts(log_parts& parts, std::string_view whole, std::size_t workers,
                         column_set& columns) noexcept {
  workers = std::min(workers, parts.size());
  std::vector<std::unique_ptr<reader::reader_buffers>> buffers;
  try {
    while (buffers.size() < workers) buffers.push_back(std::make_unique<reader::reader_buffers>());
  } catch (const std::bad_alloc&) {
    return parts_outcome::out_of_memory;
  }
  share_out(workers, parts.size(), [&](std::size_t i, std::size_t worker) {
    count_line_breaks(*parts[i], whole, *buffers[worker]);
  });
  std::size_t rows;
  if (!place_parts(parts, rows)) return parts_outcome::read_in_one;
  if (!columns.resize_all(rows)) return parts_outcome::out_of_memory;
  share_out(workers, parts.size(), [&](std::size_t i, std::size_t worker) {
    read_part(*parts[i], columns, *buffers[worker]);
  });
  const bool overflowed = std::any_of(parts.begin(), parts.end(),
                                      [](const auto& part) { return part->sink.overflowed(); });
  return overflowed ? parts_outcome::read_in_one : parts_outcome::read;
}

bool join_parts(log_parts& parts, column_set& columns, joined_parts& joined) noexcept {
  std::size_t rows = 0;
  std::uint64_t lines = 0;
  try {
    for (const auto& part : parts) {
      recode_channels(*part, column_set::at<std::uint32_t>(columns.channel), joined.channels);
      for (const auto& odd : part->sink.odd_times()) {
        joined.odd_times.push_back({odd.row + rows, odd.line + lines, odd.text});
      }
      for (const std::int64_t number : part->sink.bad_lines()) {
        joined.bad_lines.push_back(number + static_cast<std::int64_t>(lines));
      }
      if (part->first_row != rows) {
        for (column_memory* column : columns.all()) {
          column->move_rows(part->first_row, part->rows, rows);
        }
      }
      rows += part->rows;
      lines += part->line_breaks;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  columns.count = rows;
  return true;
}

}  // namespace cantext_python
