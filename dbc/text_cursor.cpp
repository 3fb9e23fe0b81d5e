// SPDX-License-Identifier: MIT
// Reading the pieces of a DBC file's text.
#include "text_cursor.hpp"

#include <charconv>

namespace cantext::dbc::detail {

namespace {

bool is_blank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}
bool is_name_char(char c) noexcept {
  return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Every statement keyword a DBC file may have, used or not: an unused statement without a ';'
// ends where the next one starts.
constexpr std::string_view keywords[] = {"VERSION",
                                         "NS_",
                                         "NS_DESC_",
                                         "BS_",
                                         "BU_",
                                         "BO_",
                                         "SG_",
                                         "CM_",
                                         "BA_DEF_",
                                         "BA_DEF_DEF_",
                                         "BA_",
                                         "BA_DEF_REL_",
                                         "BA_REL_",
                                         "BA_DEF_DEF_REL_",
                                         "VAL_TABLE_",
                                         "VAL_",
                                         "SIG_VALTYPE_",
                                         "SG_MUL_VAL_",
                                         "BO_TX_BU_",
                                         "EV_",
                                         "ENVVAR_DATA_",
                                         "EV_DATA_",
                                         "SIG_GROUP_",
                                         "SGTYPE_",
                                         "SGTYPE_VAL_",
                                         "SIG_TYPE_REF_",
                                         "SIGTYPE_VALTYPE_",
                                         "BA_DEF_SGTYPE_",
                                         "BA_SGTYPE_",
                                         "BU_SG_REL_",
                                         "BU_EV_REL_",
                                         "BU_BO_REL_",
                                         "CAT_DEF_",
                                         "CAT_",
                                         "FILTER"};

}  // namespace

bool is_keyword(std::string_view word) noexcept {
  for (const std::string_view k : keywords) {
    if (k == word) return true;
  }
  return false;
}

void text_cursor::skip_space() noexcept {
  while (!at_end() && (is_blank(text_[pos_]) || text_[pos_] == '\n')) ++pos_;
}

void text_cursor::skip_blanks() noexcept {
  while (!at_end() && is_blank(text_[pos_])) ++pos_;
}

bool text_cursor::at_line_end() noexcept {
  skip_blanks();
  return at_end() || text_[pos_] == '\n';
}

void text_cursor::skip_line() noexcept {
  while (!at_end() && text_[pos_] != '\n') ++pos_;
  if (!at_end()) ++pos_;
}

bool text_cursor::take(char c) noexcept {
  skip_space();
  if (peek() != c) return false;
  ++pos_;
  return true;
}

std::string_view text_cursor::name() noexcept {
  skip_space();
  const std::size_t start = pos_;
  if (at_end() || is_digit(text_[pos_])) return {};
  while (!at_end() && is_name_char(text_[pos_])) ++pos_;
  return text_.substr(start, pos_ - start);
}

bool text_cursor::number(double& value, std::string_view& text) noexcept {
  skip_space();
  const std::size_t start = pos_;
  std::size_t p = pos_;
  if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) ++p;
  // from_chars takes no '+': it is read past here, and the sign put back on the value.
  const bool minus = p > pos_ && text_[pos_] == '-';
  const char* first = text_.data() + p;
  const char* last = text_.data() + text_.size();
  if (first == last || !(is_digit(*first) || *first == '.')) return false;
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (r.ec != std::errc() || (r.ptr != last && is_name_char(*r.ptr))) return false;
  if (minus) value = -value;
  pos_ = static_cast<std::size_t>(r.ptr - text_.data());
  text = text_.substr(start, pos_ - start);
  return true;
}

bool text_cursor::unsigned_integer(std::uint64_t& value) noexcept {
  skip_space();
  const char* first = text_.data() + pos_;
  const char* last = text_.data() + text_.size();
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (r.ec != std::errc() || (r.ptr != last && is_name_char(*r.ptr))) return false;
  pos_ = static_cast<std::size_t>(r.ptr - text_.data());
  return true;
}

bool text_cursor::integer(std::int64_t& value) noexcept {
  skip_space();
  const char* first = text_.data() + pos_;
  const char* last = text_.data() + text_.size();
  if (first != last && *first == '+') ++first;
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (r.ec != std::errc() || (r.ptr != last && (is_name_char(*r.ptr) || *r.ptr == '.')))
    return false;
  pos_ = static_cast<std::size_t>(r.ptr - text_.data());
  return true;
}

bool text_cursor::quoted(std::string& out) {
  skip_space();
  if (peek() != '"') return false;
  std::size_t p = pos_ + 1;
  out.clear();
  for (; p < text_.size() && text_[p] != '"'; ++p) {
    if (text_[p] == '\\' && p + 1 < text_.size() && (text_[p + 1] == '"' || text_[p + 1] == '\\'))
      ++p;
    out += text_[p];
  }
  if (p >= text_.size()) return false;  // no closing quote
  pos_ = p + 1;
  return true;
}

void text_cursor::skip_statement() noexcept {
  while (!at_end()) {
    const char c = text_[pos_];
    if (c == ';') {
      ++pos_;
      return;
    }
    if (c == '"') {
      ++pos_;
      while (!at_end() && text_[pos_] != '"') pos_ += text_[pos_] == '\\' ? 2 : 1;
      if (!at_end()) ++pos_;
      continue;
    }
    ++pos_;
    if (c == '\n') {
      const std::size_t line = pos_;
      skip_blanks();
      std::size_t end = pos_;
      while (end < text_.size() && is_name_char(text_[end])) ++end;
      const bool next_statement = is_keyword(text_.substr(pos_, end - pos_));
      pos_ = line;
      if (next_statement) return;
    }
  }
  if (pos_ > text_.size()) pos_ = text_.size();
}

void text_cursor::line_and_column(std::size_t place, std::size_t& line,
                                  std::size_t& column) const noexcept {
  line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < place && i < text_.size(); ++i) {
    if (text_[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  column = place - line_start + 1;
}

}  // namespace cantext::dbc::detail
