// SPDX-License-Identifier: MIT
// The line reader's consumer that read_log runs: each line's values into columns, the channel
// names coded, bad lines noted.
#ifndef CANTEXT_PYTHON_COLUMN_SINK_HPP
#define CANTEXT_PYTHON_COLUMN_SINK_HPP

#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "columns.hpp"
#include "frame_filter.hpp"
#include "line_reader.hpp"
#include "log_fields.hpp"

namespace cantext_python {

namespace reader = cantext::reader;

// Channel names and their codes, in the order they first appear.
class channel_table {
 public:
  // A log has a few channels, met over and over, which one on a line as good as random: a name
  // of up to 8 bytes is looked up in the one slot its text picks, a compare whose outcome the
  // processor foresees (a search that stopped at the match mispredicted a branch on about every
  // other line).  Names that share a slot with an earlier one, and those of 9 to 16 bytes among
  // the first few, are compared as words (two) with every one of them.
  bool find_usual(std::string_view name, std::uint32_t& code) const noexcept {
    const std::size_t size = name.size();
    std::uint32_t found = 0;  // the code plus one
    if (size <= 8) {
      const std::uint64_t key = low_bytes(load_word(name.data()), size);
      const slot& s = slots_[slot_of(key)];
      if (s.name == key && s.code != 0) {
        code = s.code - 1;
        return true;
      }
      for (std::size_t i = 0; i < short_.count; ++i) {
        found |= short_.codes[i] & (0u - static_cast<std::uint32_t>(short_.names[i] == key));
      }
    } else if (size <= short_name::most) {
      const short_name key = short_name::of(name);
      for (std::size_t i = 0; i < long_.count; ++i) {
        found |= long_.codes[i] & (0u - static_cast<std::uint32_t>(long_.names[i] == key));
      }
    }
    code = found - 1;
    return found != 0;
  }
  // Any name, given a code if it is new.  May throw std::bad_alloc.
  std::uint32_t code(std::string_view name) {
    std::string key(name);
    const auto found = codes_.find(key);
    if (found != codes_.end()) return found->second;
    const auto code = static_cast<std::uint32_t>(names_.size());
    names_.push_back(key);
    codes_.emplace(std::move(key), code);
    if (name.size() <= 8) {
      const std::uint64_t word = low_bytes(load_word(name.data()), name.size());
      slot& s = slots_[slot_of(word)];
      if (s.code == 0) {
        s = {word, code + 1};
      } else {
        short_.add(word, code);
      }
    } else if (name.size() <= short_name::most) {
      long_.add(short_name::of(name), code);
    }
    return code;
  }
  const std::vector<std::string>& names() const noexcept { return names_; }

 private:
  // A name of up to 8 bytes as a word and its code plus one (0: the slot is free).
  struct slot {
    std::uint64_t name;
    std::uint32_t code;
  };
  static constexpr unsigned slot_bits = 6;
  // The high bits of the name, its halves folded, times a constant of well mixed bits: the
  // usual names ("can0" to "can15", "vcan0" to "vcan15") mostly land in slots of their own.
  static std::size_t slot_of(std::uint64_t name) noexcept {
    return static_cast<std::size_t>(((name ^ (name >> 32)) * 0x9E3779B97F4A7C15ULL) >>
                                    (64 - slot_bits));
  }
  // The first few names of one kind with their codes plus one.
  template <class Name>
  struct usual_names {
    static constexpr std::size_t most = 8;
    Name names[most];
    std::uint32_t codes[most];
    std::size_t count = 0;
    void add(const Name& name, std::uint32_t code) noexcept {
      if (count == most) return;
      names[count] = name;
      codes[count++] = code + 1;
    }
  };
  slot slots_[std::size_t{1} << slot_bits] = {};
  usual_names<std::uint64_t> short_;
  usual_names<short_name> long_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::uint32_t> codes_;
};

// Where a row's values go in each column.
struct row_places {
  std::int64_t* time;
  std::uint32_t* channel;
  std::uint32_t* can_id;
  std::uint8_t* flags;
  std::uint8_t* len;
  bool* fd;
  char* direction;
  std::uint8_t* data;  // CANFD_MAX_DLEN bytes a row
};

// The columns of one batch, each in memory of its own.
struct column_set {
  column_memory time{sizeof(std::int64_t)};
  column_memory channel{sizeof(std::uint32_t)};
  column_memory can_id{sizeof(std::uint32_t)};
  column_memory flags{1};
  column_memory len{1};
  column_memory fd{1};
  column_memory direction{1};
  column_memory data{cantext::CANFD_MAX_DLEN};
  std::size_t count = 0;
  std::size_t capacity = 0;

