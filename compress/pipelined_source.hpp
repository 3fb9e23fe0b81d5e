// SPDX-License-Identifier: MIT
// Compressed input read ahead: it is decompressed in a second thread while the reader reads what
// came before, so that the wall-clock time is about the longer of the two rather than their sum
// (libzstd alone takes longer than the whole of the plain reading).  Input that is not
// compressed, and input that may not be read ahead (a pipe may hold the thread in a read that
// never ends; a Python file object needs the interpreter's lock), is read as it is, in the
// reader's thread.  Builds without compression have no thread: the board builds' programs need
// the C library alone.
//
//   compress::compressed_source input(reader::fd_source(&fd));
//   pipelined_source bytes(input, is_regular_file(fd));
//   reader::line_reader lines(bytes.bytes(), buffers);
//   ... lines.read(consumer) ...
//   bytes.finish();  // before the file is closed
#ifndef CANTEXT_COMPRESS_PIPELINED_SOURCE_HPP
#define CANTEXT_COMPRESS_PIPELINED_SOURCE_HPP

#include <cstddef>

#include "compressed_source.hpp"
#include "line_reader.hpp"

#ifdef CANTEXT_PIPELINED_INPUT
#include <pthread.h>
#endif

namespace cantext::compress {

#ifdef CANTEXT_PIPELINED_INPUT

class pipelined_source {
 public:
  // Reads `input`, which must outlive this, ahead in a thread where `read_ahead` allows it and
  // the input proves compressed.
  pipelined_source(compressed_source& input, bool read_ahead) noexcept
      : input_(input), read_ahead_(read_ahead) {}
  ~pipelined_source() { finish(); }
  pipelined_source(const pipelined_source&) = delete;
  pipelined_source& operator=(const pipelined_source&) = delete;

  reader::byte_source bytes() noexcept { return {this, &read}; }
  // Stops the thread, if there is one, and waits for it.
  void finish() noexcept;

  // The decompressed bytes are handed over in this many pieces of this size.
  static constexpr std::size_t pieces = 4;
  static constexpr std::size_t piece_size = 128 * 1024;

 private:
  // A piece of the input: `size` bytes, or the end (result 0) or a failed read (result -1,
  // with its errno) after the bytes before them.
  struct piece {
    char* data;
    std::size_t size;
    std::size_t taken;
    long result;
    int error;
  };

  static long read(void* context, char* buf, std::size_t n) noexcept;
  static void* run(void* context) noexcept;
  void start() noexcept;
  long take(char* buf, std::size_t n) noexcept;

  compressed_source& input_;
  bool read_ahead_;
  bool first_ = true;
  bool threaded_ = false;
  char* memory_ = nullptr;
  piece pieces_[pieces] = {};
  // Pieces [next_, next_ + filled_) are filled (modulo pieces), the others free for the thread.
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
  bool stop_ = false;
  pthread_t thread_{};
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t filled_one_ = PTHREAD_COND_INITIALIZER;
  pthread_cond_t freed_one_ = PTHREAD_COND_INITIALIZER;
};

#else

// Without compression there is nothing to decompress: the input is read as it is.
class pipelined_source {
 public:
  pipelined_source(compressed_source& input, bool) noexcept : input_(input) {}
  reader::byte_source bytes() noexcept { return input_.bytes(); }
  void finish() noexcept {}

 private:
  compressed_source& input_;
};

#endif

// Whether the file `fd` is a regular file, whose reads end (a pipe's may wait for ever).
bool is_regular_file(int fd) noexcept;

}  // namespace cantext::compress

#endif
