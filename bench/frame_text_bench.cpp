// SPDX-License-Identifier: MIT
// Nanoseconds per call of the parser and the renderers on typical frames.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string_view>

#include "cantext/cantext.hpp"

namespace {

using namespace cantext;

// Frames as they appear in real logs: short classic, full classic, extended, CAN FD.
constexpr std::string_view typical_frames[] = {
    "123#DEADBEEF",
    "7DF#0201050000000000",
    "18FEF100#FFFF0AFFFFFFFFFF",
    "244#R",
    "103##1.DE.AD.BE.EF",
    "1ABCDE00##4000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F",
    "20000004#0004000000000000",
};

void parse_typical(benchmark::State& state) {
  const std::string_view text = typical_frames[state.range(0)];
  frame_record record;
  for (auto _ : state) {
    benchmark::DoNotOptimize(parse_frame_text(text, record));
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(text));
}
BENCHMARK(parse_typical)->DenseRange(0, std::size(typical_frames) - 1);

// Renders the frame parsed from typical_frames[range(0)] into a buffer of `size` bytes with
// render(buf, record, maxdlen).
template <std::size_t size, class Render>
void render_typical(benchmark::State& state, Render render) {
  const std::string_view text = typical_frames[state.range(0)];
  frame_record record;
  const int mtu = parse_frame_text(text, record);
  const int maxdlen = mtu == CANFD_MTU ? CANFD_MAX_DLEN : CAN_MAX_DLEN;
  char buf[size];
  for (auto _ : state) {
    render(buf, record, maxdlen);
    benchmark::DoNotOptimize(buf);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(text));
}

void format_long_hex(benchmark::State& state) {
  render_typical<LONG_FORM_BUF_SIZE>(state, [](char* buf, const frame_record& r, int maxdlen) {
    format_frame_long(buf, r, VIEW_ASCII | VIEW_ALIGN_SFF, maxdlen);
  });
}
BENCHMARK(format_long_hex)->DenseRange(0, std::size(typical_frames) - 1);

void format_long_binary(benchmark::State& state) {
  render_typical<LONG_FORM_BUF_SIZE>(state, [](char* buf, const frame_record& r, int maxdlen) {
    format_frame_long(buf, r, VIEW_BINARY | VIEW_ASCII, maxdlen);
  });
}
BENCHMARK(format_long_binary)->DenseRange(0, std::size(typical_frames) - 1);

void format_compact_plain(benchmark::State& state) {
  render_typical<COMPACT_FORM_BUF_SIZE>(state, [](char* buf, const frame_record& r, int maxdlen) {
    format_frame_compact(buf, r, false, maxdlen);
  });
}
BENCHMARK(format_compact_plain)->DenseRange(0, std::size(typical_frames) - 1);

void format_compact_separated(benchmark::State& state) {
  render_typical<COMPACT_FORM_BUF_SIZE>(state, [](char* buf, const frame_record& r, int maxdlen) {
    format_frame_compact(buf, r, true, maxdlen);
  });
}
BENCHMARK(format_compact_separated)->DenseRange(0, std::size(typical_frames) - 1);

// Error frames as controllers report them: a receive overflow, bus-off, a protocol violation
// with its location, and warnings with both error counters.
constexpr std::string_view typical_error_frames[] = {
    "20000004#0004000000000000",
    "20000040#0000000000000000",
    "20000008#0000080A00000000",
    "20000024#000C000000007F10",
};

void format_error_text(benchmark::State& state) {
  const std::string_view text = typical_error_frames[state.range(0)];
  frame_record record;
  parse_frame_text(text, record);
  char buf[ERROR_DESCRIPTION_BUF_SIZE];
  for (auto _ : state) {
    format_error_description(buf, sizeof buf, record);
    benchmark::DoNotOptimize(buf);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(text) + " " + buf);
}
BENCHMARK(format_error_text)->DenseRange(0, std::size(typical_error_frames) - 1);

}  // namespace
