// SPDX-License-Identifier: MIT
// The cantext command in-process.  A command line made of the input is parsed and held against a
// plain model of the options (getopt_long's rules: whole or unambiguous abbreviated long options,
// values after "=" or in the next word, options anywhere among the files, "--" ending them).
// Then, for long, compact and explain, the rest of the input, split into the named files, goes
// through the writer stage the command runs, as read_files drives it, over memory sources read
// as the log format.  Everything written (lines, the command's messages and the library's own on
// standard error) lands in one transcript, in the order written, which must be the model's: each
// line rendered as the library renders the model reader's line, each bad line reported once as
// "FILE:LINE: text" after the lines before it, the reading ended by the first unless
// --keep-going, and "Error class ... is invalid" after the lines before it.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cantext/cantext.hpp"
#include "command_line.hpp"
#include "fd_capture.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "line_model.hpp"
#include "line_renders.hpp"
#include "memory_source.hpp"

namespace cantext_fuzz::command {
namespace {

using cantext::tool::command;
using cantext::tool::command_line;
using names = std::vector<std::string>;

// What the command line should give: the status, the message before the usage, and on -1 what
// the command is to run with.
struct parse_model {
  int status = -1;
  std::string message;  // without "cantext: " and the line break; empty for none
  bool usage = false;   // the usage follows the message
  bool prints = false;  // help or version on standard output
  command what = command::long_form;
  unsigned view = cantext::VIEW_ASCII | cantext::VIEW_ALIGN_SFF;
  bool dots = false;
  bool keep_going = false;
  bool choices = true;
  bool multi_line = false;
  bool unmodelled = false;  // the frame filter, the time views or stats: tested on their own
  std::map<std::string, std::string> values;  // of the options that take one
  names args;
};

// Each command's options, "name=" for one that takes a value; convert's --output is also -o.
struct command_options {
  const char* name;
  command what;
  names options;
};

const command_options commands[] = {
    {"long",
     command::long_form,
     {"binary", "swap", "no-ascii", "no-align", "explain", "keep-going", "from=", "help",
      "time=", "delta-per-id", "id=", "channel=", "errors-only", "no-errors"}},
    {"compact",
     command::compact,
     {"dots", "keep-going", "from=", "help", "id=", "channel=", "errors-only", "no-errors"}},
    {"convert",
     command::convert,
     {"to=", "from=", "output=", "timezone=", "channel-map=", "keep-going", "help",
      "id=", "channel=", "errors-only", "no-errors"}},
    {"decode",
     command::decode,
     {"dbc=", "no-choices", "multi-line", "keep-going", "from=", "help",
      "id=", "channel=", "errors-only", "no-errors"}},
    {"stats",
     command::stats,
     {"csv", "keep-going", "from=", "help", "id=", "channel=", "errors-only", "no-errors"}},
    {"explain", command::explain, {"help"}},
};

// Options whose effects have tests of their own; their names are here so that abbreviations
// are told apart as the command tells them.
bool unmodelled_option(const std::string& option) {
  for (const char* other :
       {"time=", "delta-per-id", "id=", "channel=", "errors-only", "no-errors", "csv"}) {
    if (option == other) return true;
  }
  return false;
}

// The option that `name` names, whole or as the start of only one; null when none does.
const std::string* long_option(const std::string& name, const names& options) {
  const std::string* found = nullptr;
  int starts = 0;
  for (const std::string& option : options) {
    const std::string bare = option.substr(0, option.find('='));
    if (bare == name) return &option;
    if (bare.compare(0, name.size(), name) == 0) {
      found = &option;
      ++starts;
    }
  }
  return starts == 1 ? found : nullptr;
}

bool is_option(const std::string& word) {
  return word.size() > 1 && word[0] == '-';
}

parse_model usage_error(std::string message) {
  parse_model m;
  m.status = 2;
  m.message = std::move(message);
  m.usage = true;
  return m;
}

// A bad option (or one without its value) is named by its first letter when short, whole when
// long.
parse_model bad_option(const std::string& word) {
  return usage_error("invalid option '" + word.substr(0, word[1] == '-' ? word.size() : 2) + "'");
}

parse_model model_parse(const names& argv) {
  parse_model m;
  const command_options* c = nullptr;
  std::size_t i = 1;
  // Before the command: --help and --version only.
  for (; i < argv.size() && is_option(argv[i]); ++i) {
    if (argv[i] == "--") {
      ++i;
      break;
    }
    if (argv[i][1] != '-' || argv[i].find('=') != std::string::npos ||
        long_option(argv[i].substr(2), {"help", "version"}) == nullptr) {
      return bad_option(argv[i]);
    }
    m.status = 0;
    m.prints = true;
    return m;
  }
  if (i == argv.size()) return usage_error("");
  for (const command_options& entry : commands) {
    if (argv[i] == entry.name) c = &entry;
  }
  if (c == nullptr) return usage_error("unknown command '" + argv[i] + "'");
  m.what = c->what;
  m.unmodelled = m.what == command::stats;
  if (m.unmodelled) return m;
  for (++i; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (word == "--") {
      m.args.insert(m.args.end(), argv.begin() + static_cast<long>(i) + 1, argv.end());
      break;
    }
    if (!is_option(word)) {
      m.args.push_back(word);
      continue;
    }
    // The option as listed, and its value: "--name=value", "--name value", "-ovalue" or
    // "-o value".
    std::string option = "output=";
    std::string value;
    bool value_in_word;
    if (word[1] == '-') {
      const std::size_t equals = word.find('=');
      const std::string* found = long_option(word.substr(2, equals - 2), c->options);
      if (found == nullptr) return bad_option(word);
      option = *found;
      value_in_word = equals != std::string::npos;
      if (value_in_word) value = word.substr(equals + 1);
    } else {
      if (word[1] != 'o' || c->what != command::convert) return bad_option(word);
      value_in_word = word.size() > 2;
      value = word.substr(2);
    }
    const bool takes_value = option.back() == '=';
    if (value_in_word && !takes_value) return bad_option(word);
    if (!value_in_word && takes_value) {
      if (i + 1 == argv.size()) return bad_option(word);
      value = argv[++i];
    }
    if (option == "help") {
      m.status = 0;
      m.prints = true;
      return m;
    }
    m.unmodelled = unmodelled_option(option);
    if (m.unmodelled) return m;
    if (option == "binary") m.view |= cantext::VIEW_BINARY;
    if (option == "swap") m.view |= cantext::VIEW_SWAP;
    if (option == "no-ascii") m.view &= ~cantext::VIEW_ASCII;
    if (option == "no-align") m.view &= ~cantext::VIEW_ALIGN_SFF;
    if (option == "explain") m.view |= cantext::VIEW_ERROR;
    if (option == "keep-going") m.keep_going = true;
    if (option == "dots") m.dots = true;
    if (option == "no-choices") m.choices = false;
    if (option == "multi-line") m.multi_line = true;
    if ((option == "from=" || option == "to=") && value != "log" && value != "asc" &&
        value != "trc") {
      return usage_error("unknown format '" + value + "' (log, asc or trc)");
    }
    if (takes_value) m.values[option.substr(0, option.size() - 1)] = value;
  }
  if (m.what == command::explain && m.args.empty()) return usage_error("explain needs a FRAME");
  if (m.what == command::convert && m.values.count("to") == 0) {
    return usage_error("convert needs --to FORMAT");
  }
  if (m.what == command::decode && m.values.count("dbc") == 0) {
    return usage_error("decode needs --dbc FILE");
  }
  return m;
}

// What the parser gave for an option that takes a value, as the model keeps it.
bool same_value(const char* got, const parse_model& m, const char* option) {
  const auto found = m.values.find(option);
  return found == m.values.end() ? got == nullptr : got != nullptr && found->second == got;
}

// The error description under an error frame, and the library's message for a class it calls
// invalid (it describes nothing then).
std::string model_description(const cantext::frame_record& r, std::string& transcript) {
  const std::uint32_t error_class = r.can_id & cantext::CAN_ERR_MASK;
  if (error_class > 0x200) {
    char message[64];
    std::snprintf(message, sizeof message, "Error class %#x is invalid\n", error_class);
    transcript += message;
    return "";
  }
  char text[cantext::ERROR_DESCRIPTION_BUF_SIZE];
  cantext::format_error_description(text, sizeof text, r, "\n\t");
  return text;
}

// The long form, with the description under an error frame when the view asks for it.
std::string model_long(const cantext::frame_record& r, unsigned view, int maxdlen,
                       std::string& transcript) {
  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, r, view, maxdlen);
  std::string s = text;
  if ((view & cantext::VIEW_ERROR) && (r.can_id & cantext::CAN_ERR_FLAG)) {
    s += "\n\t" + model_description(r, transcript);
  }
  return s + "\n";
}

std::string model_render(const parse_model& c, const model_line& m, std::string& transcript) {
  const std::string f0(m.fields[0]), f1(m.fields[1]);
  if (c.what == command::compact) {
    char text[cantext::COMPACT_FORM_BUF_SIZE];
    cantext::format_frame_compact(text, m.record, c.dots, m.max_data_length);
    return f0 + " " + f1 + " " + text + "\n";
  }
  return f0 + "  " + f1 + "  " + model_long(m.record, c.view, m.max_data_length, transcript);
}

struct writer_model {
  std::string out;         // standard output
  std::string transcript;  // both streams, in order
  int status = 0;
};

writer_model model_files(const parse_model& c, const names& files,
                         const std::vector<std::string_view>& texts) {
  writer_model w;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::uint64_t reported = 0;
    for (const model_line& m : model_lines(texts[i]).lines) {
      if (m.fault == model_fault::none) {
        const std::string line = model_render(c, m, w.transcript);
        w.out += line;
        w.transcript += line;
        continue;
      }
      w.status = 1;
      if (m.number != reported) {
        w.transcript += files[i] + ":" + std::to_string(m.number) + ": " +
                        (m.fault == model_fault::bad_frame ? "incomplete CAN frame\n"
                                                           : "fewer than three fields\n");
      }
      reported = m.number;
      if (!c.keep_going) return w;
    }
  }
  return w;
}

