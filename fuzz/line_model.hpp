// SPDX-License-Identifier: MIT
// A plain model of the line reader and of the filter's conversion, written for clarity rather
// than speed: the input cut into pieces at line breaks (or every max_piece bytes), each piece
// split into fields and its frame parsed with the library's public parser; the filter shows each
// in the long form with its public renderer.
#ifndef CANTEXT_FUZZ_LINE_MODEL_HPP
#define CANTEXT_FUZZ_LINE_MODEL_HPP

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cantext/frame.hpp"

namespace cantext_fuzz {

enum class model_fault { none, too_few_fields, bad_frame, blank };

// One piece as the reader hands it over; the fields point into the input.
struct model_line {
  std::uint64_t number;
  std::string_view fields[3];
  std::string_view direction;  // a fourth field of just "R" or "T"
  model_fault fault;
  cantext::frame_record record;
  int max_data_length;
  std::size_t length;  // of the whole piece
};

struct model_reading {
  std::vector<model_line> lines;
  bool read_failed = false;  // the reading ends with a failed read rather than the input's end
};

// What the reader hands over for `input`, every bad line included; with `read_fails`, reading
// on after the input fails with EIO instead of reaching the end.
model_reading model_lines(std::string_view input, bool read_fails = false);

// One line in words, the same for the model and the reader: "<number> <field>|<field>|<the
// record in compact notation>[ <direction>]", or for a bad one "<number> too few fields in <n>
// bytes", "<number> blank in <n> bytes" or "<number> bad frame <field> in <n> bytes", n the
// length of the whole piece.
std::string describe_line(std::uint64_t number, const std::string_view (&fields)[3],
                          std::string_view direction, model_fault fault,
                          const cantext::frame_record& record, int max_data_length,
                          std::size_t length);

struct filter_outcome {
  std::string out;
  std::string err;
  int status = 0;
};

// What the filter gives for `input`: it stops at the first bad line.
filter_outcome model_filter(std::string_view input, bool read_fails = false);

}  // namespace cantext_fuzz

#endif
