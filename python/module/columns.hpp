// SPDX-License-Identifier: MIT
// Memory for the columns of a log as it is read: grown geometrically, moving pages rather than
// copying them where it can, and handed on as it is (read_log makes it NumPy's), so that reading
// a log takes little more memory than the arrays it returns.  Free of the interpreter.
#ifndef CANTEXT_PYTHON_COLUMNS_HPP
#define CANTEXT_PYTHON_COLUMNS_HPP

#include <cstddef>

namespace cantext_python {

// Room for elements of one size in pages of their own.  Growing moves the pages instead of
// copying them (mremap on Linux), so the old and the new room never both hold the data, and
// pages not yet written take no memory.
class column_memory {
 public:
  explicit column_memory(std::size_t element_size) noexcept : element_size_(element_size) {}
  ~column_memory();
  column_memory(const column_memory&) = delete;
  column_memory& operator=(const column_memory&) = delete;

  // Room for `count` elements, the first ones kept; false (with the room as it was) when memory
  // runs out.
  bool resize(std::size_t count) noexcept;
  void* data() const noexcept { return base_; }

  // The `count` elements from element `first` on moved to element `to` on.
  void move_rows(std::size_t first, std::size_t count, std::size_t to) noexcept;

  // The memory of the first `count` elements, which the caller owns from now on (to be given
  // back with give_back); the room is empty afterwards.  Null for no elements.
  struct taken {
    void* base;
    std::size_t bytes;
  };
  taken take(std::size_t count) noexcept;
  static void give_back(taken memory) noexcept;

 private:
  std::size_t element_size_;
  void* base_ = nullptr;
  std::size_t bytes_ = 0;
};

}  // namespace cantext_python

#endif
