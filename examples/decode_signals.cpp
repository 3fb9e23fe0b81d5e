// SPDX-License-Identifier: MIT
// Loads a DBC database and decodes frames in compact notation into their signals, printed as a
// command prints them after a frame: "  :: Name(signal: value unit, ...)".
#include <cstdio>
#include <vector>

#include <cantext/cantext.hpp>
#include <cantext/dbc.hpp>

namespace {

const char database_text[] = R"(VERSION ""
BU_: Engine Body
BO_ 256 EngineData: 8 Engine
 SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Body
 SG_ CoolantTemp : 16|8@1+ (1,-40) [-40|215] "degC" Body
 SG_ Torque : 31|12@0- (0.5,0) [-1024|1023.5] "Nm" Body
 SG_ Gear : 32|3@1+ (1,0) [0|7] "" Body
VAL_ 256 Gear 0 "Park" 1 "Reverse" 2 "Neutral" 3 "Drive" ;
)";

}  // namespace

int main() {
  const cantext::dbc::load_result loaded = cantext::dbc::load_text(database_text, "engine.dbc");
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.error.c_str());
    return 1;
  }
  const char* const frames[] = {"100#A00F5AFFD3030000", "100#0000280010010000", "123#00"};
  std::vector<cantext::dbc::signal_value> values;
  for (const char* text : frames) {
    cantext::frame_record frame;
    if (cantext::parse_frame_text(text, frame) == cantext::not_a_frame) return 1;
    std::printf("%s\n", text);
    const cantext::dbc::message* m = cantext::dbc::find_message(loaded.db, frame.can_id);
    if (m == nullptr) continue;  // a frame the database does not know passes unchanged
    values.resize(m->signals.size());
    cantext::dbc::decode(*m, frame.data, frame.len, values.data());
    char line[256];
    cantext::dbc::format_message(line, sizeof line, *m, values.data(),
                                 cantext::dbc::format_choices);
    std::printf("  :: %s\n", line);
  }
  return 0;
}
