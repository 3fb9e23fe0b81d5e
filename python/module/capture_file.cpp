// SPDX-License-Identifier: MIT
// cantext._cantext._write_log: a Log's columns written as a capture file (log, ASC or TRC) with
// the capture writers, in C++ without the GIL.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "capture_writer.hpp"
#include "compressed_output.hpp"
#include "log_columns.hpp"
#include "log_fields.hpp"
#include "log_time.hpp"

namespace py = pybind11;

namespace cantext_python {
namespace {

namespace compress = cantext::compress;
namespace reader = cantext::reader;
namespace writers = cantext::writers;

// A str's bytes as read_log decoded them, so that every byte of a name comes back.
std::string encoded(const py::handle& text) {
  const auto bytes = py::reinterpret_steal<py::object>(
      PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape"));
  if (!bytes) throw py::error_already_set();
  return bytes.cast<std::string>();
}

struct closing {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

long write_stream(void* context, const char* buf, std::size_t n) {
  const std::size_t written = std::fwrite(buf, 1, n, static_cast<std::FILE*>(context));
  return written > 0 ? static_cast<long>(written) : -1;
}

// What went wrong while writing, told once the GIL is back.
struct write_outcome {
  py::ssize_t bad_row = -1;  // a row whose time the format cannot hold
  int error = 0;             // errno of a failed write
};

class capture_file {
 public:
  capture_file(const py::handle& log, const writers::line_writer& writer)
      : columns_(log), writer_(writer) {
    for (const py::handle name : log.attr("channels")) names_.push_back(encoded(name));
    const py::object texts = log.attr("time_text");
    const auto time = columns_.time.unchecked<1>();
    for (py::ssize_t row = 0; row < columns_.rows(); ++row) {
      if (columns_.channel_code(row) >= names_.size()) {
        throw py::value_error("a channel code without a name");
      }
      if (time(row) != no_time) continue;
      const py::object text = texts.is_none() ? py::object(py::none()) : texts[py::int_(row)];
      odd_times_.emplace_back(row, text.is_none() ? std::string() : encoded(text));
    }
  }

  // Writes every row to `out`; without the GIL.
  write_outcome write(compress::byte_sink out) noexcept {
    write_outcome outcome;
    writers::writer_state state;
    char text[writers::max_written_line];
    const auto time = columns_.time.unchecked<1>();
    std::size_t next_odd = 0;
    for (py::ssize_t row = 0; row < columns_.rows(); ++row) {
      char time_text[reader::max_log_time + 1];
      std::string_view when;
      if (time(row) == no_time) {
        when = odd_times_[next_odd++].second;
      } else {
        // Microseconds, as captures mostly have them, and nanoseconds where they are needed.
        const std::int64_t ns = time(row);
        when = {time_text, reader::put_log_time(time_text, ns, ns % 1000 == 0 ? 6 : 9)};
      }
      cantext::frame_record record{};
      record.can_id = columns_.can_id.at(row);
      record.len = columns_.len.at(row);
      record.flags = columns_.flags.at(row);
      std::memcpy(record.data, columns_.payload(row), sizeof record.data);
      const char direction = columns_.direction_at(row);
      const writers::frame_line frame{
          when, names_[columns_.channel_code(row)],
          direction == 'R' || direction == 'T' ? std::string_view(&direction, 1)
                                               : std::string_view(),
          record, columns_.fd.at(row) ? cantext::CANFD_MAX_DLEN : cantext::CAN_MAX_DLEN};
      if (row == 0 && !put(out, text, writer_.header(state, &frame, text), outcome)) return outcome;
      const std::size_t size = when.empty() ? 0 : writer_.line(state, frame, text);
      if (size == 0) {
        outcome.bad_row = row;
        return outcome;
      }
      if (!put(out, text, size, outcome)) return outcome;
    }
    if (columns_.rows() == 0 && !put(out, text, writer_.header(state, nullptr, text), outcome)) {
      return outcome;
    }
    put(out, text, writer_.footer(state, text), outcome);
    return outcome;
  }

 private:
  static bool put(compress::byte_sink out, const char* text, std::size_t size,
                  write_outcome& outcome) noexcept {
    if (compress::try_write_all(out, text, size)) return true;
    outcome.error = errno;
    return false;
  }

  log_columns columns_;
  const writers::line_writer& writer_;
  std::vector<std::string> names_;
  std::vector<std::pair<py::ssize_t, std::string>> odd_times_;  // rows of NO_TIME, their texts
};

void write_log(const py::handle& log, const py::object& path, const std::string& format) {
  const writers::line_writer* writer = writers::find_writer(format);
  if (writer == nullptr) {
    throw py::value_error("format must be \"log\", \"asc\" or \"trc\", not " +
                          py::repr(py::str(format)).cast<std::string>());
  }
  capture_file file(log, *writer);
  PyObject* encoded_path = nullptr;
  if (PyUnicode_FSConverter(path.ptr(), &encoded_path) == 0) throw py::error_already_set();
  const auto held_path = py::reinterpret_steal<py::bytes>(encoded_path);
  const std::string name = held_path;
  // A name ending in .gz, .xz or .zst is written compressed, as `cantext convert -o` does.
  const compress::compression packing = compress::for_name(name.c_str());
  if (!compress::built_in(packing)) {
    throw py::value_error(py::repr(path).cast<std::string>() + ": compressed with " +
                          compress::name_of(packing) +
                          ", which this build of cantext cannot write");
  }
  std::unique_ptr<std::FILE, closing> out(std::fopen(name.c_str(), "wb"));
  if (!out) {
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
  write_outcome outcome;
  {
    const py::gil_scoped_release unlocked;
    static constexpr std::size_t buffer_size = 1 << 20;
    (void)std::setvbuf(out.get(), nullptr, _IOFBF, buffer_size);
    compress::compressed_output packed({out.get(), write_stream}, packing);
    if (!packed.start()) {
      outcome.error = errno;
    } else {
      outcome = file.write(packed.sink());
      if (outcome.error == 0 && outcome.bad_row < 0 && !packed.finish()) outcome.error = errno;
    }
    if (std::fflush(out.get()) != 0 && outcome.error == 0) outcome.error = errno;
    if (std::fclose(out.release()) != 0 && outcome.error == 0) outcome.error = errno;
  }
  if (outcome.error != 0) {
    errno = outcome.error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
  if (outcome.bad_row >= 0) {
    // A file that stops short of the log would pass for all of it.
    (void)std::remove(name.c_str());
    throw py::value_error("row " + std::to_string(outcome.bad_row) + ": no time in seconds that " +
                          format + " can hold");
  }
}

}  // namespace

void add_log_writer(py::module_& m) {
  m.def("_write_log", &write_log, py::arg("log"), py::arg("path"), py::arg("format"),
        R"doc(Writes a Log's rows to the file at path as a capture of format "log", "asc" or "trc",
with the capture writers, without the GIL: times as "(seconds.fraction)" with 6 digits of
fraction (9 for a time with nanoseconds), or the row's time_text where time is NO_TIME.)doc");
}

}  // namespace cantext_python
