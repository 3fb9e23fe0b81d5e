// SPDX-License-Identifier: MIT
// `cantext convert -o FILE.gz|.xz|.zst` and Log.write: a byte sink that compresses what is written
// to it and writes the compressed bytes to another sink, ended by finish().
#ifndef CANTEXT_COMPRESS_COMPRESSED_OUTPUT_HPP
#define CANTEXT_COMPRESS_COMPRESSED_OUTPUT_HPP

#include <cstddef>

#include "byte_sink.hpp"
#include "codec.hpp"

namespace cantext::compress {

class compressed_output {
 public:
  // Compresses as `kind` into `out`, which must outlive this sink.  With compression::none,
  // sink() is `out` itself.
  compressed_output(byte_sink out, compression kind) noexcept : out_(out), kind_(kind) {}
  ~compressed_output();
  compressed_output(const compressed_output&) = delete;
  compressed_output& operator=(const compressed_output&) = delete;

  // Makes the compressor: false, with errno set, when this build lacks its library (ENOTSUP)
  // or memory ran out.
  bool start() noexcept;

  // Where the uncompressed bytes are written.
  byte_sink sink() noexcept { return encoder_ != nullptr ? byte_sink{this, &write} : out_; }

  // Writes the end of the compressed data: false, with errno set, when a write fails.
  bool finish() noexcept;

 private:
  static long write(void* context, const char* buf, std::size_t n) noexcept;
  // Runs the compressor on `in` (to its end, with `last`), writing out each full block.
  bool run(stream_io& io, bool last) noexcept;

  byte_sink out_;
  compression kind_;
  const codec* codec_ = nullptr;
  void* encoder_ = nullptr;
  unsigned char* block_ = nullptr;
};

}  // namespace cantext::compress

#endif
