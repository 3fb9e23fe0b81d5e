// SPDX-License-Identifier: MIT
#include "compressed_output.hpp"

#include <cerrno>
#include <cstdlib>

namespace cantext::compress {
namespace {

constexpr std::size_t block_size = 128 * 1024;

}  // namespace

compressed_output::~compressed_output() {
  if (encoder_ != nullptr) codec_->end_encoder(encoder_);
  std::free(block_);
}

bool compressed_output::start() noexcept {
  if (kind_ == compression::none) return true;
  codec_ = find_codec(kind_);
  if (codec_ == nullptr) {
    errno = ENOTSUP;
    return false;
  }
  block_ = static_cast<unsigned char*>(std::malloc(block_size));
  encoder_ = block_ != nullptr ? codec_->start_encoder() : nullptr;
  if (encoder_ == nullptr) errno = ENOMEM;
  return encoder_ != nullptr;
}

long compressed_output::write(void* context, const char* buf, std::size_t n) noexcept {
  auto& self = *static_cast<compressed_output*>(context);
  stream_io io{reinterpret_cast<const unsigned char*>(buf), n, nullptr, 0};
  return self.run(io, false) ? static_cast<long>(n) : -1;
}

bool compressed_output::finish() noexcept {
  if (encoder_ == nullptr) return true;
  stream_io io{nullptr, 0, nullptr, 0};
  return run(io, true);
}

bool compressed_output::run(stream_io& io, bool last) noexcept {
  for (;;) {
    io.out = block_;
    io.out_size = block_size;
    const char* problem = nullptr;
    const step s = codec_->encode(encoder_, io, last, problem);
    // Only memory can fail a compressor that is handed valid arguments.
    if (s != step::go_on && s != step::ended) {
      errno = ENOMEM;
      return false;
    }
    const std::size_t made = block_size - io.out_size;
    if (!try_write_all(out_, reinterpret_cast<const char*>(block_), made)) return false;
    if (last ? s == step::ended : io.in_size == 0 && io.out_size > 0) return true;
  }
}

}  // namespace cantext::compress
