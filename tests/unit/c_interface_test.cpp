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
  std::string text;  // the record in compact notation, at times with one character changed
  std::string hex;   // hex digits, at times with a character that is not one
  unsigned view;
  int maxdlen;  // 8, 64 or anything up to 64
  int number;   // a length, code, kind, count or truth value
  unsigned bits;
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
  if (pick(2) == 1)
    a.text[static_cast<std::size_t>(pick(static_cast<int>(a.text.size())))] =
        static_cast<char>(' ' + pick(95));
  for (int n = pick(20); n > 0; --n) a.hex += "0123456789ABCDEFabcdef.#g"[pick(25)];

  const char* const seps[] = {nullptr, ",", "; ", "\n\t"};
  a.view = static_cast<unsigned>(pick(32));
  a.number = pick(110) - 10;
  a.bits = static_cast<unsigned>(pick(256));
  a.cap = static_cast<std::size_t>(pick(700));
  a.sep = seps[pick(4)];
  a.character = static_cast<char>(pick(256));
  return a;
}

std::string bytes_of(const void* p, std::size_t n) {
  return std::string(static_cast<const char*>(p), n);
}

// What a stream writer writes.
template <typename Write>
std::string written(Write write) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  write(stream);
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

// A buffer for every text, filled beforehand so that bytes written past the text show too.
struct text_buffer {
  char bytes[700];
  text_buffer() { std::memset(bytes, '~', sizeof bytes); }
  std::string with_end(const char* end) const {
    return std::to_string(end - bytes) + bytes_of(bytes, sizeof bytes);
  }
};

struct row {
  const char* routine;
  std::string (*c)(const call_args&);
  std::string (*cpp)(const call_args&);
};

