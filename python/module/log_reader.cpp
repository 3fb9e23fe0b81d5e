// SPDX-License-Identifier: MIT
// cantext._cantext._LogReader: capture-log lines read on the line reader into columns, without
// the GIL, in batches of any size (read_log takes one batch of the whole log).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "column_sink.hpp"
#include "log_parts.hpp"
#include "log_sources.hpp"
#include "time_zone.hpp"

namespace py = pybind11;

namespace cantext_python {
namespace {

// The first `count` elements of a column as an array of `count` rows of `row` elements of
// `type`, which owns the memory from now on.
py::array column_array(column_memory& column, std::size_t count, const py::dtype& type,
                       std::size_t row = 1) {
  std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(count)};
  if (row > 1) shape.push_back(static_cast<py::ssize_t>(row));
  if (count == 0) return py::array(type, shape);
  // The capsule owns the memory from the moment it is taken, whatever fails after.
  auto owned = std::make_unique<column_memory::taken>(column_memory::taken{nullptr, 0});
  const py::capsule owner(owned.get(), [](void* p) {
    const std::unique_ptr<column_memory::taken> memory(static_cast<column_memory::taken*>(p));
    column_memory::give_back(*memory);
  });
  column_memory::taken& memory = *owned.release();
  memory = column.take(count);
  return py::array(type, shape, memory.base, owner);
}

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
    return column_array(column, count, py::dtype::of<std::uint8_t>());
  }
  if (names <= 0x10000) {
    narrow_codes<std::uint16_t>(column, count);
    return column_array(column, count, py::dtype::of<std::uint16_t>());
  }
  return column_array(column, count, py::dtype::of<std::uint32_t>());
}

