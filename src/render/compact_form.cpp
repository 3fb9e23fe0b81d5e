// SPDX-License-Identifier: MIT
// The compact notation of a frame.
#include "cantext/compact_form.hpp"

#include <cstring>

#include "cantext/hex_digits.hpp"
#include "hex_tables.hpp"
#include "render/compact_form_render.hpp"

namespace cantext {
namespace {

// The parser reads an 8-digit identifier with bit 29 set as an error frame, so an error frame
// keeps that bit and loses only the two flags above it.
constexpr std::uint32_t error_id_mask = CAN_ERR_FLAG | CAN_ERR_MASK;

char* put_identifier(char* out, std::uint32_t id) noexcept {
  if (id & (CAN_ERR_FLAG | CAN_EFF_FLAG)) {
    id &= (id & CAN_ERR_FLAG) ? error_id_mask : CAN_EFF_MASK;
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 24));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 16));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 8));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id));
  } else {
    *out++ = hex_asc_upper[(id >> 8) & 0x07];
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id));
  }
  *out++ = '#';
  return out;
}

// Four bytes a step: the copies do not depend on each other.
char* put_bytes(char* out, const std::uint8_t* data, int count) noexcept {
  int i = 0;
  for (; i + 4 <= count; i += 4, out += 8) {
    detail::put_hex_pair(out, data[i]);
    detail::put_hex_pair(out + 2, data[i + 1]);
    detail::put_hex_pair(out + 4, data[i + 2]);
    detail::put_hex_pair(out + 6, data[i + 3]);
  }
  for (; i < count; ++i) out = detail::put_hex_pair(out, data[i]);
  return out;
}

// "." and the two digits of every byte value, padded to four characters so that each is one
// fixed-size copy.  The padding lands where the next byte, or the terminator, goes.
struct dotted_pairs {
  char entry[256][4];
};

constexpr dotted_pairs make_dotted_pairs() noexcept {
  dotted_pairs t{};
  for (std::size_t b = 0; b < 256; ++b) {
    t.entry[b][0] = '.';
    t.entry[b][1] = detail::hex_pairs[b][0];
    t.entry[b][2] = detail::hex_pairs[b][1];
    t.entry[b][3] = '.';
  }
  return t;
}

constexpr dotted_pairs dotted = make_dotted_pairs();

char* put_dotted(char* out, std::uint8_t b) noexcept {
  std::memcpy(out, dotted.entry[b], 4);
  return out + 3;
}

char* put_bytes_separated(char* out, const std::uint8_t* data, int count) noexcept {
  if (count <= 0) return out;
  out = detail::put_hex_pair(out, data[0]);
  int i = 1;
  for (; i + 4 <= count; i += 4, out += 12) {
    put_dotted(out, data[i]);
    put_dotted(out + 3, data[i + 1]);
    put_dotted(out + 6, data[i + 2]);
    put_dotted(out + 9, data[i + 3]);
  }
  for (; i < count; ++i) out = put_dotted(out, data[i]);
  return out;
}

// Bytes written: the record's length, limited by maxdlen and never more than the record holds.
int shown_bytes(std::uint8_t len, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  return len < limit ? len : limit;
}

}  // namespace

namespace detail {

char* render_compact(char* out, const frame_record& record, bool sep, int maxdlen) noexcept {
  out = put_identifier(out, record.can_id);
  if (maxdlen == CAN_MAX_DLEN && (record.can_id & CAN_RTR_FLAG)) {
    *out++ = 'R';
    // The requested length follows the record, not maxdlen; 0 and lengths no classic frame
    // can request are left out.
    if (record.len >= 1 && record.len <= CAN_MAX_DLEN) *out++ = hex_asc_upper[record.len];
    return out;
  }
  const int shown = shown_bytes(record.len, maxdlen);
  if (maxdlen == CANFD_MAX_DLEN) {
    *out++ = '#';
    *out++ = hex_asc_upper[record.flags & 0x0F];
    if (sep && shown > 0) *out++ = '.';
  }
  return sep ? put_bytes_separated(out, record.data, shown) : put_bytes(out, record.data, shown);
}

}  // namespace detail

char* format_frame_compact(char* buf, const frame_record& record, bool sep, int maxdlen) noexcept {
  char* const end = detail::render_compact(buf, record, sep, maxdlen);
  *end = '\0';
  return end;
}

}  // namespace cantext
