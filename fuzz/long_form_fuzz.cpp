// SPDX-License-Identifier: MIT
// The long-form renderer on any record, any view and any maxdlen, against a plain model.
#include <cstdio>
#include <string>

#include "cantext/cantext.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "model_text.hpp"

namespace cantext_fuzz::long_form {
namespace {

using cantext::frame_record;

std::string padded(const char* text, int width) {
  char out[128];
  std::snprintf(out, sizeof out, "%*s", width, text);
  return out;
}

std::string byte_digits(std::uint8_t b, bool binary) {
  if (!binary) return hex_text(b, 2);
  std::string bits;
  for (int i = 7; i >= 0; --i) bits += ((b >> i) & 1) ? '1' : '0';
  return bits;
}

// The columns as the format defines them, with maxdlen clamped to 0..64 for the bytes shown.
std::string model_long(const frame_record& r, unsigned view, int maxdlen) {
  const int shown = bytes_shown(r.len, maxdlen);
  const bool binary = (view & cantext::VIEW_BINARY) != 0;
  const bool swap = (view & cantext::VIEW_SWAP) != 0;
  const int width = binary ? 9 : 3;

  std::string line(15, ' ');
  int base = 10;
  if (r.can_id & cantext::CAN_ERR_FLAG) {
    line.replace(0, 8, hex_text(r.can_id & 0x3FFFFFFFU, 8));
  } else if (r.can_id & cantext::CAN_EFF_FLAG) {
    line.replace(0, 8, hex_text(r.can_id & cantext::CAN_EFF_MASK, 8));
  } else if (view & cantext::VIEW_ALIGN_SFF) {
    line.replace(5, 3, hex_text(r.can_id & cantext::CAN_SFF_MASK, 3));
  } else {
    line.replace(0, 3, hex_text(r.can_id & cantext::CAN_SFF_MASK, 3));
    base = 5;
  }
  line.resize(static_cast<std::size_t>(base + 5));
  const std::size_t b = static_cast<std::size_t>(base);
  if (maxdlen == 8) {
    line[b + 1] = '[';
    line[b + 2] = static_cast<char>('0' + shown);
    line[b + 3] = ']';
    if (r.can_id & cantext::CAN_RTR_FLAG) return line + " remote request";
  } else {
    line[b] = '[';
    line[b + 1] = static_cast<char>('0' + shown / 10);
    line[b + 2] = static_cast<char>('0' + shown % 10);
    line[b + 3] = ']';
  }
  for (int i = 0; i < shown; ++i) {
    line += (swap && i > 0) ? '`' : ' ';
    line += byte_digits(r.data[swap ? shown - 1 - i : i], binary);
  }
  if (shown > 8) return line;
  if (r.can_id & cantext::CAN_ERR_FLAG)
    return line + padded("ERRORFRAME", width * (8 - shown) + 13);
  if (!(view & cantext::VIEW_ASCII)) return line;
  const char* quote = swap ? "`" : "'";
  line += padded(quote, width * (8 - shown) + 4);
  for (int i = 0; i < shown; ++i) {
    const std::uint8_t c = r.data[swap ? shown - 1 - i : i];
    line += (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : '.';
  }
  return line + quote;
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const unsigned view = in.word();
  const int maxdlen = choose_maxdlen(in);
  frame_record record;
  in.fill(&record, sizeof record);

  guarded_buffer<cantext::LONG_FORM_BUF_SIZE> buf;
  const char* const end = cantext::format_frame_long(buf.data(), record, view, maxdlen);
  FUZZ_CHECK(buf.guard_intact());
  const std::size_t n = buf.text_length();
  FUZZ_CHECK(end == buf.data() + n);
  FUZZ_CHECK(n < cantext::LONG_FORM_BUF_SIZE);
  const std::string text(buf.data(), n);
  FUZZ_CHECK(text == model_long(record, view, maxdlen));

  for (const char c : text) FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
  // With at most 8 bytes shown the smaller documented buffer is enough, working room included.
  if (bytes_shown(record.len, maxdlen) <= 8) {
    guarded_buffer<cantext::LONG_FORM_CLASSIC_BUF_SIZE> classic;
    cantext::format_frame_long(classic.data(), record, view, maxdlen);
    FUZZ_CHECK(classic.guard_intact());
    FUZZ_CHECK(classic.text_length() == n && text.compare(0, n, classic.data(), n) == 0);
  }
  return 0;
}

}  // namespace cantext_fuzz::long_form
