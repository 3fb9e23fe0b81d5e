// SPDX-License-Identifier: MIT
// Reading a whole capture through a format, line by line, into what the tests compare: each
// frame's time, channel, compact text and direction, or a bad line's number and problem.
#ifndef CANTEXT_TESTS_FORMAT_TEST_SUPPORT_HPP
#define CANTEXT_TESTS_FORMAT_TEST_SUPPORT_HPP

#include <cstdint>
#include <cstring>
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

// A reading that wants no time text (format_options::time_text false) must make the same of a
// line but for leaving out the text of a time handed on that is 0 or more.
inline bool same_without_time_text(const cantext::reader::line_parts& parts,
                                   cantext::reader::line_verdict verdict,
                                   const cantext::reader::line_parts& bare,
                                   cantext::reader::line_verdict bare_verdict) {
  using cantext::reader::line_verdict;
  if (verdict != bare_verdict) return false;
  if (verdict == line_verdict::skipped) return true;
  if (verdict == line_verdict::bad) return std::string_view(parts.problem) == bare.problem;
  const bool handed = parts.time_digits != 0 && parts.time_ns >= 0;
  return bare.fields[0] == (handed ? std::string_view() : parts.fields[0]) &&
         bare.time_ns == parts.time_ns && bare.time_digits == parts.time_digits &&
         bare.fields[1] == parts.fields[1] && bare.fields[2] == parts.fields[2] &&
         bare.direction == parts.direction && bare.max_data_length == parts.max_data_length &&
         std::memcmp(&bare.record, &parts.record, sizeof parts.record) == 0;
}

inline read_result read_all(const cantext::reader::line_format& format, std::string_view text,
                            cantext::reader::format_options options = {}) {
  using namespace cantext::reader;
  read_result result;
  format_state state;
  state.options = options;
  // The same lines read as Python's read_log reads them, alongside.
  format_state bare_state;
  bare_state.options = options;
  bare_state.options.time_text = false;
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    line_parts parts{};
    const line_verdict verdict = format.parse(state, line, parts);
    line_parts bare{};
    // And with no time head kept from the line before: the quick time against the full one.
    bare_state.time_head = format_state::kept_time_head{};
    const line_verdict bare_verdict = format.parse(bare_state, line, bare);
    start = end + 1;
    if (!same_without_time_text(parts, verdict, bare, bare_verdict)) {
      result.summary += std::to_string(number) + ": not so without the time's text\n";
    }
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
