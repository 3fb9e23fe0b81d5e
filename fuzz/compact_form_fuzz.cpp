// SPDX-License-Identifier: MIT
// The compact-form renderer and its stream writer on any record and maxdlen, against a plain
// model; what it writes for a classic or CAN FD frame must parse back to the frame it shows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cantext/cantext.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "model_text.hpp"
#include "stream_capture.hpp"

namespace cantext_fuzz::compact_form {
namespace {

using cantext::frame_record;

std::uint32_t written_identifier(std::uint32_t id) {
  if (id & cantext::CAN_ERR_FLAG) return id & 0x3FFFFFFFU;
  if (id & cantext::CAN_EFF_FLAG) return id & cantext::CAN_EFF_MASK;
  return id & cantext::CAN_SFF_MASK;
}

std::string model_compact(const frame_record& r, bool sep, int maxdlen) {
  const bool wide = (r.can_id & (cantext::CAN_ERR_FLAG | cantext::CAN_EFF_FLAG)) != 0;
  std::string text = hex_text(written_identifier(r.can_id), wide ? 8 : 3) + "#";
  if (maxdlen == 8 && (r.can_id & cantext::CAN_RTR_FLAG)) {
    text += 'R';
    if (r.len >= 1 && r.len <= 8) text += static_cast<char>('0' + r.len);
    return text;
  }
  const int shown = bytes_shown(r.len, maxdlen);
  if (maxdlen == 64) {
    text += "#" + hex_text(r.flags & 0x0FU, 1);
    if (sep && shown > 0) text += '.';
  }
  for (int i = 0; i < shown; ++i) {
    if (sep && i > 0) text += '.';
    text += hex_text(r.data[i], 2);
  }
  return text;
}

// The frame that the text written with maxdlen 8 or 64 stands for.
frame_record shown_frame(const frame_record& r, int maxdlen) {
  frame_record f;
  std::memset(&f, 0, sizeof f);
  f.can_id = written_identifier(r.can_id);
  if ((r.can_id & (cantext::CAN_ERR_FLAG | cantext::CAN_EFF_FLAG)) == cantext::CAN_EFF_FLAG) {
    f.can_id |= cantext::CAN_EFF_FLAG;
  }
  if (maxdlen == 8 && (r.can_id & cantext::CAN_RTR_FLAG)) {
    f.can_id |= cantext::CAN_RTR_FLAG;
    f.len = r.len <= 8 ? r.len : 0;
    return f;
  }
  const int shown = bytes_shown(r.len, maxdlen);
  f.len = static_cast<std::uint8_t>(shown);
  std::memcpy(f.data, r.data, static_cast<std::size_t>(shown));
  if (maxdlen == 64) f.flags = r.flags & 0x0FU;
  return f;
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const std::uint8_t options = in.byte();
  const bool sep = (options & 1) != 0;
  const char* const eol = (options & 2) ? "\n" : nullptr;
  const int maxdlen = choose_maxdlen(in);
  frame_record record;
  in.fill(&record, sizeof record);

  guarded_buffer<cantext::COMPACT_FORM_BUF_SIZE> buf;
  const char* const end = cantext::format_frame_compact(buf.data(), record, sep, maxdlen);
  FUZZ_CHECK(buf.guard_intact());
  const std::size_t n = buf.text_length();
  FUZZ_CHECK(end == buf.data() + n);
  FUZZ_CHECK(n < cantext::COMPACT_FORM_BUF_SIZE);
  const std::string text(buf.data(), n);
  FUZZ_CHECK(text == model_compact(record, sep, maxdlen));

  if (maxdlen == 8 || maxdlen == 64) {
    frame_record parsed;
    const int result = cantext::parse_frame_text(text, parsed);
    FUZZ_CHECK(result == (maxdlen == 8 ? cantext::CAN_MTU : cantext::CANFD_MTU));
    const frame_record expected = shown_frame(record, maxdlen);
    FUZZ_CHECK(std::memcmp(&parsed, &expected, sizeof parsed) == 0);
  }

  stream_capture stream;
  cantext::write_frame_compact(stream.file(), record, eol, sep, maxdlen);
  FUZZ_CHECK(stream.text() == text + (eol ? eol : ""));
  return 0;
}

}  // namespace cantext_fuzz::compact_form
