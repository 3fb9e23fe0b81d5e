// SPDX-License-Identifier: MIT
// libzstd's decompression alone, in this process, with the input in memory: the least that
// reading a zstd capture can cost, whatever reads it.  Prints the processor time of each way,
// fastest and median of `runs`:
//   whole: ZSTD_decompressDCtx into one buffer the size of the content (no copy, no streaming);
//   stream: ZSTD_decompressStream into a 128 KiB buffer used again and again, as the reader's.
//   cantext_zstd_alone FILE.zst [runs]
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

double processor_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

bool decompress_whole(ZSTD_DCtx* d, const std::vector<char>& in, std::vector<char>& out) {
  const std::size_t r = ZSTD_decompressDCtx(d, out.data(), out.size(), in.data(), in.size());
  return !ZSTD_isError(r) && r == out.size();
}

bool decompress_stream(ZSTD_DStream* s, const std::vector<char>& in, std::vector<char>& block,
                       std::size_t expected) {
  ZSTD_initDStream(s);
  ZSTD_inBuffer from{in.data(), in.size(), 0};
  std::size_t made = 0;
  for (;;) {
    ZSTD_outBuffer to{block.data(), block.size(), 0};
    const std::size_t r = ZSTD_decompressStream(s, &to, &from);
    if (ZSTD_isError(r)) return false;
    made += to.pos;
    if (r == 0 && from.pos == from.size) return made == expected;
    if (to.pos == 0 && from.pos == from.size) return false;
  }
}

void report(const char* name, std::vector<double>& times, std::size_t bytes) {
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("  %-7s fastest %.4f s (%.0f MB/s), median %.4f s\n", name, times.front(),
              static_cast<double>(bytes) / times.front() / 1e6, median);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cantext_zstd_alone FILE.zst [runs]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  std::FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr || runs < 1) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<char> in;
  char piece[1 << 16];
  for (std::size_t r; (r = std::fread(piece, 1, sizeof piece, f)) > 0;) {
    in.insert(in.end(), piece, piece + r);
  }
  std::fclose(f);
  const unsigned long long size = ZSTD_getFrameContentSize(in.data(), in.size());
  if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR) {
    std::fprintf(stderr, "%s: one zstd frame with its content size is needed\n", argv[1]);
    return 1;
  }
  std::vector<char> out(static_cast<std::size_t>(size));
  std::vector<char> block(128 * 1024);
  ZSTD_DCtx* d = ZSTD_createDCtx();
  ZSTD_DStream* s = ZSTD_createDStream();
  std::vector<double> whole, stream;
  for (int i = 0; i < runs; ++i) {
    double t = processor_seconds();
    if (!decompress_whole(d, in, out)) return 1;
    whole.push_back(processor_seconds() - t);
    t = processor_seconds();
    if (!decompress_stream(s, in, block, out.size())) return 1;
    stream.push_back(processor_seconds() - t);
  }
  ZSTD_freeDCtx(d);
  ZSTD_freeDStream(s);
  std::printf("%s: %zu bytes, %zu decompressed; %d runs, processor time\n", argv[1], in.size(),
              out.size(), runs);
  report("whole", whole, out.size());
  report("stream", stream, out.size());
  return 0;
}
