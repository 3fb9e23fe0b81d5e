// SPDX-License-Identifier: MIT
// Lines of Vector ASC and PEAK TRC captures, read to the log's fields: one row per kind of line,
// with the header lines it needs before it.
#include <gtest/gtest.h>

#include "civil_time.hpp"
#include "format_test_support.hpp"
#include "time_zone.hpp"

namespace {

using namespace cantext::reader;

const line_format& asc() {
  return *find_format("asc");
}
const line_format& trc() {
  return *find_format("trc");
}

// 2023-11-14 22:13:20.123 UTC is 1700000000.123.
#define ASC_HEAD                           \
  "date Tue Nov 14 10:13:20.123 pm 2023\n" \
  "base hex  timestamps absolute\n"        \
  "internal events logged\n"               \
  "// version 9.0.0\n"                     \
  "Begin Triggerblock Tue Nov 14 10:13:20.123 pm 2023\n"
// Day 45244.5 since 1899-12-30 is 2023-11-14 12:00 UTC, 1699963200.
#define TRC_START ";$STARTTIME=45244.5\n"

struct line_case {
  const char* name;
  const line_format& (*format)();
  const char* capture;
  const char* summary;
  int skipped;
};

const line_case line_cases[] = {
    {"asc_header_and_events", asc,
     ASC_HEAD "   0.000000 Start of measurement\n"
              "   0.5 1 Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\n"
              "   0.6 CAN 1 Status:chip status error active\n"
              "   0.7 Li 12 Rx 2 01 02\n"
              "   0.8 1 J1939TP FEE3p 6 0 0 - Rx d 23 A0 0F\n"
              "\n"
              "End TriggerBlock\n",
     "", 12},
    {"asc_classic_trailing_fields", asc,
     ASC_HEAD
     "   1.500000 1  123             Rx   d 2 01 02  Length = 232000 BitCount = 60 ID = 291\n",
     "(1700000001.623000) can0 123#0102 R\n", 5},
    {"asc_extended_transmitted", asc,
     ASC_HEAD "   0.000100 2  1ABCDEFx   Tx   d 8 1 2 3 4 5 6 7 8\n",
     "(1700000000.123100) can1 01ABCDEF#0102030405060708 T\n", 5},
    {"asc_dlc_beyond_8", asc, ASC_HEAD "   0.1 1 7FF Rx d F 11 22 33 44 55 66 77 88\n",
     "(1700000000.223) can0 7FF#1122334455667788 R\n", 5},
    {"asc_remote_with_and_without_length", asc,
     ASC_HEAD "   0.1 1 100 Rx r\n   0.2 1 100 Rx r 3\n   0.3 1 100x Tx r 8 Length = 1\n",
     "(1700000000.223) can0 100#R R\n(1700000000.323) can0 100#R3 R\n"
     "(1700000000.423) can0 00000100#R8 T\n",
     5},
    {"asc_error_frames", asc,
     ASC_HEAD "   0.1 3 ErrorFrame\n"
              "   0.2 1 ErrorFrame Flags = 0xe CodeExt = 0x20a2 Code = 0x82 ID = 0 DLC = 0\n"
              "   0.3 CANFD 2 Tx ErrorFrame ECC: 10100010\n",
     "(1700000000.223) can2 20000080#0000000000000000\n"
     "(1700000000.323) can0 20000080#0000000000000000\n"
     "(1700000000.423) can1 20000080#0000000000000000 T\n",
     5},
    {"asc_fd_with_and_without_name", asc,
     ASC_HEAD
     "   0.1 CANFD 1 Rx 123 1 0 9 12 01 02 03 04 05 06 07 08 09 0A 0B 0C 0 0 3000 0 0 0 0 0\n"
     "   0.2 CANFD 2 Tx 1234x EngineData 0 1 2 2 AA BB\n",
     "(1700000000.223) can0 123##10102030405060708090A0B0C R\n"
     "(1700000000.323) can1 00001234##2AABB T\n",
     5},
    {"asc_fd_flags_in_the_writers_layout", asc,
     ASC_HEAD "   0.001133 CANFD   1 Rx   50C      1 1 5  5 46 38 7D 8C 5B        0    0     7000"
              "        0        0        0        0        0\n"
              "   0.001133 CANFD   1 Rx   50C      1 1 5  5 46 38 7D 8C 5B        0    0     70G0"
              "        0        0        0        0        0\n",
     "(1700000000.124133) can0 50C##346387D8C5B R\n7: bad flags\n", 5},
    {"asc_fd_line_of_classic_frames", asc,
     ASC_HEAD "   0.1 CANFD 1 Rx 321 0 0 2 2 01 02 0 0 0 0 0 0 0 0\n"
              "   0.2 CANFD 1 Rx 321 0 0 4 0 0 0 10 0 0 0 0 0\n",
     "(1700000000.223) can0 321#0102 R\n(1700000000.323) can0 321#R4 R\n", 5},
    {"asc_decimal_base_relative_times", asc,
     "date Tue Nov 14 22:13:20 2023\nbase dec  timestamps relative\n"
     "   0.5 1  291  Rx   d 2 1 255\n   0.25 1 Statistic: D 0\n   0.25 1  2047x  Tx   r 2\n",
     "(1700000000.5) can0 123#01FF R\n(1700000001.00) can0 000007FF#R2 T\n", 3},
    {"asc_times_that_share_their_seconds", asc,
     ASC_HEAD "   1.000100 1 1 Rx d 0\n   1.000200 1 1 Rx d 0\n   1.0003\t1 1 Rx d 0\n"
              "   1.00040001 1 1 Rx d 0\n   1.000500x1 1 Rx d 0\n  11.000600 1 1 Rx d 0\n",
     "(1700000001.123100) can0 001# R\n(1700000001.123200) can0 001# R\n"
     "(1700000001.1233) can0 001# R\n(1700000001.12340001) can0 001# R\n"
     "(1700000011.123600) can0 001# R\n",
     6},
    {"asc_german_month_and_morning", asc, "date Di Dez 05 12:00:01.5 am 2023\n   1 1 1 Rx d 0\n",
     "(1701734402.5) can0 001# R\n", 1},
    {"asc_no_date_counts_from_the_epoch", asc,
     "base hex  timestamps absolute\n 12.25 1 5 Rx d 1 AA\n", "(12.25) can0 005#AA R\n", 1},
    {"asc_times_before_the_epoch", asc,
     "date Wed Dec 31 11:59:59.500 pm 1969\n   0.1 1 123 Rx d 1 AA\n   0.7 1 123 Rx d 1 BB\n"
     "date Wed Dec 31 11:59:59.000 pm 1969\n   0.5 1 123 Rx d 1 CC\n",
     "(-0.400) can0 123#AA R\n(0.200) can0 123#BB R\n(-0.500) can0 123#CC R\n", 2},
    {"asc_bad_lines", asc,
     ASC_HEAD "   0.1 1 123 Rx d 4 01 02\n   0.1 1 800 Rx d 0\n   0.1 0 123 Rx d 0\n"
              "   0.1 1 123 Rx x 0\n   0.1 CANFD 1 Rx 123 0 0 9 13 00\n   0.1 CANFD 1 Up\n"
              "date Tue Nov 44 10:13:20 2023\nbase oct\n",
     "6: fewer data bytes than the length\n7: bad identifier\n8: bad channel\n"
     "9: neither d nor r after the direction\n10: fewer data bytes than the length\n"
     "11: neither Rx nor Tx\n12: date not understood\n13: base is neither hex nor dec\n",
     5},

    {"trc_1_0_by_its_columns", trc,
     ";##########\n;   Start time: 18.12.2002 14:50:11.140\n"
     "     1)      1841  0001  8  00 11 22 33 44 55 66 77\n"
     "     2)      1845  FFFFFFFF  4  00 00 00 08  BUSHEAVY\n"
     "     3)      1846  12345678  0\n",
     "(1.841) can0 001#0011223344556677\n(1.846) can0 12345678#\n", 3},
    {"trc_1_1", trc,
     ";$FILEVERSION=1.1\n" TRC_START "     1)      1841.5  Rx         0123  2  01 02\n"
     "     2)      1842.0  Tx     1FFFFFFF  1  FF\n"
     "     3)      1843.7  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY\n"
     "     4)      1844.1  Rx         0100  8  RTR\n"
     "     5)      1845.0  Error      0008  5  01 00 00 00 00\n",
     "(1699963201.8415) can0 123#0102 R\n(1699963201.8420) can0 1FFFFFFF#FF T\n"
     "(1699963201.8441) can0 100#R8 R\n(1699963201.8450) can0 20000080#0000000000000000\n",
     3},
    {"trc_1_1_without_a_version_line", trc, ";\n     1)      1.5  Tx   0123  1  7F\n",
     "(0.0015) can0 123#7F T\n", 1},
    {"trc_1_2_and_1_3_with_bus", trc,
     ";$FILEVERSION=1.3\n" TRC_START
     "     1)      1841.0001 2  Rx        0001 -  8    00 00 00 00 00 00 00 01\n"
     "     2)      1841.1234 1  Tx        0002 2  AA BB\n",
     "(1699963201.8410001) can1 001#0000000000000001 R\n(1699963201.8411234) can0 002#AABB T\n", 2},
    {"trc_2_0_default_columns", trc,
     ";$FILEVERSION=2.0\n" TRC_START
     "      1      1059.900 DT 1      0300 Rx -  8    00 00 00 00 04 00 00 00\n"
     "      2      1283.231 FD 2      0301 Tx -  9    01 02 03 04 05 06 07 08 09 0A 0B 0C\n"
     "      3      1300.000 FB 1  00000302 Rx -  1    EE\n"
     "      4      1300.001 FE 1      0303 Rx -  0\n"
     "      5      1300.002 BI 1      0304 Rx -  2    01 02\n"
     "      6      1357.823 RR 1      0300 Rx -  4\n"
     "      7      1358.000 ER 1      -    Rx -  5    04 00 08 00 00\n"
     "      8      1359.000 ST 1      -    Rx -  4    00 00 00 08\n"
     "      9      1360.000 EV - user text of any words\n",
     "(1699963201.059900) can0 300#0000000004000000 R\n"
     "(1699963201.283231) can1 301##00102030405060708090A0B0C T\n"
     "(1699963201.300000) can0 00000302##1EE R\n(1699963201.300001) can0 303##2 R\n"
     "(1699963201.300002) can0 304##30102 R\n(1699963201.357823) can0 300#R4 R\n"
     "(1699963201.358000) can0 20000080#0000000000000000 R\n",
     4},
    {"trc_2_1_columns_with_length", trc,
     ";$FILEVERSION=2.1\n" TRC_START ";$COLUMNS=N,O,T,B,I,d,R,L,l,D\n"
     "      1         0.000500 FD 3  00000123 Rx -  9 10   01 02 03 04 05 06 07 08 09 0A\n",
     "(1699963200.000000500) can2 00000123##00102030405060708090A R\n", 3},
    {"trc_times_before_the_epoch", trc,
     ";$FILEVERSION=2.1\n;$STARTTIME=25568.99999\n"
     "      1         0.500 DT  1     0123 Rx -  1    AA\n"
     "      2      1000.000 DT 1 0123 Rx - 1 BB\n;$STARTTIME=25568.999999\n"
     "      3         0.100 DT  1     0123 Rx -  1    CC\n",
     "(-0.863500) can0 123#AA R\n(0.136000) can0 123#BB R\n(-0.086300) can0 123#CC R\n", 3},
    {"trc_bad_lines", trc,
     ";$FILEVERSION=2.1\n" TRC_START "      1      1.000 DT 1 0800 Rx - 0\n"
     "      2      1.000 DT 1 0100 Rx - 2 01\n      3      x DT 1 0100 Rx - 0\n"
     "      4      1.000 DT 0 0100 Rx - 0\n      5      1.000 DT 1 0100 Up - 0\n"
     ";$FILEVERSION=3.0\n;$STARTTIME=yesterday\n;$COLUMNS=NOT\n",
     "3: bad identifier\n4: fewer data bytes than the length\n5: bad time offset\n6: bad bus\n"
     "7: neither Rx nor Tx\n8: file version not known\n9: start time not understood\n"
     "10: columns not understood\n",
     2},
};

class format_line : public testing::TestWithParam<line_case> {};

TEST_P(format_line, reads_to_the_log_fields) {
  const line_case& c = GetParam();
  const format_tests::read_result r = format_tests::read_all(c.format(), c.capture);
  EXPECT_EQ(r.summary, c.summary);
  EXPECT_EQ(r.skipped, c.skipped);
}

INSTANTIATE_TEST_SUITE_P(rows, format_line, testing::ValuesIn(line_cases),
                         [](const testing::TestParamInfo<line_case>& row) {
                           return std::string(row.param.name);
                         });

// A wall-clock time read in a zone an hour east of UTC is an hour earlier in epoch time.
TEST(format_zone, header_times_are_read_in_the_given_zone) {
  static time_zone zone;
  ASSERT_TRUE(zone.load("<+01>-1"));
  format_options east;
  east.zone = &zone;
  EXPECT_EQ(format_tests::read_all(asc(), ASC_HEAD "   0.1 1 1 Rx d 0\n", east).summary,
            "(1699996400.223) can0 001# R\n");
  EXPECT_EQ(format_tests::read_all(
                trc(), ";$FILEVERSION=1.1\n" TRC_START "     1)      0.5  Rx  0001  0\n", east)
                .summary,
            "(1699959600.0005) can0 001# R\n");
}

struct head_case {
  const char* head;
  const char* format;
};

const head_case head_cases[] = {
    {"date Tue Nov 14 10:13:20.123 pm 2023\n", "asc"},
    {"\n  base hex  timestamps absolute\n", "asc"},
    {"// version 9.0.0\n", "asc"},
    {"Begin Triggerblock\n", "asc"},
    {"no internal events logged\n", "asc"},
    {";$FILEVERSION=2.1\n", "trc"},
    {";##########\n", "trc"},
    {"(1700000000.000000) can0 123#00\n", "log"},
    {"", "log"},
    {"dated (1) can0 123#\n", "log"},
};

TEST(format_recognition, by_the_first_line) {
  for (const head_case& c : head_cases) {
    EXPECT_STREQ(recognise_format(c.head).name, c.format) << c.head;
  }
}

}  // namespace
