// SPDX-License-Identifier: MIT
// Signals' bits: known payloads, and decode(encode(v)) == v over random signal shapes.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbc_test_support.hpp"

namespace {

using namespace cantext::dbc;
using signal = cantext::dbc::signal;  // not the C library's signal()

// One signal in an 8-byte message, a payload and the raw value it holds (worked out by hand
// from the bit numbering of the format).
struct known_case {
  const char* name;
  const char* definition;  // after "SG_ S : "
  std::uint8_t data[16];
  std::uint64_t raw;
  double physical;
};

const known_case known_cases[] = {
    {"le_two_bytes", "0|16@1+ (0.25,0) [0|0] \"\"", {0x34, 0x12}, 0x1234, 0x1234 * 0.25},
    {"le_odd_start", "4|8@1+ (1,0) [0|0] \"\"", {0xA0, 0x0B}, 0xBA, 0xBA},
    {"be_two_bytes", "7|16@0+ (1,0) [0|0] \"\"", {0x12, 0x34}, 0x1234, 0x1234},
    {"be_twelve_signed",
     "31|12@0- (0.5,0) [0|0] \"\"",
     {0, 0, 0, 0xFF, 0xE0},
     0xFFFFFFFFFFFFFFFE,
     -1.0},
    {"be_three_bytes",
     "15|20@0- (2,0) [0|0] \"\"",
     {0, 0x80, 0x00, 0x10},
     0xFFFFFFFFFFF80001,
     -1048574},
    {"be_mid_byte", "3|8@0+ (1,0) [0|0] \"\"", {0x0A, 0xB0}, 0xAB, 0xAB},
    {"le_signed_byte",
     "56|8@1- (1,-3) [0|0] \"\"",
     {0, 0, 0, 0, 0, 0, 0, 0x80},
     0xFFFFFFFFFFFFFF80,
     -131},
    {"le_64_nine_bytes",
     "4|64@1+ (1,0) [0|0] \"\"",
     {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x0F},
     0xFFEDCBA987654321,
     0},
    {"be_64_nine_bytes",
     "3|64@0+ (1,0) [0|0] \"\"",
     {0x0F, 0xED, 0xCB, 0xA9, 0x87, 0x65, 0x43, 0x21, 0x00},
     0xFEDCBA9876543210,
     0},
};

class known_payloads : public ::testing::TestWithParam<known_case> {};

TEST_P(known_payloads, decode_as_worked_out) {
  const known_case& c = GetParam();
  const database db =
      dbc_test::load(std::string("BO_ 1 M: 16 X\n SG_ S : ") + c.definition + " X\n");
  ASSERT_EQ(db.messages.size(), 1U);
  signal_value v[1];
  ASSERT_EQ(decode(db.messages[0], c.data, 16, v), 1U);
  EXPECT_EQ(v[0].raw, c.raw);
  if (c.physical != 0) {
    EXPECT_EQ(v[0].physical, c.physical);
  }
}

INSTANTIATE_TEST_SUITE_P(cases, known_payloads, ::testing::ValuesIn(known_cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(dbc_floats, ieee_bits_decode_to_their_values) {
  const database db = dbc_test::load(
      "BO_ 1 M: 12 X\n SG_ F : 0|32@1- (2,1) [0|0] \"\" X\n SG_ D : 39|64@0- (1,0) [0|0] \"\" X\n"
      "SIG_VALTYPE_ 1 F : 1;\nSIG_VALTYPE_ 1 D : 2;\n");
  const message& m = db.messages[0];
  std::uint8_t data[12] = {0x00, 0x00, 0xC0, 0x3F,                           // 1.5f, little-endian
                           0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};  // pi, big-endian
  signal_value v[2];
  ASSERT_EQ(decode(m, data, sizeof data, v), 2U);
  EXPECT_EQ(v[0].physical, 4.0);
  EXPECT_EQ(v[1].physical, 3.141592653589793);
}

// Random signal shapes: every length, both byte orders, any place in a 64-byte payload, each
// kind.  Writing random raw values bit by bit (insert) and decoding them word-wise must give them
// back, and the bits read one by one must agree with the decoder.
std::string random_signal(std::mt19937_64& rng, value_kind& kind) {
  const unsigned kind_pick = static_cast<unsigned>(rng() % 8);
  kind = kind_pick < 3   ? value_kind::unsigned_integer
         : kind_pick < 6 ? value_kind::signed_integer
         : kind_pick < 7 ? value_kind::float32
                         : value_kind::float64;
  const unsigned length = kind == value_kind::float32   ? 32
                          : kind == value_kind::float64 ? 64
                                                        : 1 + static_cast<unsigned>(rng() % 64);
  const bool big = rng() % 2 == 0;
  // A place where the whole signal fits: little-endian by its lowest bit; big-endian by its
  // highest, counting in the row order of the format's big-endian numbering.
  const unsigned first = static_cast<unsigned>(rng() % (512 - length + 1));
  const unsigned start = big ? first / 8 * 8 + 7 - first % 8 : first;
  return std::to_string(start) + "|" + std::to_string(length) + (big ? "@0" : "@1") +
         (kind == value_kind::signed_integer ? "-" : "+") + " (1,0) [0|0] \"\" X\n";
}

TEST(dbc_round_trip, random_shapes_give_back_random_raw_values) {
  std::mt19937_64 rng(2024);
  for (int shape = 0; shape < 2000; ++shape) {
    value_kind kind;
    std::string text = "BO_ 1 M: 64 X\n SG_ S : " + random_signal(rng, kind);
    if (kind == value_kind::float32) text += "SIG_VALTYPE_ 1 S : 1;\n";
    if (kind == value_kind::float64) text += "SIG_VALTYPE_ 1 S : 2;\n";
    const database db = dbc_test::load(text);
    ASSERT_EQ(db.messages.size(), 1U) << text;
    const message& m = db.messages[0];
    const signal& s = m.signals[0];
    for (int round = 0; round < 8; ++round) {
      std::uint8_t data[64];
      for (std::uint8_t& b : data) b = static_cast<std::uint8_t>(rng());
      const std::uint64_t bits = rng() & s.plan.mask;
      insert(s, bits, data);
      signal_value v[1];
      decode(m, data, sizeof data, v);
      std::uint64_t expected = bits;
      if (kind == value_kind::signed_integer && s.length < 64 && ((bits >> (s.length - 1)) & 1))
        expected |= ~s.plan.mask;
      ASSERT_EQ(v[0].raw, expected) << text;
      ASSERT_EQ(dbc_test::bits_one_by_one(s, data), bits) << text;
      if (kind == value_kind::float64 || kind == value_kind::float32) continue;
      // The physical value (raw * 1 + 0) encodes back to the raw value where a double holds it.
      if (s.length <= 53) {
        ASSERT_EQ(raw_of_physical(s, v[0].physical) & s.plan.mask, bits) << text;
      }
    }
  }
}

// Physical values with factors and offsets: each raw value's physical value encodes back to it,
// and values beyond the bits' range are clamped, not wrapped.
struct scaling_case {
  const char* name;
  const char* definition;
  double beyond_low;
  double beyond_high;
};

const scaling_case scaling_cases[] = {
    {"tenths_unsigned", "0|12@1+ (0.1,0) [0|0] \"\"", -5, 1000},
    {"offset_signed", "7|10@0- (0.25,-40) [0|0] \"\"", -1000, 1000},
    {"negative_factor", "3|16@1- (-0.5,3) [0|0] \"\"", 1e9, -1e9},
    {"long_signed", "0|40@1- (0.001,5) [0|0] \"\"", -1e12, 1e12},
};

class scaling : public ::testing::TestWithParam<scaling_case> {};

TEST_P(scaling, physical_values_encode_to_their_raw_values) {
  const database db =
      dbc_test::load(std::string("BO_ 1 M: 8 X\n SG_ S : ") + GetParam().definition + " X\n");
  const message& m = db.messages[0];
  const signal& s = m.signals[0];
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000; ++i) {
    const std::uint64_t bits = rng() & s.plan.mask;
    signal_value in[1] = {{bits, 0, true}};
    std::uint8_t data[8];
    encode(m, in, data);
    signal_value out[1];
    decode(m, data, 8, out);
    ASSERT_TRUE(encodes_exactly(s, out[0].physical));
    std::uint8_t again[8];
    signal_value physical[1] = {{raw_of_physical(s, out[0].physical), 0, true}};
    encode(m, physical, again);
    ASSERT_EQ(std::memcmp(data, again, 8), 0) << out[0].physical;
  }
  const std::uint64_t sign = s.kind == value_kind::signed_integer ? s.plan.mask >> 1 : s.plan.mask;
  const double physical_of_low = raw_number(s, raw_of_physical(s, GetParam().beyond_low));
  const double physical_of_high = raw_number(s, raw_of_physical(s, GetParam().beyond_high));
  EXPECT_FALSE(encodes_exactly(s, GetParam().beyond_high));
  EXPECT_EQ(physical_of_high, static_cast<double>(sign));
  EXPECT_EQ(physical_of_low,
            s.kind == value_kind::signed_integer ? -static_cast<double>(sign) - 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(cases, scaling, ::testing::ValuesIn(scaling_cases),
                         [](const auto& row) { return std::string(row.param.name); });

// The text a command prints after a frame.
struct format_case {
  const char* name;
  unsigned options;
  std::size_t size;
  const char* expected;
};

const format_case format_cases[] = {
    {"one_line", 0, 200,
     "EngineData(EngineSpeed: 1000.25 rpm, CoolantTemp: 50 degC, "
     "Torque: -1.5 Nm, Gear: 3, Throttle: 12.3 %, Flags: 255)"},
    {"choices", format_choices, 200,
     "EngineData(EngineSpeed: 1000.25 rpm, CoolantTemp: 50 degC, "
     "Torque: -1.5 Nm, Gear: Drive, Throttle: 12.3 %, Flags: 255)"},
    {"multi_line", format_multi_line, 200,
     "EngineData(\n    EngineSpeed: 1000.25 rpm,\n    CoolantTemp: 50 degC,\n    Torque: -1.5 Nm,"
     "\n    Gear: 3,\n    Throttle: 12.3 %,\n    Flags: 255\n)"},
    {"cut_short", 0, 20, "EngineData(EngineSp"},
};

class formatting : public ::testing::TestWithParam<format_case> {};

TEST_P(formatting, prints_the_present_signals) {
  const database db = dbc_test::load_data_file("features.dbc");
  const message& m = *find_message(db, 256);
  std::vector<signal_value> v(m.signals.size());
  const double physical[] = {1000.25, 50, -1.5, 3, 12.3, 255};
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = {raw_of_physical(m.signals[i], physical[i]), 0, true};
  std::uint8_t data[8];
  encode(m, v.data(), data);
  decode(m, data, 8, v.data());
  std::vector<char> buf(GetParam().size);
  const std::size_t length =
      format_message(buf.data(), buf.size(), m, v.data(), GetParam().options);
  EXPECT_STREQ(buf.data(), GetParam().expected);
  const std::size_t whole = format_message(nullptr, 0, m, v.data(), GetParam().options);
  EXPECT_EQ(length, whole);
  if (GetParam().size == 200) {
    EXPECT_EQ(length, std::strlen(GetParam().expected));
  }
}

INSTANTIATE_TEST_SUITE_P(cases, formatting, ::testing::ValuesIn(format_cases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