  // Rows expected at first: the room is only reserved, pages not written take no memory.
  std::size_t expected = 0;

  // Room for twice as many rows (at first for those expected, or 4096); false when memory runs
  // out.
  bool grow() noexcept {
    if (capacity == 0 && expected > first_rows && resize_all(expected)) return true;
    return resize_all(capacity == 0 ? first_rows : capacity * 2);
  }
  std::array<column_memory*, 8> all() noexcept {
    return {&time, &channel, &can_id, &flags, &len, &fd, &direction, &data};
  }
  bool resize_all(std::size_t rows) noexcept {
    for (column_memory* column : all()) {
      if (!column->resize(rows)) return false;
    }
    capacity = rows;
    return true;
  }
  // Where row `row` goes; valid until the columns grow.
  row_places from(std::size_t row) const noexcept {
    return {
        at<std::int64_t>(time) + row,    at<std::uint32_t>(channel) + row,
        at<std::uint32_t>(can_id) + row, at<std::uint8_t>(flags) + row,
        at<std::uint8_t>(len) + row,     at<bool>(fd) + row,
        at<char>(direction) + row,       at<std::uint8_t>(data) + row * cantext::CANFD_MAX_DLEN};
  }
  static constexpr std::size_t first_rows = 4096;
  template <class T>
  static T* at(const column_memory& column) noexcept {
    return static_cast<T*>(column.data());
  }
};

// The line reader's consumer: each line into the columns, bad lines noted.
class column_sink {
 public:
  explicit column_sink(bool keep_going) noexcept : keep_going_(keep_going) {}

  // Lines whose frames the filter does not keep are passed over (null, or one that keeps all:
  // none is); the filter outlives the reading.
  void set_filter(const reader::frame_filter* filter) noexcept {
    filter_ = filter != nullptr && !reader::keeps_all(*filter) ? filter : nullptr;
  }

  // Starts a batch of at most `limit` rows into `columns`, which grow as needed.
  void start(column_set& columns, std::size_t limit) noexcept {
    begin(&columns, columns.from(0), columns.capacity, limit);
  }
  // Starts a batch into the `rows` rows of `columns` from row `first` on, which are all it may
  // write: a line more stops the reading with overflowed() true.
  void start_window(const column_set& columns, std::size_t first, std::size_t rows) noexcept {
    begin(nullptr, columns.from(first), rows, SIZE_MAX);
  }
  // The rows of the batch so far.
  std::size_t rows() const noexcept { return count_; }

  // Inline in the reader's loop, with the rare cases out of line: a call per line cost about
  // 5 % of read_log's time.
  [[gnu::always_inline]] bool line(const reader::line& l) noexcept { return row(l, l.number); }
  // A line of a format other than the log, as the format left it: read where it lies, not
  // copied into a line first.
  [[gnu::always_inline]] bool frame(const reader::line_parts& parts,
                                    std::uint64_t number) noexcept {
    return row(parts, number);
  }

  bool bad_line(const reader::line& l, reader::line_fault fault, std::string_view text) noexcept {
    // A blank line holds nothing to lose.
    if (fault == reader::line_fault::blank) return true;
    try {
      if (!keep_going_) {
        first_bad_ = {l.number, fault, l.problem, std::string(text)};
        return false;
      }
      // Each piece of a long line has the line's number.
      const auto number = static_cast<std::int64_t>(l.number);
      if (bad_lines_.empty() || bad_lines_.back() != number) bad_lines_.push_back(number);
      return true;
    } catch (const std::bad_alloc&) {
      return out_of_memory();
    }
  }

  bool before_read() noexcept { return true; }

