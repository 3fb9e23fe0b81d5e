// SPDX-License-Identifier: MIT
// The cantext command as a real process: what each option does, every error path with its exact
// message and status, and the compact form's round trip through cantext-long.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "filter_command.hpp"
#include "filter_process.hpp"

namespace filter_test {
namespace {

// Files the command reads by name, in its working directory.
const char* const files[][2] = {
    {"one.log", "a b 123#11\n"},
    {"two.log", "c d 7FF#R2"},  // no line break at the end
    {"bad.log", "a b 123#11\n\nc d 123#1\ne f 123#22\n"},
    {"capture.asc",
     "date Wed Nov 15 10:00:00.000 am 2023\nbase hex  timestamps absolute\nBegin Triggerblock\n"
     "   0.001000 1  123             Rx   d 2 14 00\n"
     "   0.002000 2  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\nEnd TriggerBlock\n"},
    {"capture.trc",
     ";$FILEVERSION=2.1\n;$STARTTIME=45244.9259273575\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n"
     "      1         0.204 DT  1     04E0 Rx -  2    11 22\r\n"
     "      2         0.297 DT  2 1B265F39 Tx -  1    33\r\n"
     "      3      1000.297 RR  2     04E0 Tx -  3\r\n"},
    {"sig.dbc", "BO_ 291 Msg: 2 Node\n SG_ Speed : 0|16@1+ (0.5,0) [0|100] \"km/h\" Node\n"},
    {"bad.dbc", "BO_ 291 Msg: 2 Node\n SG_ Speed : 0|16@1+ (0.5,0 [0|100] \"km/h\" Node\n"},
};

const std::string one = "a  b       123   [1]  11                        '.'\n";
const std::string two = "c  d       7FF   [2]  remote request\n";
const std::string e_f_22 = "e  f       123   [1]  22                        '\"'\n";
const std::string error_frame =
    "2000000C   [8]  00 05 03 0A 00 00 01 02   ERRORFRAME\n"
    "\tcontroller-problem{rx-overflow,rx-error-warning}\n"
    "\tprotocol-violation{{single-bit-error,frame-format-error}{data-field}}\n"
    "\terror-counter-tx-rx{{1}{2}}\n";
// Two channels in the order of their numbers, a frame without a time, an error frame of two
// classes, periods and lengths.
const std::string stats_log =
    "(1.100) can10 123#11\n(1.000) can2 7FF#R\nx can2 00000123#1122\n(1.300) can10 123#112233\n"
    "(1.350) can10 2000000C#0005030A00000102\n(1.500) can10 123#\n";
const std::string many_lines = [] {
  std::string s;
  for (int i = 0; i < 100000; ++i) s += "a b 123#11\n";
  return s;
}();

// How the standard streams are set up, beyond pipes for all three.
enum class streams {
  pipes,
  input_closed,
  output_full,
  output_closed,
  reader_goes_away,
  reader_goes_away_sigpipe_ignored,
  merged,  // standard error into standard output, in the order written
};

struct command_case {
  const char* name;
  const char* args;  // split at blanks
  std::string input;
  std::string out;
  std::string err;
  int status;
  bool then_usage = false;  // the usage text follows `err`
  bool out_starts = false;  // `out` is only the start of what is printed (help texts)
  streams setup = streams::pipes;
  int signal = 0;
};

// clang-format off
const command_case option_effects[] = {
    {"long_binary", "long --binary", "a b 123#0F\n",
     "a  b       123   [1]  00001111" + std::string(66, ' ') + "'.'\n", "", 0},
    {"long_swap", "long --swap", "a b 123#0102\n",
     "a  b       123   [2]  02`01                     `..`\n", "", 0},
    {"long_no_ascii", "long --no-ascii", "a b 123#41\n", "a  b       123   [1]  41\n", "", 0},
    {"long_no_align", "long --no-align", "a b 123#41\n",
     "a  b  123   [1]  41                        'A'\n", "", 0},
    {"long_explain", "long --explain", "a b 123#41\nc d 2000000C#0005030A00000102\n",
     "a  b       123   [1]  41                        'A'\nc  d  " + error_frame, "", 0},
    {"long_files_in_order", "long one.log - two.log", "s t 123#11\n",
     one + "s  t       123   [1]  11                        '.'\n" + two, "", 0},
    {"convert_asc_to_log", "convert --to log capture.asc", "",
     "(1700042400.001000) can0 123#1400 R\n", "", 0},
    {"convert_in_a_time_zone_with_a_channel_map",
     "convert --to log --timezone CET-1 --channel-map 1=vcan5 --from asc capture.asc", "",
     "(1700038800.001000) vcan5 123#1400 R\n", "", 0},
    // The lines after the first take the one-pass conversion where the options let them.
    {"convert_trc_to_log", "convert --to log capture.trc", "",
     "(1700000000.123892) can0 4E0#1122 R\n(1700000000.123985) can1 1B265F39#33 T\n"
     "(1700000001.123985) can1 4E0#R3 T\n", "", 0},
    {"convert_trc_with_a_channel_map", "convert --to log --channel-map 2=vcan5 capture.trc", "",
     "(1700000000.123892) can0 4E0#1122 R\n(1700000000.123985) vcan5 1B265F39#33 T\n"
     "(1700000001.123985) vcan5 4E0#R3 T\n", "", 0},
    {"convert_trc_by_identifier", "convert --to log --id 4E0 capture.trc", "",
     "(1700000000.123892) can0 4E0#1122 R\n(1700000001.123985) can1 4E0#R3 T\n", "", 0},
    {"decode_known_frames_and_other_lines", "decode --dbc sig.dbc - capture.asc",
     "(1.5) can0 123#1400\n(1.6) can0 7FF#00\n",
     "(1.5) can0 123#1400  :: Msg(Speed: 10 km/h)\n(1.6) can0 7FF#00\n"
     "date Wed Nov 15 10:00:00.000 am 2023\nbase hex  timestamps absolute\nBegin Triggerblock\n"
     "   0.001000 1  123             Rx   d 2 14 00  :: Msg(Speed: 10 km/h)\n"
     "   0.002000 2  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\nEnd TriggerBlock\n",
     "", 0},
    {"compact_normalises", "compact",
     "a\tb  123#deadbeef\nc d 12345678#0102030405060708090A\ne f 123#r5junk\ng h 123##1aabb\n",
     "a b 123#DEADBEEF\nc d 12345678#0102030405060708\ne f 123#R5\ng h 123##1AABB\n", "", 0},
    {"compact_dots", "compact --dots two.log -", "a b 123##1AABBCC\n",
     "c d 7FF#R2\na b 123##1.AA.BB.CC\n", "", 0},
    {"explain_frames", "explain 123#41 2000000C#0005030A00000102 123##1AABB", "",
     "     123   [1]  41                        'A'\n" + error_frame +
     "     123  [02]  AA BB                     '..'\n", "", 0},
    {"filter_ids_of_both_kinds", "compact --id 123 --id 18FEF100:1FFFFF00",
     "a b 123#11\na b 00000123#22\na b 18FEF1AB#33\na b 7E5#44\n",
     "a b 123#11\na b 18FEF1AB#33\n", "", 0},
    {"filter_channels_without_errors", "compact --channel can1,vcan0 --no-errors",
     "a can0 123#11\na can1 7E8#22\na vcan0 20000004#0004000000000000\na vcan0 00000123#R\n",
     "a can1 7E8#22\na vcan0 00000123#R\n", "", 0},
    {"filter_errors_only_converted", "convert --to log --errors-only",
     "(1.0) can0 123#11\n(1.5) can1 20000004#0004000000000000\n",
     "(1.5) can1 20000004#0004000000000000\n", "", 0},
    {"filter_range_in_decode_keeps_other_lines", "decode --dbc sig.dbc --id 7F0-7FF capture.asc", "",
     "date Wed Nov 15 10:00:00.000 am 2023\nbase hex  timestamps absolute\nBegin Triggerblock\n"
     "   0.002000 2  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\nEnd TriggerBlock\n", "", 0},
    {"time_relative_in_the_lines_digits", "long --time relative --no-ascii",
     "(9.500) a 123#11\nx b 123#22\n(10.25) a 456#\n(-1.0) a 123#\n",
     "(0.000)  a       123   [1]  11\nx  b       123   [1]  22\n(0.75)  a       456   [0] \n"
     "(-10.5)  a       123   [0] \n", "", 0},
    {"time_delta_per_channel_and_id", "long --delta-per-id --no-ascii",
     "(1.000100) a 123#11\n(1.000200) b 123#22\n(1.000500) a 456#\n(1.001100) a 123#\n"
     "(1.001200) b 123#R\n",
     "(0.000000)  a       123   [1]  11\n(0.000000)  b       123   [1]  22\n"
     "(0.000000)  a       456   [0] \n(0.001000)  a       123   [0] \n"
     "(0.001000)  b       123   [0]  remote request\n", "", 0},
    {"time_date_to_the_microsecond", "long --time date --no-ascii",
     "(1700000000.1234567) a 123#11\n(-0.5) a 123#22\n",
     "2023-11-14 22:13:20.123456  a       123   [1]  11\n"
     "1969-12-31 23:59:59.500000  a       123   [1]  22\n", "", 0},
    {"stats_text", "stats", stats_log,
     "channel  id                  count  first   last  mean_period  min_period  max_period   rate  lengths\n"
     "can2     7FF                     1  1.000  1.000            -           -           -      -  0\n"
     "can2     00000123                1      -      -            -           -           -      -  2\n"
     "can2     all                     2  1.000  1.000            -           -           -      -  0,2\n"
     "can10    123                     3  1.100  1.500        0.200       0.200       0.200  5.000  0-1,3\n"
     "can10    controller-problem      1  1.350  1.350            -           -           -      -  8\n"
     "can10    protocol-violation      1  1.350  1.350            -           -           -      -  8\n"
     "can10    all                     4  1.100  1.500        0.133       0.050       0.200  7.500  0-1,3,8\n",
     "", 0},
    {"stats_csv", "stats --csv", stats_log,
     "channel,id,count,first,last,mean_period,min_period,max_period,rate,lengths\n"
     "can2,7FF,1,1.000,1.000,,,,,0\ncan2,00000123,1,,,,,,,2\ncan2,all,2,1.000,1.000,,,,,\"0,2\"\n"
     "can10,123,3,1.100,1.500,0.200,0.200,0.200,5.000,\"0-1,3\"\n"
     "can10,controller-problem,1,1.350,1.350,,,,,8\ncan10,protocol-violation,1,1.350,1.350,,,,,8\n"
     "can10,all,4,1.100,1.500,0.133,0.050,0.200,7.500,\"0-1,3,8\"\n", "", 0},
    {"help", "--help", "", "Usage: cantext long [", "", 0, false, true},
    {"command_help", "compact --help", "", "cantext compact: ", "", 0, false, true},
    {"version", "--version", "", std::string("cantext ") + command_version + "\n", "", 0},
};

const command_case error_paths[] = {
    {"bad_frame_stops", "long", "a b 123#11\nc d 123#1\ne f 123#22\n", one,
     "-:2: incomplete CAN frame\n", 1},
    {"too_few_fields_stop", "compact", "a b 123#11\nc d\n", "a b 123#11\n",
     "-:2: fewer than three fields\n", 1},
    {"stop_in_second_file", "long one.log bad.log two.log", "", one + one,
     "bad.log:2: fewer than three fields\n", 1},
    {"keep_going_reports_each", "long --keep-going one.log bad.log two.log", "",
     one + one + e_f_22 + two,
     "bad.log:2: fewer than three fields\nbad.log:3: incomplete CAN frame\n", 1},
    {"next_file_bad_at_the_same_number", "long --keep-going - bad.log", "a b 123#11\nc d 123#1\n",
     one + one + e_f_22,
     "-:2: incomplete CAN frame\nbad.log:2: fewer than three fields\n"
     "bad.log:3: incomplete CAN frame\n", 1},
    {"pieces_keep_their_line_number", "long --keep-going",
     "a b 123#" + std::string(600, '1') + "\nc d 123#1\n",
     "a  b       123   [8]  11 11 11 11 11 11 11 11   '........'\n",
     "-:1: fewer than three fields\n-:2: incomplete CAN frame\n", 1},
    {"missing_file_stops", "compact missing.log one.log", "", "",
     "cantext: missing.log: No such file or directory\n", 1},
    {"missing_file_skipped", "long --keep-going missing.log one.log", "", one,
     "cantext: missing.log: No such file or directory\n", 1},
    {"unreadable_file_skipped", "long --keep-going / one.log", "", one,
     "cantext: /: Is a directory\n", 1},
    {"standard_input_closed", "long", "", "", "cantext: -: Bad file descriptor\n", 1, false, false,
     streams::input_closed},
    {"no_command", "", "", "", "", 2, true},
    {"unknown_command", "short", "", "", "cantext: unknown command 'short'\n", 2, true},
    {"option_of_another_command", "long --dots", "", "", "cantext: invalid option '--dots'\n", 2,
     true},
    {"short_option_in_a_word", "compact --dots -dx", "", "", "cantext: invalid option '-d'\n", 2,
     true},
    {"output_of_another_command", "compact -oname", "", "", "cantext: invalid option '-o'\n", 2,
     true},
    {"output_without_value", "convert --to log --output", "", "",
     "cantext: invalid option '--output'\n", 2, true},
    {"short_option_past_ascii", "long -\xC3\xA9", "", "", "cantext: invalid option '-\xC3'\n", 2,
     true},
    {"explain_without_frame", "explain", "", "", "cantext: explain needs a FRAME\n", 2, true},
    {"explain_bad_frame_among_others", "explain 123#41 123#4 7FF#R", "",
     "     123   [1]  41                        'A'\n     7FF   [0]  remote request\n",
     "cantext: '123#4' is not a CAN frame\n", 1},
    {"explain_invalid_error_class", "long --explain", "a b 2FFFFFFF#FF\n",
     "a  b  2FFFFFFF   [1]  FF                        ERRORFRAME\n\t\n",
     "Error class 0xfffffff is invalid\n", 0},
    {"convert_without_to", "convert one.log", "", "", "cantext: convert needs --to FORMAT\n", 2,
     true},
    {"unknown_format", "long --from xyz", "", "", "cantext: unknown format 'xyz' (log, asc or trc)\n",
     2, true},
    {"bad_id_list", "compact --id 12", "", "",
     "cantext: --id '12': an identifier is 3 or 8 hex digits; items are ID, ID-ID, ID:MASK or "
     "~ID:MASK\n", 2, true},
    {"range_of_two_kinds", "stats --id 7E0-0000007F", "", "",
     "cantext: --id '7E0-0000007F': an identifier is 3 or 8 hex digits; items are ID, ID-ID, "
     "ID:MASK or ~ID:MASK\n", 2, true},
    {"empty_channel_name", "long --channel ,", "", "",
     "cantext: --channel ',': a channel name is 1 to 32 characters, at most 16 of them\n", 2, true},
    {"errors_only_and_none", "stats --errors-only --no-errors", "", "",
     "cantext: --errors-only and --no-errors exclude each other\n", 2, true},
    {"unknown_time_view", "long --time weekly", "", "",
     "cantext: unknown time view 'weekly' (absolute, relative, delta or date)\n", 2, true},
    {"delta_per_id_with_another_view", "long --time relative --delta-per-id", "", "",
     "cantext: --delta-per-id goes with --time delta\n", 2, true},
    {"unknown_time_zone", "convert --to log --timezone Nowhere/Atlantis one.log", "", "",
     "cantext: unknown time zone 'Nowhere/Atlantis'\n", 2},
    {"decode_without_dbc", "decode one.log", "", "", "cantext: decode needs --dbc FILE\n", 2, true},
    {"decode_bad_database", "decode --dbc bad.dbc one.log", "", "",
     "cantext: bad.dbc:2:29: expected ')'\n", 1},
    {"explain_message_after_the_lines_before", "long --explain",
     "a b 123#11\nc d 2FFFFFFF#FF\n",
     one + "Error class 0xfffffff is invalid\nc  d  2FFFFFFF   [1]  FF                        "
           "ERRORFRAME\n\t\n",
     "", 0, false, false, streams::merged},
    {"keep_going_reports_a_long_line_once", "long --keep-going",
     std::string(1500, '\0') + "\na b 123#11\n", "-:1: fewer than three fields\n" + one, "", 1,
     false, false, streams::merged},
    {"output_full", "long", "a b 123#11\n", "", "write: No space left on device\n", 1, false, false,
     streams::output_full},
    {"output_closed", "compact", "a b 123#11\n", "", "write: Bad file descriptor\n", 1, false,
     false, streams::output_closed},
    {"reader_goes_away", "compact", many_lines, "a b 123#11\n", "", -1, false, false,
     streams::reader_goes_away, SIGPIPE},
    {"reader_goes_away_sigpipe_ignored", "compact", many_lines, "a b 123#11\n",
     "write: Broken pipe\n", 1, false, false, streams::reader_goes_away_sigpipe_ignored},
};
// clang-format on

void PrintTo(const command_case& c, std::ostream* os) {
  *os << c.name;
}

run_result run_command(const std::string& args, const std::string& input,
                       streams setup = streams::pipes) {
  run_options options;
  std::istringstream words(args);
  std::vector<std::string> argv;
  for (std::string word; words >> word;) argv.push_back(word);
  options.argv = with_args(command_argv, argv);
  // Tests that read no file by name may run before, or without, the suite that writes them.
  mkdir(command_work_dir, 0755);
  options.directory = command_work_dir;
  options.in = setup == streams::input_closed ? stream_mode::closed : stream_mode::pipe;
  options.out = setup == streams::output_full     ? stream_mode::path
                : setup == streams::output_closed ? stream_mode::closed
                                                  : stream_mode::pipe;
  options.out_path = "/dev/full";
  options.out_closed_after_first_line =
      setup == streams::reader_goes_away || setup == streams::reader_goes_away_sigpipe_ignored;
  options.sigpipe_ignored = setup == streams::reader_goes_away_sigpipe_ignored;
  options.err_into_out = setup == streams::merged;
  return run_filter(input, options);
}

class command_runs : public testing::TestWithParam<command_case> {
 protected:
  // Each file is written whole under another name first: tests running at once read them.
  static void SetUpTestSuite() {
    mkdir(command_work_dir, 0755);
    for (const auto& f : files) {
      const std::string path = std::string(command_work_dir) + "/" + f[0];
      const std::string temporary = path + "." + std::to_string(getpid());
      std::ofstream(temporary) << f[1];
      ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0);
    }
  }
};

TEST_P(command_runs, prints_exactly) {
  const command_case& c = GetParam();
#ifndef CANTEXT_WITH_DECODE
  // A board's command is built without decode.
  if (std::string(c.args).rfind("decode --dbc", 0) == 0) GTEST_SKIP() << "built without decode";
#endif
  std::string err = c.err;
  if (c.then_usage) {
    const run_result usage = run_command("", "");
    ASSERT_EQ(usage.err.rfind("Usage: cantext long ", 0), 0u) << usage.err;
    err += usage.err;
  }
  const run_result r = run_command(c.args, c.input, c.setup);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(c.out_starts ? r.out.substr(0, c.out.size()) : r.out, c.out);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.signal, c.signal);
}

