// SPDX-License-Identifier: MIT
// Decodes frames in compact notation, one a line on standard input, with a DBC file, and prints
// for each "Name signal=raw:physical ..." (the present signals; raw as an integer, or the float
// the bits hold), or "-" for a frame the file does not know.  Values print with 17 digits, so
// that the comparison sees every bit of them.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include <cantext/dbc.hpp>

int main(int argc, char** argv) {
  using namespace cantext::dbc;
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_frames FILE.dbc < frames\n");
    return 2;
  }
  const load_result loaded = load_file(argv[1]);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.error.c_str());
    return 1;
  }
  char line[512];
  std::vector<signal_value> values;
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    line[std::strcspn(line, "\r\n")] = '\0';
    cantext::frame_record frame;
    if (cantext::parse_frame_text(line, frame) == cantext::not_a_frame) {
      std::fprintf(stderr, "not a frame: %s\n", line);
      return 1;
    }
    const message* m = find_message(loaded.db, frame.can_id);
    if (m == nullptr) {
      std::puts("-");
      continue;
    }
    values.resize(m->signals.size());
    decode(*m, frame.data, frame.len, values.data());
    std::printf("%s", m->name.c_str());
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!values[i].present) continue;
      const signal& s = m->signals[i];
      std::printf(" %s=", s.name.c_str());
      if (s.kind == value_kind::unsigned_integer) {
        std::printf("%" PRIu64, values[i].raw);
      } else if (s.kind == value_kind::signed_integer) {
        std::printf("%" PRId64, static_cast<std::int64_t>(values[i].raw));
      } else {
        std::printf("%.17g", raw_number(s, values[i].raw));
      }
      std::printf(":%.17g", values[i].physical);
    }
    std::putchar('\n');
  }
  return 0;
}