writer_model model_explain(const names& frames) {
  writer_model w;
  for (const std::string& text : frames) {
    cantext::frame_record r;
    const cantext::frame_kind kind = cantext::parse_frame_text(text, r);
    if (kind == cantext::not_a_frame) {
      w.transcript += "cantext: '" + text + "' is not a CAN frame\n";
      w.status = 1;
      continue;
    }
    const unsigned view = cantext::VIEW_ASCII | cantext::VIEW_ALIGN_SFF | cantext::VIEW_ERROR;
    const std::string line = model_long(r, view, cantext::max_dlen(kind), w.transcript);
    w.out += line;
    w.transcript += line;
  }
  return w;
}

// Both streams go to standard error, which the target captures together with the library's
// message; standard output is kept apart as well.
struct transcript_sink {
  std::string* copy;
  static long write(void* context, const char* buf, std::size_t n) {
    auto& s = *static_cast<transcript_sink*>(context);
    const long w = ::write(STDERR_FILENO, buf, n);
    if (w > 0 && s.copy != nullptr) s.copy->append(buf, static_cast<std::size_t>(w));
    return w;
  }
};

cantext::tool::writer_buffers buffers;

// The named files' texts through the writer stage, as read_files reads them.
template <class Render>
int rewrite(Render render, const command_line& line, const std::vector<std::string_view>& texts,
            choice_stream& chunks, cantext::tool::output_block& block,
            cantext::tool::byte_sink err) {
  static char standard_input[] = "-";
  static char* const only_standard_input[] = {standard_input};
  char* const* const files = line.arg_count > 0 ? line.args : only_standard_input;
  cantext::tool::line_writer<Render> writer(
      render, block, err, cantext::tool::bad_line_style::command, line.keep_going);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    writer.set_file(files[i]);
    memory_source in{texts[i], &chunks, false};
    cantext::reader::line_reader lines(in.source(), buffers.input);
    if (lines.read(writer) == cantext::reader::ending::stopped) break;
  }
  (void)writer.flush();
  return writer.saw_bad_line() || writer.write_failed() ? 1 : 0;
}

