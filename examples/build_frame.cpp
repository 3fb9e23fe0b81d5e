// SPDX-License-Identifier: MIT
// Builds frame records in code and writes them in compact notation, the form that
// parse_frame_text and the cantext-long filter read.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <cantext/cantext.hpp>

namespace {

cantext::frame_record make_frame(std::uint32_t can_id, const std::uint8_t* data, std::uint8_t len) {
  cantext::frame_record frame{};
  frame.can_id = can_id;
  frame.len = len;
  if (data != nullptr) std::memcpy(frame.data, data, len);
  return frame;
}

}  // namespace

int main() {
  using namespace cantext;
  const std::uint8_t payload[] = {0xDE, 0xAD, 0xBE, 0xEF};

  // A standard frame, with and without "." between the bytes.
  const frame_record classic = make_frame(0x123, payload, sizeof payload);
  write_frame_compact(stdout, classic, "\n", false, classic_frame);
  write_frame_compact(stdout, classic, "\n", true, classic_frame);

  // An extended (29-bit) identifier needs can_eff_flag.
  const frame_record extended = make_frame(0x18FEF100 | can_eff_flag, payload, 2);
  write_frame_compact(stdout, extended, "\n", false, classic_frame);

  // A remote request carries the requested length and no data.
  const frame_record request = make_frame(0x245 | can_rtr_flag, nullptr, 8);
  write_frame_compact(stdout, request, "\n", false, classic_frame);

  // A CAN FD frame: its data from a hex string, its flags written after the second "#".
  frame_record fd = make_frame(0x100, nullptr, 12);
  fd.flags = 0x1;
  if (hex_to_bytes("000102030405060708090A0B", fd.data, canfd_max_dlen) != 0) return 1;
  write_frame_compact(stdout, fd, "\n", true, fd_frame);

  // The text reads back into the same frame.
  char text[COMPACT_FORM_BUF_SIZE];
  format_frame_compact(text, fd, false, fd_frame);
  frame_record parsed;
  if (parse_frame_text(text, parsed) != fd_frame) return 1;
  const bool same = parsed.can_id == fd.can_id && parsed.len == fd.len &&
                    parsed.flags == fd.flags && std::memcmp(parsed.data, fd.data, fd.len) == 0;
  std::printf("%s reads back %s\n", text, same ? "unchanged" : "CHANGED");
  return same ? 0 : 1;
}
