// SPDX-License-Identifier: MIT
// The filter's whole conversion in-process (the line reader and the long-form writer): any input,
// delivered in any pieces, must give the same output, messages and status as the input delivered
// whole, and as the plain model of the conversion.
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "cantext/cantext.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "line_model.hpp"
#include "long_lines.hpp"
#include "memory_source.hpp"

namespace cantext_fuzz::line_loop {
namespace {

using outcome = filter_outcome;

struct memory_sink {
  choice_stream* chunks;
  std::size_t room;  // writes beyond this many bytes fail as on a full disk
  std::string bytes;

  static long write(void* context, const char* buf, std::size_t n) {
    auto& s = *static_cast<memory_sink*>(context);
    if (s.bytes.size() >= s.room) {
      errno = ENOSPC;
      return -1;
    }
    const std::size_t left = s.room - s.bytes.size();
    const long k = next_chunk(s.chunks, n < left ? n : left);
    if (k < 0) return k;
    s.bytes.append(buf, static_cast<std::size_t>(k));
    return k;
  }
};

cantext::tool::filter_buffers buffers;

// Runs the loop with the given way of marking blocks, or the one it picks itself.
outcome run_loop(std::string_view text, choice_stream* chunks, bool read_fails,
                 std::size_t out_room,
                 cantext::reader::mark_function mark = cantext::reader::best_mark_function()) {
  memory_source in{text, chunks, read_fails};
  memory_sink out{chunks, out_room, {}};
  memory_sink err{chunks, std::string::npos, {}};
  const cantext::reader::byte_source source{&in, memory_source::read};
  const cantext::tool::byte_sink out_sink{&out, memory_sink::write};
  const cantext::tool::byte_sink err_sink{&err, memory_sink::write};
  const int status = cantext::tool::convert_lines(source, out_sink, err_sink, buffers, mark);
  return {out.bytes, err.bytes, status};
}

void check_same(const outcome& got, const outcome& expected) {
  FUZZ_CHECK(got.status == expected.status);
  FUZZ_CHECK(got.err == expected.err);
  FUZZ_CHECK(got.out == expected.out);
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const std::uint8_t mode = in.byte();
  const std::uint32_t seed = in.word();
  const std::string_view text = in.rest();

  const outcome whole = run_loop(text, nullptr, false, std::string::npos);
  FUZZ_CHECK(whole.status == 0 || whole.status == 1);
  check_same(whole, model_filter(text, false));

  // Every way of marking the input that this processor has must give the same result.
  choice_stream chunks(seed);
  for (const auto way :
       {cantext::reader::portable_mark_function, cantext::reader::sse2_mark_function,
        cantext::reader::avx2_mark_function}) {
    if (const cantext::reader::mark_function mark = way()) {
      check_same(run_loop(text, &chunks, false, std::string::npos, mark), whole);
    }
  }

  if (mode & 1)
    check_same(run_loop(text, &chunks, true, std::string::npos), model_filter(text, true));

  if ((mode & 2) && !whole.out.empty()) {
    const std::size_t room = seed % whole.out.size();
    const outcome full = run_loop(text, &chunks, false, room);
    check_same(full, {whole.out.substr(0, room),
                      "write: " + std::string(std::strerror(ENOSPC)) + "\n", 1});
  }
  return 0;
}

}  // namespace cantext_fuzz::line_loop