int run_command(const command_line& line, const std::vector<std::string_view>& texts,
                choice_stream& chunks, std::string& out) {
  transcript_sink out_copy{&out}, err_copy{nullptr};
  const cantext::tool::byte_sink out_sink{&out_copy, transcript_sink::write};
  const cantext::tool::byte_sink err_sink{&err_copy, transcript_sink::write};
  cantext::tool::output_block block(out_sink, err_sink, buffers.output);
  switch (line.what) {
    case command::long_form:
      if (line.view & cantext::VIEW_ERROR) {
        return rewrite(cantext::tool::long_lines_render<true>(line.view), line, texts, chunks,
                       block, err_sink);
      }
      return rewrite(cantext::tool::long_lines_render<false>(line.view), line, texts, chunks, block,
                     err_sink);
    case command::compact:
      return rewrite(cantext::tool::compact_lines_render(line.dots), line, texts, chunks, block,
                     err_sink);
    case command::explain:
      return cantext::tool::explain_frames(line.args, line.arg_count, block);
    case command::convert:
    case command::decode:
    case command::stats:
      break;  // their writers have tests and targets of their own
  }
  return -1;
}

fd_capture& captured_err() {
  static fd_capture capture(STDERR_FILENO, stderr);
  return capture;
}

struct parse_result {
  int status;
  std::string err;
  std::string out;
};

// Parses `words`, which getopt_long may reorder and line.args point into.
parse_result parse(names& words, command_line& line, std::vector<char*>& argv) {
  static fd_capture captured_out(STDOUT_FILENO, stdout);
  argv.clear();
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  captured_out.start();
  captured_err().start();
  optind = 0;  // getopt_long starts afresh, as in a new process
  const int status =
      cantext::tool::parse_command_line(static_cast<int>(words.size()), argv.data(), line);
  std::string err = captured_err().stop();
  return {status, std::move(err), captured_out.stop()};
}

