// SPDX-License-Identifier: MIT
// Rewrites a log of "STAMP INTERFACE FRAME" lines with each frame in the long form, as
// cantext-long does.  print_frame takes a frame as a CAN socket gives it.
#include <stdio.h>

#include <linux/can.h>

#include <cantext/cantext.h>

// frame and nbytes as from read(socket, &frame, sizeof frame): nbytes is CAN_MTU or CANFD_MTU.
static void print_frame(const char* stamp, const char* iface, const struct canfd_frame* frame,
                        int nbytes) {
  char text[CANTEXT_LONG_FORM_BUF_SIZE];
  cantext_format_frame_long(text, sizeof text, (const struct cantext_frame*)frame,
                            CANTEXT_VIEW_ASCII | CANTEXT_VIEW_ALIGN_SFF, cantext_max_dlen(nbytes));
  printf("%s  %s  %s\n", stamp, iface, text);
}

int main(void) {
  char line[600], stamp[200], iface[200], frame_text[200];
  while (fgets(line, sizeof line, stdin) != NULL) {
    if (sscanf(line, "%199s %199s %199s", stamp, iface, frame_text) != 3) return 1;
    struct canfd_frame frame;
    const int kind = cantext_parse_frame_text(frame_text, (struct cantext_frame*)&frame);
    if (kind == CANTEXT_NOT_A_FRAME) {
      fprintf(stderr, "not a frame: %s\n", frame_text);
      return 1;
    }
    print_frame(stamp, iface, &frame, kind);
  }
  return 0;
}
