// SPDX-License-Identifier: MIT
// Parses a frame in compact notation and prints it in the long form and back in compact form.
#include <cstdio>

#include <cantext/cantext.hpp>

int main() {
  cantext::frame_record frame;
  const int mtu = cantext::parse_frame_text("12345678#DEADBEEF", frame);
  if (mtu == 0) return 1;
  const int maxdlen = mtu == cantext::CANFD_MTU ? cantext::CANFD_MAX_DLEN : cantext::CAN_MAX_DLEN;

  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, frame, cantext::VIEW_ASCII, maxdlen);
  std::printf("%s\n", text);
  cantext::write_frame_compact(stdout, frame, "\n", true, maxdlen);
  return 0;
}
