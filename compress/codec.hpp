// SPDX-License-Identifier: MIT
// The interface between the compressed source and sink and the compression libraries: one
// codec per compression, each in a file of its own built only with its library.
#ifndef CANTEXT_COMPRESS_CODEC_HPP
#define CANTEXT_COMPRESS_CODEC_HPP

#include <cstddef>

#include "compression.hpp"

namespace cantext::compress {

// The bytes a step takes from and gives to: each step moves `in` and `out` past what it used
// and made.
struct stream_io {
  const unsigned char* in;
  std::size_t in_size;
  unsigned char* out;
  std::size_t out_size;
};

enum class step {
  go_on,      // made what it could: more input, more room for output, or another step
  ended,      // the compressed data ended, and all of it is used (or all written)
  cut_short,  // the input ended before the compressed data did
  failed,     // the data is not valid, or memory ran out: `problem` says which
};

// A codec's state is made once per input or output (the libraries allocate their own) and
// ended with end_*; null from start_* means memory ran out.  decode() is never called without
// room for output; with `input_ended`, the input it is given is the last there is.  encode()
// takes all its input unless the output's room runs out; with `finish`, it writes the end of
// the compressed data and says ended once all is written.
struct codec {
  void* (*start_decoder)() noexcept;
  step (*decode)(void* state, stream_io& io, bool input_ended, const char*& problem) noexcept;
  void (*end_decoder)(void* state) noexcept;
  void* (*start_encoder)() noexcept;
  step (*encode)(void* state, stream_io& io, bool finish, const char*& problem) noexcept;
  void (*end_encoder)(void* state) noexcept;
};

// The codec of `kind` when this build has its library, else null.
const codec* find_codec(compression kind) noexcept;

extern const codec gzip_codec;
extern const codec xz_codec;
extern const codec zstd_codec;

}  // namespace cantext::compress

#endif
