// SPDX-License-Identifier: MIT
// Frames of every kind written as ASC, TRC and log, read back by the formats: identifier, flags,
// length, data, channel, direction and time survive, the times to the nanosecond where the log
// has nine digits and the format more than six.  The times are out of order, so that some lie
// before the start time that the header gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "cantext/length_codes.hpp"
#include "capture_writer.hpp"
#include "format_test_support.hpp"
#include "log_line.hpp"
#include "log_time.hpp"
#include "time_zone.hpp"
#include "trc_log_line.hpp"

namespace {

using namespace cantext;

struct generated {
  std::string time, channel, direction;
  frame_record record;
  int max_data_length;
};

std::vector<generated> every_kind(unsigned seed, int digits) {
  std::mt19937 rng(seed);
  std::vector<generated> frames;
  for (int i = 0; i < 400; ++i) {
    generated g{};
    frame_record& r = g.record;
    const bool extended = rng() % 2 != 0;
    r.can_id = extended ? (rng() & can_eff_mask) | can_eff_flag : rng() & can_sff_mask;
    g.max_data_length = can_max_dlen;
    switch (i % 4) {
      case 0:  // data
        r.len = static_cast<std::uint8_t>(rng() % 9);
        break;
      case 1:  // remote request
        r.can_id |= can_rtr_flag;
        r.len = static_cast<std::uint8_t>(rng() % 9);
        break;
      case 2:  // error: a bus error, as the formats hold it
        r.can_id = can_err_flag | 0x80;
        r.len = can_max_dlen;
        break;
      default:
        g.max_data_length = canfd_max_dlen;
        r.len = dlc_to_len(rng() % 16);
        r.flags = static_cast<std::uint8_t>(rng() % 4);
    }
    if ((r.can_id & (can_rtr_flag | can_err_flag)) == 0) {
      for (int b = 0; b < r.len; ++b) r.data[b] = static_cast<std::uint8_t>(rng());
    }
    char time[reader::max_log_time + 1];
    const std::int64_t ns = std::int64_t{1700000000} * 1000000000 +
                            static_cast<std::int64_t>(rng() % 10000000) * 1000 +
                            static_cast<std::int64_t>(digits == 9 ? rng() % 1000 : 0);
    reader::put_log_time(time, ns, digits);
    g.time = time;
    g.channel = "can" + std::to_string(rng() % 12);
    g.direction = rng() % 2 != 0 ? "R" : "T";
    frames.push_back(g);
  }
  return frames;
}

std::string write_all(const writers::line_writer& writer, const std::vector<generated>& frames,
                      writers::writer_options options) {
  writers::writer_state state;
  state.options = options;
  std::string text;
  char out[writers::max_written_line];
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const generated& g = frames[i];
    const writers::frame_line line{g.time, g.channel, g.direction, g.record, g.max_data_length};
    if (i == 0) text.append(out, writer.header(state, &line, out));
    text.append(out, writer.line(state, line, out));
  }
  text.append(out, writer.footer(state, out));
  return text;
}

std::int64_t nanoseconds(const std::string& time) {
  std::int64_t ns = 0;
  int digits = 0;
  EXPECT_TRUE(reader::parse_log_time(time, ns, digits)) << time;
  return ns;
}

// A zone an hour west of UTC, for the writers and the readers.
reader::time_zone an_hour_west() {
  reader::time_zone zone;
  EXPECT_TRUE(zone.load("<-01>1"));
  return zone;
}

struct trip_case {
  const char* format;
  int digits;
  bool zone;
};

class round_trip : public testing::TestWithParam<trip_case> {};

