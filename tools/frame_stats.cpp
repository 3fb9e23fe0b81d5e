// SPDX-License-Identifier: MIT
#include "frame_stats.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cantext/error_text.hpp"
#include "input_files.hpp"
#include "log_time.hpp"

namespace cantext::tool {
namespace {

// The identifier of a channel's summary row: no frame's identifier key is all ones.
constexpr std::uint32_t all_frames = ~std::uint32_t{0};

// a - b, or false when it does not fit 64 bits (times near the ends of what they hold).
bool difference(std::int64_t a, std::int64_t b, std::int64_t& d) noexcept {
  return !__builtin_sub_overflow(a, b, &d);
}

void add_frame(frame_counts& row, const frame_counts& frame) noexcept {
  ++row.count;
  row.lengths[0] |= frame.lengths[0];
  row.lengths[1] |= frame.lengths[1];
  if (frame.timed == 0) return;
  std::int64_t gap = 0;
  if (row.timed == 0) {
    row.first_ns = frame.first_ns;
  } else if (difference(frame.first_ns, row.last_ns, gap)) {
    const bool first_gap = row.timed == 1;
    row.min_gap_ns = first_gap || gap < row.min_gap_ns ? gap : row.min_gap_ns;
    row.max_gap_ns = first_gap || gap > row.max_gap_ns ? gap : row.max_gap_ns;
  }
  row.last_ns = frame.first_ns;
  ++row.timed;
}

// Channel names in the order a reader expects: runs of digits by their value, so that can2
// comes before can10.
bool name_before(std::string_view a, std::string_view b) noexcept {
  std::size_t i = 0;
  std::size_t j = 0;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      std::size_t m = i;
      std::size_t n = j;
      while (m < a.size() && digit(a[m])) ++m;
      while (n < b.size() && digit(b[n])) ++n;
      if (m - i != n - j) return m - i < n - j;
      const int order = std::memcmp(a.data() + i, b.data() + j, m - i);
      if (order != 0) return order < 0;
      i = m;
      j = n;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

// Within a channel: standard identifiers, extended ones, error classes, all frames.
std::uint64_t id_order(std::uint32_t id) noexcept {
  const unsigned kind = id == all_frames           ? 3
                        : (id & can_err_flag) != 0 ? 2
                        : (id & can_eff_flag) != 0 ? 1
                                                   : 0;
  return std::uint64_t{kind} << 32 | (id & can_eff_mask);
}

// A row's cells as text, each in a buffer of its own.
struct row_cells {
  static constexpr int count = 10;
  static constexpr std::size_t room = 240;
  std::string_view channel{};
  char text[count - 1][room] = {};  // initialised, so that a static one needs no guard
  std::string_view cell(int i) const noexcept {
    return i == 0 ? channel : std::string_view(text[i - 1]);
  }
};

constexpr const char* headers[row_cells::count] = {
    "channel",     "id",         "count",      "first", "last",
    "mean_period", "min_period", "max_period", "rate",  "lengths"};

// Whether a column is numbers, right-aligned in the text form.
constexpr bool numeric(int column) noexcept {
  return column >= 2 && column <= 8;
}

// "seconds.fraction" with `digits` digits of fraction, or "-".
void put_seconds(char* out, bool known, std::int64_t ns, int digits) noexcept {
  if (!known) {
    std::strcpy(out, "-");
    return;
  }
  char text[reader::max_log_time + 1];
  const std::size_t n = reader::put_log_time(text, ns, digits);
  std::memcpy(out, text + 1, n - 2);  // without the parentheses
  out[n - 2] = '\0';
}

// The identifier column: hex as a frame writes it, an error class's name, or "all".
void put_id(char* out, std::uint32_t id) noexcept {
  if (id == all_frames) {
    std::strcpy(out, "all");
  } else if ((id & can_err_flag) == 0) {
    const bool extended = (id & can_eff_flag) != 0;
    std::snprintf(out, row_cells::room, extended ? "%08" PRIX32 : "%03" PRIX32,
                  id & (extended ? can_eff_mask : can_sff_mask));
  } else {
    const std::uint32_t bit = id & can_eff_mask;
    int index = 0;
    while (index < 29 && (std::uint32_t{1} << index) != bit) ++index;
    if (bit == 0) {
      std::strcpy(out, "error");
    } else if (index < 9) {
      std::snprintf(out, row_cells::room, "%s", error_class_names[index]);
    } else {
      std::snprintf(out, row_cells::room, "error-0x%" PRIX32, bit);
    }
  }
}

// The data lengths of the bit set, runs of consecutive lengths as "first-last", by commas.
void put_lengths(char* out, const std::uint64_t (&lengths)[2]) noexcept {
  char* p = out;
  const auto seen = [&](int n) { return n <= 64 && (lengths[n / 64] >> (n % 64) & 1) != 0; };
  for (int n = 0; n <= 64; ++n) {
    if (!seen(n)) continue;
    int last = n;
    while (seen(last + 1)) ++last;
    if (p != out) *p++ = ',';
    p += last > n ? std::sprintf(p, "%d-%d", n, last) : std::sprintf(p, "%d", n);
    n = last;
  }
  *p = '\0';
}

void make_cells(row_cells& cells, std::string_view channel, std::uint32_t id,
                const frame_counts& row, int digits) noexcept {
  cells.channel = channel;
  put_id(cells.text[0], id);
  std::snprintf(cells.text[1], row_cells::room, "%" PRIu64, row.count);
  put_seconds(cells.text[2], row.timed > 0, row.first_ns, digits);
  put_seconds(cells.text[3], row.timed > 0, row.last_ns, digits);
  std::int64_t span = 0;
  const bool periods = row.timed > 1 && difference(row.last_ns, row.first_ns, span);
  const std::int64_t intervals = static_cast<std::int64_t>(row.timed - 1);
  put_seconds(cells.text[4], periods, periods ? span / intervals : 0, digits);
  put_seconds(cells.text[5], periods, row.min_gap_ns, digits);
  put_seconds(cells.text[6], periods, row.max_gap_ns, digits);
  if (periods && span > 0) {
    std::snprintf(cells.text[7], row_cells::room, "%.3f",
                  static_cast<double>(intervals) * 1e9 / static_cast<double>(span));
  } else {
    std::strcpy(cells.text[7], "-");
  }
  put_lengths(cells.text[8], row.lengths);
}

char* put_text(char* out, std::string_view text) noexcept {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// A CSV cell: as it is, or quoted with its quotes doubled when it holds a comma, a quote or
// white space; "-" (nothing known) as an empty cell.
char* put_csv_cell(char* out, std::string_view text) noexcept {
  if (text == "-") return out;
  if (text.find_first_of(",\" \t\r\n") == std::string_view::npos) return put_text(out, text);
  *out++ = '"';
  for (const char c : text) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

}  // namespace

bool stats_writer::run_out_of_memory() noexcept {
  out_of_memory_ = true;
  if (flush()) say("out of memory for the table of identifiers");
  return false;
}

bool stats_writer::count(long channel, std::uint32_t id, const frame_counts& frame) noexcept {
  frame_counts* row = rows_.find(row_key(channel, id));
  if (row == nullptr) return run_out_of_memory();
  add_frame(*row, frame);
  return true;
}

bool stats_writer::line(const reader::line& l) noexcept {
  frame_counts frame{};
  int digits = 0;
  const std::string_view time = l.fields[0];
  if (!time.empty() && time.front() == '(' &&
      reader::parse_log_time(time, frame.first_ns, digits)) {
    frame.timed = 1;
    if (digits > digits_) digits_ = digits;
  }
  const unsigned length = l.record.len <= 64 ? l.record.len : 64;
  frame.lengths[length / 64] = std::uint64_t{1} << (length % 64);
  const long channel = channels_.find(l.fields[1]);
  if (channel < 0) return run_out_of_memory();
  if (!count(channel, all_frames, frame)) return false;
  const std::uint32_t id = id_key(l.record.can_id);
  if ((id & can_err_flag) == 0) return count(channel, id, frame);
  // An error frame counts in the row of each class it has.
  const std::uint32_t classes = id & can_eff_mask;
  if (classes == 0) return count(channel, can_err_flag, frame);
  for (std::uint32_t bit = 1; bit != 0 && bit <= classes; bit <<= 1) {
    if ((classes & bit) != 0 && !count(channel, can_err_flag | bit, frame)) return false;
  }
  return true;
}

bool stats_writer::finish_output() noexcept {
  if (out_of_memory_) return false;
  // The rows in order: by channel, then by identifier.
  const std::size_t n = rows_.size();
  using slot = key_table<frame_counts>::slot;
  const slot** order = static_cast<const slot**>(std::malloc((n + 1) * sizeof(slot*)));
  long* rank = static_cast<long*>(std::malloc((channels_.size() + 1) * sizeof(long)));
  if (order == nullptr || rank == nullptr) {
    std::free(order);
    std::free(rank);
    return run_out_of_memory();
  }
  std::size_t k = 0;
  for (const slot& s : rows_) {
    if (s.key != 0) order[k++] = &s;
  }
  for (std::size_t c = 0; c < channels_.size(); ++c) rank[c] = static_cast<long>(c);
  std::sort(rank, rank + channels_.size(), [&](long a, long b) {
    return name_before(channels_.name(static_cast<std::size_t>(a)),
                       channels_.name(static_cast<std::size_t>(b)));
  });
  // rank[c]: where channel c comes.
  long* place = static_cast<long*>(std::malloc((channels_.size() + 1) * sizeof(long)));
  if (place == nullptr) {
    std::free(order);
    std::free(rank);
    return run_out_of_memory();
  }
  for (std::size_t c = 0; c < channels_.size(); ++c) place[rank[c]] = static_cast<long>(c);
  const auto channel_of = [](const slot* s) {
    return static_cast<std::size_t>((s->key >> 32) - 1);
  };
  std::sort(order, order + n, [&](const slot* a, const slot* b) {
    const long pa = place[channel_of(a)];
    const long pb = place[channel_of(b)];
    if (pa != pb) return pa < pb;
    return id_order(static_cast<std::uint32_t>(a->key)) <
           id_order(static_cast<std::uint32_t>(b->key));
  });

  // The text form's column widths: the widest cell of each.
  static row_cells cells;
  std::size_t widths[row_cells::count];
  for (int i = 0; i < row_cells::count; ++i) widths[i] = std::strlen(headers[i]);
  for (std::size_t r = 0; r < n && !csv_; ++r) {
    make_cells(cells, channels_.name(channel_of(order[r])),
               static_cast<std::uint32_t>(order[r]->key), order[r]->value, digits_);
    for (int i = 0; i < row_cells::count; ++i) {
      widths[i] = std::max(widths[i], cells.cell(i).size());
    }
  }
  bool ok = true;
  for (std::size_t r = 0; r <= n && ok; ++r) {
    if (r > 0) {
      make_cells(cells, channels_.name(channel_of(order[r - 1])),
                 static_cast<std::uint32_t>(order[r - 1]->key), order[r - 1]->value, digits_);
    }
    char* out = block_.end();
    for (int i = 0; i < row_cells::count; ++i) {
      const std::string_view text = r == 0 ? std::string_view(headers[i]) : cells.cell(i);
      if (csv_) {
        if (i > 0) *out++ = ',';
        out = put_csv_cell(out, text);
        continue;
      }
      if (i > 0) out = put_text(out, "  ");
      const std::size_t pad = widths[i] - text.size();
      if (numeric(i)) out = static_cast<char*>(std::memset(out, ' ', pad)) + pad;
      out = put_text(out, text);
      if (!numeric(i) && i + 1 < row_cells::count) {
        out = static_cast<char*>(std::memset(out, ' ', pad)) + pad;
      }
    }
    *out++ = '\n';
    ok = block_.commit(out);
  }
  std::free(order);
  std::free(rank);
  std::free(place);
  return ok && block_.flush();
}

}  // namespace cantext::tool
