// The long, column-aligned form of a frame.
#include <cstring>

#include "cantext/hex_digits.hpp"
#include "cantext/long_form.hpp"
#include "render/long_form_render.hpp"

namespace cantext {
namespace {

constexpr int wide_base = 10;
constexpr int narrow_base = 5;
constexpr char remote_request[] = " remote request";
constexpr char error_marker[] = "ERRORFRAME";

char* put_hex(char* out, std::uint32_t value, int digits) noexcept {
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = hex_asc_upper[value & 0x0F];
    value >>= 4;
  }
  return out + digits;
}

char* put_byte(char* out, std::uint8_t byte, bool binary) noexcept {
  if (!binary) {
    out[0] = hex_asc_upper[byte >> 4];
    out[1] = hex_asc_upper[byte & 0x0F];
    return out + 2;
  }
  for (int bit = 7; bit >= 0; --bit) *out++ = static_cast<char>('0' + ((byte >> bit) & 1));
  return out;
}

char* put_spaces(char* out, int count) noexcept {
  std::memset(out, ' ', static_cast<std::size_t>(count));
  return out + count;
}

// The identifier in columns 0..7; returns the base column of the length field.
int put_identifier(char* line, std::uint32_t id, unsigned view) noexcept {
  if (id & CAN_ERR_FLAG) {
    put_hex(line, id & (CAN_ERR_MASK | CAN_ERR_FLAG), 8);
    return wide_base;
  }
  if (id & CAN_EFF_FLAG) {
    put_hex(line, id & CAN_EFF_MASK, 8);
    return wide_base;
  }
  if (view & VIEW_ALIGN_SFF) {
    put_hex(line + 5, id & CAN_SFF_MASK, 3);
    return wide_base;
  }
  put_hex(line, id & CAN_SFF_MASK, 3);
  return narrow_base;
}

// Index of the i-th byte shown, in the order the view asks for.
int shown_index(int i, int shown, bool swap) noexcept {
  return swap ? shown - 1 - i : i;
}

char* put_data(char* out, const frame_record& record, int shown, unsigned view) noexcept {
  const bool swap = (view & VIEW_SWAP) != 0;
  const bool binary = (view & VIEW_BINARY) != 0;
  for (int i = 0; i < shown; ++i) {
    *out++ = (swap && i > 0) ? '`' : ' ';
    out = put_byte(out, record.data[shown_index(i, shown, swap)], binary);
  }
  return out;
}

char* put_characters(char* out, const frame_record& record, int shown, unsigned view) noexcept {
  const bool swap = (view & VIEW_SWAP) != 0;
  const char quote = swap ? '`' : '\'';
  *out++ = quote;
  for (int i = 0; i < shown; ++i) {
    const std::uint8_t b = record.data[shown_index(i, shown, swap)];
    *out++ = (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
  }
  *out++ = quote;
  return out;
}

}  // namespace

namespace detail {

char* render_long(char* out, const frame_record& record, unsigned view, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  const int shown = record.len < limit ? record.len : limit;
  const int width = (view & VIEW_BINARY) ? 9 : 3;

  put_spaces(out, 15);
  const int base = put_identifier(out, record.can_id, view);
  char* const field = out + base;
  if (maxdlen == CAN_MAX_DLEN) {
    field[1] = '[';
    field[2] = static_cast<char>('0' + shown);
    field[3] = ']';
    if (record.can_id & CAN_RTR_FLAG) {
      std::memcpy(field + 5, remote_request, sizeof remote_request - 1);
      return field + 5 + (sizeof remote_request - 1);
    }
  } else {
    field[0] = '[';
    field[1] = static_cast<char>('0' + shown / 10);
    field[2] = static_cast<char>('0' + shown % 10);
    field[3] = ']';
  }
  field[4] = ' ';
  char* end = put_data(field + 5, record, shown, view);
  if (shown > CAN_MAX_DLEN) return end;

  // Padding keeps the marker and the character column in one column whatever the length.
  const int pad = width * (CAN_MAX_DLEN - shown) + 3;
  if (record.can_id & CAN_ERR_FLAG) {
    end = put_spaces(end, pad);
    std::memcpy(end, error_marker, sizeof error_marker - 1);
    return end + (sizeof error_marker - 1);
  }
  if (view & VIEW_ASCII) {
    end = put_spaces(end, pad);
    end = put_characters(end, record, shown, view);
  }
  return end;
}

}  // namespace detail

void format_frame_long(char* buf, const frame_record& record, unsigned view, int maxdlen) noexcept {
  *detail::render_long(buf, record, view, maxdlen) = '\0';
}

}  // namespace cantext
