// SPDX-License-Identifier: MIT
// gzip through zlib.  A file may hold several gzip members one after the other (what appending
// to a .gz file or a rotating logger makes): they read as one.
#include <zlib.h>

#include <new>

#include "codec.hpp"

namespace cantext::compress {
namespace {

// zlib's gzip wrapper only: the 15-bit window plus 16.
constexpr int gzip_window_bits = 15 + 16;
constexpr int default_level = 6;

struct gzip_state {
  z_stream z{};
  bool member_ended = false;
};

void point(z_stream& z, const stream_io& io) noexcept {
  z.next_in = const_cast<unsigned char*>(io.in);
  z.avail_in = static_cast<uInt>(io.in_size);
  z.next_out = io.out;
  z.avail_out = static_cast<uInt>(io.out_size);
}

void take_back(const z_stream& z, stream_io& io) noexcept {
  io.in = z.next_in;
  io.in_size = z.avail_in;
  io.out = z.next_out;
  io.out_size = z.avail_out;
}

void* start_decoder() noexcept {
  auto* s = new (std::nothrow) gzip_state;
  if (s != nullptr && inflateInit2(&s->z, gzip_window_bits) != Z_OK) {
    delete s;
    return nullptr;
  }
  return s;
}

step decode(void* state, stream_io& io, bool input_ended, const char*& problem) noexcept {
  auto& s = *static_cast<gzip_state*>(state);
  if (s.member_ended) {
    if (io.in_size == 0) return input_ended ? step::ended : step::go_on;
    // Another member follows.
    inflateReset(&s.z);
    s.member_ended = false;
  }
  point(s.z, io);
  const int r = inflate(&s.z, Z_NO_FLUSH);
  take_back(s.z, io);
  switch (r) {
    case Z_OK:
      return step::go_on;
    case Z_STREAM_END:
      s.member_ended = true;
      return io.in_size == 0 && input_ended ? step::ended : step::go_on;
    case Z_BUF_ERROR:  // no progress was possible
      return input_ended && io.in_size == 0 ? step::cut_short : step::go_on;
    case Z_MEM_ERROR:
      problem = "out of memory";
      return step::failed;
    default:
      problem = s.z.msg != nullptr ? s.z.msg : "not valid";
      return step::failed;
  }
}

void end_decoder(void* state) noexcept {
  auto* s = static_cast<gzip_state*>(state);
  inflateEnd(&s->z);
  delete s;
}

void* start_encoder() noexcept {
  auto* s = new (std::nothrow) gzip_state;
  if (s != nullptr && deflateInit2(&s->z, default_level, Z_DEFLATED, gzip_window_bits, 8,
                                   Z_DEFAULT_STRATEGY) != Z_OK) {
    delete s;
    return nullptr;
  }
  return s;
}

step encode(void* state, stream_io& io, bool finish, const char*& problem) noexcept {
  auto& s = *static_cast<gzip_state*>(state);
  point(s.z, io);
  const int r = deflate(&s.z, finish ? Z_FINISH : Z_NO_FLUSH);
  take_back(s.z, io);
  if (r == Z_STREAM_END) return step::ended;
  if (r == Z_OK || r == Z_BUF_ERROR) return step::go_on;
  problem = s.z.msg != nullptr ? s.z.msg : "compression failed";
  return step::failed;
}

void end_encoder(void* state) noexcept {
  auto* s = static_cast<gzip_state*>(state);
  deflateEnd(&s->z);
  delete s;
}

}  // namespace

const codec gzip_codec = {start_decoder, decode, end_decoder, start_encoder, encode, end_encoder};

}  // namespace cantext::compress