py::str decoded(std::string_view text) {
  PyObject* s =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

// A vector's values as an array that owns them: millions of bad lines take 8 bytes each, not a
// Python int each.
template <class T>
py::array_t<T> array_of(std::vector<T> values) {
  auto held = std::make_unique<std::vector<T>>(std::move(values));
  const py::capsule owner(held.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
  std::vector<T>& kept = *held.release();
  return py::array_t<T>(static_cast<py::ssize_t>(kept.size()), kept.data(), owner);
}

[[noreturn]] void raise_bad_line(const column_sink::bad_line_seen& bad) {
  std::string_view text = bad.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  const char* what = bad.problem != nullptr                       ? bad.problem
                     : bad.fault == reader::line_fault::bad_frame ? "not a CAN frame"
                                                                  : "fewer than three fields";
  PyErr_Format(PyExc_ValueError, "line %llu: %s: %R", static_cast<unsigned long long>(bad.number),
               what, decoded(text).ptr());
  throw py::error_already_set();
}

class log_reader {
 public:
  // `format` null: the format that the log's first block shows.  `filter` (may be null) keeps
  // a reference to the Python object that holds it.
  log_reader(std::unique_ptr<log_source> source, bool keep_going, const reader::line_format* format,
             py::object filter, std::unique_ptr<reader::time_zone> zone)
      : source_(std::move(source)),
        buffers_(std::make_unique<reader::reader_buffers>()),
        reader_(source_->bytes(), *buffers_),
        sink_(keep_going),
        keep_going_(keep_going),
        filter_object_(std::move(filter)),
        zone_(std::move(zone)) {
    options_.zone = zone_.get();
    // The sink takes a time's number where the format hands it on (column_sink::line).
    options_.time_text = false;
    reader_.set_format(format, options_);
    if (!filter_object_.is_none()) filter_ = filter_object_.cast<const reader::frame_filter*>();
    sink_.set_filter(filter_);
  }

  py::object format_name() const {
    const reader::line_format* format = reader_.format();
    return format == nullptr ? py::object(py::none()) : py::object(py::str(format->name));
  }

  // `parts` (for tests only) sets the parts a whole log that reads at offsets is read in; 0
  // leaves it to the log's size and the processors.
  py::tuple read(long long max_lines, int parts) {
    if (busy_) throw std::runtime_error("this log is being read already");
    if (max_lines < 0 && !started_ && !ended_ && source_->reads_at() && in_log_format()) {
      const std::size_t workers = worker_count(parts);
      const std::size_t count = part_count(parts, workers);
      if (count > 1) {
        if (std::optional<py::tuple> all = read_in_parts(count, workers)) return *std::move(all);
      }
    }
    started_ = true;
    column_set columns;
    const std::size_t limit =
        max_lines < 0 ? SIZE_MAX : static_cast<std::size_t>(max_lines < 1 ? 1 : max_lines);
    columns.expected = std::min(limit, expected_rows(source_->known_size()));
    sink_.start(columns, limit);
    if (ended_)
      return finish(columns, sink_.channels().names(), sink_.odd_times(), sink_.take_bad_lines());
    busy_ = true;
    reader::ending how;
    {
      const py::gil_scoped_release unlocked;
      how = reader_.read(sink_);
    }
    columns.count = sink_.rows();
    busy_ = false;
    if (how != reader::ending::stopped || columns.count < limit) ended_ = true;
    if (sink_.ran_out_of_memory()) throw std::bad_alloc();
    if (sink_.first_bad().number != 0) raise_bad_line(sink_.first_bad());
    if (how == reader::ending::read_error) source_->raise_read_error(reader_.error());
    return finish(columns, sink_.channels().names(), sink_.odd_times(), sink_.take_bad_lines());
  }

 private:
  // Lines of the source's size, were they all of the usual shortest length (more grow the
  // columns as they come): reserving room for them at once saves moving the columns and lets
  // them start on large pages.  Only where address space is plenty.
  static std::size_t expected_rows(std::size_t bytes) noexcept {
    constexpr std::size_t short_line = 24;
    return sizeof(void*) < 8 ? 0 : bytes / short_line;
  }

  // Parts for a log of some megabytes (threads cost about a millisecond to start and end): a
  // log read at about 30 M lines/s takes some 30 ms per million lines on one.  Four parts per
  // processor, so that a processor busy with other work holds up little of the reading.  With
  // one idle processor the parts would only add their count of the line breaks: one reading.
  static constexpr std::size_t least_size = 4 * 1024 * 1024;

  std::size_t worker_count(int parts) const noexcept {
    if (parts > 0) return usable_processors();
    return source_->known_size() < least_size ? 1 : idle_processors();
  }

  std::size_t part_count(int parts, std::size_t workers) const noexcept {
    if (parts > 0) return static_cast<std::size_t>(parts);
    constexpr std::size_t most_parts = 32;
    return workers < 2 ? 1 : std::min(4 * workers, most_parts);
  }

  // Whether the log is of the log format, the only one read in parts (the others have headers
  // that tell how to read the lines after them); a format still to be recognised is told here
  // from the first block, as the reader would tell it.
  bool in_log_format() {
    if (reader_.format() == nullptr) {
      std::string head(reader::block_size, '\0');
      std::size_t got = 0;
      {
        const py::gil_scoped_release unlocked;
        while (got < head.size()) {
          const long n = source_->read_at(&head[got], head.size() - got, got);
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) break;
          got += static_cast<std::size_t>(n);
        }
      }
      // A failed read is met again, and reported, by the reading in one.
      if (got == 0) return false;
      reader_.set_format(&reader::recognise_format({head.data(), got}), options_);
    }
    return reader_.format() == &reader::log_format;
  }

  // The whole log read in parts on threads of their own; none when it has to be read in one
  // after all.
  std::optional<py::tuple> read_in_parts(std::size_t count, std::size_t workers) {
    const std::string_view whole = source_->whole();
    log_parts parts;
    column_set columns;
    joined_parts joined;
    parts_outcome outcome;
    bool joined_all = false;
    busy_ = true;
    {
      // Finding where the parts start reads the file too.
      const py::gil_scoped_release unlocked;
      parts = make_parts(*source_, count, keep_going_);
      for (const auto& part : parts) part->sink.set_filter(filter_);
      outcome = read_parts(parts, whole, workers, columns);
      joined_all = outcome == parts_outcome::read && join_parts(parts, columns, joined);
    }
    busy_ = false;
    if (outcome == parts_outcome::read_in_one) return std::nullopt;
    started_ = true;
    ended_ = true;
    if (outcome == parts_outcome::out_of_memory) throw std::bad_alloc();
    std::uint64_t lines = 0;
    for (const auto& part : parts) {
      if (part->sink.ran_out_of_memory()) throw std::bad_alloc();
      if (part->sink.first_bad().number != 0) {
        auto bad = part->sink.first_bad();
        bad.number += lines;
        raise_bad_line(bad);
      }
      if (part->how == reader::ending::read_error) source_->raise_read_error(part->error);
      lines += part->line_breaks;
    }
    if (!joined_all) throw std::bad_alloc();
    return finish(columns, joined.channels.names(), joined.odd_times, std::move(joined.bad_lines));
  }

  // The batch as (time, channel, can_id, flags, len, fd, direction, data, rows, line numbers and
  // texts of the first fields not read as times, bad line numbers, channel names).
  py::tuple finish(column_set& c, const std::vector<std::string>& names,
                   const column_sink::odd_time_list& odd_times,
                   column_sink::line_numbers bad_lines) {
    const std::size_t n = c.count;
    for (std::size_t i = py::len(channel_names_); i < names.size(); ++i) {
      channel_names_.append(decoded(names[i]));
    }
    const auto odd_count = static_cast<py::ssize_t>(odd_times.size());
    py::array_t<std::int64_t> odd_rows(odd_count);
    py::array_t<std::int64_t> odd_lines(odd_count);
    py::list odd_texts;
    for (py::ssize_t i = 0; i < odd_count; ++i) {
      const column_sink::odd_time& odd = odd_times[static_cast<std::size_t>(i)];
      odd_rows.mutable_at(i) = static_cast<std::int64_t>(odd.row);
      odd_lines.mutable_at(i) = static_cast<std::int64_t>(odd.line);
      odd_texts.append(decoded(odd.text));
    }
    return py::make_tuple(
        column_array(c.time, n, py::dtype::of<std::int64_t>()),
        channel_codes(c.channel, n, names.size()),
        column_array(c.can_id, n, py::dtype::of<std::uint32_t>()),
        column_array(c.flags, n, py::dtype::of<std::uint8_t>()),
        column_array(c.len, n, py::dtype::of<std::uint8_t>()),
        column_array(c.fd, n, py::dtype::of<bool>()), column_array(c.direction, n, py::dtype("S1")),
        column_array(c.data, n, py::dtype::of<std::uint8_t>(), cantext::CANFD_MAX_DLEN), odd_rows,
        odd_lines, odd_texts, array_of(std::move(bad_lines)), channel_names_);
  }

  std::unique_ptr<log_source> source_;
  std::unique_ptr<reader::reader_buffers> buffers_;
  reader::line_reader reader_;
  column_sink sink_;
  bool keep_going_;
  py::object filter_object_;
  const reader::frame_filter* filter_ = nullptr;
  std::unique_ptr<reader::time_zone> zone_;  // null: UTC
  reader::format_options options_;
  py::list channel_names_;
  bool started_ = false;
  bool busy_ = false;
  bool ended_ = false;
};

const char* const reader_doc = R"(Reads a capture log into columns, batch by batch; cantext.read_log
and cantext.iter_messages are built on it.

_LogReader(source, keep_going=False, format=None, filter=None, timezone=None): source is a path
(str or path-like), a binary file object, or a bytes-like object holding the log; format "log",
"asc" or "trc", or None for the one its first block shows; filter a _FrameFilter, the frames it
keeps; timezone the zone of headers' wall-clock start times (None: UTC).  read(max_lines=-1) returns the next batch of
at most max_lines rows (all that is left when negative) as the tuple (time, channel, can_id,
flags, len, fd, direction, data, odd_rows, odd_lines, odd_texts, bad_lines, channel_names);
an empty batch at the end.)";

