// SPDX-License-Identifier: MIT
// The compressions a capture may come in: recognised by the first bytes of the data (the magic
// numbers of the formats), never by a file's name; written by the name's suffix.
#ifndef CANTEXT_COMPRESS_COMPRESSION_HPP
#define CANTEXT_COMPRESS_COMPRESSION_HPP

#include <cstddef>

namespace cantext::compress {

enum class compression { none, gzip, xz, zstd };

// The longest magic number: this many first bytes always decide.
inline constexpr std::size_t longest_magic = 6;

// The compression whose magic number the n bytes at `bytes` start with; none when they start
// with none (or are too few to hold one).
compression recognise(const char* bytes, std::size_t n) noexcept;

// Whether the n bytes at `bytes` are fewer than a magic number and start it: more bytes are
// needed to decide.
bool could_start_magic(const char* bytes, std::size_t n) noexcept;

// The compression a file name asks for by its suffix (".gz", ".xz", ".zst"), else none.
compression for_name(const char* name) noexcept;

// "gzip", "xz", "zstd" ("none" for none).
const char* name_of(compression kind) noexcept;

// Whether this build reads and writes `kind` (its library was built in); true for none.
bool built_in(compression kind) noexcept;

}  // namespace cantext::compress

#endif
