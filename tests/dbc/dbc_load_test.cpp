// SPDX-License-Identifier: MIT
// Loading: what the project's DBC files say, and where a bad file is wrong.
#include <string>

#include "dbc_test_support.hpp"

namespace {

using namespace cantext::dbc;
using signal = cantext::dbc::signal;  // not the C library's signal()

// Every message of features.dbc as it must come out.
struct message_case {
  const char* name;
  std::uint32_t can_id;
  bool fd;
  unsigned length;
  int cycle_time;
  std::size_t signal_count;
};

const message_case message_cases[] = {
    {"EngineData", 256, false, 8, 10, 6},
    {"BodyStatus", 0x18FEF100 | cantext::can_eff_flag, false, 8, 100, 5},
    {"Measurements", 512, true, 16, 0, 3},
    {"Multiplexed", 768, false, 8, 0, 5},
    {"LongFD", 768 | cantext::can_eff_flag, true, 64, 0, 6},
};

TEST(dbc_load, features_file_gives_every_message) {
  const database db = dbc_test::load_data_file("features.dbc");
  ASSERT_EQ(db.messages.size(), std::size(message_cases));  // the pseudo message is dropped
  for (const message_case& c : message_cases) {
    const message* m = find_message(db, c.can_id);
    ASSERT_NE(m, nullptr) << c.name;
    EXPECT_EQ(m, find_message_named(db, c.name));
    EXPECT_EQ(m->name, c.name);
    EXPECT_EQ(m->fd, c.fd) << c.name;
    EXPECT_EQ(m->length, c.length) << c.name;
    EXPECT_EQ(m->cycle_time, c.cycle_time) << c.name;
    EXPECT_EQ(m->signals.size(), c.signal_count) << c.name;
  }
  EXPECT_EQ(find_message(db, 256 | cantext::can_rtr_flag), nullptr);
  EXPECT_EQ(find_message(db, 256 | cantext::can_eff_flag), nullptr);
  EXPECT_EQ(find_message_named(db, "VECTOR__INDEPENDENT_SIG_MSG"), nullptr);
}

TEST(dbc_load, features_file_gives_signal_details) {
  const database db = dbc_test::load_data_file("features.dbc");
  EXPECT_EQ(db.version, "1.2");
  EXPECT_EQ(db.nodes, (std::vector<std::string>{"Engine", "Body", "Gateway"}));
  ASSERT_EQ(db.value_tables.size(), 1U);
  EXPECT_EQ(db.value_tables[0].choices.size(), 4U);
  const message& engine = *find_message(db, 256);
  EXPECT_EQ(engine.comment, "Engine state, every 10 ms");
  EXPECT_EQ(engine.transmitter, "Engine");
  const signal& torque = engine.signals[2];
  EXPECT_EQ(torque.comment, "Signed, big-endian, across two bytes;\nand a comment of two lines");
  EXPECT_TRUE(torque.big_endian);
  EXPECT_EQ(torque.kind, value_kind::signed_integer);
  EXPECT_FALSE(torque.integer_scaling);
  EXPECT_EQ(engine.signals[1].unit, "degC");
  EXPECT_TRUE(engine.signals[1].integer_scaling);
  EXPECT_EQ(engine.signals[0].receivers, (std::vector<std::string>{"Body", "Gateway"}));
  EXPECT_STREQ(choice_name(engine.signals[3], 3), "Drive");
  EXPECT_EQ(choice_name(engine.signals[3], 4), nullptr);
  const message& measurements = *find_message(db, 512);
  EXPECT_EQ(measurements.signals[0].kind, value_kind::float32);
  EXPECT_EQ(measurements.signals[1].kind, value_kind::float64);
  const message& mux = *find_message(db, 768);
  EXPECT_TRUE(mux.signals[0].is_multiplexer);
  EXPECT_EQ(mux.signals[1].multiplexer, 0);
  EXPECT_EQ(mux.signals[4].multiplexer, -1);
  EXPECT_STREQ(choice_name(mux.signals[4], ~std::uint64_t{0}), "Unknown");
}

// A bad file: where it is wrong and what is wrong.
struct error_case {
  const char* name;
  const char* text;
  const char* error;
};

const error_case error_cases[] = {
    {"not_a_keyword", "VERSION \"\"\n\n  42 x", "t.dbc:3:3: expected a keyword"},
    {"unclosed_string", "VERSION \"abc\n", "t.dbc:1:9: expected a quoted string"},
    {"message_too_long", "BO_ 1 M: 65 X\n", "t.dbc:1:10: a message has at most 64 bytes, not 65"},
    {"standard_id_too_big", "BO_ 2048 M: 8 X\n",
     "t.dbc:1:5: identifier 2048 is beyond the frame format's"},
    {"signal_before_message", "\nSG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:1: SG_ before any BO_"},
    {"signal_too_long", "BO_ 1 M: 8 X\n SG_ S : 0|65@1+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:12: a signal has 1 to 64 bits, not 65"},
    {"signal_outside", "BO_ 1 M: 2 X\n SG_ S : 7|17@0+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:2: signal S does not lie within the 2 bytes of message M"},
    {"bad_byte_order", "BO_ 1 M: 8 X\n SG_ S : 0|8@2+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:14: expected 0 (big-endian) or 1 (little-endian)"},
    {"missing_sign", "BO_ 1 M: 8 X\n SG_ S : 0|8@1 (1,0) [0|0] \"\" X\n",
     "t.dbc:2:16: expected '+' (unsigned) or '-' (signed)"},
    {"bad_factor", "BO_ 1 M: 8 X\n SG_ S : 0|8@1+ (x,0) [0|0] \"\" X\n",
     "t.dbc:2:18: expected the factor"},
    {"bad_mux", "BO_ 1 M: 8 X\n SG_ S x : 0|8@1+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:8: expected 'M', 'm<value>', 'm<value>M' or ':'"},
    {"twice_signal",
     "BO_ 1 M: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ S : 8|8@1+ (1,0) [0|0] \"\" X\n",
     "t.dbc:3:2: signal name 'S' is used twice in M"},
    {"twice_id", "BO_ 1 A: 8 X\nBO_ 1 B: 8 X\n", "t.dbc:2:5: message 1 is defined twice"},
    {"twice_name", "BO_ 1 A: 8 X\nBO_ 2 A: 8 X\n", "t.dbc:2:5: message name 'A' is used twice"},
    {"unknown_message", "BO_ 1 A: 8 X\nCM_ BO_ 2 \"x\";\n", "t.dbc:2:9: no message 2"},
    {"unknown_signal", "BO_ 1 A: 8 X\nVAL_ 1 T 0 \"x\" ;\n",
     "t.dbc:2:8: message A has no signal 'T'"},
    {"float_length", "BO_ 1 A: 8 X\n SG_ S : 0|16@1+ (1,0) [0|0] \"\" X\nSIG_VALTYPE_ 1 S : 1;\n",
     "t.dbc:3:20: signal S has 16 bits: a float has 32"},
    {"no_multiplexer", "BO_ 1 A: 8 X\n SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" X\n",
     "t.dbc:2:2: signal S is multiplexed, but message A has no multiplexer (M)"},
    {"unknown_multiplexer",
     "BO_ 1 A: 8 X\n SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" X\nSG_MUL_VAL_ 1 S T 1-1;\n",
     "t.dbc:3:17: message A has no multiplexer T"},
    {"multiplexer_loop",
     "BO_ 1 A: 8 X\n SG_ S m1M : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ T m1M : 8|8@1+ (1,0) [0|0] \"\" "
     "X\n"
     "SG_MUL_VAL_ 1 S T 1-1;\nSG_MUL_VAL_ 1 T S 1-1;\n",
     "t.dbc:2:2: signal S is its own multiplexer's multiplexer"},
    {"bad_range", "BO_ 1 A: 8 X\n SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" X\nSG_MUL_VAL_ 1 S S 2-1;\n",
     "t.dbc:3:19: expected a range of values low-high"},
    {"missing_semicolon", "BO_ 1 A: 8 X\nCM_ BO_ 1 \"x\"\nBO_ 2 B: 8 X\n",
     "t.dbc:3:1: expected ';'"},
};

class load_errors : public ::testing::TestWithParam<error_case> {};

TEST_P(load_errors, name_the_place_and_give_no_database) {
  const load_result r = load_text(GetParam().text, "t.dbc");
  EXPECT_EQ(r.error, GetParam().error);
  EXPECT_TRUE(r.db.messages.empty());
  EXPECT_TRUE(r.db.id_slots.empty());
}

INSTANTIATE_TEST_SUITE_P(cases, load_errors, ::testing::ValuesIn(error_cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(dbc_load, unknown_and_unused_statements_are_read_past) {
  const database db = dbc_test::load(
      "VERSION \"\"\nNS_ :\n  CM_\n  BA_\nBS_: 500 : 12,34\nBU_:\nBO_ 5 A: 1 X\n"
      " SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\nFUTURE_THING_ 1 \"a;b\" ;\nANOTHER_ 5 x y\n"
      "BA_DEF_REL_ BU_SG_REL_ \"R\" INT 0 1;\nENVVAR_DATA_ E: 4;\nSIG_GROUP_ 5 G 1 : S;\n"
      "CM_ BO_ 5 \"after\";\n");
  ASSERT_EQ(db.messages.size(), 1U);
  EXPECT_EQ(db.messages[0].comment, "after");
}

TEST(dbc_load, a_missing_file_names_the_system_error) {
  const load_result r = load_file("/nonexistent/x.dbc");
  EXPECT_EQ(r.error, "/nonexistent/x.dbc: No such file or directory");
}

}  // namespace
