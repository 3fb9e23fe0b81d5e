// SPDX-License-Identifier: MIT
// Loading a database: the whole of it, or an error that says where the file is wrong.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "loader.hpp"

namespace cantext::dbc {

load_result load_text(std::string_view text, std::string_view file_name) noexcept {
  load_result result;
  try {
    detail::loader l(text);
    if (detail::read_statements(l) && detail::link_database(l)) {
      result.db = std::move(l.db);
      return result;
    }
    std::size_t line;
    std::size_t column;
    l.in.line_and_column(l.error_at, line, column);
    result.error = std::string(file_name) + ":" + std::to_string(line) + ":" +
                   std::to_string(column) + ": " + l.error;
  } catch (const std::bad_alloc&) {
    result.db = database{};
    result.error.assign(file_name.data(), file_name.size());
    result.error += ": out of memory";
  }
  return result;
}

load_result load_file(const char* path) noexcept {
  load_result result;
  try {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
      result.error = std::string(path) + ": " + std::strerror(errno);
      return result;
    }
    std::string text;
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, got);
    const bool failed = std::ferror(f) != 0;
    const int error = errno;
    std::fclose(f);
    if (failed) {
      result.error = std::string(path) + ": " + std::strerror(error);
      return result;
    }
    return load_text(text, path);
  } catch (const std::bad_alloc&) {
    result.error = "out of memory";
  }
  return result;
}

}  // namespace cantext::dbc
