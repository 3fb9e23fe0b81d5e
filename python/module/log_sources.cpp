// SPDX-License-Identifier: MIT
#include "log_sources.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "compressed_source.hpp"
#include "pipelined_source.hpp"

namespace py = pybind11;

namespace cantext_python {
namespace {

// Whether the interpreter's signal handlers, run here with the GIL taken for them, raised (Ctrl-C
// raises KeyboardInterrupt): the exception is then set, and the read ends as cancelled.
bool handlers_raised() noexcept {
  const PyGILState_STATE state = PyGILState_Ensure();
  const bool raised = PyErr_CheckSignals() != 0;
  PyGILState_Release(state);
  return raised;
}

long cancelled() noexcept {
  errno = ECANCELED;
  return -1;
}

class path_log final : public log_source {
 public:
  // Opening a FIFO waits for a writer, which may be another thread of this process: as Python's
  // own open() does, the GIL is let go while it waits, and Ctrl-C ends the wait.
  path_log(const py::bytes& path, const py::object& shown) : shown_(shown) {
    const char* const name = PyBytes_AS_STRING(path.ptr());
    int error = 0;
    for (;;) {
      {
        const py::gil_scoped_release unlocked;
        fd_ = ::open(name, O_RDONLY | O_CLOEXEC);
        error = errno;
      }
      if (fd_ >= 0 || error != EINTR) break;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    if (fd_ < 0) raise_read_error(error);
    struct stat about {};
    if (::fstat(fd_, &about) == 0 && S_ISREG(about.st_mode)) {
      size_ = static_cast<std::size_t>(about.st_size);
    }
  }
  // Closing a file of a network file system may wait for the server.
  ~path_log() override {
    const py::gil_scoped_release unlocked;
    ::close(fd_);
  }
  cantext::reader::byte_source bytes() noexcept override { return {this, &read}; }
  [[noreturn]] void raise_read_error(int error) override {
    // What the signal handlers raised, or the failed read.
    if (PyErr_Occurred() == nullptr) {
      errno = error;
      PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, shown_.ptr());
    }
    throw py::error_already_set();
  }
  std::size_t known_size() const noexcept override { return size_; }
  bool reads_at() const noexcept override { return size_ > 0; }
  long read_at(char* buf, std::size_t n, std::size_t at) const noexcept override {
    return static_cast<long>(::pread(fd_, buf, n, static_cast<off_t>(at)));
  }

 private:
  // Ctrl-C ends the reading with KeyboardInterrupt: the interpreter's signal handlers run before
  // each read after the first, so once a block (input that never ends, such as /dev/zero or a
  // pipe a capture keeps full, has no last one), and when a read is cut short by a signal.
  static long read(void* context, char* buf, std::size_t n) noexcept {
    auto& self = *static_cast<path_log*>(context);
    if (self.started_ && handlers_raised()) return cancelled();
    self.started_ = true;
    for (;;) {
      const ssize_t got = ::read(self.fd_, buf, n);
      if (got >= 0) return static_cast<long>(got);
      if (errno != EINTR) return -1;
      if (handlers_raised()) return cancelled();
    }
  }

  py::object shown_;  // the path as given, for messages
  int fd_ = -1;
  std::size_t size_ = 0;
  bool started_ = false;
};

class memory_log final : public log_source {
 public:
  explicit memory_log(const py::handle& object) {
    if (PyObject_GetBuffer(object.ptr(), &buffer_, PyBUF_SIMPLE) != 0) {
      PyErr_Clear();
      throw py::type_error(
          std::string("source must be a path, a binary file object or bytes-like, not ") +
          Py_TYPE(object.ptr())->tp_name);
    }
  }
  ~memory_log() override { PyBuffer_Release(&buffer_); }
  cantext::reader::byte_source bytes() noexcept override { return {this, &read}; }
  [[noreturn]] void raise_read_error(int error) override {
    throw py::value_error("reading memory failed: " + std::string(std::strerror(error)));
  }
  std::size_t known_size() const noexcept override { return static_cast<std::size_t>(buffer_.len); }
  bool reads_at() const noexcept override { return true; }
  std::string_view whole() noexcept override {
    return {static_cast<const char*>(buffer_.buf), static_cast<std::size_t>(buffer_.len)};
  }
  long read_at(char* buf, std::size_t n, std::size_t at) const noexcept override {
    const auto size = static_cast<std::size_t>(buffer_.len);
    const std::size_t count = at >= size ? 0 : std::min(n, size - at);
    std::memcpy(buf, static_cast<const char*>(buffer_.buf) + at, count);
    return static_cast<long>(count);
  }

