// SPDX-License-Identifier: MIT
// The C interface gives what the C++ routines give: each routine called both ways with the same
// random record and arguments, and everything it returns, writes or prints compared.
#include <gtest/gtest.h>

#include <algorithm>
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

// The C++ renderers' text copied to out with its terminator, as the C routines place it, leaving
// the bytes after it as they were; its length.
std::size_t placed(char* out, const char* text) {
  const std::size_t length = std::strlen(text);
  std::memcpy(out, text, length + 1);
  return length;
}
std::size_t long_form_placed(char* out, const call_args& a) {
  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, a.record, a.view, a.maxdlen);
  return placed(out, text);
}
std::size_t compact_form_placed(char* out, const call_args& a) {
  char text[cantext::COMPACT_FORM_BUF_SIZE];
  cantext::format_frame_compact(text, a.record, a.number != 0, a.maxdlen);
  return placed(out, text);
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
    BOTH("format_frame_long", cantext_format_frame_long(out, 600, &a.c_record, a.view, a.maxdlen),
         long_form_placed(out, a)),
    BOTH("write_frame_long",
         cantext_write_frame_long(stream, &a.c_record, a.sep, a.view, a.maxdlen),
         (cantext::write_frame_long(stream, a.record, a.sep, a.view, a.maxdlen), 0)),
    BOTH("error_description_buf_size", cantext_error_description_buf_size(a.cap),
         cantext::error_description_buf_size(a.cap)),
    BOTH("format_error_description",
         cantext_format_error_description(out, a.cap, &a.c_record, a.sep),
         (cantext::format_error_description(out, a.cap, a.record, a.sep), 0)),
    BOTH(
        "append_bit_names",
        cantext_append_bit_names(out, a.cap, a.bits, cantext_violation_type_names, a.number % 9),
        cantext::append_bit_names(out, a.cap, a.bits, cantext::violation_type_names, a.number % 9)),
    BOTH("format_frame_compact",
         cantext_format_frame_compact(out, 600, &a.c_record, a.number, a.maxdlen),
         compact_form_placed(out, a)),
    BOTH("write_frame_compact",
         cantext_write_frame_compact(stream, &a.c_record, a.sep, a.number, a.maxdlen),
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

// The snprintf shape: a buffer of any size gets the text's first size - 1 characters and a
// terminator, no byte past them changes, and the whole text's length comes back.
TEST(c_interface, formats_into_a_buffer_of_any_size) {
  using format = int (*)(char* buf, std::size_t size, const cantext_frame* record, int maxdlen);
  const struct {
    const char* name;
    format call;
    std::size_t least;
  } formats[] = {
      {"long",
       [](char* buf, std::size_t size, const cantext_frame* record, int maxdlen) {
         return cantext_format_frame_long(buf, size, record,
                                          CANTEXT_VIEW_ASCII | CANTEXT_VIEW_BINARY, maxdlen);
       },
       CANTEXT_LONG_FORM_BUF_SIZE},
      {"compact",
       [](char* buf, std::size_t size, const cantext_frame* record, int maxdlen) {
         return cantext_format_frame_compact(buf, size, record, 1, maxdlen);
       },
       CANTEXT_COMPACT_FORM_BUF_SIZE},
  };
  std::mt19937 rng(23);
  for (int i = 0; i < 100; ++i) {
    const call_args a = random_args(rng);
    for (const auto& f : formats) {
      char whole[CANTEXT_LONG_FORM_BUF_SIZE];
      const int length = f.call(whole, sizeof whole, &a.c_record, a.maxdlen);
      ASSERT_EQ(length, static_cast<int>(std::strlen(whole))) << f.name;
      ASSERT_EQ(f.call(nullptr, 0, &a.c_record, a.maxdlen), length) << f.name;
      for (std::size_t size = 1; size <= f.least; ++size) {
        std::string buf(size + 8, '~');
        ASSERT_EQ(f.call(buf.data(), size, &a.c_record, a.maxdlen), length) << f.name << size;
        const std::size_t kept = std::min(static_cast<std::size_t>(length), size - 1);
        ASSERT_EQ(buf, std::string(whole, kept) + '\0' + std::string(buf.size() - kept - 1, '~'))
            << f.name << ", size " << size << ", case " << i;
      }
    }
  }
}

// Pointers read through volatile: the compiler neither warns at a nonnull argument nor assumes
// anything of the value.
template <typename T>
T* none() {
  T* volatile pointer = nullptr;
  return pointer;
}

// A null pointer where an object is needed, and a stream that cannot be written, give the
// error return.
TEST(c_interface, bad_arguments_give_the_error_return) {
  static cantext_frame frame;
  static char buf[CANTEXT_LONG_FORM_BUF_SIZE];
  static std::uint8_t bytes[4];
  static std::FILE* const read_only = std::fopen("/dev/null", "r");
  ASSERT_NE(read_only, nullptr);
  ASSERT_EQ(cantext_parse_frame_text("20000004#0004000000000000", &frame), CANTEXT_CLASSIC_FRAME);
  static const cantext_frame* const f = &frame;
  const struct {
    const char* call;
    int (*run)();
    int error;
  } calls[] = {
      {"parse, text", [] { return cantext_parse_frame_text(none<const char>(), &frame); }, 0},
      {"parse, record", [] { return cantext_parse_frame_text("123#11", none<cantext_frame>()); },
       0},
      {"long, record",
       [] { return cantext_format_frame_long(buf, sizeof buf, none<cantext_frame>(), 0, 8); }, -1},
      {"long, buf", [] { return cantext_format_frame_long(none<char>(), 4, f, 0, 8); }, -1},
      {"write long, stream",
       [] { return cantext_write_frame_long(none<std::FILE>(), f, "\n", CANTEXT_VIEW_ERROR, 8); },
       -1},
      {"write long, record",
       [] { return cantext_write_frame_long(stdout, none<cantext_frame>(), "\n", 0, 8); }, -1},
      {"write long, read-only stream",
       [] { return cantext_write_frame_long(read_only, f, "\n", CANTEXT_VIEW_ERROR, 8); }, -1},
      {"error description, buf",
       [] { return cantext_format_error_description(none<char>(), 4, f, ","); }, -1},
      {"error description, record",
       [] { return cantext_format_error_description(buf, 4, none<cantext_frame>(), ","); }, -1},
      {"bit names, buf",
       [] { return cantext_append_bit_names(none<char>(), 4, 1, cantext_error_class_names, 9); },
       -1},
      {"bit names, names",
       [] { return cantext_append_bit_names(buf, 4, 0x100, none<const char* const>(), 9); }, -1},
      {"compact, record",
       [] { return cantext_format_frame_compact(buf, sizeof buf, none<cantext_frame>(), 0, 8); },
       -1},
      {"compact, buf", [] { return cantext_format_frame_compact(none<char>(), 4, f, 0, 8); }, -1},
      {"write compact, stream",
       [] { return cantext_write_frame_compact(none<std::FILE>(), f, "\n", 0, 8); }, -1},
      {"write compact, record",
       [] { return cantext_write_frame_compact(stdout, none<cantext_frame>(), "\n", 0, 8); }, -1},
      {"write compact, read-only stream",
       [] { return cantext_write_frame_compact(read_only, f, "\n", 0, 8); }, -1},
      {"hex, text", [] { return cantext_hex_to_bytes(none<const char>(), bytes, 4); }, 1},
      {"hex, out", [] { return cantext_hex_to_bytes("11", none<std::uint8_t>(), 4); }, 1},
  };
  for (const auto& c : calls) EXPECT_EQ(c.run(), c.error) << c.call;
  // Names beyond the bits set are never read, so they may be null.
  EXPECT_EQ(cantext_append_bit_names(buf, 4, 0x100, none<const char* const>(), 8), 0);
}

}  // namespace
