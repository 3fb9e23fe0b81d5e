// SPDX-License-Identifier: MIT
// The baseline for the throughput benchmark: the same conversion as cantext-long written the
// straightforward way, one line read, one formatted scan and one formatted print per line,
// through the library's parser and renderer.  Not part of the product.
#include <cstdio>

#include "cantext/cantext.hpp"

int main() {
  char line[520];
  char first[520];
  char second[520];
  char frame_text[520];
  char long_form[cantext::LONG_FORM_BUF_SIZE];
  cantext::frame_record record;
  while (std::fgets(line, sizeof line, stdin)) {
    if (std::sscanf(line, "%s %s %s", first, second, frame_text) != 3) return 1;
    const int mtu = cantext::parse_frame_text(frame_text, record);
    if (mtu == 0) {
      std::fputs("read: incomplete CAN frame\n", stderr);
      return 1;
    }
    const int maxdlen = mtu == cantext::CANFD_MTU ? cantext::CANFD_MAX_DLEN : cantext::CAN_MAX_DLEN;
    cantext::format_frame_long(long_form, record, cantext::VIEW_ASCII | cantext::VIEW_ALIGN_SFF,
                               maxdlen);
    std::printf("%s  %s  %s\n", first, second, long_form);
  }
  return 0;
}
