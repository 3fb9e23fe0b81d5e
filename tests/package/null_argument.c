// SPDX-License-Identifier: MIT
// A call with a null record, which the C header's declarations let the compiler warn about.
#include <stddef.h>

#include <cantext/cantext.h>

int main(void) {
  char text[CANTEXT_LONG_FORM_BUF_SIZE];
  return cantext_format_frame_long(text, sizeof text, NULL, 0, 8) < 0;
}