INSTANTIATE_TEST_SUITE_P(options, command_runs, testing::ValuesIn(option_effects),
                         [](const auto& row) { return std::string(row.param.name); });
INSTANTIATE_TEST_SUITE_P(errors, command_runs, testing::ValuesIn(error_paths),
                         [](const auto& row) { return std::string(row.param.name); });

// The compact form of the benchmark's log is a log that cantext-long converts to the same text
// as the original.
class compact_round_trip : public testing::TestWithParam<const char*> {};

TEST_P(compact_round_trip, converts_as_the_original) {
  run_options generator;
  generator.argv = with_args(make_log_argv, {"200000", "7"});
  const run_result log = run_filter("", generator);
  ASSERT_EQ(log.status, 0);
  const run_result compact = run_command(GetParam(), log.out);
  ASSERT_EQ(compact.status, 0);
  ASSERT_EQ(compact.err, "");
  const run_result from_original = run_filter(log.out);
  const run_result from_compact = run_filter(compact.out);
  ASSERT_EQ(from_original.status, 0);
  EXPECT_EQ(from_compact.status, 0);
  EXPECT_EQ(from_compact.out.size(), from_original.out.size());
  EXPECT_TRUE(from_compact.out == from_original.out);  // not printed: megabytes
}

INSTANTIATE_TEST_SUITE_P(forms, compact_round_trip, testing::Values("compact", "compact --dots"),
                         [](const auto& row) { return std::string(row.index ? "dots" : "plain"); });