// The usage, as the command gives it with no command at all.
const std::string& usage() {
  static const std::string text = [] {
    command_line line;
    names words{"cantext"};
    std::vector<char*> argv;
    const parse_result r = parse(words, line, argv);
    FUZZ_CHECK(r.status == 2 && r.err.rfind("Usage: cantext ", 0) == 0);
    return r.err;
  }();
  return text;
}

// Words of a command line: mostly the command's own, sometimes any text up to a NUL byte.
names make_words(input_reader& in) {
  // clang-format off
  static const char* const vocabulary[] = {
      "long", "compact", "explain", "convert", "decode", "--binary", "--swap", "--no-ascii",
      "--no-align", "--explain", "--keep-going", "--dots", "--help", "--version", "-", "--",
      "--no-a", "--keep", "--ex", "--dots=1", "-k", "--from", "--from=log", "log", "asc", "--to",
      "-o", "--output", "--dbc", "--timezone", "--channel-map", "--no-choices", "--multi-line",
      "a.log", "b.log", "123#11", "20000201#", "2000000C#0005030A00000102"};
  // clang-format on
  constexpr std::size_t vocabulary_size = sizeof vocabulary / sizeof vocabulary[0];
  names words{"cantext"};
  for (int n = in.byte() % 8; n > 0; --n) {
    const std::uint8_t pick = in.byte();
    if (pick < 0xC0) {
      words.emplace_back(vocabulary[pick % vocabulary_size]);
    } else {
      const std::string_view rest = in.rest();
      const std::size_t length = std::min<std::size_t>(rest.find('\0'), 1024);
      words.emplace_back(in.take(length));
      (void)in.take(1);
    }
  }
  return words;
}

// The text cut into `count` files at places the chooser picks.
std::vector<std::string_view> split(std::string_view text, std::size_t count,
                                    choice_stream& choose) {
  std::vector<std::size_t> cuts{0, text.size()};
  for (std::size_t i = 1; i < count; ++i) cuts.push_back(choose.next() % (text.size() + 1));
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::string_view> parts;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    parts.push_back(text.substr(cuts[i], cuts[i + 1] - cuts[i]));
  }
  return parts;
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const names words = make_words(in);
  const std::uint32_t seed = in.word();
  const std::string_view text = in.rest();

  const std::string& usage_text = usage();
  const parse_model expected = model_parse(words);
  command_line line;
  names storage = words;
  std::vector<char*> argv;
  const parse_result parsed = parse(storage, line, argv);
  if (expected.unmodelled) return 0;
  FUZZ_CHECK(parsed.status == expected.status);
  const std::string message = expected.message.empty() ? "" : "cantext: " + expected.message + "\n";
  FUZZ_CHECK(parsed.err == message + (expected.usage ? usage_text : ""));
  FUZZ_CHECK(parsed.out.empty() == !expected.prints);
  if (parsed.status != -1) return 0;
  FUZZ_CHECK(line.what == expected.what);
  FUZZ_CHECK(line.view == expected.view && line.dots == expected.dots &&
             line.keep_going == expected.keep_going);
  FUZZ_CHECK(line.choices == expected.choices && line.multi_line == expected.multi_line);
  FUZZ_CHECK(same_value(line.from, expected, "from") && same_value(line.to, expected, "to") &&
             same_value(line.output, expected, "output") &&
             same_value(line.timezone, expected, "timezone") &&
             same_value(line.channel_map, expected, "channel-map") &&
             same_value(line.dbc, expected, "dbc"));
  FUZZ_CHECK(names(line.args, line.args + line.arg_count) == expected.args);
  // The writer stage of long, compact and explain, reading the log format.
  if (line.what == command::convert || line.what == command::decode) return 0;
  if (line.from != nullptr && expected.values.at("from") != "log") return 0;

  choice_stream choose(seed);
  const names files = expected.args.empty() ? names{"-"} : expected.args;
  const std::vector<std::string_view> texts = split(text, files.size(), choose);
  std::string out;
  captured_err().start();
  const int status = run_command(line, texts, choose, out);
  const std::string transcript = captured_err().stop();
  const writer_model model = line.what == command::explain ? model_explain(expected.args)
                                                           : model_files(expected, files, texts);
  FUZZ_CHECK(status == model.status);
  FUZZ_CHECK(out == model.out);
  FUZZ_CHECK(transcript == model.transcript);
  return 0;
}

}  // namespace cantext_fuzz::command
