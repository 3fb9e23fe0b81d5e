// SPDX-License-Identifier: MIT
#include "columns.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cantext_python {
namespace {

// Sizes are rounded to this, a multiple of every page size in use, so that growing by a little
// does not move the pages each time.
constexpr std::size_t rounding = 64 * 1024;

std::size_t rounded(std::size_t bytes) noexcept {
  return (bytes + rounding - 1) / rounding * rounding;
}

#if defined(__linux__)
// Mappings start on a large page's boundary, so that all of a big column can be in large pages:
// with a fault per 4 KiB page the kernel took a quarter of read_log's time.
constexpr std::size_t large_page = 2 * 1024 * 1024;

void* aligned_map(std::size_t bytes) noexcept {
  const std::size_t padded = bytes + (bytes >= large_page ? large_page : 0);
  void* got = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (got == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(got);
  const std::size_t head = padded == bytes ? 0 : (large_page - start % large_page) % large_page;
  if (head != 0) ::munmap(got, head);
  if (padded - head > bytes)
    ::munmap(static_cast<char*>(got) + head + bytes, padded - head - bytes);
  void* const base = static_cast<char*>(got) + head;
  (void)::madvise(base, bytes, MADV_HUGEPAGE);
  return base;
}

// Growing moves the old pages into a new aligned mapping: their page tables move, not the data.
void* remap(void* base, std::size_t old_bytes, std::size_t new_bytes) noexcept {
  if (base != nullptr && new_bytes <= old_bytes) {
    void* moved = ::mremap(base, old_bytes, new_bytes, 0);
    return moved == MAP_FAILED ? nullptr : moved;
  }
  void* target = aligned_map(new_bytes);
  if (target == nullptr || base == nullptr) return target;
  void* moved = ::mremap(base, old_bytes, new_bytes, MREMAP_MAYMOVE | MREMAP_FIXED, target);
  if (moved != MAP_FAILED) return moved;
  ::munmap(target, new_bytes);
  return nullptr;
}

// Given back to the system at once: a dropped log's memory is the system's again.
void unmap(void* base, std::size_t bytes) noexcept {
  if (base != nullptr) ::munmap(base, bytes);
}

#else
// Elsewhere the C library's realloc, which may copy.
void* remap(void* base, std::size_t, std::size_t new_bytes) noexcept {
  return std::realloc(base, new_bytes);
}

void unmap(void* base, std::size_t) noexcept {
  std::free(base);
}
#endif

}  // namespace

column_memory::~column_memory() {
  unmap(base_, bytes_);
}

bool column_memory::resize(std::size_t count) noexcept {
  if (count > (SIZE_MAX - rounding) / element_size_) return false;
  const std::size_t bytes = rounded(count * element_size_);
  if (bytes == bytes_) return true;
  if (bytes == 0) {
    unmap(base_, bytes_);
    base_ = nullptr;
    bytes_ = 0;
    return true;
  }
  void* moved = remap(base_, bytes_, bytes);
  if (moved == nullptr) return false;
  base_ = moved;
  bytes_ = bytes;
  return true;
}

void column_memory::move_rows(std::size_t first, std::size_t count, std::size_t to) noexcept {
  char* const base = static_cast<char*>(base_);
  std::memmove(base + to * element_size_, base + first * element_size_, count * element_size_);
}

column_memory::taken column_memory::take(std::size_t count) noexcept {
  if (count == 0) return {nullptr, 0};
  // Shrinking leaves the pages where they are; should it fail, the room stays as it is.
  (void)resize(count);
  const taken memory{base_, bytes_};
  base_ = nullptr;
  bytes_ = 0;
  return memory;
}

void column_memory::give_back(taken memory) noexcept {
  unmap(memory.base, memory.bytes);
}

}  // namespace cantext_python
