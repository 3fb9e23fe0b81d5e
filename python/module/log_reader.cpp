// SPDX-License-Identifier: MIT
// cantext._cantext._LogReader: capture-log lines read on the line reader into columns, without
// the GIL, in batches of any size (read_log takes one batch of the whole log).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "columns.hpp"
#include "line_reader.hpp"
#include "log_fields.hpp"
#include "log_sources.hpp"

namespace py = pybind11;
namespace reader = cantext::reader;

namespace cantext_python {
namespace {

// Channel names and their codes, in the order they first appear.
class channel_table {
 public:
  // A log has a few channels, met over and over: short names among the first few are compared
  // as words.
  bool find_usual(std::string_view name, std::uint32_t& code) const noexcept {
    if (name.size() > short_name::most) return false;
    const short_name key = short_name::of(name);
    for (std::size_t i = 0; i < usual_count_; ++i) {
      if (usual_[i] == key) {
        code = usual_codes_[i];
        return true;
      }
    }
    return false;
  }
  // Any name, given a code if it is new.  May throw std::bad_alloc.
  std::uint32_t code(std::string_view name) {
    std::string key(name);
    const auto found = codes_.find(key);
    if (found != codes_.end()) return found->second;
    const auto code = static_cast<std::uint32_t>(names_.size());
    names_.push_back(key);
    codes_.emplace(std::move(key), code);
    if (name.size() <= short_name::most && usual_count_ < usual) {
      usual_[usual_count_] = short_name::of(name);
      usual_codes_[usual_count_++] = code;
    }
    return code;
  }
  const std::vector<std::string>& names() const noexcept { return names_; }

