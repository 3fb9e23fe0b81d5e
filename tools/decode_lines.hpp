// SPDX-License-Identifier: MIT
// `cantext decode`: every line of a capture as it is, and after a frame that the DBC database
// knows, "  :: Name(signal: value unit, ...)" (or one signal a line with --multi-line).
#ifndef CANTEXT_TOOLS_DECODE_LINES_HPP
#define CANTEXT_TOOLS_DECODE_LINES_HPP

#include <cstdint>
#include <string_view>

#include "cantext/dbc.hpp"
#include "line_writer.hpp"

namespace cantext::tool {

// The most signals a message may have for the command to show it.
inline constexpr std::size_t max_shown_signals = 512;

class decode_writer : public writer_stage {
 public:
  decode_writer(const dbc::database& db, unsigned options, output_block& block, byte_sink err,
                bool keep_going) noexcept
      : writer_stage(block, err, bad_line_style::command, keep_going), db_(db), options_(options) {}

  bool line(const reader::line& l) noexcept;
  // Headers, comments and events of a format pass through unchanged.
  bool skipped_line(std::string_view text, std::uint64_t) noexcept;

 private:
  const dbc::database& db_;
  unsigned options_;  // dbc::format_option bits
  dbc::signal_value values_[max_shown_signals];
};

}  // namespace cantext::tool

#endif
