// SPDX-License-Identifier: MIT
// Converts between CAN FD data length codes (DLC) and byte counts: the length each code
// stands for, and the code and padded length a payload of any size needs.
#include <cstdio>

#include <cantext/cantext.hpp>

int main() {
  std::printf("code  bytes\n");
  for (unsigned dlc = 0; dlc < 16; ++dlc) {
    std::printf("%4u  %5u\n", dlc, static_cast<unsigned>(cantext::dlc_to_len(dlc)));
  }

  // A payload that falls between two lengths is sent padded to the next one.
  std::printf("\npayload  code  sent\n");
  const int payloads[] = {0, 8, 9, 12, 13, 20, 21, 33, 48, 49, 64};
  for (const int bytes : payloads) {
    const unsigned dlc = cantext::len_to_dlc(bytes);
    std::printf("%7d  %4u  %4u\n", bytes, dlc, static_cast<unsigned>(cantext::dlc_to_len(dlc)));
  }
  return 0;
}
