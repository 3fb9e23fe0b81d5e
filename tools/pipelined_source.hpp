// SPDX-License-Identifier: MIT
// The command's input: a compressed file is decompressed in a second thread while the reader
// reads what came before, so that the wall-clock time is about the longer of the two rather than
// their sum (libzstd alone takes longer than the whole of the plain reading).  Other input, and
// input that is not a regular file (a pipe may hold the thread in a read that never ends), is read
// as it is, in the reader's thread.  Builds without compression have no thread: the board builds'
// programs need the C library alone.
//
//   compress::compressed_source input(reader::fd_source(&fd));
//   pipelined_source bytes(input, fd);
//   reader::line_reader lines(bytes.bytes(), buffers);
//   ... lines.read(consumer) ...
//   bytes.finish();  // before the file is closed
#ifndef CANTEXT_TOOLS_PIPELINED_SOURCE_HPP
#define CANTEXT_TOOLS_PIPELINED_SOURCE_HPP

#include <cstddef>

#include "compressed_source.hpp"
#include "line_reader.hpp"

#ifdef CANTEXT_PIPELINED_INPUT
#include <pthread.h>
#endif

namespace cantext::tool {

#ifdef CANTEXT_PIPELINED_INPUT

class pipelined_source {
 public:
  // Reads `input`, which must outlive this; `fd` is the file it reads.
  pipelined_source(compress::compressed_source& input, int fd) noexcept : input_(input), fd_(fd) {}
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

  compress::compressed_source& input_;
  int fd_;
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
  pipelined_source(compress::compressed_source& input, int) noexcept : input_(input) {}
  reader::byte_source bytes() noexcept { return input_.bytes(); }
  void finish() noexcept {}

 private:
  compress::compressed_source& input_;
};

#endif

}  // namespace cantext::tool

#endif
