// SPDX-License-Identifier: MIT
// Writes a deterministic capture log for the benchmarks: "(time) canN frame" lines in a mix of
// frame kinds like a busy vehicle bus.  Usage: make_log [lines] [seed]; the same arguments give
// the same bytes on every machine.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A small, well-mixed generator whose sequence is fixed by its seed.
struct random_bits {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

constexpr char digits[] = "0123456789ABCDEF";

char* put_hex(char* out, std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = digits[value & 0xF];
    value >>= 4;
  }
  return out + count;
}

char* put_payload(char* out, random_bits& rng, unsigned count, bool dotted) {
  for (unsigned i = 0; i < count; ++i) {
    if (dotted) *out++ = '.';
    out = put_hex(out, static_cast<std::uint32_t>(rng.below(256)), 2);
  }
  return out;
}

// Byte counts a CAN FD frame may carry.
constexpr unsigned fd_lengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};

char* put_frame(char* out, random_bits& rng) {
  const unsigned kind = rng.below(100);
  if (kind < 55) {  // classic, standard identifier
    out = put_hex(out, rng.below(0x800), 3);
    *out++ = '#';
    return put_payload(out, rng, rng.below(9), false);
  }
  if (kind < 75) {  // classic, extended identifier
    out = put_hex(out, rng.below(0x20000000) & ~0x20000000U, 8);
    *out++ = '#';
    return put_payload(out, rng, rng.below(9), false);
  }
  if (kind < 90) {  // CAN FD, a quarter of them with separators
    const bool extended = rng.below(4) == 0;
    out = extended ? put_hex(out, rng.below(0x20000000) & ~0x20000000U, 8)
                   : put_hex(out, rng.below(0x800), 3);
    *out++ = '#';
    *out++ = '#';
    *out++ = digits[rng.below(16)];
    return put_payload(out, rng, fd_lengths[rng.below(16)], rng.below(4) == 0);
  }
  if (kind < 95) {  // remote request, half of them with a length digit
    out = put_hex(out, rng.below(0x800), 3);
    *out++ = '#';
    *out++ = 'R';
    if (rng.below(2)) *out++ = static_cast<char>('0' + rng.below(9));
    return out;
  }
  // error frame: one error class bit and eight detail bytes
  out = put_hex(out, 0x20000000U | (1U << rng.below(10)), 8);
  *out++ = '#';
  return put_payload(out, rng, 8, false);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned long lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000000;
  random_bits rng{argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1};
  unsigned long long micros = 1700000000ULL * 1000000ULL;
  static char out_buf[1 << 16];
  std::setvbuf(stdout, out_buf, _IOFBF, sizeof out_buf);
  for (unsigned long i = 0; i < lines; ++i) {
    micros += 50 + rng.below(400);
    char line[256];
    char* p = line + std::snprintf(line, 64, "(%llu.%06llu) can%u ", micros / 1000000,
                                   micros % 1000000, rng.below(2));
    p = put_frame(p, rng);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
