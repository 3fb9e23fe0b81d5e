// SPDX-License-Identifier: MIT
// xz through liblzma.  Several xz streams one after the other read as one, as the xz program
// reads them.
#include <lzma.h>

#include <cstdint>
#include <new>

#include "codec.hpp"

namespace cantext::compress {
namespace {

struct xz_state {
  lzma_stream z = LZMA_STREAM_INIT;
};

void* start(bool decoder) noexcept {
  auto* s = new (std::nothrow) xz_state;
  if (s == nullptr) return nullptr;
  const lzma_ret r = decoder ? lzma_stream_decoder(&s->z, UINT64_MAX, LZMA_CONCATENATED)
                             : lzma_easy_encoder(&s->z, LZMA_PRESET_DEFAULT, LZMA_CHECK_CRC64);
  if (r != LZMA_OK) {
    delete s;
    return nullptr;
  }
  return s;
}

void* start_decoder() noexcept {
  return start(true);
}
void* start_encoder() noexcept {
  return start(false);
}

const char* problem_of(lzma_ret r) noexcept {
  switch (r) {
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
      return "out of memory";
    case LZMA_FORMAT_ERROR:
      return "not in the xz format";
    case LZMA_OPTIONS_ERROR:
      return "options this liblzma does not support";
    case LZMA_DATA_ERROR:
      return "the data is corrupt";
    default:
      return "liblzma failed";
  }
}

// One call of lzma_code: with LZMA_FINISH it also checks that the last stream is complete.
step run(void* state, stream_io& io, bool last, const char*& problem) noexcept {
  lzma_stream& z = static_cast<xz_state*>(state)->z;
  z.next_in = io.in;
  z.avail_in = io.in_size;
  z.next_out = io.out;
  z.avail_out = io.out_size;
  const lzma_ret r = lzma_code(&z, last ? LZMA_FINISH : LZMA_RUN);
  io.in = z.next_in;
  io.in_size = z.avail_in;
  io.out = z.next_out;
  io.out_size = z.avail_out;
  switch (r) {
    case LZMA_OK:
      return step::go_on;
    case LZMA_STREAM_END:
      return step::ended;
    case LZMA_BUF_ERROR:  // no progress twice in a row
      return last ? step::cut_short : step::go_on;
    default:
      problem = problem_of(r);
      return step::failed;
  }
}

void end(void* state) noexcept {
  auto* s = static_cast<xz_state*>(state);
  lzma_end(&s->z);
  delete s;
}

}  // namespace

const codec xz_codec = {start_decoder, run, end, start_encoder, run, end};

}  // namespace cantext::compress
