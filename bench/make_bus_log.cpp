// SPDX-License-Identifier: MIT
// Writes a deterministic capture log like a vehicle bus's: 60 periodic messages on two channels,
// each repeating its data but for a rolling counter and a slowly moving signal, so that the log
// compresses as real captures do (the random log of make_log compresses far less).
// Usage: make_bus_log [lines]; the same argument gives the same bytes on every machine.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::uint64_t state = 1;
unsigned below(unsigned n) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return static_cast<unsigned>((z ^ (z >> 31)) % n);
}

struct message {
  unsigned long long next;  // microseconds
  unsigned period;
  unsigned id;
  bool extended;
  unsigned char data[8];
};

constexpr unsigned periods[] = {10, 20, 50, 100, 100, 200, 500, 1000};  // milliseconds
constexpr int count = 60;

}  // namespace

int main(int argc, char** argv) {
  const unsigned long lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000000;
  message messages[count];
  for (message& m : messages) {
    m.period = periods[below(8)] * 1000;
    m.next = below(m.period);
    m.extended = below(10) < 3;
    m.id = m.extended ? below(0x20000000) : below(0x800);
    for (unsigned char& b : m.data) b = static_cast<unsigned char>(below(256));
  }
  static char out_buf[1 << 16];
  std::setvbuf(stdout, out_buf, _IOFBF, sizeof out_buf);
  for (unsigned long i = 0; i < lines; ++i) {
    int k = 0;  // the message due first
    for (int j = 1; j < count; ++j) {
      if (messages[j].next < messages[k].next) k = j;
    }
    message& m = messages[k];
    m.data[7] = static_cast<unsigned char>(m.data[7] + 1);
    if (below(10) < 3) m.data[0] = static_cast<unsigned char>(m.data[0] + 1);
    const unsigned long long t = 1700000000ULL * 1000000ULL + m.next;
    std::printf("(%llu.%06llu) can%d %0*X#%02X%02X%02X%02X%02X%02X%02X%02X\n", t / 1000000,
                t % 1000000, k % 2, m.extended ? 8 : 3, m.id, m.data[0], m.data[1], m.data[2],
                m.data[3], m.data[4], m.data[5], m.data[6], m.data[7]);
    m.next += m.period + below(40);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
