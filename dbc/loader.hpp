// SPDX-License-Identifier: MIT
// A database while it is read: what the statements said, with the places they said it, until
// linking resolves the references between them and checks the whole.
#ifndef CANTEXT_DBC_LOADER_HPP
#define CANTEXT_DBC_LOADER_HPP

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <cantext/dbc.hpp>

#include "text_cursor.hpp"

namespace cantext::dbc::detail {

// What a signal's statements said about its multiplexing, and where.
struct signal_source {
  std::size_t at = 0;              // its SG_
  bool selected_by_value = false;  // m<n>: selected_by holds n..n, the multiplexer still unknown
  std::string multiplexer;         // named by SG_MUL_VAL_ (empty: none)
  std::size_t multiplexer_at = 0;
};

struct message_source {
  std::size_t at = 0;  // its BO_
  std::vector<signal_source> signals;
  std::string frame_format;  // VFrameFormat's value name, from BA_ (empty: the default)
  bool cycle_time_set = false;
};

struct loader {
  explicit loader(std::string_view text) : in(text) {}

  text_cursor in;
  database db;
  std::vector<message_source> sources;
  std::unordered_map<std::uint32_t, std::size_t> by_written_id;  // BO_'s number -> message
  std::vector<std::pair<std::string, std::vector<std::string>>> enum_values;  // BA_DEF_ ENUMs
  std::string frame_format_default;
  int cycle_time_default = -1;
  std::size_t error_at = 0;
  std::string error;

  bool fail(std::size_t at, std::string what) {
    error_at = at;
    error = std::move(what);
    return false;
  }
  // A failure where the cursor is, after space.
  bool fail_here(std::string what) {
    in.skip_space();
    return fail(in.pos(), std::move(what));
  }
};

// Reads every statement; false at the first that is wrong.
bool read_statements(loader& l);
// Resolves multiplexers and attributes and builds the lookup tables; false if they do not hold.
bool link_database(loader& l);

}  // namespace cantext::dbc::detail

#endif
