// SPDX-License-Identifier: MIT
// The statements of a DBC file, each read by its own function into the loader.
#include <algorithm>
#include <cmath>

#include "loader.hpp"
#include "signal_bits.hpp"

namespace cantext::dbc::detail {

namespace {

constexpr std::uint32_t written_extended_bit = 0x80000000U;
// A message numbered with bit 30 is no frame: files keep signals that belong to no message in
// one such (VECTOR__INDEPENDENT_SIG_MSG).  It is read and dropped.
constexpr std::uint32_t written_pseudo_bit = 0x40000000U;

std::string quote(std::string_view s) {
  return "'" + std::string(s) + "'";
}

class statement_reader {
 public:
  explicit statement_reader(loader& l) : l_(l), in_(l.in) {}

  bool run() {
    for (;;) {
      in_.skip_space();
      if (in_.at_end()) return true;
      const std::size_t start = in_.pos();
      const std::string_view word = in_.name();
      if (word.empty()) return l_.fail(start, "expected a keyword");
      if (!statement(word, start)) return false;
    }
  }

 private:
  bool statement(std::string_view word, std::size_t start) {
    if (word == "VERSION") return version();
    if (word == "NS_") return new_symbols();
    if (word == "BS_") return skip_rest_of_line();
    if (word == "BU_") return nodes();
    if (word == "BO_") return message_line();
    if (word == "SG_") return signal_line(start);
    if (word == "CM_") return comment();
    if (word == "BA_DEF_") return attribute_definition();
    if (word == "BA_DEF_DEF_") return attribute_default();
    if (word == "BA_") return attribute_value();
    if (word == "VAL_TABLE_") return value_table_line();
    if (word == "VAL_") return value_descriptions();
    if (word == "SIG_VALTYPE_") return signal_value_type();
    if (word == "SG_MUL_VAL_") return multiplexer_values();
    // BO_TX_BU_, EV_, SIG_GROUP_ and the rest say nothing decoding needs.
    in_.skip_statement();
    return true;
  }

  bool expect(char c) {
    if (in_.take(c)) return true;
    return l_.fail_here(std::string("expected '") + c + "'");
  }
  bool end_of_statement() { return expect(';'); }
  bool name(std::string_view& out, const char* what) {
    out = in_.name();
    return !out.empty() || l_.fail_here(std::string("expected ") + what);
  }
  bool quoted(std::string& out) {
    return in_.quoted(out) || l_.fail_here("expected a quoted string");
  }
  bool number(double& value) { return in_.number(value) || l_.fail_here("expected a number"); }

  bool version() {
    std::string text;
    if (!quoted(text)) return false;
    l_.db.version = std::move(text);
    return true;
  }

  // NS_ : a list of the keywords the file may use, up to the next statement that is read.
  bool new_symbols() {
    if (!expect(':')) return false;
    for (;;) {
      in_.skip_space();
      const std::size_t at = in_.pos();
      const std::string_view word = in_.name();
      if (word.empty() || word == "BS_" || word == "BU_" || word == "BO_") {
        in_.seek(at);
        return true;
      }
    }
  }

  bool skip_rest_of_line() {
    in_.skip_line();
    return true;
  }

  bool nodes() {
    if (!expect(':')) return false;
    while (!in_.at_line_end()) {
      std::string_view node;
      if (!name(node, "a node name")) return false;
      l_.db.nodes.emplace_back(node);
    }
    return true;
  }

  // A message's number as BO_ writes it: the identifier, bit 31 for an extended one.
  bool written_id(std::uint32_t& id) {
    std::uint64_t value;
    if (!in_.unsigned_integer(value) || value > 0xFFFFFFFFU)
      return l_.fail_here("expected a message number");
    id = static_cast<std::uint32_t>(value);
    return true;
  }

