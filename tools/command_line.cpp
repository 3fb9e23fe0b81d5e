// SPDX-License-Identifier: MIT
#include "command_line.hpp"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "input_files.hpp"
#include "line_format.hpp"

#ifndef CANTEXT_VERSION
#error "CANTEXT_VERSION is set by the build"
#endif

namespace cantext::tool {
namespace {

constexpr char synopsis[] =
    "Usage: cantext long [--binary] [--swap] [--no-ascii] [--no-align] [--explain]\n"
    "                    [--time VIEW] [--delta-per-id] [FILTER...] [--keep-going]\n"
    "                    [--from FORMAT] [FILE...]\n"
    "       cantext compact [--dots] [FILTER...] [--keep-going] [--from FORMAT] [FILE...]\n"
    "       cantext convert --to FORMAT [--from FORMAT] [-o FILE] [--timezone TZ]\n"
    "                       [--channel-map MAP] [FILTER...] [--keep-going] [FILE...]\n"
    "       cantext decode --dbc FILE [--no-choices] [--multi-line] [FILTER...]\n"
    "                      [--keep-going] [--from FORMAT] [FILE...]\n"
    "       cantext stats [--csv] [FILTER...] [--keep-going] [--from FORMAT] [FILE...]\n"
    "       cantext explain FRAME...\n"
    "       cantext --help | COMMAND --help | --version\n"
    "FILTER: --id LIST, --channel NAMES, --errors-only, --no-errors\n";

constexpr char files_help[] =
    "Reads a capture from each FILE in turn; with no FILE, or when FILE is -, from standard\n"
    "input.  A capture is a log of lines \"(time) interface frame\", or a Vector ASC or PEAK\n"
    "TRC file, told by its first lines.\n";

constexpr char from_help[] =
    "  --from FORMAT  read every input as log, asc or trc (default: told by the content)\n";

constexpr char filter_help[] =
    "  --id LIST        only frames of these identifiers, in hex as frames write them (3 digits\n"
    "                   standard, 8 extended): ID, ID-ID, ID:MASK or ~ID:MASK, by commas\n"
    "  --channel NAMES  only frames of these channels, by commas\n"
    "  --errors-only    only error frames\n"
    "  --no-errors      no error frames\n"
    "  (--id and --channel may be repeated; a frame is kept when it matches both lists)\n";

constexpr char keep_going_help[] =
    "  --keep-going  report each bad line and skip it (default: stop at the first)\n";

constexpr char long_help[] =
    "cantext long: each line as its two fields and its frame in the long form.\n"
    "  --binary      data bytes in binary\n"
    "  --swap        data bytes in reverse order\n"
    "  --no-ascii    no column of the bytes as characters\n"
    "  --no-align    standard identifiers not right-aligned\n"
    "  --explain     under an error frame, its description, one entry per line\n"
    "  --time VIEW   a first field that is a log time as given (absolute, the default),\n"
    "                in seconds since the first frame (relative) or the previous frame\n"
    "                (delta), or as a UTC date to the microsecond (date)\n"
    "  --delta-per-id  delta: since the previous frame of the channel and identifier\n";

constexpr char compact_help[] =
    "cantext compact: each line as its two fields and its frame in compact notation.\n"
    "  --dots        a dot between data bytes\n";

constexpr char convert_help[] =
    "cantext convert: each capture's frames in another format.\n"
    "  --to FORMAT        log, asc or trc\n"
    "  -o, --output FILE  write FILE (default: standard output)\n"
    "  --timezone TZ      the zone of wall-clock start times in headers (default: UTC)\n"
    "  --channel-map MAP  FROM=TO,... channel names to write (a number N is channel canN-1)\n";

constexpr char decode_help[] =
    "cantext decode: each line as it is; after a frame the database knows, its signals.\n"
    "  --dbc FILE     the DBC database\n"
    "  --no-choices   values as numbers, not by the names the database gives them\n"
    "  --multi-line   one signal a line\n";

constexpr char stats_help[] =
    "cantext stats: a row per channel and identifier, one per error class, one for all the\n"
    "channel's frames: count, first and last time, mean, least and greatest period, rate\n"
    "(frames per second) and the data lengths seen.\n"
    "  --csv         comma-separated values with a header line\n";

constexpr char explain_help[] =
    "cantext explain: each FRAME in the long form; an error frame with its description.\n";

// Values of the options, as getopt_long returns them; none has a short form.
enum option_value : int {
  opt_help = 256,
  opt_version,
  opt_binary,
  opt_swap,
  opt_no_ascii,
  opt_no_align,
  opt_explain,
  opt_keep_going,
  opt_dots,
  opt_from,
  opt_to,
  opt_output = 'o',
  opt_timezone = 300,
  opt_channel_map,
  opt_dbc,
  opt_no_choices,
  opt_multi_line,
  opt_id,
  opt_channel,
  opt_errors_only,
  opt_no_errors,
  opt_time,
  opt_delta_per_id,
  opt_csv,
};

constexpr option top_options[] = {
    {"help", no_argument, nullptr, opt_help},
    {"version", no_argument, nullptr, opt_version},
    {nullptr, 0, nullptr, 0},
};
// The options of every command that reads captures, and the table's end: getopt_long takes one
// array per command.
// clang-format off
#define READING_OPTIONS                                       \
  {"keep-going", no_argument, nullptr, opt_keep_going},       \
  {"from", required_argument, nullptr, opt_from},             \
  {"id", required_argument, nullptr, opt_id},                 \
  {"channel", required_argument, nullptr, opt_channel},       \
  {"errors-only", no_argument, nullptr, opt_errors_only},     \
  {"no-errors", no_argument, nullptr, opt_no_errors},         \
  {"help", no_argument, nullptr, opt_help},                   \
  {nullptr, 0, nullptr, 0}
// clang-format on

constexpr option long_options[] = {
    {"binary", no_argument, nullptr, opt_binary},
    {"swap", no_argument, nullptr, opt_swap},
    {"no-ascii", no_argument, nullptr, opt_no_ascii},
    {"no-align", no_argument, nullptr, opt_no_align},
    {"explain", no_argument, nullptr, opt_explain},
    {"time", required_argument, nullptr, opt_time},
    {"delta-per-id", no_argument, nullptr, opt_delta_per_id},
    READING_OPTIONS,
};
constexpr option compact_options[] = {
    {"dots", no_argument, nullptr, opt_dots},
    READING_OPTIONS,
};
constexpr option convert_options[] = {
    {"to", required_argument, nullptr, opt_to},
    {"output", required_argument, nullptr, opt_output},
    {"timezone", required_argument, nullptr, opt_timezone},
    {"channel-map", required_argument, nullptr, opt_channel_map},
    READING_OPTIONS,
};
constexpr option decode_options[] = {
    {"dbc", required_argument, nullptr, opt_dbc},
    {"no-choices", no_argument, nullptr, opt_no_choices},
    {"multi-line", no_argument, nullptr, opt_multi_line},
    READING_OPTIONS,
};
constexpr option stats_options[] = {
    {"csv", no_argument, nullptr, opt_csv},
    READING_OPTIONS,
};
constexpr option explain_options[] = {
    {"help", no_argument, nullptr, opt_help},
    {nullptr, 0, nullptr, 0},
};

struct command_entry {
  const char* name;
  command what;
  const option* options;
  const char* help;
  bool reads_files;
  const char* short_options;
};

constexpr command_entry commands[] = {
    {"long", command::long_form, long_options, long_help, true, ""},
    {"compact", command::compact, compact_options, compact_help, true, ""},
    {"convert", command::convert, convert_options, convert_help, true, "o:"},
    {"decode", command::decode, decode_options, decode_help, true, ""},
    {"stats", command::stats, stats_options, stats_help, true, ""},
    {"explain", command::explain, explain_options, explain_help, false, ""},
};

int print_help(std::initializer_list<const char*> parts) noexcept {
  for (const char* part : parts) std::fputs(part, stdout);
  if (std::fflush(stdout) == 0) return 0;
  std::fprintf(stderr, "write: %s\n", std::strerror(errno));
  return 1;
}

int usage_error() noexcept {
  std::fputs(synopsis, stderr);
  return 2;
}

// Reports the option getopt_long has just declined: a short one by its letter (optind may still
// be on its word, as on "-dx"; a letter past ASCII is negative where char is signed), a long one
// by its word, which optind has passed.  -o and --output share their value: where -o is an
// option, either, missing its own value, is named by its word.
int bad_option(char** argv, const char* short_options) noexcept {
  const bool value_missing = optopt == opt_output && std::strchr(short_options, 'o') != nullptr;
  if (optopt != 0 && optopt < opt_help && !value_missing) {
    say("invalid option '-%c'", optopt);
  } else {
    say("invalid option '%s'", argv[optind - 1]);
  }
  return usage_error();
}

// Adds an --id or --channel list to the filter; false once the fault is reported.
bool add_filter_list(reader::frame_filter& filter, bool ids, const char* list) noexcept {
  const char* problem = "";
  if (ids ? reader::add_ids(filter, list, problem) : reader::add_channels(filter, list, problem)) {
    return true;
  }
  say("%s '%s': %s", ids ? "--id" : "--channel", list, problem);
  return false;
}

// The view that --time names; false for another name.
bool read_time_view(const char* name, time_view& view) noexcept {
  static constexpr struct {
    const char* name;
    time_view view;
  } views[] = {{"absolute", time_view::absolute},
               {"relative", time_view::relative},
               {"delta", time_view::delta},
               {"date", time_view::date}};
  for (const auto& v : views) {
    if (std::strcmp(name, v.name) == 0) {
      view = v.view;
      return true;
    }
  }
  return false;
}

// The options of one command, after its name at argv[0]; -1 to run it.
int parse_command(const command_entry& entry, int argc, char** argv, command_line& line) noexcept {
  line.what = entry.what;
  bool time_given = false;
  bool delta_per_id = false;
  optind = 0;  // starts getopt_long afresh on this argv
  for (;;) {
    const int value = getopt_long(argc, argv, entry.short_options, entry.options, nullptr);
    switch (value) {
      case -1:
        line.args = argv + optind;
        line.arg_count = argc - optind;
        if (entry.what == command::explain && line.arg_count == 0) {
          say("explain needs a FRAME");
          return usage_error();
        }
        if (entry.what == command::convert && line.to == nullptr) {
          say("convert needs --to FORMAT");
          return usage_error();
        }
        if (delta_per_id) {
          if (time_given && line.time != time_view::delta) {
            say("--delta-per-id goes with --time delta");
            return usage_error();
          }
          line.time = time_view::delta_per_id;
        }
        if (line.filter.errors_only && line.filter.no_errors) {
          say("--errors-only and --no-errors exclude each other");
          return usage_error();
        }
        if (entry.what == command::decode && line.dbc == nullptr) {
          say("decode needs --dbc FILE");
          return usage_error();
        }
        return -1;
      case opt_help:
        return entry.reads_files
                   ? print_help({entry.help, from_help, filter_help, keep_going_help, files_help})
                   : print_help({entry.help});
      case opt_binary:
        line.view |= VIEW_BINARY;
        break;
      case opt_swap:
        line.view |= VIEW_SWAP;
        break;
      case opt_no_ascii:
        line.view &= ~VIEW_ASCII;
        break;
      case opt_no_align:
        line.view &= ~VIEW_ALIGN_SFF;
        break;
      case opt_explain:
        line.view |= VIEW_ERROR;
        break;
      case opt_keep_going:
        line.keep_going = true;
        break;
      case opt_dots:
        line.dots = true;
        break;
      case opt_from:
      case opt_to:
        if (reader::find_format(optarg) == nullptr) {
          say("unknown format '%s' (log, asc or trc)", optarg);
          return usage_error();
        }
        (value == opt_from ? line.from : line.to) = optarg;
        break;
      case opt_output:
        line.output = optarg;
        break;
      case opt_timezone:
        line.timezone = optarg;
        break;
      case opt_channel_map:
        line.channel_map = optarg;
        break;
      case opt_dbc:
        line.dbc = optarg;
        break;
      case opt_no_choices:
        line.choices = false;
        break;
      case opt_multi_line:
        line.multi_line = true;
        break;
      case opt_id:
      case opt_channel:
        if (!add_filter_list(line.filter, value == opt_id, optarg)) return usage_error();
        break;
      case opt_time:
        if (!read_time_view(optarg, line.time)) {
          say("unknown time view '%s' (absolute, relative, delta or date)", optarg);
          return usage_error();
        }
        time_given = true;
        break;
      case opt_delta_per_id:
        delta_per_id = true;
        break;
      case opt_csv:
        line.csv = true;
        break;
      case opt_errors_only:
        line.filter.errors_only = true;
        break;
      case opt_no_errors:
        line.filter.no_errors = true;
        break;
      default:
        return bad_option(argv, entry.short_options);
    }
  }
}

}  // namespace

int parse_command_line(int argc, char** argv, command_line& line) noexcept {
  opterr = 0;  // the messages are this program's own
  // "+": the options before the command only.
  for (int value; (value = getopt_long(argc, argv, "+", top_options, nullptr)) != -1;) {
    if (value == opt_help) {
      return print_help({synopsis, "\n", files_help, "\n", long_help, compact_help, convert_help,
                         decode_help, stats_help, from_help, filter_help, keep_going_help,
                         explain_help});
    }
    if (value == opt_version) return print_help({"cantext " CANTEXT_VERSION "\n"});
    return bad_option(argv, "+");
  }
  if (optind == argc) return usage_error();
  const char* const name = argv[optind];
  for (const command_entry& entry : commands) {
    if (std::strcmp(name, entry.name) == 0) {
      return parse_command(entry, argc - optind, argv + optind, line);
    }
  }
  say("unknown command '%s'", name);
  return usage_error();
}

}  // namespace cantext::tool
