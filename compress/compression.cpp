// SPDX-License-Identifier: MIT
#include "compression.hpp"

#include <cstring>

#include "codec.hpp"

namespace cantext::compress {
namespace {

struct format {
  compression kind;
  const char* name;
  const char* suffix;
  const char* magic;
  std::size_t magic_size;
};

constexpr format formats[] = {
    {compression::gzip, "gzip", ".gz", "\x1F\x8B", 2},
    {compression::xz, "xz", ".xz", "\xFD\x37\x7A\x58\x5A\x00", 6},
    {compression::zstd, "zstd", ".zst", "\x28\xB5\x2F\xFD", 4},
};

}  // namespace

compression recognise(const char* bytes, std::size_t n) noexcept {
  for (const format& f : formats) {
    if (n >= f.magic_size && std::memcmp(bytes, f.magic, f.magic_size) == 0) return f.kind;
  }
  return compression::none;
}

bool could_start_magic(const char* bytes, std::size_t n) noexcept {
  for (const format& f : formats) {
    if (n < f.magic_size && std::memcmp(bytes, f.magic, n) == 0) return true;
  }
  return false;
}

compression for_name(const char* name) noexcept {
  const std::size_t length = std::strlen(name);
  for (const format& f : formats) {
    const std::size_t s = std::strlen(f.suffix);
    if (length > s && std::strcmp(name + length - s, f.suffix) == 0) return f.kind;
  }
  return compression::none;
}

const char* name_of(compression kind) noexcept {
  for (const format& f : formats) {
    if (f.kind == kind) return f.name;
  }
  return "none";
}

bool built_in(compression kind) noexcept {
  return kind == compression::none || find_codec(kind) != nullptr;
}

const codec* find_codec(compression kind) noexcept {
  switch (kind) {
    case compression::none:
      break;
    case compression::gzip:
#if CANTEXT_HAVE_ZLIB
      return &gzip_codec;
#else
      break;
#endif
    case compression::xz:
#if CANTEXT_HAVE_LZMA
      return &xz_codec;
#else
      break;
#endif
    case compression::zstd:
#if CANTEXT_HAVE_ZSTD
      return &zstd_codec;
#else
      break;
#endif
  }
  return nullptr;
}

}  // namespace cantext::compress
