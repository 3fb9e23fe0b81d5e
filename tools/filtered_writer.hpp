// SPDX-License-Identifier: MIT
// --id, --channel, --errors-only and --no-errors: a writer stage that hands on only the frames
// the filter keeps.  It is a type of its own, made only when the command line filters, so that a
// reading without a filter runs the same code as before and pays nothing for the test.
#ifndef CANTEXT_TOOLS_FILTERED_WRITER_HPP
#define CANTEXT_TOOLS_FILTERED_WRITER_HPP

#include <utility>

#include "frame_filter.hpp"
#include "frame_selector.hpp"
#include "line_reader.hpp"

namespace cantext::tool {

// Writer with line() in front of it that drops the frames `filter` keeps out.  Everything else
// (bad lines, skipped lines, flushing, the status) is the writer's own.
template <class Writer>
class filtered : public Writer {
 public:
  template <class... Args>
  explicit filtered(const reader::frame_filter& filter, Args&&... args) noexcept
      : Writer(std::forward<Args>(args)...), selector_(filter) {}

  // Always inline, as the writer's own line() is without the filter: clang would otherwise call
  // this for every frame, and the writer's line() from it, at several times the test's cost.
  [[gnu::always_inline]] bool line(const reader::line& l) noexcept {
    return !selector_.keeps(l.record, l.fields[1]) || Writer::line(l);
  }

 private:
  reader::frame_selector selector_;
};

// Calls run(writer) with a Writer made of `args`, or with a filtered<Writer> when `filter`
// keeps anything out; returns what run returns.
template <class Writer, class Run, class... Args>
int with_writer(const reader::frame_filter& filter, Run run, Args&&... args) noexcept {
  if (reader::keeps_all(filter)) {
    Writer writer(std::forward<Args>(args)...);
    return run(writer);
  }
  filtered<Writer> writer(filter, std::forward<Args>(args)...);
  return run(writer);
}

}  // namespace cantext::tool

#endif
