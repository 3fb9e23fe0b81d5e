// SPDX-License-Identifier: MIT
#include "kept_pages.hpp"

#include <mutex>
#include <new>

#if defined(__linux__)
#include <pthread.h>
#include <sys/mman.h>
#endif

namespace cantext_python {

#if defined(__linux__)
namespace {

// Enough for the columns of a few million rows; larger columns are rarely read again soon.
constexpr std::size_t most_bytes = std::size_t{256} << 20;
constexpr std::size_t most_mappings = 32;

class page_store {
 public:
  void keep(void* base, std::size_t bytes) noexcept {
    if (bytes > most_bytes) {
      ::munmap(base, bytes);
      return;
    }
    // The contents are not needed: the kernel may take the pages when memory runs short rather
    // than swap them out.  Pages it leaves are taken again as they are.
    (void)::madvise(base, bytes, MADV_FREE);
    const std::lock_guard<std::mutex> held(lock_);
    // The oldest make room for the newest.
    while (count_ == most_mappings || total_ + bytes > most_bytes) drop(0);
    kept_[count_++] = {base, bytes};
    total_ += bytes;
  }

  kept_mapping take(std::size_t bytes) noexcept {
    const std::lock_guard<std::mutex> held(lock_);
    std::size_t best = count_;
    for (std::size_t i = 0; i < count_; ++i) {
      if (best == count_ || better(kept_[i].bytes, kept_[best].bytes, bytes)) best = i;
    }
    if (best == count_) return {};
    kept_mapping taken = kept_[best];
    remove(best);
    if (taken.bytes > bytes) {
      ::munmap(static_cast<char*>(taken.base) + bytes, taken.bytes - bytes);
      taken.bytes = bytes;
    }
    return taken;
  }

  void lock() noexcept { lock_.lock(); }
  void unlock() noexcept { lock_.unlock(); }

 private:
  // `size` fits a request of `wanted` bytes better than `other`: the largest that fits, else the
  // smallest larger one.
  static bool better(std::size_t size, std::size_t other, std::size_t wanted) noexcept {
    if (size <= wanted) return other > wanted || size > other;
    return other > wanted && size < other;
  }

  void drop(std::size_t i) noexcept {
    ::munmap(kept_[i].base, kept_[i].bytes);
    remove(i);
  }

  void remove(std::size_t i) noexcept {
    total_ -= kept_[i].bytes;
    for (std::size_t k = i + 1; k < count_; ++k) kept_[k - 1] = kept_[k];
    --count_;
  }

  std::mutex lock_;
  kept_mapping kept_[most_mappings];
  std::size_t count_ = 0;
  std::size_t total_ = 0;
};

page_store& store() noexcept;

// A process forked while another thread keeps or takes pages would find the lock held forever:
// the fork waits for it, and the lock is let go on both sides.
void lock_for_fork() noexcept {
  store().lock();
}
void unlock_after_fork() noexcept {
  store().unlock();
}

// Never destroyed: arrays may give their memory back while the interpreter shuts down.
page_store& store() noexcept {
  alignas(page_store) static unsigned char room[sizeof(page_store)];
  static page_store* const the_store = [] {
    page_store* const made = new (room) page_store;
    (void)::pthread_atfork(lock_for_fork, unlock_after_fork, unlock_after_fork);
    return made;
  }();
  return *the_store;
}

}  // namespace

void keep_pages(void* base, std::size_t bytes) noexcept {
  if (base != nullptr) store().keep(base, bytes);
}

kept_mapping take_kept_pages(std::size_t bytes) noexcept {
  return store().take(bytes);
}
#endif

}  // namespace cantext_python
