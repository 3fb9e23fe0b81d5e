// SPDX-License-Identifier: MIT
// After the statements: each multiplexed signal tied to its multiplexer, the order in which
// multiplexers are decoded, the frame formats, the plans of decoding and text, and the lookup
// tables.
#include "loader.hpp"
#include "lookup.hpp"
#include "signal_bits.hpp"
#include "text_plan.hpp"

namespace cantext::dbc::detail {

namespace {

int index_of(const message& m, const std::string& name) {
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    if (m.signals[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

// The multiplexer of every multiplexed signal: the one SG_MUL_VAL_ names, or else the message's
// only plain multiplexer ("M").
bool tie_multiplexers(loader& l, message& m, message_source& source) {
  int plain = -1;
  int plain_count = 0;
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    if (m.signals[i].is_multiplexer && !source.signals[i].selected_by_value) {
      plain = static_cast<int>(i);
      ++plain_count;
    }
  }
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    signal& s = m.signals[i];
    const signal_source& from = source.signals[i];
    if (!from.multiplexer.empty()) {
      s.multiplexer = index_of(m, from.multiplexer);
      if (s.multiplexer < 0 || !m.signals[static_cast<std::size_t>(s.multiplexer)].is_multiplexer) {
        return l.fail(from.multiplexer_at,
                      "message " + m.name + " has no multiplexer " + from.multiplexer);
      }
    } else if (from.selected_by_value) {
      if (plain_count != 1) {
        return l.fail(from.at, "signal " + s.name + " is multiplexed, but message " + m.name +
                                   (plain_count == 0 ? " has no multiplexer (M)"
                                                     : " has several: SG_MUL_VAL_ must name one"));
      }
      s.multiplexer = plain;
    }
  }
  return true;
}

// Each multiplexer before the signals it selects (depth first); false on a loop, with the
// signal where it closes in `looped`.
bool order_signals(const message& m, std::size_t i, std::vector<unsigned char>& state,
                   std::size_t& looped, std::vector<std::uint16_t>& order) {
  if (state[i] == 2) return true;
  if (state[i] == 1) {
    looped = i;
    return false;
  }
  state[i] = 1;
  const int mux = m.signals[i].multiplexer;
  if (mux >= 0 && !order_signals(m, static_cast<std::size_t>(mux), state, looped, order))
    return false;
  state[i] = 2;
  order.push_back(static_cast<std::uint16_t>(i));
  return true;
}

bool link_message(loader& l, message& m, message_source& source) {
  if (m.signals.size() > max_signals) {
    return l.fail(source.at, "message " + m.name + " has more than " + std::to_string(max_signals) +
                                 " signals");
  }
  if (!tie_multiplexers(l, m, source)) return false;
  bool multiplexed = false;
  for (const signal& s : m.signals) multiplexed = multiplexed || s.multiplexer >= 0;
  if (multiplexed) {
    std::vector<unsigned char> state(m.signals.size(), 0);
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      std::size_t looped = 0;
      if (!order_signals(m, i, state, looped, m.mux_order)) {
        return l.fail(source.signals[looped].at,
                      "signal " + m.signals[looped].name + " is its own multiplexer's multiplexer");
      }
    }
  }
  const std::string& format =
      source.frame_format.empty() ? l.frame_format_default : source.frame_format;
  const bool fd_format = format.size() >= 6 && format.compare(format.size() - 6, 6, "CAN_FD") == 0;
  m.fd = fd_format || m.length > 8;
  if (!source.cycle_time_set) m.cycle_time = l.cycle_time_default;
  for (const signal& s : m.signals) {
    m.steps.push_back(step_of(s));
    m.multiplexers = static_cast<std::uint16_t>(m.multiplexers + s.is_multiplexer);
  }
  m.text = plan_text(m);
  return true;
}

}  // namespace

bool link_database(loader& l) {
  for (std::size_t i = 0; i < l.db.messages.size(); ++i) {
    if (!link_message(l, l.db.messages[i], l.sources[i])) return false;
  }
  // The lookup table keeps a message's index + 1 in 24 bits.
  if (l.db.messages.size() > slot_index_bits) {
    return l.fail(l.sources[slot_index_bits].at,
                  "more than " + std::to_string(slot_index_bits) + " messages");
  }
  std::size_t duplicate = 0;
  if (!build_lookup(l.db, duplicate)) {
    return l.fail(l.sources[duplicate].at,
                  "message " + l.db.messages[duplicate].name + " has the identifier of another");
  }
  return true;
}

}  // namespace cantext::dbc::detail
