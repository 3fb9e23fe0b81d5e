// SPDX-License-Identifier: MIT
// Error frames and the standard error stream, for the tests of the error description.
#ifndef CANTEXT_TESTS_ERROR_FRAME_SUPPORT_HPP
#define CANTEXT_TESTS_ERROR_FRAME_SUPPORT_HPP

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cantext/cantext.hpp"

namespace error_frame_support {

using detail_bytes = std::array<std::uint8_t, 8>;

inline cantext::frame_record record_of(std::uint32_t can_id, const detail_bytes& data = {},
                                       int len = 8) {
  cantext::frame_record r;
  std::memset(&r, 0, sizeof r);
  r.can_id = can_id;
  r.len = static_cast<std::uint8_t>(len);
  std::memcpy(r.data, data.data(), data.size());
  return r;
}

// Every class with every detail bit, the longest location name and both counters at 255.
inline const cantext::frame_record longest_error =
    record_of(0x200001FF, {255, 0xFF, 0xFF, 19, 0xFF, 0xFF, 255, 255});

// Its description with the separator "\n\t".
inline const std::string longest_description =
    "tx-timeout\n\t"
    "lost-arbitration{at bit 255}\n\t"
    "controller-problem{rx-overflow,tx-overflow,rx-error-warning,tx-error-warning,"
    "rx-error-passive,tx-error-passive,back-to-error-active}\n\t"
    "protocol-violation{{single-bit-error,frame-format-error,bit-stuffing-error,"
    "tx-dominant-bit-error,tx-recessive-bit-error,bus-overload,active-error,error-on-tx}"
    "{tolerate-dominant-bits}}\n\t"
    "transceiver-status\n\t"
    "no-acknowledgement-on-tx\n\t"
    "bus-off\n\t"
    "bus-error\n\t"
    "restarted-after-bus-off\n\t"
    "error-counter-tx-rx{{255}{255}}";

inline std::string contents_of(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char chunk[256];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  return text;
}

// Runs fn with the process's standard error sent to a temporary file; returns what fn wrote.
template <typename Fn>
std::string captured_stderr(Fn fn) {
  std::fflush(stderr);
  std::FILE* sink = std::tmpfile();
  if (sink == nullptr) {
    ADD_FAILURE() << "no temporary file for standard error";
    return {};
  }
  const int saved = dup(2);
  dup2(fileno(sink), 2);
  fn();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text = contents_of(sink);
  std::fclose(sink);
  return text;
}

// Runs fn with a temporary stream; returns what fn wrote to it.
template <typename Fn>
std::string written_to_stream(Fn fn) {
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) {
    ADD_FAILURE() << "no temporary file for the stream";
    return {};
  }
  fn(stream);
  std::string text = contents_of(stream);
  std::fclose(stream);
  return text;
}

}  // namespace error_frame_support

#endif