  // The message a statement refers to by number.
  bool message_of(message*& m, message_source*& source) {
    in_.skip_space();
    const std::size_t at = in_.pos();
    std::uint32_t id;
    if (!written_id(id)) return false;
    const auto found = l_.by_written_id.find(id);
    if (found == l_.by_written_id.end()) {
      m = nullptr;
      if ((id & written_pseudo_bit) != 0) return true;
      return l_.fail(at, "no message " + std::to_string(id));
    }
    m = &l_.db.messages[found->second];
    source = &l_.sources[found->second];
    return true;
  }

  // The signal of a message a statement refers to by name; nullptr with m.
  bool signal_of(message* m, signal*& s, signal_source*& source, message_source* ms) {
    in_.skip_space();
    const std::size_t at = in_.pos();
    std::string_view n;
    if (!name(n, "a signal name")) return false;
    s = nullptr;
    if (m == nullptr) return true;
    for (std::size_t i = 0; i < m->signals.size(); ++i) {
      if (m->signals[i].name == n) {
        s = &m->signals[i];
        source = &ms->signals[i];
        return true;
      }
    }
    return l_.fail(at, "message " + m->name + " has no signal " + quote(n));
  }

  bool message_line() {
    in_.skip_space();
    const std::size_t at = in_.pos();
    std::uint32_t written;
    if (!written_id(written)) return false;
    std::string_view n;
    if (!name(n, "a message name") || !expect(':')) return false;
    in_.skip_space();
    const std::size_t length_at = in_.pos();
    std::uint64_t length;
    if (!in_.unsigned_integer(length)) return l_.fail_here("expected the message's length");
    if (length > 64)
      return l_.fail(length_at, "a message has at most 64 bytes, not " + std::to_string(length));
    std::string_view transmitter;
    if (!in_.at_line_end() && !name(transmitter, "a transmitter name")) return false;

    pseudo_ = (written & written_pseudo_bit) != 0;
    if (pseudo_) return true;
    message m;
    m.name = std::string(n);
    m.extended = (written & written_extended_bit) != 0;
    m.id = written & ~written_extended_bit;
    if (m.id > (m.extended ? can_eff_mask : can_sff_mask))
      return l_.fail(at, "identifier " + std::to_string(m.id) + " is beyond the frame format's");
    m.length = static_cast<unsigned>(length);
    m.transmitter = std::string(transmitter);
    if (!l_.by_written_id.emplace(written, l_.db.messages.size()).second)
      return l_.fail(at, "message " + std::to_string(written) + " is defined twice");
    for (const message& other : l_.db.messages) {
      if (other.name == m.name) return l_.fail(at, "message name " + quote(n) + " is used twice");
    }
    l_.db.messages.push_back(std::move(m));
    l_.sources.push_back({});
    l_.sources.back().at = at;
    return true;
  }

  // "M", "m<n>" or "m<n>M" before a signal's ':'.
  bool multiplexing(signal& s, signal_source& source) {
    in_.skip_space();
    if (in_.peek() == ':') return true;
    const std::size_t at = in_.pos();
    const std::string_view word = in_.name();
    if (word == "M") {
      s.is_multiplexer = true;
      return true;
    }
    std::size_t digits = 1;
    while (digits < word.size() && word[digits] >= '0' && word[digits] <= '9') ++digits;
    const std::string_view tail = word.substr(digits);
    if (word.size() < 2 || word[0] != 'm' || digits == 1 || !(tail.empty() || tail == "M"))
      return l_.fail(at, "expected 'M', 'm<value>', 'm<value>M' or ':'");
    std::int64_t value = 0;
    for (std::size_t i = 1; i < digits; ++i) {
      if (value > (INT64_MAX - 9) / 10) return l_.fail(at, "multiplexer value out of range");
      value = value * 10 + (word[i] - '0');
    }
    s.selected_by = {{value, value}};
    source.selected_by_value = true;
    s.is_multiplexer = tail == "M";
    return true;
  }

