// SPDX-License-Identifier: MIT
// Memory of columns no longer used, kept for the next log read in this process: pages the process
// has had already cost nothing to take again, whereas the kernel zeroes each fresh page first,
// which took a quarter of read_log's time.
#ifndef CANTEXT_PYTHON_KEPT_PAGES_HPP
#define CANTEXT_PYTHON_KEPT_PAGES_HPP

#include <cstddef>

namespace cantext_python {

// Linux only: elsewhere columns are the C library's memory, which keeps what it sees fit.

// A mapping that was given back, or none (base null).
struct kept_mapping {
  void* base = nullptr;
  std::size_t bytes = 0;
};

// Keeps a mapping of whole pages (anonymous, private) for later, unmapping the oldest kept ones
// to make room (256 MiB at most are kept; a larger mapping is unmapped at once).  The kernel may
// still take kept pages back when memory runs short.
void keep_pages(void* base, std::size_t bytes) noexcept;

// The largest kept mapping of at most `bytes`, or else a larger one cut down to `bytes`; the
// caller owns it now.  None when nothing is kept.
kept_mapping take_kept_pages(std::size_t bytes) noexcept;

}  // namespace cantext_python

#endif
