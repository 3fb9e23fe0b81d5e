// SPDX-License-Identifier: MIT
// Parses a frame in compact notation and prints it in the long form and back in compact form.
#include <cstdio>

#include <cantext/cantext.hpp>

int main() {
  cantext::frame_record frame;
  const cantext::frame_kind kind = cantext::parse_frame_text("12345678#DEADBEEF", frame);
  if (kind == cantext::not_a_frame) return 1;

  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, frame, cantext::VIEW_ASCII, kind);
  std::printf("%s\n", text);
  cantext::write_frame_compact(stdout, frame, "\n", true, kind);
  return 0;
}