TEST_P(round_trip, keeps_every_field) {
  const trip_case& c = GetParam();
  const std::vector<generated> frames = every_kind(static_cast<unsigned>(c.digits), c.digits);
  writers::writer_options out_options;
  reader::format_options in_options;
  static const reader::time_zone west = an_hour_west();
  if (c.zone) {
    out_options.zone = &west;
    in_options.zone = &west;
  }
  const std::string text = write_all(*writers::find_writer(c.format), frames, out_options);
  const reader::line_format& format = reader::recognise_format(text);
  ASSERT_STREQ(format.name, c.format);
  const format_tests::read_result back = format_tests::read_all(format, text, in_options);
  EXPECT_EQ(back.summary.find(':'), std::string::npos) << back.summary;  // no bad line
  ASSERT_EQ(back.frames.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const generated& g = frames[i];
    const format_tests::read_frame& f = back.frames[i];
    char compact[COMPACT_FORM_BUF_SIZE];
    format_frame_compact(compact, g.record, false, g.max_data_length);
    EXPECT_EQ(f.frame, compact) << i;
    EXPECT_EQ(f.max_data_length, g.max_data_length) << i;
    EXPECT_EQ(f.channel, g.channel) << i;
    EXPECT_EQ(nanoseconds(f.time), nanoseconds(g.time)) << i << " " << f.time << " " << g.time;
    // ASC's error frames say no direction.
    const bool no_direction = std::string(c.format) == "asc" && (g.record.can_id & can_err_flag);
    EXPECT_EQ(f.direction, no_direction ? "" : g.direction) << i;
  }
  if (std::string(c.format) == "log") {
    // The log writer gives back the log's own lines.
    std::string log;
    for (const generated& g : frames) {
      char compact[COMPACT_FORM_BUF_SIZE];
      format_frame_compact(compact, g.record, false, g.max_data_length);
      log += g.time + " " + g.channel + " " + compact + " " + g.direction + "\n";
    }
    EXPECT_EQ(text, log);
  }
}

const trip_case trip_cases[] = {
    {"asc", 6, false}, {"asc", 9, false}, {"asc", 6, true},  {"trc", 6, false},
    {"trc", 9, false}, {"trc", 6, true},  {"log", 6, false}, {"log", 9, false},
};

INSTANTIATE_TEST_SUITE_P(formats, round_trip, testing::ValuesIn(trip_cases),
                         [](const testing::TestParamInfo<trip_case>& row) {
                           return std::string(row.param.format) + "_" +
                                  std::to_string(row.param.digits) + "_digits" +
                                  (row.param.zone ? "_zone" : "");
                         });

// The writers write the usual lines (a time in the second of the one before, channels up to 9)
// a word at a time; a time without its parentheses takes the general path, which must give the
// same text.  The frames' times are in order, so that the usual lines come often.
TEST(straight_path, writes_as_the_general_path) {
  for (const char* name : {"asc", "trc"}) {
    for (const int digits : {6, 9}) {
      std::vector<generated> frames = every_kind(11, digits);
      std::sort(frames.begin(), frames.end(),
                [](const generated& a, const generated& b) { return a.time < b.time; });
      std::vector<generated> general = frames;
      for (generated& g : general) g.time = g.time.substr(1, g.time.size() - 2);
      const writers::line_writer& writer = *writers::find_writer(name);
      EXPECT_EQ(write_all(writer, frames, {}), write_all(writer, general, {})) << name << digits;
    }
  }
}

// Lines of each shape as the writers write them, to the byte: the usual ones that the writers
// write a word at a time (classic frames on channels up to 9) and the others.
struct written_case {
  const char* time;
  const char* channel;
  const char* frame;
  const char* direction;
  const char* asc;
  const char* trc;
};

