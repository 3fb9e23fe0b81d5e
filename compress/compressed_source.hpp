// SPDX-License-Identifier: MIT
// A byte source that reads another and decompresses what it holds, where its first bytes show
// gzip, xz or zstd; other input passes through as it is, read straight into the reader's buffer.
//
// The first read looks at the first bytes (reading more only while they could still become a
// magic number, so that live input is not held back).  For compressed input it allocates, once,
// a buffer for the compressed bytes and its library's state; the decompressed bytes go straight
// into the reader's buffer.  A compression this build has no library for, corrupt compressed
// data, or data cut short end the reading with a read error whose problem() says which, after
// the bytes decompressed before the fault.
//
//   cantext::compress::compressed_source input(cantext::reader::fd_source(&fd));
//   cantext::reader::line_reader lines(input.bytes(), buffers);
//   if (lines.read(consumer) == cantext::reader::ending::read_error) {
//     const char* why = input.problem();  // null: the file's own read failed, lines.error()
//   }
#ifndef CANTEXT_COMPRESS_COMPRESSED_SOURCE_HPP
#define CANTEXT_COMPRESS_COMPRESSED_SOURCE_HPP

#include <cstddef>

#include "codec.hpp"
#include "compression.hpp"
#include "line_reader.hpp"

namespace cantext::compress {

// The compressed bytes are read in blocks of this size.
inline constexpr std::size_t compressed_block_size = 128 * 1024;

class compressed_source {
 public:
  // Reads `in`, which must outlive this source.
  explicit compressed_source(reader::byte_source in) noexcept : in_(in) {}
  ~compressed_source();
  compressed_source(const compressed_source&) = delete;
  compressed_source& operator=(const compressed_source&) = delete;

  // The decompressed bytes, valid as long as this source.
  reader::byte_source bytes() noexcept { return {this, &read}; }

  // The compression the input came in (none until the first read has looked).
  compression kind() const noexcept { return kind_; }

  // After a read error: what was wrong with the compressed input, in words ("compressed with
  // zstd, which this build of cantext cannot read", "corrupt gzip data: ..."); null when the
  // underlying source's read failed (its errno stands).
  const char* problem() const noexcept { return problem_[0] != '\0' ? problem_ : nullptr; }

 private:
  enum class state { looking, passing, decoding, ended, failed };

  static long read(void* context, char* buf, std::size_t n) noexcept;
  long look(char* buf, std::size_t n) noexcept;
  long hand_peeked(char* buf, std::size_t n) noexcept;
  bool start_decoding(const char* first, std::size_t size) noexcept;
  long decode(char* buf, std::size_t n) noexcept;

  reader::byte_source in_;
  state state_ = state::looking;
  compression kind_ = compression::none;
  // The first bytes, when the first read asked for fewer than a magic number.
  char peeked_[longest_magic + 2] = {};
  std::size_t peeked_at_ = 0;
  std::size_t peeked_end_ = 0;
  // Compressed input: its codec, its state, the block of compressed bytes and what is left of it.
  const codec* codec_ = nullptr;
  void* decoder_ = nullptr;
  unsigned char* block_ = nullptr;
  std::size_t block_at_ = 0;
  std::size_t block_end_ = 0;
  bool input_ended_ = false;
  char problem_[160] = {};
};

}  // namespace cantext::compress

#endif
