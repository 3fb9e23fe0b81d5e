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

// Writer with line() in front of it that drops the frames `filter` keeps out, testing what
// `Tests` names (frame_selector::by_frame, by_channel, or any: what the filter holds).
// Everything else (bad lines, skipped lines, flushing, the status) is the writer's own.
template <class Writer, unsigned Tests = reader::frame_selector::any>
class filtered : public Writer {
 public:
  template <class... Args>
  explicit filtered(const reader::frame_filter& filter, Args&&... args) noexcept
      : Writer(std::forward<Args>(args)...), selector_(filter) {}

  // Always inline, as the writer's own line() is without the filter: clang would otherwise call
  // this for every frame, and the writer's line() from it, at several times the test's cost.
  [[gnu::always_inline]] bool line(const reader::line& l) noexcept {
    return !selector_.template keeps<Tests>(l.record, l.fields[1]) || Writer::line(l);
  }
  // Hides the writer's own, if it has one: every frame comes through line() and the filter.
  void line_text() = delete;

 private:
  reader::frame_selector selector_;
};

// Calls run(writer) with a Writer made of `args`, or with a filtered Writer when `filter`
// keeps anything out; returns what run returns.  With `Apart`, a filter by identifiers or by
// channels alone gets a reading of its own that does not test the other: for the writers that
// do least per line, where the test weighs most (each such reading is about 2 KiB of code).
template <class Writer, bool Apart = false, class Run, class... Args>
int with_writer(const reader::frame_filter& filter, Run run, Args&&... args) noexcept {
  using selector = reader::frame_selector;
  const unsigned tests = selector::tests_of(filter);
  if (tests == 0) {
    Writer writer(std::forward<Args>(args)...);
    return run(writer);
  }
  if constexpr (Apart) {
    if (tests == selector::by_frame) {
      filtered<Writer, selector::by_frame> writer(filter, std::forward<Args>(args)...);
      return run(writer);
    }
    if (tests == selector::by_channel) {
      filtered<Writer, selector::by_channel> writer(filter, std::forward<Args>(args)...);
      return run(writer);
    }
    filtered<Writer, selector::by_frame | selector::by_channel> writer(filter,
                                                                       std::forward<Args>(args)...);
    return run(writer);
  } else {
    filtered<Writer> writer(filter, std::forward<Args>(args)...);
    return run(writer);
  }
}

}  // namespace cantext::tool

#endif