const written_case written_cases[] = {
    {"(1700000000.250000)", "can0", "123#", "R", "   0.000000 1  123             Rx   d 0\n",
     "      1         0.168 DT  1     0123 Rx -  0\r\n"},
    {"(1700000000.250001)", "can1", "7FF#0102", "T",
     "   0.000001 2  7FF             Tx   d 2 01 02\n",
     "      2         0.169 DT  2     07FF Tx -  2    01 02\r\n"},
    {"(1700000000.999999)", "can8", "1FFFFFFF#0102030405060708", "R",
     "   0.749999 9  1FFFFFFFx       Rx   d 8 01 02 03 04 05 06 07 08\n",
     "      3       750.167 DT  9 1FFFFFFF Rx -  8    01 02 03 04 05 06 07 08\r\n"},
    {"(1700000001.000000)", "can9", "00000001#R5", "T",
     "   0.750000 10  1x              Tx   r 5\n",
     "      4       750.168 RR 10 00000001 Tx -  5\r\n"},
    {"(1700000001.000500)", "can2", "001#R", "R", "   0.750500 3  1               Rx   r 0\n",
     "      5       750.668 RR  3     0001 Rx -  0\r\n"},
    {"(1700000002.123456)", "can0", "0AB##30011223344556677889900", "R",
     "   1.873456 CANFD   1 Rx   AB       1 1 9 11 00 11 22 33 44 55 66 77 88 99 00        0    "
     "0     7000        0        0        0        0        0\n",
     "      6      1873.624 BI  1     00AB Rx -  9    00 11 22 33 44 55 66 77 88 99 00 00\r\n"},
    {"(1700000002.123457)", "can0", "20000080#0000000000000000", "", "   1.873457 1  ErrorFrame\n",
     "      7      1873.625 ER  1        - Rx -  5    00 00 00 00 00\r\n"},
    {"(1700000000.100000)", "can1", "123#11", "R", "  -0.150000 2  123             Rx   d 1 11\n",
     "      8      -149.832 DT  2     0123 Rx -  1    11\r\n"},
    // A negative zero second is no second to keep: the next time of it is below zero too.
    {"(-00000000.000000)", "can1", "123#11", "R",
     "-1700000000.250000 2  123             Rx   d 1 11\n",
     "      9 -1700000000249.832 DT  2     0123 Rx -  1    11\r\n"},
    {"(-00000000.500000)", "can1", "123#22", "R",
     "-1700000000.750000 2  123             Rx   d 1 22\n",
     "     10 -1700000000749.832 DT  2     0123 Rx -  1    22\r\n"},
};

TEST(writers, write_each_shape) {
  for (const char* name : {"asc", "trc"}) {
    const writers::line_writer& writer = *writers::find_writer(name);
    writers::writer_state state;
    char out[writers::max_written_line];
    for (const written_case& c : written_cases) {
      frame_record record{};
      const frame_kind kind = parse_frame_text(c.frame, record);
      ASSERT_NE(kind, not_a_frame) << c.frame;
      const writers::frame_line line{c.time, c.channel, c.direction, record, max_dlen(kind)};
      if (&c == written_cases) writer.header(state, &line, out);
      const std::string_view expected = std::string(name) == "asc" ? c.asc : c.trc;
      EXPECT_EQ(std::string_view(out, writer.line(state, line, out)), expected) << c.frame;
    }
  }
}

// The usual lines take a straight path: each line reads as it does through the general path,
// which a tab in place of the space after its first field sends it to (the frame's text lies
// past that space).  The lines are the writers' and others of shapes they do not write.
void expect_same_as_general(const reader::line_format& format, const std::string& text) {
  reader::format_state state;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::string general = line;
    const std::size_t first = general.find_first_not_of(' ');
    const std::size_t space = general.find(' ', first);
    if (first != std::string::npos && space != std::string::npos) general[space] = '\t';
    reader::format_state general_state = state;
    reader::line_parts a{};
    reader::line_parts b{};
    const reader::line_verdict va = format.parse(state, line, a);
    const reader::line_verdict vb = format.parse(general_state, general, b);
    ASSERT_EQ(va, vb) << line;
    if (va == reader::line_verdict::skipped) continue;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(a.fields[i], b.fields[i]) << line;
    EXPECT_EQ(a.direction, b.direction) << line;
    EXPECT_EQ(a.max_data_length, b.max_data_length) << line;
    EXPECT_EQ(std::memcmp(&a.record, &b.record, sizeof a.record), 0) << line;
    if (va == reader::line_verdict::bad) {
      EXPECT_STREQ(a.problem, b.problem) << line;
    }
  }
}

