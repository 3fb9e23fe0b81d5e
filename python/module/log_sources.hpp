// SPDX-License-Identifier: MIT
// Where cantext.read_log reads from, as the line reader's byte source: a file named by its
// path, a bytes-like object, or a Python binary file object; each decompressed where its first
// bytes show gzip, xz or zstd.
#ifndef CANTEXT_PYTHON_LOG_SOURCES_HPP
#define CANTEXT_PYTHON_LOG_SOURCES_HPP

#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

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
  // Reads up to n bytes from offset `at` without moving on, where the source allows it (a regular
  // file, memory), from any thread while others do: the count, 0 past the end, or -1 with errno.
  virtual bool reads_at() const noexcept { return false; }
  virtual long read_at(char*, std::size_t, std::size_t) const noexcept {
    errno = ESPIPE;
    return -1;
  }
  // All of a source that reads at offsets in memory (a file mapped), to be read without copying;
  // empty where it cannot be.  Valid as long as the source.
  virtual std::string_view whole() noexcept { return {}; }
};

// The bytes [at, end) of a source that reads at offsets, read on their own.
struct source_range {
  const log_source* source;
  std::size_t at;
  std::size_t end;
};
cantext::reader::byte_source range_bytes(source_range& range) noexcept;

// Where `parts` parts of a source that reads at offsets start so that each begins a line: the
// first at 0, each other right after the first line break from an even share of the size on.
// Fewer where there is no such line break before the end, or a read fails (the reading of the
// parts meets that failure again and reports it).
std::vector<std::size_t> part_starts(const log_source& source, std::size_t parts);

// Opens the file at `path` (bytes, as os.fsencode gives); OSError naming it as `shown` when it
// cannot.
std::unique_ptr<log_source> path_source(const pybind11::bytes& path, const pybind11::object& shown);
// The bytes of any object with the buffer protocol, held (not copied) while reading.
std::unique_ptr<log_source> memory_source(const pybind11::handle& object);
// A binary file object, read through its readinto method, or read where it has none.
std::unique_ptr<log_source> file_object_source(const pybind11::object& file);

}  // namespace cantext_python

#endif
