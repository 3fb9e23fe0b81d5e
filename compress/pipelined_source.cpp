// SPDX-License-Identifier: MIT
#include "pipelined_source.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cantext::compress {

#ifdef CANTEXT_PIPELINED_INPUT

long pipelined_source::read(void* context, char* buf, std::size_t n) noexcept {
  auto& self = *static_cast<pipelined_source*>(context);
  if (self.threaded_) return self.take(buf, n);
  const long r = self.input_.bytes().read(self.input_.bytes().context, buf, n);
  // The first read tells whether the input is compressed; the rest is read ahead by a thread.
  if (self.first_ && r > 0) {
    self.first_ = false;
    self.start();
  }
  return r;
}

void pipelined_source::start() noexcept {
  if (!read_ahead_ || input_.kind() == compression::none) return;
  memory_ = static_cast<char*>(std::malloc(pieces * piece_size));
  if (memory_ == nullptr) return;  // read in this thread, as without one
  for (std::size_t i = 0; i < pieces; ++i) pieces_[i].data = memory_ + i * piece_size;
  threaded_ = ::pthread_create(&thread_, nullptr, &run, this) == 0;
  if (!threaded_) {
    std::free(memory_);
    memory_ = nullptr;
  }
}

void* pipelined_source::run(void* context) noexcept {
  auto& self = *static_cast<pipelined_source*>(context);
  const reader::byte_source in = self.input_.bytes();
  for (std::size_t at = 0;; at = (at + 1) % pieces) {
    ::pthread_mutex_lock(&self.lock_);
    while (self.filled_ == pieces && !self.stop_)
      ::pthread_cond_wait(&self.freed_one_, &self.lock_);
    const bool stop = self.stop_;
    ::pthread_mutex_unlock(&self.lock_);
    if (stop) break;
    // Piece `at` is free: only this thread touches it until it is counted as filled.
    piece& p = self.pieces_[at];
    const long r = in.read(in.context, p.data, piece_size);
    p.error = errno;
    p.result = r;
    p.size = r > 0 ? static_cast<std::size_t>(r) : 0;
    p.taken = 0;
    ::pthread_mutex_lock(&self.lock_);
    ++self.filled_;
    ::pthread_cond_signal(&self.filled_one_);
    ::pthread_mutex_unlock(&self.lock_);
    if (r <= 0) break;
  }
  return nullptr;
}

long pipelined_source::take(char* buf, std::size_t n) noexcept {
  ::pthread_mutex_lock(&lock_);
  while (filled_ == 0) ::pthread_cond_wait(&filled_one_, &lock_);
  ::pthread_mutex_unlock(&lock_);
  piece& p = pieces_[next_];
  // The end or the failure stays where it is: every later read gives it again.
  if (p.result <= 0) {
    errno = p.error;
    return p.result;
  }
  const std::size_t count = n < p.size - p.taken ? n : p.size - p.taken;
  std::memcpy(buf, p.data + p.taken, count);
  p.taken += count;
  if (p.taken == p.size) {
    next_ = (next_ + 1) % pieces;
    ::pthread_mutex_lock(&lock_);
    --filled_;
    ::pthread_cond_signal(&freed_one_);
    ::pthread_mutex_unlock(&lock_);
  }
  return static_cast<long>(count);
}

void pipelined_source::finish() noexcept {
  if (!threaded_) return;
  ::pthread_mutex_lock(&lock_);
  stop_ = true;
  ::pthread_cond_signal(&freed_one_);
  ::pthread_mutex_unlock(&lock_);
  ::pthread_join(thread_, nullptr);
  threaded_ = false;
  std::free(memory_);
  memory_ = nullptr;
}

#endif

bool is_regular_file(int fd) noexcept {
  struct stat s;
  return ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode);
}

}  // namespace cantext::compress