// TRC lines of shapes the writers write and others, which each path must read as the general
// path does.
std::string odd_trc_lines() {
  return ";$FILEVERSION=2.1\n"
         "      1         0.171 DT  2 0409F134 Rx -  4    3C FD E6 F1\n"
         "      2        12.171 RR  2 0409F134 Tx -  4\r\n"
         "      3         1.5   FD  1     0001 -  -  9    00 01 02 03 04 05 06 07 08 09 0A 0B\n"
         "      4         1.5   FB  1     0001 Rx -  1    0\n"
         "      5         1.5   DT  0     0001 Rx -  1    00\n"
         "      6         1.5   XX  1     0001 Rx -  1    00\n"
         "      7         1.5   DT  1     0001 Rx -  2    00\n"
         "      8         1.5   DT  1    10000 Rx -  2    00 01\n"
         "     10     12345.678 DT 12  1234567 Tx -  0    \r\n"
         "     11      0.123456 FE  3     07FF Rx -  13   00 01 02 03 04 05 06 07 08 09 0A 0B 0C "
         "0D "
         "0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F\r\n"
         "     12         1.500 DT  1     0800 Rx -  1    00\n"
         "     13         1.500 DT  1     0001 Rx -  5    00 01 02 03  04\n"
         "     14         1.500 DT  1     0001 Rx -  5    00 01 02 03 0G\n"
         "     15         1.500 DT  1     0001 Rx -  2    00 01 02\n"
         "     16         1.500 BI  1     0001 Rx -  2    00 01x\n"
         "     17         1.500 DT  0     0001 Rx -  1    00\n"
         "     18    1.2.3     DT  1     0001 Rx -  1    00\n"
         "     19         1.500 dt  1     0001 rx -  1    00\n"
         "     20         1.500 DT  1     0001 Rx -  16   00 01 02 03 04 05 06 07 08\n"
         "   1 1         1.500 DT  1     0001 Rx -  1    00\n"
         "     21         1.500 ER  1     0123 Tx -  0\n"
         "     22         1.500 ER  1        - Rx -  16   00\n"
         "     23         1.500 DT  1        - Rx -  1    00\n"
         "     24         1.500 DT  1     0001 Rx -  8    00 01 02 03 0G 05 06 07\n"
         "     25         1.500 DT  1     0001 Rx -  8    00 01 02 03 04-05 06 07\n"
         // python-can's: seven digits of an extended identifier, an empty data column.
         "     27         2.000 DT  1  409F134 Rx -  8    11 22 33 44 55 66 77 88\n"
         "     28         2.001 RR  2     07FF Tx -  3    \n"
         "     29         2.002 DT 13     07ff Rx -  2    ab cD\r\n"
         "     30     2000.0021 FB 11 1FFFFFFF Tx -  10   00 11 22 33 44 55 66 77 88 99 aA "
         "bB cC dD eE fF\n"
         "     31         3.000 DT  1     0001 Rx -  0    \n"
         "     32         3.000 RR  1     0001 Rx -  0    x\n"
         "     33         3.000 DT  1     0001 Rx -  1    01 \n"
         "     34         3.000 DT  1 20000000 Rx -  1    01\n"
         "     35         3.000 ER  2        - Tx -  5    00 00 00 00 00\n"
         "     36         3.000 ER  2        - Tx -  5    00 00 00 00 0\n"
         "     37         3.000 BI  1     0001 Rx -  9    00 01 02 03 04 05 06 07 08 09 0A 0B\r\r\n"
         "     38  99999999.000 DT  1     0001 Rx -  0\n"
         "     26         1.500 FD  1     0001 Rx -  15   " +
         [] {
           std::string bytes;
           for (int i = 0; i < 64; ++i) bytes += i == 63 ? "0G\n" : "00 ";
           return bytes;
         }();
}

