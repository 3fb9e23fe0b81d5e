// Runs the filter with its standard output read by a reader that closes the pipe after the
// first line, as `cantext-long < log | head -n 1` does.
#ifndef CANTEXT_TESTS_CLOSING_READER_HPP
#define CANTEXT_TESTS_CLOSING_READER_HPP

#include <string>

#include "filter_process.hpp"

namespace filter_test {

// The result's `out` holds the first line only.  With `sigpipe_ignored` the filter starts
// with SIGPIPE ignored, as some shells and service managers leave it, so that a write to the
// closed pipe fails instead of ending the process.
run_result run_filter_into_closing_reader(const std::string& input, bool sigpipe_ignored,
                                          int timeout_seconds = 120);

}  // namespace filter_test

#endif
