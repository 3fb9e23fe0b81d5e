// SPDX-License-Identifier: MIT
// The pieces a DBC file is made of, read from its text: names, numbers, quoted strings and
// punctuation, with the place of anything wrong kept for the error message.
#ifndef CANTEXT_DBC_TEXT_CURSOR_HPP
#define CANTEXT_DBC_TEXT_CURSOR_HPP

#include <cstdint>
#include <string>
#include <string_view>

namespace cantext::dbc::detail {

class text_cursor {
 public:
  explicit text_cursor(std::string_view text) noexcept : text_(text) {}

  std::size_t pos() const noexcept { return pos_; }
  void seek(std::size_t pos) noexcept { pos_ = pos; }
  bool at_end() const noexcept { return pos_ >= text_.size(); }
  char peek() const noexcept { return at_end() ? '\0' : text_[pos_]; }

  // Blanks and line breaks; skip_blanks stops at a line break.
  void skip_space() noexcept;
  void skip_blanks() noexcept;
  bool at_line_end() noexcept;  // after blanks: a line break or the end
  void skip_line() noexcept;    // up to and past the next line break

  // After space: the character c, taken; false (nothing taken) when another is there.
  bool take(char c) noexcept;
  // After space: a name of letters, digits and '_' not starting with a digit; empty when none.
  std::string_view name() noexcept;
  // After space: a decimal number, with its text (for telling "1" from "1.0").
  bool number(double& value, std::string_view& text) noexcept;
  bool number(double& value) noexcept {
    std::string_view text;
    return number(value, text);
  }
  bool integer(std::int64_t& value) noexcept;
  bool unsigned_integer(std::uint64_t& value) noexcept;
  // After space: a string in double quotes, in which \" and \\ stand for " and \.
  bool quoted(std::string& out);

  // Past the rest of a statement this reader does not use: up to and past the next ';' outside
  // quotes, or to the next line that starts with a keyword, whichever comes first.
  void skip_statement() noexcept;

  // The 1-based line and column of a place.
  void line_and_column(std::size_t place, std::size_t& line, std::size_t& column) const noexcept;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Whether a name is one of the keywords that start a DBC statement.
bool is_keyword(std::string_view word) noexcept;

}  // namespace cantext::dbc::detail

#endif