 private:
  static long read(void* context, char* buf, std::size_t n) noexcept {
    auto& self = *static_cast<memory_log*>(context);
    const long count = self.read_at(buf, n, self.at_);
    self.at_ += static_cast<std::size_t>(count);
    return count;
  }

  Py_buffer buffer_{};
  std::size_t at_ = 0;
};

// Each read takes the GIL for the call to the file object only.  What it raises is kept and
// raised again once the reading has ended, as the read error.
class file_object_log final : public log_source {
 public:
  explicit file_object_log(const py::object& file) : file_(file) {
    readinto_ = py::getattr(file, "readinto", py::none());
    if (readinto_.is_none()) read_ = file.attr("read");
  }
  cantext::reader::byte_source bytes() noexcept override { return {this, &read}; }
  [[noreturn]] void raise_read_error(int) override {
    PyErr_Restore(error_[0].release().ptr(), error_[1].release().ptr(), error_[2].release().ptr());
    throw py::error_already_set();
  }

 private:
  static long read(void* context, char* buf, std::size_t n) noexcept {
    auto& self = *static_cast<file_object_log*>(context);
    const py::gil_scoped_acquire gil;
    try {
      const long count = self.readinto_.is_none() ? self.read_copy(buf, n) : self.read_into(buf, n);
      if (count >= 0) return count;
    } catch (py::error_already_set& e) {
      e.restore();
    } catch (const std::exception& e) {
      PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
      PyErr_SetString(PyExc_RuntimeError, "reading the file object failed");
    }
    self.keep_error();
    errno = EIO;
    return -1;
  }

  // Takes the raised exception out of the interpreter, to raise it again at the end.
  void keep_error() {
    PyObject* parts[3];
    PyErr_Fetch(&parts[0], &parts[1], &parts[2]);
    for (int i = 0; i < 3; ++i) error_[i] = py::reinterpret_steal<py::object>(parts[i]);
  }

  long read_into(char* buf, std::size_t n) {
    const py::memoryview view =
        py::memoryview::from_memory(buf, static_cast<py::ssize_t>(n), false);
    const py::object got = readinto_(view);
    view.attr("release")();
    return counted(got, n);
  }

  long read_copy(char* buf, std::size_t n) {
    const py::object got = read_(n);
    if (!PyBytes_Check(got.ptr())) return refuse(got, "bytes");
    const std::size_t count = static_cast<std::size_t>(PyBytes_GET_SIZE(got.ptr()));
    if (count > n) return refuse(got, "at most the bytes asked for");
    std::memcpy(buf, PyBytes_AS_STRING(got.ptr()), count);
    return static_cast<long>(count);
  }

  long counted(const py::object& got, std::size_t n) {
    const long long count = PyLong_Check(got.ptr()) ? PyLong_AsLongLong(got.ptr()) : -1;
    if (count < 0 || static_cast<unsigned long long>(count) > n) {
      if (PyErr_Occurred()) return -1;
      return refuse(got, "a count of the bytes read");
    }
    return static_cast<long>(count);
  }

  long refuse(const py::object& got, const char* expected) {
    const bool text = PyUnicode_Check(got.ptr());
    PyErr_Format(PyExc_TypeError, "the file object's %s() gave %s, not %s%s",
                 readinto_.is_none() ? "read" : "readinto",
                 PyLong_Check(got.ptr()) ? std::to_string(PyLong_AsLongLong(got.ptr())).c_str()
                                         : Py_TYPE(got.ptr())->tp_name,
                 expected, text ? " (open the file in binary mode, \"rb\")" : "");
    return -1;
  }