  bool signal_line(std::size_t at) {
    if (l_.db.messages.empty() && !pseudo_) return l_.fail(at, "SG_ before any BO_");
    signal s;
    signal_source source;
    source.at = at;
    std::string_view n;
    if (!name(n, "a signal name")) return false;
    s.name = std::string(n);
    if (!multiplexing(s, source) || !expect(':')) return false;
    std::uint64_t start;
    std::uint64_t length;
    if (!in_.unsigned_integer(start)) return l_.fail_here("expected the start bit");
    if (!expect('|')) return false;
    in_.skip_space();
    const std::size_t length_at = in_.pos();
    if (!in_.unsigned_integer(length)) return l_.fail_here("expected the signal's length");
    if (length < 1 || length > 64)
      return l_.fail(length_at, "a signal has 1 to 64 bits, not " + std::to_string(length));
    if (!expect('@')) return false;
    const char order = in_.peek();
    if (order != '0' && order != '1')
      return l_.fail_here("expected 0 (big-endian) or 1 (little-endian)");
    in_.seek(in_.pos() + 1);
    const char sign = in_.peek();
    if (sign != '+' && sign != '-') return l_.fail_here("expected '+' (unsigned) or '-' (signed)");
    in_.seek(in_.pos() + 1);
    s.start_bit = static_cast<unsigned>(std::min<std::uint64_t>(start, 0xFFFFFFFFU));
    s.length = static_cast<unsigned>(length);
    s.big_endian = order == '0';
    s.kind = sign == '-' ? value_kind::signed_integer : value_kind::unsigned_integer;
    if (!scaling(s) || !expect('[') || !number(s.minimum) || !expect('|') || !number(s.maximum) ||
        !expect(']') || !quoted(s.unit)) {
      return false;
    }
    while (!in_.at_line_end()) {
      if (in_.take(',')) continue;
      std::string_view receiver;
      if (!name(receiver, "a receiver name")) return false;
      s.receivers.emplace_back(receiver);
    }
    if (pseudo_) return true;
    message& m = l_.db.messages.back();
    if (start >= 512 || !plan_bits(s.start_bit, s.length, s.big_endian, m.length, s.plan)) {
      return l_.fail(at, "signal " + s.name + " does not lie within the " +
                             std::to_string(m.length) + " bytes of message " + m.name);
    }
    for (const signal& other : m.signals) {
      if (other.name == s.name)
        return l_.fail(at, "signal name " + quote(s.name) + " is used twice in " + m.name);
    }
    m.signals.push_back(std::move(s));
    l_.sources.back().signals.push_back(std::move(source));
    return true;
  }

  // (factor,offset): whole numbers as written make whole physical values.
  bool scaling(signal& s) {
    std::string_view factor_text;
    std::string_view offset_text;
    if (!expect('(')) return false;
    if (!in_.number(s.factor, factor_text)) return l_.fail_here("expected the factor");
    if (!expect(',')) return false;
    if (!in_.number(s.offset, offset_text)) return l_.fail_here("expected the offset");
    if (!expect(')')) return false;
    const auto whole = [](std::string_view t) {
      return t.find_first_not_of("+-0123456789") == std::string_view::npos;
    };
    s.integer_scaling = whole(factor_text) && whole(offset_text) && std::fabs(s.factor) < 9.0e15 &&
                        std::fabs(s.offset) < 9.0e15;
    return true;
  }

  bool comment() {
    std::string text;
    in_.skip_space();
    if (in_.peek() == '"') return quoted(text) && end_of_statement();
    const std::size_t at = in_.pos();
    std::string_view object;
    if (!name(object, "an object type or a quoted string")) return false;
    message* m = nullptr;
    message_source* ms = nullptr;
    signal* s = nullptr;
    signal_source* ss = nullptr;
    if (object == "BO_" || object == "SG_") {
      if (!message_of(m, ms)) return false;
      if (object == "SG_" && !signal_of(m, s, ss, ms)) return false;
    } else if (object == "BU_" || object == "EV_") {
      std::string_view ignored;
      if (!name(ignored, "a name")) return false;
    } else {
      return l_.fail(at, "expected BU_, BO_, SG_, EV_ or a quoted string");
    }
    if (!quoted(text) || !end_of_statement()) return false;
    if (s != nullptr) {
      s->comment = std::move(text);
    } else if (m != nullptr && object == "BO_") {
      m->comment = std::move(text);
    }
    return true;
  }

