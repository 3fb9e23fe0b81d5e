// SPDX-License-Identifier: MIT
// The cantext command's command line, parsed with the C library's getopt_long.
#ifndef CANTEXT_TOOLS_COMMAND_LINE_HPP
#define CANTEXT_TOOLS_COMMAND_LINE_HPP

#include "cantext/long_form.hpp"
#include "frame_filter.hpp"
#include "time_views.hpp"

namespace cantext::tool {

enum class command { long_form, compact, convert, decode, stats, explain };

struct command_line {
  command what = command::long_form;
  unsigned view = VIEW_ASCII | VIEW_ALIGN_SFF;  // long
  time_view time = time_view::absolute;         // long: the first field's view
  bool dots = false;                            // compact
  bool keep_going = false;                      // the commands that read captures
  const char* from = nullptr;                   // the input's format; null: told by its first block
  const char* to = nullptr;                     // convert: the output's format
  const char* output = nullptr;                 // convert: the output file; null: standard output
  const char* timezone = nullptr;               // convert: the zone of headers' wall-clock times
  const char* channel_map = nullptr;            // convert: "FROM=TO,..." channel names
  const char* dbc = nullptr;                    // decode: the database
  bool choices = true;                          // decode: values by their names
  bool multi_line = false;                      // decode: one signal a line
  bool csv = false;                             // stats: comma-separated values
  reader::frame_filter filter;                  // the commands that read captures: --id, ...
  char** args = nullptr;                        // the files, or the frames to explain
  int arg_count = 0;
};

// Parses argv into `line` and returns -1 when the command is to run.  Otherwise returns the
// exit status once the help or version text is printed (0), or a usage error reported (2).
int parse_command_line(int argc, char** argv, command_line& line) noexcept;

}  // namespace cantext::tool

#endif
