// SPDX-License-Identifier: MIT
#include "command_writers.hpp"

#include <cstring>

#include "input_files.hpp"

namespace cantext::tool {

bool explainer_complains(const frame_record& record) noexcept {
  return (record.can_id & CAN_ERR_FLAG) != 0 && (record.can_id & CAN_ERR_MASK) > max_error_class;
}

char* put_error_lines(char* at, const frame_record& record) noexcept {
  std::memcpy(at, "\n\t", 2);
  at += 2;
  format_error_description(at, ERROR_DESCRIPTION_BUF_SIZE, record, "\n\t");
  at += std::strlen(at);
  *at++ = '\n';
  return at;
}

bool command_stage::bad_line(const reader::line& l, reader::line_fault fault,
                             std::string_view) noexcept {
  // The pieces of a long line share its number: the line is reported once.
  const bool reported = saw_bad_line_ && l.number == last_bad_number_;
  saw_bad_line_ = true;
  last_bad_number_ = l.number;
  if (reported) return keep_going_;
  // The message follows every line before it, wherever both streams go.
  if (!block_.flush()) return false;
  report_bad_line(file_, l.number, fault, l.problem);
  return keep_going_;
}

int explain_frames(char* const* frames, int count, output_block& block) noexcept {
  constexpr unsigned view = VIEW_ASCII | VIEW_ALIGN_SFF | VIEW_ERROR;
  int status = 0;
  for (int i = 0; i < count; ++i) {
    frame_record record;
    const int mtu = parse_frame_text(frames[i], record);
    if (mtu == 0) {
      status = 1;
      if (!block.flush()) break;
      say("'%s' is not a CAN frame", frames[i]);
      continue;
    }
    const int max_data_length = mtu == CANFD_MTU ? CANFD_MAX_DLEN : CAN_MAX_DLEN;
    if (explainer_complains(record) && !block.flush()) break;
    char* out = format_frame_long(block.end(), record, view, max_data_length);
    *out = '\n';
    out = (record.can_id & CAN_ERR_FLAG) != 0 ? put_error_lines(out, record) : out + 1;
    if (!block.commit(out)) break;
  }
  return block.flush() && status == 0 && !block.failed() ? 0 : 1;
}

}  // namespace cantext::tool