TEST(straight_path, reads_as_the_general_path) {
  for (const char* name : {"asc", "trc"}) {
    const std::vector<generated> frames = every_kind(7, 6);
    expect_same_as_general(*reader::find_format(name),
                           write_all(*writers::find_writer(name), frames, {}));
  }
  expect_same_as_general(
      *reader::find_format("asc"),
      "base hex  timestamps absolute\n"
      "   1.000000 1  123x Rx   d 2 01 02  Length = 1 BitCount = 2 ID = 3x\n"
      "   1.000000 1  123  Rx   r\n"
      "   1.000000 1  123  Rx   r 4 Length = 1\n"
      "   1.000000 1  123  Rx   r Length = 1\n"
      "   1.000000 1  123  Rx   r 08\r\n"
      "   1.000000 1  123  Rx   r\t5\n"
      "   1.000000 1  800  Rx   d 1 01\n"
      "   1.000000 1  123  Rx   d 2 1 002\n"
      "   1.000000 1  123  Rx   d 2 01\n"
      "   1.000000 1  123  Rx   d 2 01 0G\n"
      "   1.000000 0  123  Rx   d 1 01\n"
      "   1.000000 1  123  rx   d 1 01\r\n"
      "   1.000000 1  123  Rx   D 1 01\n"
      "   1.000000 1  1B265F39x       Rx   d 8 8E 91 68 72 09 F2 80 6F\n"
      "   1.000000 1  1B265F39X       Tx   r 8\n"
      "   1.000000 1  3FFFFFFFx       Rx   d 0\n"
      "   1.000000 1  7FF             Rx   d f 01 02 03 04 05 06 07 08 09\n"
      "   1.000000 1  7FF             Rx   d 2 01 02\r\n"
      "   1.000000 1  7FF             Rx   d 2 01 02\tLength = 1\n"
      "   1.000000 1  7FF             Rx   d 2 01  02\n"
      "   1.000000 1  7FF             Rx   d 2 01 2\n"
      "   1.000000 1  7FF             Rx   d 3 01 02 0g\n"
      "   1.000000 1  7FF             Rx   r 8 Length = 1\n"
      "   1.000000 1  7FF             Rx   r 10\n"
      "   1.000000 1  7FF             Rx   r x\n"
      "   1.000000 1  7FF             rx   d 0\n"
      "   1.000000 1  7FF             Rx   D 0\n"
      "   1.000000 1  7FF            Rx   d 0 \n"
      "   1.000000 1  7FF x           Rx   d 0\n"
      "   1.000000 1  7F F            Rx   d 0\n"
      "   1.000000 1  1234567890      Rx   d 0\n"
      "   1.000000 0  7FF             Rx   d 0\n"
      "   1.000000 1   7FF            Rx   d 0\n"
      "   1.000000 12 7FF             Rx   d 0\n"
      "   1.000000 1  ErrorFrame      Rx   d 0\n"
      "   1.000000 CANFD   1 Rx   123  name  1 0 9 12 01 02 03 04 05 06 07 08 09 10 11 12"
      "  0 0 3000 0\n"
      "   1.000000 CANFD   1 Tx   123x 1 1 2 2 01 02        0    0     1000\r\n"
      "   1.000000 CANFD   1 Tx   123x 1 1 2 2 01 02        0    0      100\n"
      "   1.000000 CANFD   1 Tx   123x 1 1 F 64 01 02\n"
      "   1.000000 CANFD   1 Tx   ErrorFrame\n"
      "   1.000000 1  7FF             Rx   d 8 0G 01 02 03 04 05 06 07\n"
      "   1.000000 1  7FF             Rx   d 6 01 02 03 04 05 0g\n"
      "   1.000000 1  7FF             Rx   d 7 01 02  03 04 05 06 07\n"
      "   1.000000 1  7FF             Rx   d 2 01  2 03\n"
      "   1.000000 1  7FF             Rx   d 7 01 02 03 04 05  6 07 08\n"
      "   1.000000 1  7FF             Rx   d 3 0a 0B 0c 04\n"
      "         1.000000 1  7FF       Rx   d 1 01\n"
      "   1.1234567 1  7FF             Rx   d 1 01\n"
      "   1.12345678 1  7FF             Rx   d 1 01\n"
      "   1.000000 CANFD   1 Rx   1234ABCDx 1 0 9 12 01 02 03 04 05 06 07 08 09 0A 0B 0C        0"
      "    0     3000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 9 12 01 02 03 04 05 06 07 08 09 0A 0B 0G        0"
      "    0     3000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 2  2 01 02        0    0     3000x       0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 2  2 01 02        0    0    13000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      0 0 8  0        0    0     0010        0\n"
      "   1.000000 CANFD   1 Rx   7FF      0 0 9  9 01 02 03 04 05 06 07 08 09        0    0     "
      "0000        0\n"
      "   1.000000 CANFD  12 Rx   7FF      1 0 1  1 01        0    0     3000        0\n"
      "   1.000000 CANFD   1 Rx   000007FF 1 0 1  1 01        0    0     3000        0\n"
      "   1.000000 CANFD   1 Tx   123ABCDx 1 0 0  0        0    0     1000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 2  2 01 0G        0    0     3000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 2  2 01 02        0\t   0     3000        0\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 D 32 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E "
      "0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F        0    0     3000\r\n"
      "   1.000000 CANFD   1 Rx   7FF      1 0 D 32 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E "
      "0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F        0    0     3000\n"
      "base dec\n"
      "   1.000000 1  291  Rx   d 1 255\n");
  expect_same_as_general(*reader::find_format("trc"),
                         odd_trc_lines() +
                             ";$COLUMNS=N,O,T,B,I,d,l,L,D\n"
                             "      9         1.5   FD  1     0001 Rx 2 2    00 01\n");
}