const row rows[] = {
    {"hex_nibble",
     [](const call_args& a) { return std::to_string(cantext_hex_nibble(a.character)); },
     [](const call_args& a) { return std::to_string(cantext::hex_nibble(a.character)); }},
    {"parse_frame_text",
     [](const call_args& a) {
       cantext_frame r;
       std::memset(&r, 0xA5, sizeof r);
       const int kind = cantext_parse_frame_text(a.text.c_str(), &r);
       return std::to_string(kind) + bytes_of(&r, sizeof r);
     },
     [](const call_args& a) {
       frame_record r;
       std::memset(&r, 0xA5, sizeof r);
       const int kind = cantext::parse_frame_text(a.text, r);
       return std::to_string(kind) + bytes_of(&r, sizeof r);
     }},
    {"max_dlen", [](const call_args& a) { return std::to_string(cantext_max_dlen(a.number)); },
     [](const call_args& a) {
       return std::to_string(cantext::max_dlen(static_cast<cantext::frame_kind>(a.number)));
     }},
    {"format_frame_long",
     [](const call_args& a) {
       text_buffer b;
       return b.with_end(cantext_format_frame_long(b.bytes, &a.c_record, a.view, a.maxdlen));
     },
     [](const call_args& a) {
       text_buffer b;
       cantext::format_frame_long(b.bytes, a.record, a.view, a.maxdlen);
       return b.with_end(b.bytes + std::strlen(b.bytes));
     }},
    {"write_frame_long",
     [](const call_args& a) {
       return written([&](std::FILE* f) {
         cantext_write_frame_long(f, &a.c_record, a.sep, a.view, a.maxdlen);
       });
     },
     [](const call_args& a) {
       return written(
           [&](std::FILE* f) { cantext::write_frame_long(f, a.record, a.sep, a.view, a.maxdlen); });
     }},
    {"error_description_buf_size",
     [](const call_args& a) { return std::to_string(cantext_error_description_buf_size(a.cap)); },
     [](const call_args& a) { return std::to_string(cantext::error_description_buf_size(a.cap)); }},
    {"format_error_description",
     [](const call_args& a) {
       text_buffer b;
       cantext_format_error_description(b.bytes, a.cap, &a.c_record, a.sep);
       return b.with_end(b.bytes);
     },
     [](const call_args& a) {
       text_buffer b;
       cantext::format_error_description(b.bytes, a.cap, a.record, a.sep);
       return b.with_end(b.bytes);
     }},
    {"append_bit_names",
     [](const call_args& a) {
       text_buffer b;
       const int n = cantext_append_bit_names(b.bytes, a.cap, a.bits, cantext_violation_type_names,
                                              a.number % 9);
       return std::to_string(n) + b.with_end(b.bytes);
     },
     [](const call_args& a) {
       text_buffer b;
       const int n = cantext::append_bit_names(b.bytes, a.cap, a.bits,
                                               cantext::violation_type_names, a.number % 9);
       return std::to_string(n) + b.with_end(b.bytes);
     }},
    {"format_frame_compact",
     [](const call_args& a) {
       text_buffer b;
       return b.with_end(cantext_format_frame_compact(b.bytes, &a.c_record, a.number, a.maxdlen));
     },
     [](const call_args& a) {
       text_buffer b;
       cantext::format_frame_compact(b.bytes, a.record, a.number != 0, a.maxdlen);
       return b.with_end(b.bytes + std::strlen(b.bytes));
     }},
    {"write_frame_compact",
     [](const call_args& a) {
       return written([&](std::FILE* f) {
         cantext_write_frame_compact(f, &a.c_record, a.sep, a.number, a.maxdlen);
       });
     },
     [](const call_args& a) {
       return written([&](std::FILE* f) {
         cantext::write_frame_compact(f, a.record, a.sep, a.number != 0, a.maxdlen);
       });
     }},
    {"dlc_to_len",
     [](const call_args& a) {
       return std::to_string(cantext_dlc_to_len(static_cast<unsigned>(a.number)));
     },
     [](const call_args& a) {
       return std::to_string(cantext::dlc_to_len(static_cast<unsigned>(a.number)));
     }},
    {"len_to_dlc", [](const call_args& a) { return std::to_string(cantext_len_to_dlc(a.number)); },
     [](const call_args& a) { return std::to_string(cantext::len_to_dlc(a.number)); }},
    {"hex_to_bytes",
     [](const call_args& a) {
       std::uint8_t out[20];
       std::memset(out, 0xA5, sizeof out);
       const int status = cantext_hex_to_bytes(a.hex.c_str(), out, a.number % 20);
       return std::to_string(status) + bytes_of(out, sizeof out);
     },
     [](const call_args& a) {
       std::uint8_t out[20];
       std::memset(out, 0xA5, sizeof out);
       const int status = cantext::hex_to_bytes(a.hex, out, a.number % 20);
       return std::to_string(status) + bytes_of(out, sizeof out);
     }},
    {"tables",
     [](const call_args& a) {
       return std::string(cantext_hex_asc_upper) + cantext_error_class_names[a.bits % 9] +
              cantext_controller_problem_names[a.bits % 7] +
              cantext_violation_location_names[a.bits % 32] +
              std::to_string(cantext_dlc_to_len_table[a.bits % 16]) +
              std::to_string(cantext_len_to_dlc_table[a.bits % 65]);
     },
     [](const call_args& a) {
       return std::string(cantext::hex_asc_upper) + cantext::error_class_names[a.bits % 9] +
              cantext::controller_problem_names[a.bits % 7] +
              cantext::violation_location_names[a.bits % 32] +
              std::to_string(cantext::dlc_to_len_table[a.bits % 16]) +
              std::to_string(cantext::len_to_dlc_table[a.bits % 65]);
     }},
};

TEST(c_interface, gives_what_the_cpp_routines_give) {
  std::mt19937 rng(19);
  for (int i = 0; i < 2000; ++i) {
    const call_args a = random_args(rng);
    for (const row& r : rows) ASSERT_EQ(r.c(a), r.cpp(a)) << r.routine << ", case " << i;
  }
}

}  // namespace