 private:
  static constexpr std::size_t usual = 8;
  short_name usual_[usual];
  std::uint32_t usual_codes_[usual];
  std::size_t usual_count_ = 0;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::uint32_t> codes_;
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
  bool resize_all(std::size_t rows) noexcept {
    for (column_memory* column : {&time, &channel, &can_id, &flags, &len, &fd, &direction, &data}) {
      if (!column->resize(rows)) return false;
    }
    capacity = rows;
    return true;
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

  // Starts a batch of at most `limit` rows into `columns`.
  void start(column_set& columns, std::size_t limit) noexcept {
    columns_ = &columns;
    limit_ = limit;
    odd_times_.clear();
    bad_lines_.clear();
  }

  // Inline in the reader's loop, with the rare cases out of line: a call per line cost about
  // 5 % of read_log's time.
  [[gnu::always_inline]] bool line(const reader::line& l) noexcept {
    column_set& c = *columns_;
    if (c.count == c.capacity && !c.grow()) return out_of_memory();
    const std::size_t row = c.count;
    std::int64_t ns;
    if (!times_.parse(l.fields[0], ns) && !keep_odd_time(row, l.fields[0], ns)) return false;
    std::uint32_t code;
    if (!channels_.find_usual(l.fields[1], code) && !find_channel(l.fields[1], code)) {
      return false;
    }
    column_set::at<std::int64_t>(c.time)[row] = ns;
    column_set::at<std::uint32_t>(c.channel)[row] = code;
    column_set::at<std::uint32_t>(c.can_id)[row] = l.record.can_id;
    column_set::at<std::uint8_t>(c.flags)[row] = l.record.flags;
    column_set::at<std::uint8_t>(c.len)[row] = l.record.len;
    column_set::at<bool>(c.fd)[row] = l.max_data_length == cantext::CANFD_MAX_DLEN;
    column_set::at<char>(c.direction)[row] = direction_after(l.fields[2]);
    std::memcpy(column_set::at<std::uint8_t>(c.data) + row * cantext::CANFD_MAX_DLEN, l.record.data,
                cantext::CANFD_MAX_DLEN);
    c.count = row + 1;
    return c.count < limit_;
  }

  bool bad_line(const reader::line& l, reader::line_fault fault, std::string_view text) noexcept {
    // A blank line holds nothing to lose.
    if (fault == reader::line_fault::too_few_fields && l.fields[0].empty()) return true;
    try {
      if (!keep_going_) {
        first_bad_ = {l.number, fault, std::string(text)};
        return false;
      }
      // Each piece of a long line has the line's number.
      if (bad_lines_.empty() || bad_lines_.back() != l.number) bad_lines_.push_back(l.number);
      return true;
    } catch (const std::bad_alloc&) {
      return out_of_memory();
    }
  }

  bool before_read() noexcept { return true; }

  struct bad_line_seen {
    std::uint64_t number = 0;  // 0: none
    reader::line_fault fault{};
    std::string text;
  };
  const bad_line_seen& first_bad() const noexcept { return first_bad_; }
  bool ran_out_of_memory() const noexcept { return out_of_memory_; }
  const channel_table& channels() const noexcept { return channels_; }
  const std::vector<std::pair<std::size_t, std::string>>& odd_times() const noexcept {
    return odd_times_;
  }
  const std::vector<std::uint64_t>& bad_lines() const noexcept { return bad_lines_; }

 private:
  // The first field's text kept for a row whose first field is not a time.
  [[gnu::noinline]] bool keep_odd_time(std::size_t row, std::string_view text,
                                       std::int64_t& ns) noexcept {
    ns = no_time;
    try {
      odd_times_.emplace_back(row, std::string(text));
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
  column_set* columns_ = nullptr;
  std::size_t limit_ = 0;
  time_parser times_;
  channel_table channels_;
  std::vector<std::pair<std::size_t, std::string>> odd_times_;  // row and first field
  std::vector<std::uint64_t> bad_lines_;
  bad_line_seen first_bad_;
  bool out_of_memory_ = false;
};

// Codes into fewer than 256 (65536) names stored in one byte (two): each code moves to a lower
// address than it is read from, so the column narrows in place.
template <class Narrow>
void narrow_codes(column_memory& column, std::size_t count) noexcept {
  const auto* wide = static_cast<const std::uint32_t*>(column.data());
  auto* narrow = static_cast<Narrow*>(column.data());
  for (std::size_t i = 0; i < count; ++i) narrow[i] = static_cast<Narrow>(wide[i]);
}

py::array channel_codes(column_memory& column, std::size_t count, std::size_t names) {
  if (names <= 0x100) {
    narrow_codes<std::uint8_t>(column, count);
    return column.release(count, py::dtype::of<std::uint8_t>());
  }
  if (names <= 0x10000) {
    narrow_codes<std::uint16_t>(column, count);
    return column.release(count, py::dtype::of<std::uint16_t>());
  }
  return column.release(count, py::dtype::of<std::uint32_t>());
}

py::str decoded(std::string_view text) {
  PyObject* s =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

[[noreturn]] void raise_bad_line(const column_sink::bad_line_seen& bad) {
  std::string_view text = bad.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  const char* what =
      bad.fault == reader::line_fault::bad_frame ? "not a CAN frame" : "fewer than three fields";
  PyErr_Format(PyExc_ValueError, "line %llu: %s: %R", static_cast<unsigned long long>(bad.number),
               what, decoded(text).ptr());
  throw py::error_already_set();
}

class log_reader {
 public:
  log_reader(std::unique_ptr<log_source> source, bool keep_going)
      : source_(std::move(source)),
        buffers_(std::make_unique<reader::reader_buffers>()),
        reader_(source_->bytes(), *buffers_),
        sink_(keep_going) {}

  py::tuple read(long long max_lines) {
    if (busy_) throw std::runtime_error("this log is being read already");
    column_set columns;
    const std::size_t limit =
        max_lines < 0 ? SIZE_MAX : static_cast<std::size_t>(max_lines < 1 ? 1 : max_lines);
    columns.expected = std::min(limit, expected_rows());
    sink_.start(columns, limit);
    if (ended_) return finish(columns);
    busy_ = true;
    reader::ending how;
    {
      const py::gil_scoped_release unlocked;
      how = reader_.read(sink_);
    }
    busy_ = false;
    if (how != reader::ending::stopped || columns.count < limit) ended_ = true;
    if (sink_.ran_out_of_memory()) throw std::bad_alloc();
    if (sink_.first_bad().number != 0) raise_bad_line(sink_.first_bad());
    if (how == reader::ending::read_error) source_->raise_read_error(reader_.error());
    return finish(columns);
  }

 private:
  // Lines of the source's size, were they all of the usual shortest length (more grow the
  // columns as they come): reserving room for them at once saves moving the columns and lets
  // them start on large pages.  Only where address space is plenty.
  std::size_t expected_rows() const noexcept {
    constexpr std::size_t short_line = 24;
    return sizeof(void*) < 8 ? 0 : source_->known_size() / short_line;
  }

  // The batch as (time, channel, can_id, flags, len, fd, direction, data, rows and texts of the
  // first fields not read as times, bad line numbers, channel names).
  py::tuple finish(column_set& c) {
    const std::size_t n = c.count;
    const auto& names = sink_.channels().names();
    for (std::size_t i = py::len(channel_names_); i < names.size(); ++i) {
      channel_names_.append(decoded(names[i]));
    }
    py::array_t<std::int64_t> odd_rows(static_cast<py::ssize_t>(sink_.odd_times().size()));
    py::list odd_texts;
    for (std::size_t i = 0; i < sink_.odd_times().size(); ++i) {
      odd_rows.mutable_at(static_cast<py::ssize_t>(i)) =
          static_cast<std::int64_t>(sink_.odd_times()[i].first);
      odd_texts.append(decoded(sink_.odd_times()[i].second));
    }
    py::list bad_lines;
    for (const std::uint64_t number : sink_.bad_lines()) bad_lines.append(number);
    return py::make_tuple(
        c.time.release(n, py::dtype::of<std::int64_t>()), channel_codes(c.channel, n, names.size()),
        c.can_id.release(n, py::dtype::of<std::uint32_t>()),
        c.flags.release(n, py::dtype::of<std::uint8_t>()),
        c.len.release(n, py::dtype::of<std::uint8_t>()), c.fd.release(n, py::dtype::of<bool>()),
        c.direction.release(n, py::dtype("S1")),
        c.data.release(n, py::dtype::of<std::uint8_t>(), cantext::CANFD_MAX_DLEN), odd_rows,
        odd_texts, bad_lines, channel_names_);
  }

  std::unique_ptr<log_source> source_;
  std::unique_ptr<reader::reader_buffers> buffers_;
  reader::line_reader reader_;
  column_sink sink_;
  py::list channel_names_;
  bool busy_ = false;
  bool ended_ = false;
};

const char* const reader_doc = R"(Reads a capture log into columns, batch by batch; cantext.read_log
and cantext.iter_messages are built on it.

_LogReader(source, keep_going=False): source is a path (str or path-like), a binary file
object, or a bytes-like object holding the log.  read(max_lines=-1) returns the next batch of
at most max_lines rows (all that is left when negative) as the tuple (time, channel, can_id,
flags, len, fd, direction, data, odd_rows, odd_texts, bad_lines, channel_names); an empty
batch at the end.)";

// A str or path-like object is a path: bytes are the log itself.
std::unique_ptr<log_source> open_source(const py::object& source) {
  if (PyUnicode_Check(source.ptr()) || py::hasattr(source, "__fspath__")) {
    PyObject* path = nullptr;
    if (PyUnicode_FSConverter(source.ptr(), &path) == 0) throw py::error_already_set();
    return path_source(py::reinterpret_steal<py::bytes>(path), source);
  }
  if (py::hasattr(source, "readinto") || py::hasattr(source, "read")) {
    return file_object_source(source);
  }
  return memory_source(source);
}

}  // namespace

void add_log_reader(py::module_& m) {
  m.attr("NO_TIME") = no_time;
  py::class_<log_reader>(m, "_LogReader", reader_doc)
      .def(py::init([](const py::object& source, bool keep_going) {
             return std::make_unique<log_reader>(open_source(source), keep_going);
           }),
           py::arg("source"), py::arg("keep_going") = false)
      .def("read", &log_reader::read, py::arg("max_lines") = -1);
}

}  // namespace cantext_python
