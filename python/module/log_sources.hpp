// SPDX-License-Identifier: MIT
// Where cantext.read_log reads from, as the line reader's byte source: a file named by its
// path, a bytes-like object, or a Python binary file object.
#ifndef CANTEXT_PYTHON_LOG_SOURCES_HPP
#define CANTEXT_PYTHON_LOG_SOURCES_HPP

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>

#include "line_reader.hpp"

namespace cantext_python {

class log_source {
 public:
  virtual ~log_source() = default;
  // Read without the GIL: a file object's source takes it for each of its calls only.
  virtual cantext::reader::byte_source bytes() noexcept = 0;
  // Raises the Python exception for a read that failed with errno `error`.  Needs the GIL.
  [[noreturn]] virtual void raise_read_error(int error) = 0;
  // The bytes it holds where known beforehand (a file, bytes), else 0.
  virtual std::size_t known_size() const noexcept { return 0; }
};

// Opens the file at `path` (bytes, as os.fsencode gives); OSError naming it as `shown` when it
// cannot.
std::unique_ptr<log_source> path_source(const pybind11::bytes& path, const pybind11::object& shown);
// The bytes of any object with the buffer protocol, held (not copied) while reading.
std::unique_ptr<log_source> memory_source(const pybind11::handle& object);
// A binary file object, read through its readinto method, or read where it has none.
std::unique_ptr<log_source> file_object_source(const pybind11::object& file);

}  // namespace cantext_python

#endif
