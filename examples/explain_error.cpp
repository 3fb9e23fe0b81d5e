// SPDX-License-Identifier: MIT
// Explains an error frame in words: once on one line, then under its long form, one entry per line.
#include <cstdio>

#include <cantext/cantext.hpp>

int main() {
  cantext::frame_record frame;
  const cantext::frame_kind kind = cantext::parse_frame_text("2000000C#0005030A00006080", frame);
  if (kind != cantext::classic_frame) return 1;

  char words[cantext::ERROR_DESCRIPTION_BUF_SIZE];  // holds any description with "; "
  cantext::format_error_description(words, sizeof words, frame, "; ");
  std::printf("%s\n", words);

  cantext::write_frame_long(stdout, frame, "\n", cantext::VIEW_ERROR, kind);
  return 0;
}
