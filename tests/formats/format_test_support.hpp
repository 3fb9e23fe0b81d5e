// SPDX-License-Identifier: MIT
// Reading a whole capture through a format, line by line, into what the tests compare: each
// frame's time, channel, compact text and direction, or a bad line's number and problem.
#ifndef CANTEXT_TESTS_FORMAT_TEST_SUPPORT_HPP
#define CANTEXT_TESTS_FORMAT_TEST_SUPPORT_HPP

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cantext/compact_form.hpp"
#include "line_format.hpp"
#include "log_time.hpp"

namespace format_tests {

struct read_frame {
  std::string time, channel, frame, direction;
  int max_data_length;
};

struct read_result {
  std::vector<read_frame> frames;
  // Every line that is not skipped, in order: "time channel frame [direction]" for a frame,
  // "LINE: problem" for a bad line.
  std::string summary;
  int skipped = 0;
};

// A format that hands on the time of its first field in nanoseconds must hand on what the text
// says: empty when it does, or leaves the time to the text; else words that break the summary.
inline std::string handed_time_fault(const cantext::reader::line_parts& parts) {
  using namespace cantext::reader;
  if (parts.time_digits == 0 || parts.time_ns < 0) return {};
  std::int64_t ns = 0;
  int digits = 0;
  if (parse_log_time(parts.fields[0], ns, digits) &&
      ns == written_log_time(parts.time_ns, parts.time_digits) && digits == parts.time_digits) {
    return {};
  }
  return " (handed on as " + std::to_string(parts.time_ns) + " with " +
         std::to_string(parts.time_digits) + " digits)";
}

inline read_result read_all(const cantext::reader::line_format& format, std::string_view text,
                            cantext::reader::format_options options = {}) {
  using namespace cantext::reader;
  read_result result;
  format_state state;
  state.options = options;
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    line_parts parts{};
    const line_verdict verdict = format.parse(state, text.substr(start, end - start), parts);
    start = end + 1;
    if (verdict == line_verdict::skipped) {
      ++result.skipped;
    } else if (verdict == line_verdict::bad) {
      result.summary += std::to_string(number) + ": " + parts.problem + "\n";
    } else {
      char compact[cantext::COMPACT_FORM_BUF_SIZE];
      cantext::format_frame_compact(compact, parts.record, false, parts.max_data_length);
      read_frame f{std::string(parts.fields[0]) + handed_time_fault(parts),
                   std::string(parts.fields[1]), compact, std::string(parts.direction),
                   parts.max_data_length};
      result.summary += f.time + " " + f.channel + " " + f.frame +
                        (f.direction.empty() ? "" : " " + f.direction) + "\n";
      result.frames.push_back(f);
    }
  }
  return result;
}

}  // namespace format_tests

#endif
