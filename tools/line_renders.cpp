// SPDX-License-Identifier: MIT
#include "line_renders.hpp"

#include <cstring>

#include "input_files.hpp"

namespace cantext::tool {

char* put_error_lines(char* at, const frame_record& record) noexcept {
  std::memcpy(at, "\n\t", 2);
  at += 2;
  format_error_description(at, ERROR_DESCRIPTION_BUF_SIZE, record, "\n\t");
  at += std::strlen(at);
  *at++ = '\n';
  return at;
}

int explain_frames(char* const* frames, int count, output_block& block) noexcept {
  constexpr unsigned view = VIEW_ASCII | VIEW_ALIGN_SFF | VIEW_ERROR;
  int status = 0;
  for (int i = 0; i < count; ++i) {
    frame_record record;
    const frame_kind kind = parse_frame_text(frames[i], record);
    if (kind == not_a_frame) {
      status = 1;
      if (!block.flush()) break;
      say("'%s' is not a CAN frame", frames[i]);
      continue;
    }
    if (explainer_complains(record) && !block.flush()) break;
    char* out = format_frame_long(block.end(), record, view, kind);
    *out = '\n';
    out = (record.can_id & CAN_ERR_FLAG) != 0 ? put_error_lines(out, record) : out + 1;
    if (!block.commit(out)) break;
  }
  return block.flush() && status == 0 && !block.failed() ? 0 : 1;
}

}  // namespace cantext::tool
