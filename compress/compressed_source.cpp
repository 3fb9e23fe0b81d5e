// SPDX-License-Identifier: MIT
#include "compressed_source.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cantext::compress {
namespace {

long read_some(reader::byte_source in, char* buf, std::size_t n) noexcept {
  for (;;) {
    const long r = in.read(in.context, buf, n);
    if (r >= 0 || errno != EINTR) return r;
  }
}

}  // namespace

compressed_source::~compressed_source() {
  if (decoder_ != nullptr) codec_->end_decoder(decoder_);
  std::free(block_);
}

long compressed_source::read(void* context, char* buf, std::size_t n) noexcept {
  auto& self = *static_cast<compressed_source*>(context);
  switch (self.state_) {
    case state::passing:
      if (self.peeked_at_ < self.peeked_end_) return self.hand_peeked(buf, n);
      return self.in_.read(self.in_.context, buf, n);
    case state::looking:
      return self.look(buf, n);
    case state::decoding:
      return self.decode(buf, n);
    case state::ended:
      return 0;
    case state::failed:
      break;
  }
  errno = EBADMSG;
  return -1;
}

long compressed_source::look(char* buf, std::size_t n) noexcept {
  // Into the caller's buffer where it has room for a magic number: plain input then needs no
  // copy at all.
  const bool in_place = n >= longest_magic;
  char* const into = in_place ? buf : peeked_;
  const std::size_t room = in_place ? n : sizeof peeked_;
  std::size_t got = 0;
  for (;;) {
    const long r = read_some(in_, into + got, room - got);
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
    if (!could_start_magic(into, got)) break;
  }
  kind_ = recognise(into, got);
  if (kind_ == compression::none) {
    state_ = state::passing;
    if (in_place) return static_cast<long>(got);
    peeked_end_ = got;
    return hand_peeked(buf, n);
  }
  if (!start_decoding(into, got)) return -1;
  return decode(buf, n);
}

long compressed_source::hand_peeked(char* buf, std::size_t n) noexcept {
  const std::size_t left = peeked_end_ - peeked_at_;
  const std::size_t count = n < left ? n : left;
  std::memcpy(buf, peeked_ + peeked_at_, count);
  peeked_at_ += count;
  return static_cast<long>(count);
}

bool compressed_source::start_decoding(const char* first, std::size_t size) noexcept {
  codec_ = find_codec(kind_);
  if (codec_ == nullptr) {
    std::snprintf(problem_, sizeof problem_,
                  "compressed with %s, which this build of cantext cannot read", name_of(kind_));
    state_ = state::failed;
    errno = ENOTSUP;
    return false;
  }
  block_ = static_cast<unsigned char*>(std::malloc(compressed_block_size));
  decoder_ = block_ != nullptr ? codec_->start_decoder() : nullptr;
  if (decoder_ == nullptr) {
    std::snprintf(problem_, sizeof problem_, "out of memory to read %s data", name_of(kind_));
    state_ = state::failed;
    errno = ENOMEM;
    return false;
  }
  // The first bytes are the start of the compressed data.
  std::memcpy(block_, first, size);
  block_end_ = size;
  state_ = state::decoding;
  return true;
}

long compressed_source::decode(char* buf, std::size_t n) noexcept {
  stream_io io{block_ + block_at_, block_end_ - block_at_, reinterpret_cast<unsigned char*>(buf),
               n};
  const char* detail = nullptr;
  step s = step::go_on;
  while (io.out_size > 0) {
    if (io.in_size == 0 && !input_ended_) {
      // What is decompressed goes on before the wait for more input: live input, one line at a
      // time, is not held back.
      if (io.out != reinterpret_cast<unsigned char*>(buf)) break;
      const long r = read_some(in_, reinterpret_cast<char*>(block_), compressed_block_size);
      if (r < 0) return -1;
      input_ended_ = r == 0;
      io.in = block_;
      io.in_size = static_cast<std::size_t>(r);
    }
    s = codec_->decode(decoder_, io, input_ended_, detail);
    if (s != step::go_on) break;
  }
  block_at_ = static_cast<std::size_t>(io.in - block_);
  block_end_ = block_at_ + io.in_size;
  const long made = static_cast<long>(io.out - reinterpret_cast<unsigned char*>(buf));
  if (s == step::ended) state_ = state::ended;
  if (s == step::cut_short) {
    std::snprintf(problem_, sizeof problem_, "the %s data is cut short", name_of(kind_));
    state_ = state::failed;
  }
  if (s == step::failed) {
    std::snprintf(problem_, sizeof problem_, "corrupt %s data: %s", name_of(kind_), detail);
    state_ = state::failed;
  }
  // The bytes before a fault are handed on first; the next read reports it.
  if (made > 0 || state_ != state::failed) return made;
  errno = EBADMSG;
  return -1;
}

}  // namespace cantext::compress
