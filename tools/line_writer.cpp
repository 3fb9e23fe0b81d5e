// SPDX-License-Identifier: MIT
#include "line_writer.hpp"

#include <cstdio>

#include "input_files.hpp"

namespace cantext::tool {

bool writer_stage::bad_line(const reader::line& l, reader::line_fault fault,
                            std::string_view) noexcept {
  // The pieces of a long line share its number: the line is reported once.
  const bool reported = saw_bad_line_ && l.number == last_bad_number_;
  saw_bad_line_ = true;
  last_bad_number_ = l.number;
  if (style_ == bad_line_style::filter) {
    // The message follows every line before it, wherever both streams go.
    if (block_.flush() && fault == reader::line_fault::bad_frame) {
      static constexpr char incomplete_frame[] = "read: incomplete CAN frame\n";
      (void)try_write_all(err_, incomplete_frame, sizeof incomplete_frame - 1);
    }
    return false;
  }
  if (reported) return keep_going_;
  if (!block_.flush()) return false;
  char message[4096];
  const int n =
      std::snprintf(message, sizeof message, "%s:%llu: %s\n", file_,
                    static_cast<unsigned long long>(l.number), bad_line_text(fault, l.problem));
  if (n > 0) {
    const std::size_t length = static_cast<std::size_t>(n) < sizeof message
                                   ? static_cast<std::size_t>(n)
                                   : sizeof message - 1;
    (void)try_write_all(err_, message, length);
  }
  return keep_going_;
}

int writer_stage::finish(reader::ending how, int read_error) noexcept {
  if (how == reader::ending::read_error) {
    (void)block_.flush();
    report_error(err_, "read", read_error);
    return 1;
  }
  if (how == reader::ending::end_of_input) (void)block_.flush();
  return saw_bad_line_ || block_.failed() ? 1 : 0;
}

}  // namespace cantext::tool