// stats on the benchmark's log, whose error frames have one class each: on every channel, the
// rows of its identifiers and error classes add up to its row of all frames, which counts the
// log's lines of that channel (tens of thousands of rows, so the table has grown many times).
TEST(command_stats, rows_add_up_to_the_lines_of_each_channel) {
  run_options generator;
  generator.argv = with_args(make_log_argv, {"200000", "7"});
  const run_result log = run_filter("", generator);
  ASSERT_EQ(log.status, 0);
  std::map<std::string, unsigned long> lines, rows, all;
  std::istringstream log_lines(log.out);
  for (std::string time, channel, frame; log_lines >> time >> channel >> frame;) ++lines[channel];
  const run_result r = run_command("stats --csv", log.out);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.err, "");
  std::istringstream table(r.out);
  std::string row;
  ASSERT_TRUE(std::getline(table, row));
  EXPECT_EQ(row, "channel,id,count,first,last,mean_period,min_period,max_period,rate,lengths");
  while (std::getline(table, row)) {
    std::istringstream cells(row);
    std::string channel, id, count;
    std::getline(cells, channel, ',');
    std::getline(cells, id, ',');
    std::getline(cells, count, ',');
    (id == "all" ? all : rows)[channel] += std::stoul(count);
  }
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(all, lines);
  EXPECT_EQ(rows, lines);
}

}  // namespace
}  // namespace filter_test