// The one-pass conversion of TRC lines to log lines (trc_log_line.hpp) writes what the reader's
// frame written by the log writer gives, line by line, on the lines it takes: the writers'
// lines of every kind with times in and out of order across seconds, with 6 and 9 digits; the
// odd shapes; and the writers' lines changed a character at a time, most of which it must leave
// to the reader.
std::string log_line_of(reader::format_state& state, std::string_view line) {
  reader::line_parts parts{};
  if (reader::trc_format.parse(state, line, parts) != reader::line_verdict::frame) return "none";
  char time[reader::max_log_time + 1];
  std::string_view t = parts.fields[0];
  if (t.empty()) t = {time, reader::put_log_time(time, parts.time_ns, parts.time_digits)};
  char frame[256];
  char* const end =
      writers::put_log_frame(frame, parts.record, parts.max_data_length, parts.direction);
  return std::string(t) + " " + std::string(parts.fields[1]) + " " +
         std::string(frame, static_cast<std::size_t>(end - frame));
}

// The lines of `text` that the one-pass conversion took, each checked against the reader's;
// every other call may write one line only.
std::size_t expect_one_pass_as_reader(const std::string& text) {
  reader::format_state state;
  state.options.time_text = false;
  writers::log_time_out times;
  // The reads the conversion may make past the input's end lie in it.
  const std::string input = text + std::string(64, '\0');
  std::vector<char> out(3 * text.size() + 1024);
  std::size_t taken = 0;
  auto next_line = [&text](std::size_t& at) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    return line;
  };
  for (std::size_t start = 0, calls = 0; start < text.size(); ++calls) {
    const char* const limit = calls % 2 != 0 ? out.data() : out.data() + out.size() - 1024;
    const writers::taken_lines t = writers::put_trc_log_lines(
        state, {input.data() + start, text.size() - start}, out.data(), limit, times);
    EXPECT_LE(t.lines, calls % 2 != 0 ? 1u : text.size());
    std::string expected;
    std::size_t at = start;
    for (std::size_t i = 0; i < t.lines; ++i) expected += log_line_of(state, next_line(at));
    EXPECT_EQ(at - start, t.length);
    EXPECT_EQ(std::string(out.data(), t.out), expected) << text.substr(start, at - start);
    taken += t.lines;
    // The line after them is the reader's.
    if (t.lines == 0 && at < text.size()) log_line_of(state, next_line(at));
    start = at;
  }
  return taken;
}

TEST(one_pass, trc_to_log_as_the_reader) {
  if (!writers::trc_log_lines_usable()) GTEST_SKIP() << "no one-pass conversion here";
  for (const int digits : {6, 9}) {
    std::vector<generated> frames = every_kind(13, digits);
    expect_one_pass_as_reader(write_all(writers::trc_writer, frames, {}));
    std::sort(frames.begin(), frames.end(),
              [](const generated& a, const generated& b) { return a.time < b.time; });
    const std::string text = write_all(writers::trc_writer, frames, {});
    // None before the start: every frame is taken.
    EXPECT_EQ(expect_one_pass_as_reader(text), frames.size()) << digits;
    // The first lines changed a character at a time, with the header and the next line.
    const std::size_t first = text.find("\n      1 ") + 1;
    const std::string header = text.substr(0, first);
    for (std::size_t start = first, n = 0; n < 24; ++n) {
      const std::size_t end = text.find('\n', start) + 1;
      const std::string line = text.substr(start, end - start);
      const std::string next = text.substr(end, text.find('\n', end) + 1 - end);
      for (std::size_t at = 0; at < line.size(); ++at) {
        for (const char c : std::string(" 09AaFfGx.-\r\n\t\x80")) {
          std::string changed = line;
          changed[at] = c;
          expect_one_pass_as_reader(header + changed + next);
        }
      }
      start = end;
    }
  }
  // Lines 1, 2, 10, 11, 21, 27 to 31, 35 and 38.
  EXPECT_EQ(expect_one_pass_as_reader(odd_trc_lines()), 12u);
}

}  // namespace
