// SPDX-License-Identifier: MIT
// The compressed source against reads of every size: the bytes it hands on are the bytes that
// were compressed (decode(encode(v)) == v through the codecs this build has), whatever sizes the
// source below gives and the reader above asks for, a magic number split across reads included.
// A compression this build lacks is refused with its message instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "codec.hpp"
#include "compressed_source.hpp"

namespace {

using cantext::compress::compression;

// A capture's text; it starts with '(', the first byte of zstd's magic number.
std::string capture_text() {
  std::string s;
  for (int i = 0; i < 3000; ++i) {
    s += "(1700000000." + std::to_string(100000 + i) + ") can0 " + std::to_string(100 + i % 900) +
         "#" + std::string(static_cast<std::size_t>(2 * (i % 9)), "0123456789ABCDEF"[i % 16]) +
         "\n";
  }
  return s;
}

// The text compressed whole by this build's encoder.
std::string encoded(compression kind, const std::string& text) {
  if (kind == compression::none) return text;
  const cantext::compress::codec& c = *cantext::compress::find_codec(kind);
  void* state = c.start_encoder();
  std::string out(text.size() + 1024, '\0');
  cantext::compress::stream_io io{reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                  reinterpret_cast<unsigned char*>(&out[0]), out.size()};
  const char* problem = nullptr;
  EXPECT_EQ(c.encode(state, io, false, problem), cantext::compress::step::go_on);
  while (c.encode(state, io, true, problem) == cantext::compress::step::go_on) {
  }
  out.resize(out.size() - io.out_size);
  c.end_encoder(state);
  return out;
}

// A magic number alone: enough for a build that cannot read what it starts.
std::string magic_only(compression kind) {
  switch (kind) {
    case compression::gzip:
      return {"\x1F\x8B", 2};
    case compression::xz:
      return {"\xFD\x37\x7A\x58\x5A\x00", 6};
    case compression::zstd:
      return {"\x28\xB5\x2F\xFD", 4};
    case compression::none:
      break;
  }
  return "";
}

// Memory read at most `most` bytes at a time.
struct trickle {
  const std::string& bytes;
  std::size_t most;
  std::size_t at = 0;
  static long read(void* context, char* buf, std::size_t n) {
    auto& self = *static_cast<trickle*>(context);
    std::size_t count = std::min({n, self.most, self.bytes.size() - self.at});
    std::copy_n(self.bytes.data() + self.at, count, buf);
    self.at += count;
    return static_cast<long>(count);
  }
};

// (compression, the source's largest read, the size every read asks for)
class compressed_source_reads
    : public testing::TestWithParam<std::tuple<compression, std::size_t, std::size_t>> {};

TEST_P(compressed_source_reads, hands_on_the_bytes_compressed) {
  const auto [kind, most, ask] = GetParam();
  static const std::string text = capture_text();
  const bool readable = cantext::compress::built_in(kind);
  const std::string bytes = readable ? encoded(kind, text) : magic_only(kind);
  trickle below{bytes, most};
  cantext::compress::compressed_source source({&below, &trickle::read});
  const cantext::reader::byte_source in = source.bytes();
  std::string got;
  std::string buf(ask, '\0');
  long n;
  while ((n = in.read(in.context, &buf[0], ask)) > 0)
    got.append(buf, 0, static_cast<std::size_t>(n));
  EXPECT_EQ(source.kind(), kind);
  if (readable) {
    EXPECT_EQ(n, 0);
    EXPECT_EQ(source.problem(), nullptr);
    EXPECT_EQ(got.size(), text.size());
    EXPECT_TRUE(got == text);
  } else {
    EXPECT_EQ(n, -1);
    EXPECT_EQ(got, "");
    EXPECT_STREQ(source.problem(),
                 (std::string("compressed with ") + cantext::compress::name_of(kind) +
                  ", which this build of cantext cannot read")
                     .c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(
    sizes, compressed_source_reads,
    testing::Combine(testing::Values(compression::none, compression::gzip, compression::xz,
                                     compression::zstd),
                     testing::Values(std::size_t{1}, std::size_t{5}, std::size_t{100000}),
                     testing::Values(std::size_t{1}, std::size_t{4}, std::size_t{131072})));

}  // namespace