  // A number or a quoted string, as attribute values are.
  bool attribute_value_text(std::string& text, double& value) {
    in_.skip_space();
    if (in_.peek() == '"') return quoted(text);
    text.clear();
    return number(value);
  }

  bool attribute_definition() {
    in_.skip_space();
    if (in_.peek() != '"') {
      std::string_view object;
      if (!name(object, "an object type or the attribute's name")) return false;
    }
    std::string attribute;
    std::string_view type;
    if (!quoted(attribute) || !name(type, "the attribute's type")) return false;
    std::vector<std::string> values;
    if (type == "ENUM") {
      do {
        std::string value;
        if (!quoted(value)) return false;
        values.push_back(std::move(value));
      } while (in_.take(','));
    } else if (type == "INT" || type == "HEX" || type == "FLOAT") {
      double least;
      double most;
      if (!number(least) || !number(most)) return false;
    } else if (type != "STRING") {
      return l_.fail_here("expected INT, HEX, FLOAT, STRING or ENUM");
    }
    if (!end_of_statement()) return false;
    l_.enum_values.emplace_back(std::move(attribute), std::move(values));
    return true;
  }

  // The name of an ENUM attribute's value, given as its index or as the name.
  std::string enum_name(const std::string& attribute, const std::string& text, double value) {
    if (!text.empty()) return text;
    for (const auto& [name, values] : l_.enum_values) {
      if (name == attribute && value >= 0 && value < static_cast<double>(values.size()))
        return values[static_cast<std::size_t>(value)];
    }
    return {};
  }

  bool attribute_default() {
    std::string attribute;
    std::string text;
    double value = 0;
    if (!quoted(attribute) || !attribute_value_text(text, value) || !end_of_statement())
      return false;
    if (attribute == "VFrameFormat") l_.frame_format_default = enum_name(attribute, text, value);
    if (attribute == "GenMsgCycleTime" && text.empty()) l_.cycle_time_default = whole_ms(value);
    return true;
  }

  static int whole_ms(double value) {
    return value >= 0 && value < 2147483647.0 ? static_cast<int>(value) : -1;
  }

  bool attribute_value() {
    std::string attribute;
    if (!quoted(attribute)) return false;
    in_.skip_space();
    message* m = nullptr;
    message_source* ms = nullptr;
    if (in_.peek() != '"' && in_.peek() != '-' && !(in_.peek() >= '0' && in_.peek() <= '9')) {
      std::string_view object;
      if (!name(object, "an object type or a value")) return false;
      signal* s = nullptr;
      signal_source* ss = nullptr;
      if (object == "BO_" || object == "SG_") {
        if (!message_of(m, ms)) return false;
        if (object == "SG_" && !signal_of(m, s, ss, ms)) return false;
        if (object == "SG_") m = nullptr;
      } else {
        std::string_view ignored;
        if (!name(ignored, "a name")) return false;
      }
    }
    std::string text;
    double value = 0;
    if (!attribute_value_text(text, value) || !end_of_statement()) return false;
    if (m == nullptr) return true;
    if (attribute == "VFrameFormat") ms->frame_format = enum_name(attribute, text, value);
    if (attribute == "GenMsgCycleTime" && text.empty()) {
      m->cycle_time = whole_ms(value);
      ms->cycle_time_set = true;
    }
    return true;
  }