// The format of that name; null for None (the format is told by the log).
const reader::line_format* format_named(const py::object& name) {
  if (name.is_none()) return nullptr;
  const auto* format =
      py::isinstance<py::str>(name) ? reader::find_format(name.cast<std::string>()) : nullptr;
  if (format == nullptr) {
    throw py::value_error("format must be \"log\", \"asc\", \"trc\" or None, not " +
                          py::repr(name).cast<std::string>());
  }
  return format;
}

// The zone of that name (as `cantext convert --timezone` takes it); null for None, UTC.
std::unique_ptr<reader::time_zone> zone_named(const py::object& name) {
  if (name.is_none()) return nullptr;
  if (!py::isinstance<py::str>(name)) {
    throw py::type_error("timezone must be a str or None, not " +
                         py::repr(name).cast<std::string>());
  }
  const std::string text = name.cast<std::string>();
  auto zone = std::make_unique<reader::time_zone>();
  if (text.find('\0') != std::string::npos || !zone->load(text.c_str())) {
    throw py::value_error("unknown time zone " + py::repr(name).cast<std::string>());
  }
  return zone;
}

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
      .def(py::init([](const py::object& source, bool keep_going, const py::object& format,
                       const py::object& filter, const py::object& timezone) {
             const reader::line_format* named = format_named(format);
             std::unique_ptr<reader::time_zone> zone = zone_named(timezone);
             return std::make_unique<log_reader>(open_source(source), keep_going, named, filter,
                                                 std::move(zone));
           }),
           py::arg("source"), py::arg("keep_going") = false, py::arg("format") = py::none(),
           py::arg("filter") = py::none(), py::arg("timezone") = py::none())
      .def("read", &log_reader::read, py::arg("max_lines") = -1, py::arg("parts") = 0)
      .def_property_readonly("format", &log_reader::format_name,
                             "The format being read (\"log\", \"asc\", \"trc\"); None while "
                             "it is still to be recognised.");
}

}  // namespace cantext_python