  struct bad_line_seen {
    std::uint64_t number = 0;  // 0: none
    reader::line_fault fault{};
    const char* problem = nullptr;  // the format's words for it, where it has them
    std::string text;
  };
  const bad_line_seen& first_bad() const noexcept { return first_bad_; }
  bool ran_out_of_memory() const noexcept { return out_of_memory_; }
  bool overflowed() const noexcept { return overflowed_; }
  const channel_table& channels() const noexcept { return channels_; }
  // A row whose first field is not a time: the line it was read from, and the field.
  struct odd_time {
    std::size_t row;
    std::uint64_t line;
    std::string text;
  };
  using odd_time_list = std::vector<odd_time>;
  const odd_time_list& odd_times() const noexcept { return odd_times_; }
  // The numbers of the lines skipped with keep_going (int64, as NumPy hands them on).
  using line_numbers = std::vector<std::int64_t>;
  const line_numbers& bad_lines() const noexcept { return bad_lines_; }
  line_numbers take_bad_lines() noexcept { return std::move(bad_lines_); }

 private:
  // A row from a line or a format's parts (whose members have the same names).
  template <class Line>
  [[gnu::always_inline]] bool row(const Line& l, std::uint64_t number) noexcept {
    if (filter_ != nullptr && !reader::keeps(*filter_, l.record, l.fields[1])) return true;
    if (count_ == capacity_ && !make_room()) return false;
    const std::size_t row = count_;
    // A format that knew the time's number hands it on: the text need not be read back, and the
    // reading asks the formats not to write it (format_options::time_text).  Only a time of 0
    // or more, which the text reader below takes too; for the others the text is there.
    std::int64_t ns;
    if (l.time_digits != 0 && l.time_ns >= 0) {
      ns = reader::written_log_time(l.time_ns, l.time_digits);
    } else if (!times_.parse(l.fields[0], ns) && !keep_odd_time(row, number, l.fields[0], ns)) {
      return false;
    }
    std::uint32_t code;
    if (!channels_.find_usual(l.fields[1], code) && !find_channel(l.fields[1], code)) {
      return false;
    }
    const row_places& to = places_;
    to.time[row] = ns;
    to.channel[row] = code;
    to.can_id[row] = l.record.can_id;
    to.flags[row] = l.record.flags;
    to.len[row] = l.record.len;
    to.fd[row] = l.max_data_length == cantext::CANFD_MAX_DLEN;
    to.direction[row] = l.direction.empty() ? 0 : l.direction[0];
    std::uint8_t* const data = to.data + row * cantext::CANFD_MAX_DLEN;
    std::memcpy(data, l.record.data, cantext::CANFD_MAX_DLEN);
    // A remote request carries no data, whatever its text held.
    if ((l.record.can_id & cantext::CAN_RTR_FLAG) != 0)
      std::memset(data, 0, cantext::CANFD_MAX_DLEN);
    count_ = row + 1;
    return count_ < limit_;
  }

  void begin(column_set* growing, row_places places, std::size_t capacity,
             std::size_t limit) noexcept {
    growing_ = growing;
    places_ = places;
    capacity_ = capacity;
    limit_ = limit;
    count_ = 0;
    odd_times_.clear();
    bad_lines_.clear();
  }

  [[gnu::noinline]] bool make_room() noexcept {
    if (growing_ == nullptr) {
      overflowed_ = true;
      return false;
    }
    growing_->count = count_;
    if (!growing_->grow()) return out_of_memory();
    places_ = growing_->from(0);
    capacity_ = growing_->capacity;
    return true;
  }

  // The first field's text kept for a row whose first field is not a time.
  [[gnu::noinline]] bool keep_odd_time(std::size_t row, std::uint64_t line, std::string_view text,
                                       std::int64_t& ns) noexcept {
    ns = no_time;
    try {
      odd_times_.push_back({row, line, std::string(text)});
      return true;
    } catch (const std::bad_alloc&) {
      return out_of_memory();
    }
  }

  [[gnu::noinline]] bool find_channel(std::string_view name, std::uint32_t& code) noexcept {
    try {
      code = channels_.code(name);
      return true;
    } catch (const std::bad_alloc&) {
      return out_of_memory();
    }
  }

  bool out_of_memory() noexcept {
    out_of_memory_ = true;
    return false;
  }

  bool keep_going_;
  const reader::frame_filter* filter_ = nullptr;
  column_set* growing_ = nullptr;  // null for a window
  row_places places_{};
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::size_t limit_ = 0;
  time_parser times_;
  channel_table channels_;
  odd_time_list odd_times_;
  line_numbers bad_lines_;
  bad_line_seen first_bad_;
  bool out_of_memory_ = false;
  bool overflowed_ = false;
};

}  // namespace cantext_python

#endif
