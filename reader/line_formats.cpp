// SPDX-License-Identifier: MIT
// The table of the formats a reader knows: a new format is a row here.
#include "line_format.hpp"

namespace cantext::reader {

// Defined in files of their own, and reached through this table.
extern const line_format asc_format;  // Vector ASC
extern const line_format trc_format;  // PEAK TRC

const line_format* const line_formats[] = {
    &log_format,
    &asc_format,
    &trc_format,
};
const std::size_t line_format_count = sizeof line_formats / sizeof line_formats[0];

const line_format* find_format(std::string_view name) noexcept {
  for (std::size_t i = 0; i < line_format_count; ++i) {
    if (name == line_formats[i]->name) return line_formats[i];
  }
  return nullptr;
}

const line_format& recognise_format(std::string_view head) noexcept {
  // The log takes any input: it is asked last.
  for (std::size_t i = 1; i < line_format_count; ++i) {
    if (line_formats[i]->recognise(head)) return *line_formats[i];
  }
  return log_format;
}

}  // namespace cantext::reader