  py::object file_;
  py::object readinto_;
  py::object read_;
  py::object error_[3];  // type, value, traceback
};

// A source whose bytes are compressed, or may be (a file object, a pipe): decompressed as they
// are read.  Its size is not known beforehand, and it is read in one part.  A source that reads at
// offsets (a file, memory) is read and decompressed ahead in a thread of its own, through its
// reads at offsets, which wait for nothing and call nothing of Python's; the interpreter's signal
// handlers then run in this thread, before each block after the first, as a file's own reads run
// them.
class decompressed_log final : public log_source {
 public:
  decompressed_log(std::unique_ptr<log_source> source, const py::object& shown)
      : source_(std::move(source)),
        shown_(shown),
        read_ahead_(source_->reads_at()),
        from_start_{source_.get(), 0, SIZE_MAX},
        input_(read_ahead_ ? range_bytes(from_start_) : source_->bytes()),
        ahead_(input_, read_ahead_) {}
  cantext::reader::byte_source bytes() noexcept override { return {this, &read}; }
  [[noreturn]] void raise_read_error(int error) override {
    // What the signal handlers raised.
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    const char* const problem = input_.problem();
    if (problem == nullptr) source_->raise_read_error(error);
    if (shown_.is_none()) throw py::value_error(problem);
    PyErr_Format(PyExc_ValueError, "%S: %s", shown_.ptr(), problem);
    throw py::error_already_set();
  }

 private:
  static long read(void* context, char* buf, std::size_t n) noexcept {
    auto& self = *static_cast<decompressed_log*>(context);
    if (self.read_ahead_ && self.started_ && handlers_raised()) return cancelled();
    self.started_ = true;
    const cantext::reader::byte_source bytes = self.ahead_.bytes();
    return bytes.read(bytes.context, buf, n);
  }

  std::unique_ptr<log_source> source_;
  py::object shown_;  // the path as given, or None
  bool read_ahead_;
  bool started_ = false;
  source_range from_start_;
  cantext::compress::compressed_source input_;
  // Declared after what it reads: its thread is stopped before they go.
  cantext::compress::pipelined_source ahead_;
};

// A source read at offsets is looked at in place: when it is not compressed it is read as it
// is, in parts where it is large.
std::unique_ptr<log_source> decompressed(std::unique_ptr<log_source> source,
                                         const py::object& shown) {
  if (source->reads_at()) {
    char first[cantext::compress::longest_magic];
    const long n = source->read_at(first, sizeof first, 0);
    if (n >= 0 && cantext::compress::recognise(first, static_cast<std::size_t>(n)) ==
                      cantext::compress::compression::none) {
      return source;
    }
  }
  return std::make_unique<decompressed_log>(std::move(source), shown);
}

long read_range(void* context, char* buf, std::size_t n) noexcept {
  auto& range = *static_cast<source_range*>(context);
  const long count =
      range.source->read_at(buf, std::min(n, range.end - std::min(range.at, range.end)), range.at);
  if (count > 0) range.at += static_cast<std::size_t>(count);
  return count;
}

// Where the first line break at or after `from` is, or SIZE_MAX where there is none.
std::size_t line_break_from(const log_source& source, std::size_t from) noexcept {
  char buf[4096];
  for (;;) {
    const long count = source.read_at(buf, sizeof buf, from);
    if (count < 0 && errno != EINTR) return SIZE_MAX;
    if (count == 0) return SIZE_MAX;
    if (count < 0) continue;
    const void* found = std::memchr(buf, '\n', static_cast<std::size_t>(count));
    if (found != nullptr)
      return from + static_cast<std::size_t>(static_cast<const char*>(found) - buf);
    from += static_cast<std::size_t>(count);
  }
}

}  // namespace

cantext::reader::byte_source range_bytes(source_range& range) noexcept {
  return {&range, &read_range};
}

std::vector<std::size_t> part_starts(const log_source& source, std::size_t parts) {
  const std::size_t size = source.known_size();
  std::vector<std::size_t> starts{0};
  for (std::size_t k = 1; k < parts; ++k) {
    const std::size_t share = size / parts * k;
    const std::size_t line_break = line_break_from(source, std::max(share, starts.back() + 1) - 1);
    if (line_break >= size - 1) break;
    starts.push_back(line_break + 1);
  }
  return starts;
}

std::unique_ptr<log_source> path_source(const py::bytes& path, const py::object& shown) {
  return decompressed(std::make_unique<path_log>(path, shown), shown);
}

std::unique_ptr<log_source> memory_source(const py::handle& object) {
  return decompressed(std::make_unique<memory_log>(object), py::none());
}

std::unique_ptr<log_source> file_object_source(const py::object& file) {
  return decompressed(std::make_unique<file_object_log>(file), py::none());
}

}  // namespace cantext_python
