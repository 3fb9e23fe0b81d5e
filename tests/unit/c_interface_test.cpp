// SPDX-License-Identifier: MIT
// The C interface gives what the C++ routines give: each routine called both ways with the same
// random record and arguments, and everything it returns, writes or prints compared.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "cantext/cantext.h"
#include "cantext/cantext.hpp"

namespace {

using cantext::frame_record;

struct call_args {
  frame_record record;  // random bytes; an error frame's class is a valid one
  cantext_frame c_record;
  std::string text;  // the record in compact notation, at times with a character changed
  std::string hex;   // hex digits, at times with a character that is not one
  unsigned view, bits;
  int maxdlen;  // 8, 64 or anything up to 64
  int number;   // a length, code, kind, count or truth value
  std::size_t cap;
  const char* sep;  // also the line end of the stream writers
  char character;
};

call_args random_args(std::mt19937& rng) {
  const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  call_args a;
  auto* bytes = reinterpret_cast<unsigned char*>(&a.record);
  for (std::size_t i = 0; i < sizeof a.record; ++i)
    bytes[i] = static_cast<unsigned char>(pick(256));
  if ((a.record.can_id & cantext::can_err_flag) != 0) a.record.can_id &= ~0x1FFFFE00U;
  std::memcpy(&a.c_record, &a.record, sizeof a.record);
  const int maxdlens[] = {cantext::can_max_dlen, cantext::canfd_max_dlen, pick(65)};
  a.maxdlen = maxdlens[pick(3)];
  char compact[cantext::COMPACT_FORM_BUF_SIZE];
  cantext::format_frame_compact(compact, a.record, pick(2) == 1, a.maxdlen);
  a.text = compact;
  if (pick(2) == 1) a.text[a.text.size() / 2] = static_cast<char>(' ' + pick(95));
  for (int n = pick(20); n > 0; --n) a.hex += "0123456789ABCDEFabcdef.#g"[pick(25)];
  const char* const seps[] = {nullptr, ",", "; ", "\n\t"};
  a.view = static_cast<unsigned>(pick(32));
  a.bits = static_cast<unsigned>(pick(256));
  a.number = pick(110) - 10;
  a.cap = static_cast<std::size_t>(pick(600));
  a.sep = seps[pick(4)];
  a.character = static_cast<char>(pick(256));
  return a;
}

int parse_into(char* out, std::string_view text) {
  frame_record record;
  const cantext::frame_kind kind = cantext::parse_frame_text(text, record);
  std::memcpy(out, &record, sizeof record);
  return kind;
}

// One entry of each constant table.
template <typename Names>
std::string entries(unsigned i, const char* digits, const std::uint8_t* to_len,
                    const std::uint8_t* to_dlc, Names classes, Names problems, Names locations) {
  return digits + std::to_string(to_len[i % 16]) + std::to_string(to_dlc[i % 65]) + classes[i % 9] +
         problems[i % 7] + locations[i % 32];
}

// One side of a routine: its result as text; what it writes goes into out, a prefilled buffer of
// 600 bytes aligned for a record, or to stream.
using side = std::string (*)(const call_args& a, char* out, std::FILE* stream);

// All one side gives: its result, the whole buffer and what the stream received.
std::string outputs(side call, const call_args& a) {
  alignas(8) char out[600];
  std::memset(out, '~', sizeof out);
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  std::string all = call(a, out, stream);
  all += '|' + std::string(out, sizeof out) + '|';
  std::fclose(stream);
  all.append(data, size);
  std::free(data);
  return all;
}

struct row {
  const char* routine;
  side c, cpp;
};

template <typename Number>
std::string text_of(Number n) {
  return std::to_string(n);
}
std::string text_of(std::string s) {
  return s;
}

// A row from the two calls, as expressions of a, out and stream.
#define BOTH(routine, c_call, cpp_call)                                      \
  row {                                                                      \
    routine,                                                                 \
        []([[maybe_unused]] const call_args& a, [[maybe_unused]] char* out,  \
           [[maybe_unused]] std::FILE* stream) { return text_of(c_call); },  \
        []([[maybe_unused]] const call_args& a, [[maybe_unused]] char* out,  \
           [[maybe_unused]] std::FILE* stream) { return text_of(cpp_call); } \
  }

const row rows[] = {
    BOTH("hex_nibble", cantext_hex_nibble(a.character), cantext::hex_nibble(a.character)),
    BOTH("parse_frame_text",
         cantext_parse_frame_text(a.text.c_str(), reinterpret_cast<cantext_frame*>(out)),
         parse_into(out, a.text)),
    BOTH("max_dlen", cantext_max_dlen(a.number),
         cantext::max_dlen(static_cast<cantext::frame_kind>(a.number))),
    BOTH("format_frame_long", cantext_format_frame_long(out, &a.c_record, a.view, a.maxdlen) - out,
         (cantext::format_frame_long(out, a.record, a.view, a.maxdlen), std::strlen(out))),
    BOTH("write_frame_long",
         (cantext_write_frame_long(stream, &a.c_record, a.sep, a.view, a.maxdlen), 0),
         (cantext::write_frame_long(stream, a.record, a.sep, a.view, a.maxdlen), 0)),
    BOTH("error_description_buf_size", cantext_error_description_buf_size(a.cap),
         cantext::error_description_buf_size(a.cap)),
    BOTH("format_error_description",
         (cantext_format_error_description(out, a.cap, &a.c_record, a.sep), 0),
         (cantext::format_error_description(out, a.cap, a.record, a.sep), 0)),
    BOTH(
        "append_bit_names",
        cantext_append_bit_names(out, a.cap, a.bits, cantext_violation_type_names, a.number % 9),
        cantext::append_bit_names(out, a.cap, a.bits, cantext::violation_type_names, a.number % 9)),
    BOTH(
        "format_frame_compact",
        cantext_format_frame_compact(out, &a.c_record, a.number, a.maxdlen) - out,
        (cantext::format_frame_compact(out, a.record, a.number != 0, a.maxdlen), std::strlen(out))),
    BOTH("write_frame_compact",
         (cantext_write_frame_compact(stream, &a.c_record, a.sep, a.number, a.maxdlen), 0),
         (cantext::write_frame_compact(stream, a.record, a.sep, a.number != 0, a.maxdlen), 0)),
    BOTH("dlc_to_len", cantext_dlc_to_len(static_cast<unsigned>(a.number)),
         cantext::dlc_to_len(static_cast<unsigned>(a.number))),
    BOTH("len_to_dlc", cantext_len_to_dlc(a.number), cantext::len_to_dlc(a.number)),
    BOTH("hex_to_bytes",
         cantext_hex_to_bytes(a.hex.c_str(), reinterpret_cast<std::uint8_t*>(out), a.number % 20),
         cantext::hex_to_bytes(a.hex, reinterpret_cast<std::uint8_t*>(out), a.number % 20)),
    BOTH("tables",
         entries(a.bits, cantext_hex_asc_upper, cantext_dlc_to_len_table, cantext_len_to_dlc_table,
                 cantext_error_class_names, cantext_controller_problem_names,
                 cantext_violation_location_names),
         entries(a.bits, cantext::hex_asc_upper, cantext::dlc_to_len_table,
                 cantext::len_to_dlc_table, cantext::error_class_names,
                 cantext::controller_problem_names, cantext::violation_location_names)),
};
#undef BOTH

TEST(c_interface, gives_what_the_cpp_routines_give) {
  std::mt19937 rng(19);
  for (int i = 0; i < 2000; ++i) {
    const call_args a = random_args(rng);
    for (const row& r : rows) {
      ASSERT_EQ(outputs(r.c, a), outputs(r.cpp, a)) << r.routine << ", case " << i;
    }
  }
}

}  // namespace
