// SPDX-License-Identifier: MIT
// Reads frames in compact notation from standard input, one per line ("123#DEADBEEF"), and
// prints each in every view of the long form.  The last view also asks for the error
// description, so an error frame gets its classes and details under it, one per line.
#include <cstdio>
#include <string_view>

#include <cantext/cantext.hpp>

namespace {

struct view_row {
  const char* label;
  unsigned view;
};

constexpr view_row rows[] = {
    {"hex", 0},
    {"binary", cantext::VIEW_BINARY},
    {"swapped", cantext::VIEW_SWAP},
    {"aligned", cantext::VIEW_ALIGN_SFF},
    {"characters", cantext::VIEW_ASCII | cantext::VIEW_ERROR},
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  return text;
}

}  // namespace

int main() {
  int status = 0;
  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    const std::string_view text = trimmed(line);
    if (text.empty()) continue;
    const int size = static_cast<int>(text.size());

    cantext::frame_record frame;
    // The kind tells a classic frame from a CAN FD frame, and the renderers how many bytes to show.
    const cantext::frame_kind kind = cantext::parse_frame_text(text, frame);
    if (kind == cantext::not_a_frame) {
      std::fprintf(stderr, "not a frame: %.*s\n", size, text.data());
      status = 1;
      continue;
    }
    std::printf("%.*s\n", size, text.data());
    for (const view_row& row : rows) {
      std::printf("  %-10s  ", row.label);
      cantext::write_frame_long(stdout, frame, "\n", row.view, kind);
    }
  }
  return status;
}