  // value "name" pairs up to the ';', sorted by value.
  bool choices(std::vector<choice>& out) {
    out.clear();
    while (!in_.take(';')) {
      double value;
      in_.skip_space();
      const std::size_t at = in_.pos();
      if (!number(value)) return false;
      if (value != std::floor(value) || std::fabs(value) > 9.2e18)
        return l_.fail(at, "a value description's value must be an integer");
      choice c{static_cast<std::int64_t>(value), {}};
      if (!quoted(c.name)) return false;
      out.push_back(std::move(c));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const choice& a, const choice& b) { return a.raw < b.raw; });
    return true;
  }

  bool value_table_line() {
    value_table table;
    std::string_view n;
    if (!name(n, "a value table name")) return false;
    table.name = std::string(n);
    if (!choices(table.choices)) return false;
    l_.db.value_tables.push_back(std::move(table));
    return true;
  }

  bool value_descriptions() {
    in_.skip_space();
    // VAL_ of an environment variable (a name, not a message number) is not used.
    if (!(in_.peek() >= '0' && in_.peek() <= '9')) {
      in_.skip_statement();
      return true;
    }
    message* m = nullptr;
    message_source* ms = nullptr;
    signal* s = nullptr;
    signal_source* ss = nullptr;
    if (!message_of(m, ms) || !signal_of(m, s, ss, ms)) return false;
    std::vector<choice> read;
    if (!choices(read)) return false;
    if (s != nullptr) s->choices = std::move(read);
    return true;
  }

  bool signal_value_type() {
    message* m = nullptr;
    message_source* ms = nullptr;
    signal* s = nullptr;
    signal_source* ss = nullptr;
    if (!message_of(m, ms) || !signal_of(m, s, ss, ms)) return false;
    in_.take(':');
    in_.skip_space();
    const std::size_t at = in_.pos();
    std::uint64_t type;
    if (!in_.unsigned_integer(type) || type > 2)
      return l_.fail_here("expected 0 (integer), 1 (float) or 2 (double)");
    if (!end_of_statement()) return false;
    if (s == nullptr || type == 0) return true;
    const unsigned bits = type == 1 ? 32 : 64;
    if (s->length != bits) {
      return l_.fail(at, "signal " + s->name + " has " + std::to_string(s->length) + " bits: a " +
                             (type == 1 ? "float" : "double") + " has " + std::to_string(bits));
    }
    s->kind = type == 1 ? value_kind::float32 : value_kind::float64;
    return true;
  }

  bool multiplexer_values() {
    message* m = nullptr;
    message_source* ms = nullptr;
    signal* s = nullptr;
    signal_source* ss = nullptr;
    if (!message_of(m, ms) || !signal_of(m, s, ss, ms)) return false;
    in_.skip_space();
    const std::size_t mux_at = in_.pos();
    std::string_view mux;
    if (!name(mux, "the multiplexer's name")) return false;
    std::vector<mux_range> ranges;
    do {
      std::uint64_t low;
      std::uint64_t high;
      in_.skip_space();
      const std::size_t at = in_.pos();
      if (!in_.unsigned_integer(low) || !in_.take('-') || !in_.unsigned_integer(high) ||
          low > high || high > static_cast<std::uint64_t>(INT64_MAX)) {
        return l_.fail(at, "expected a range of values low-high");
      }
      ranges.push_back({static_cast<std::int64_t>(low), static_cast<std::int64_t>(high)});
    } while (in_.take(','));
    if (!end_of_statement()) return false;
    if (s == nullptr) return true;
    s->selected_by = std::move(ranges);
    ss->multiplexer = std::string(mux);
    ss->multiplexer_at = mux_at;
    return true;
  }

  loader& l_;
  text_cursor& in_;
  bool pseudo_ = false;  // the last BO_ is the message of no frame
};

}  // namespace

bool read_statements(loader& l) {
  return statement_reader(l).run();
}

}  // namespace cantext::dbc::detail
