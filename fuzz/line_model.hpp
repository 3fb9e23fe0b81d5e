// SPDX-License-Identifier: MIT
// A plain model of the filter's conversion, written for clarity rather than speed: the input
// cut into pieces at line breaks (or every max_piece bytes), each piece split into fields and
// its frame shown with the library's public parser and renderer.
#ifndef CANTEXT_FUZZ_LINE_MODEL_HPP
#define CANTEXT_FUZZ_LINE_MODEL_HPP

#include <string>
#include <string_view>

namespace cantext_fuzz {

struct filter_outcome {
  std::string out;
  std::string err;
  int status = 0;
};

// What the filter gives for `input`; with `read_fails`, reading on after the input fails
// with EIO instead of reaching the end.
filter_outcome model_filter(std::string_view input, bool read_fails = false);

}  // namespace cantext_fuzz

#endif
