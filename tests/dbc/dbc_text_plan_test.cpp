// SPDX-License-Identifier: MIT
// The text written by a message's plan (format_message given its room, and format_frame, which
// decodes as it writes) against the text written piece by piece from the signals' own records,
// over random messages: every shape and kind of signal, scalings that are integers, short
// decimals and neither, names and units of any length, choices, multiplexing, and payloads short
// enough to leave signals out.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dbc_test_support.hpp"
#include "text_plan.hpp"

namespace {

using namespace cantext::dbc;

const char* const scalings[] = {"(1,0)",         "(2,-40)",    "(-3,7)",        "(0.5,0)",
                                "(0.1,-273.15)", "(0.25,0.5)", "(0.001,0)",     "(0.01,-40)",
                                "(1.5,0)",       "(0.3,0)",    "(1e-07,0)",     "(1.0,0)",
                                "(100,1e5)",     "(0.0001,0)", "(3.3333333,0)", "(1e20,0)"};
const char* const units[] = {"", "u", "km/h", "a unit longer than sixteen"};

// " SG_ ..." for signal i, and its SIG_VALTYPE_ and VAL_ lines in `after`.
std::string random_signal(std::mt19937_64& rng, int i, bool multiplexed, std::string& after) {
  const std::string name = "S" + std::to_string(i) +
                           std::string(rng() % 3 ? 0 : static_cast<std::size_t>(rng() % 30), 'x');
  const unsigned kind = static_cast<unsigned>(rng() % 10);  // 8: float32, 9: float64
  const unsigned length = kind == 8   ? 32
                          : kind == 9 ? 64
                                      : 1 + static_cast<unsigned>(rng() % (rng() % 4 ? 12 : 64));
  const bool big = rng() % 2 == 0;
  const unsigned first = static_cast<unsigned>(rng() % (512 - length + 1));
  const unsigned start = big ? first / 8 * 8 + 7 - first % 8 : first;
  if (kind >= 8) after += "SIG_VALTYPE_ 1 " + name + (kind == 8 ? " : 1;\n" : " : 2;\n");
  if (rng() % 4 == 0)
    after += "VAL_ 1 " + name + " 0 \"Zero\" 1 \"A choice past sixteen\" -1 \"Minus\" ;\n";
  return " SG_ " + name + (multiplexed ? " m" + std::to_string(rng() % 3) : "") + " : " +
         std::to_string(start) + "|" + std::to_string(length) + (big ? "@0" : "@1") +
         (kind % 2 ? "-" : "+") + " " + scalings[rng() % std::size(scalings)] + " [0|0] \"" +
         units[rng() % std::size(units)] + "\" X\n";
}

TEST(dbc_text_plan, writes_what_the_pieces_write) {
  std::mt19937_64 rng(26);
  for (int round = 0; round < 300; ++round) {
    const bool multiplexed = rng() % 4 == 0;
    std::string text =
        "BO_ 1 M" + std::string(static_cast<std::size_t>(rng() % 20), 'm') + ": 64 X\n";
    if (multiplexed) text += " SG_ Mux M : 0|2@1+ (1,0) [0|0] \"\" X\n";
    std::string after;
    for (int i = 0, count = 1 + static_cast<int>(rng() % 12); i < count; ++i)
      text += random_signal(rng, i, multiplexed, after);
    const database db = dbc_test::load(text + after);
    ASSERT_EQ(db.messages.size(), 1U) << text;
    const message& m = db.messages[0];
    std::vector<signal_value> values(m.signals.size());
    for (int frame = 0; frame < 50; ++frame) {
      // Mostly small values, so that the short paths are taken, and any payload size.
      std::uint8_t data[64];
      for (std::uint8_t& byte : data)
        byte = static_cast<std::uint8_t>(rng() % 3 ? rng() % 4 : rng());
      const auto size = static_cast<std::size_t>(rng() % 3 ? (rng() % 2 ? 8 : 64) : rng() % 65);
      decode(m, data, size, values.data());
      for (unsigned options = 0; options < 4; ++options) {
        char pieces[4096];
        char plan[4096];
        char frame_text[4096];
        const std::size_t n =
            detail::format_pieces(pieces, sizeof pieces, m, values.data(), options);
        ASSERT_LT(m.text.room, sizeof plan);
        ASSERT_EQ(format_message(plan, sizeof plan, m, values.data(), options), n);
        EXPECT_STREQ(plan, pieces) << text + after;
        std::vector<signal_value> scratch(m.signals.size());
        ASSERT_EQ(
            format_frame(frame_text, sizeof frame_text, m, data, size, scratch.data(), options), n);
        EXPECT_STREQ(frame_text, pieces) << text + after;
        // Any buffer: the text's start, ended, and nothing written past the end (past the
        // buffer where it has the plan's room, which the plan may use all of).
        const auto room = static_cast<std::size_t>(rng() % (m.text.room + 2));
        const std::size_t shown = room < n + 1 ? room : n + 1;
        const std::size_t kept = room >= m.text.room ? room : shown;
        const std::string text_part = shown == 0 ? "" : std::string(pieces, shown - 1) + '\0';
        for (int way = 0; way < 2; ++way) {
          std::string cut(room + 16, '~');
          EXPECT_EQ(way == 0
                        ? format_message(cut.data(), room, m, values.data(), options)
                        : format_frame(cut.data(), room, m, data, size, scratch.data(), options),
                    n);
          EXPECT_EQ(cut.substr(0, shown), text_part);
          EXPECT_EQ(cut.substr(kept), std::string(room + 16 - kept, '~'));
        }
      }
    }
  }
}

}  // namespace
