// SPDX-License-Identifier: MIT
// zstd through libzstd.  Frames one after the other (what zstd writes for concatenated inputs,
// or a logger that starts a frame per chunk) read as one; skippable frames are passed over.
#include <zstd.h>

#include <new>

#include "codec.hpp"

namespace cantext::compress {
namespace {

// The decoder's state and whether the last frame it read is complete.
struct zstd_reading {
  ZSTD_DStream* stream;
  bool frame_done;
};

void* start_decoder() noexcept {
  ZSTD_DStream* stream = ZSTD_createDStream();
  if (stream == nullptr) return nullptr;
  auto* s = new (std::nothrow) zstd_reading{stream, false};
  if (s == nullptr) ZSTD_freeDStream(stream);
  return s;
}

step decode(void* state, stream_io& io, bool input_ended, const char*& problem) noexcept {
  auto& s = *static_cast<zstd_reading*>(state);
  if (io.in_size == 0 && input_ended && s.frame_done) return step::ended;
  ZSTD_inBuffer in{io.in, io.in_size, 0};
  ZSTD_outBuffer out{io.out, io.out_size, 0};
  const std::size_t r = ZSTD_decompressStream(s.stream, &out, &in);
  if (ZSTD_isError(r)) {
    problem = ZSTD_getErrorName(r);
    return step::failed;
  }
  io.in += in.pos;
  io.in_size -= in.pos;
  io.out += out.pos;
  io.out_size -= out.pos;
  // 0: the frame is decoded and all of it handed out.
  s.frame_done = r == 0;
  if (in.pos == 0 && out.pos == 0 && io.in_size == 0 && input_ended) {
    return s.frame_done ? step::ended : step::cut_short;
  }
  return step::go_on;
}

void end_decoder(void* state) noexcept {
  auto* s = static_cast<zstd_reading*>(state);
  ZSTD_freeDStream(s->stream);
  delete s;
}

void* start_encoder() noexcept {
  ZSTD_CCtx* c = ZSTD_createCCtx();
  // As the zstd program writes: a checksum of the content, for `zstd -t`.
  if (c != nullptr) ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
  return c;
}

step encode(void* state, stream_io& io, bool finish, const char*& problem) noexcept {
  ZSTD_inBuffer in{io.in, io.in_size, 0};
  ZSTD_outBuffer out{io.out, io.out_size, 0};
  const std::size_t r = ZSTD_compressStream2(static_cast<ZSTD_CCtx*>(state), &out, &in,
                                             finish ? ZSTD_e_end : ZSTD_e_continue);
  if (ZSTD_isError(r)) {
    problem = ZSTD_getErrorName(r);
    return step::failed;
  }
  io.in += in.pos;
  io.in_size -= in.pos;
  io.out += out.pos;
  io.out_size -= out.pos;
  return finish && r == 0 ? step::ended : step::go_on;
}

void end_encoder(void* state) noexcept {
  ZSTD_freeCCtx(static_cast<ZSTD_CCtx*>(state));
}

}  // namespace

const codec zstd_codec = {start_decoder, decode, end_decoder, start_encoder, encode, end_encoder};

}  // namespace cantext::compress
