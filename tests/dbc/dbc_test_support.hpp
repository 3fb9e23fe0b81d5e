// SPDX-License-Identifier: MIT
// What the DBC tests share: loading the project's own DBC files, and reading a signal's bits one
// by one (the reference the word-wise decoder is held to).
#ifndef CANTEXT_TESTS_DBC_SUPPORT_HPP
#define CANTEXT_TESTS_DBC_SUPPORT_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <cantext/dbc.hpp>

#include "signal_bits.hpp"

namespace dbc_test {

inline cantext::dbc::database load(const std::string& text) {
  cantext::dbc::load_result r = cantext::dbc::load_text(text);
  EXPECT_TRUE(r.ok()) << r.error;
  return std::move(r.db);
}

inline cantext::dbc::database load_data_file(const char* name) {
  const std::string path = std::string(CANTEXT_DBC_DATA) + "/" + name;
  cantext::dbc::load_result r = cantext::dbc::load_file(path.c_str());
  EXPECT_TRUE(r.ok()) << r.error;
  return std::move(r.db);
}

inline std::uint64_t bits_one_by_one(const cantext::dbc::signal& s, const std::uint8_t* data) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < s.length; ++i) {
    const unsigned place = cantext::dbc::detail::bit_place(s, i);
    v |= std::uint64_t{(data[place / 8] >> (place % 8)) & 1U} << i;
  }
  return v;
}

}  // namespace dbc_test

#endif
