// SPDX-License-Identifier: MIT
// Compressed captures and the cantext command as a real process: each compression, as a named
// file and on standard input, reads as the plain capture does, or, in a build without its
// library, is refused with a message that says so; faults in the compressed data are read
// errors, reported in order after what came before them, whether the file is decompressed in a
// second thread or not; convert -o FILE.gz|.xz|.zst writes what reads back as the original.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "filter_command.hpp"
#include "filter_process.hpp"

namespace filter_test {
namespace {

struct packer {
  const char* name;
  const char* suffix;
  const char* program;  // the build host's, empty when it was not found
  bool built_in;        // whether this build of the command reads and writes it
};

const packer plain{"plain", ".log", "", true};
const packer gzip{"gzip", ".gz", CANTEXT_GZIP_PROGRAM, CANTEXT_HAVE_ZLIB != 0};
const packer xz{"xz", ".xz", CANTEXT_XZ_PROGRAM, CANTEXT_HAVE_LZMA != 0};
const packer zstd{"zstd", ".zst", CANTEXT_ZSTD_PROGRAM, CANTEXT_HAVE_ZSTD != 0};

const std::string work_dir = std::string(command_work_dir) + "_compressed";

// The text compressed by the packer's program, as it writes to standard output.
std::string packed(const packer& p, const std::string& text) {
  if (&p == &plain) return text;
  if (*p.program == '\0') {
    ADD_FAILURE() << "no " << p.name << " program on the build host to make the test's input";
    return "";
  }
  run_options options;
  options.argv = {p.program, "-c"};
  const run_result r = run_filter(text, options);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// Written whole under another name first: tests running at once read the same files.
std::string write_file(const std::string& name, const std::string& bytes) {
  const std::string path = work_dir + "/" + name;
  const std::string temporary = path + "." + std::to_string(getpid());
  std::ofstream(temporary, std::ios::binary) << bytes;
  EXPECT_EQ(std::rename(temporary.c_str(), path.c_str()), 0);
  return name;
}

run_result run_command(const std::vector<std::string>& args, const std::string& input = "") {
  run_options options;
  options.argv = with_args(command_argv, args);
  options.directory = work_dir;
  return run_filter(input, options);
}

// A log of every kind of frame, several of the reader's and the decompressor's blocks long.
const std::string& generated_log() {
  static const std::string log = [] {
    run_options generator;
    generator.argv = with_args(make_log_argv, {"12000", "3"});
    return run_filter("", generator).out;
  }();
  return log;
}

struct compressed_case {
  const char* name;
  const packer& how;
  int pieces;         // the log compressed in this many pieces, put one after the other
  std::size_t cut;    // bytes cut off the end
  const char* after;  // replaces all after the first two bytes; null: nothing replaced
  const char* fault;  // the message's text past "FILE: "; null: none
};

// clang-format off
const compressed_case inputs[] = {
    {"plain", plain, 1, 0, nullptr, nullptr},
    {"gzip", gzip, 1, 0, nullptr, nullptr},
    {"gzip_two_members", gzip, 2, 0, nullptr, nullptr},
    {"xz", xz, 1, 0, nullptr, nullptr},
    {"xz_two_streams", xz, 2, 0, nullptr, nullptr},
    {"zstd", zstd, 1, 0, nullptr, nullptr},
    {"zstd_two_frames", zstd, 2, 0, nullptr, nullptr},
    {"gzip_cut_short", gzip, 1, 4, nullptr, "the gzip data is cut short"},
    {"zstd_cut_short", zstd, 1, 4, nullptr, "the zstd data is cut short"},
    {"gzip_magic_then_garbage", gzip, 1, 0, "not compressed at all\n",
     "corrupt gzip data: unknown compression method"},
};
// clang-format on

void PrintTo(const compressed_case& c, std::ostream* os) {
  *os << c.name;
}

class compressed_input : public testing::TestWithParam<compressed_case> {
 protected:
  static void SetUpTestSuite() { mkdir(work_dir.c_str(), 0755); }
};

TEST_P(compressed_input, reads_as_the_plain_log) {
  const compressed_case& c = GetParam();
  const std::string& log = generated_log();
  ASSERT_GT(log.size(), 500000u);
  const std::string plain_file = write_file(std::string(c.name) + ".plain.log", log);
  const run_result expected = run_command({"long", plain_file});
  ASSERT_EQ(expected.status, 0);
  std::string bytes;
  const auto pieces = static_cast<std::size_t>(c.pieces);
  const std::size_t piece = log.size() / pieces;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::size_t end = i + 1 == pieces ? log.size() : (i + 1) * piece;
    bytes += packed(c.how, log.substr(i * piece, end - i * piece));
  }
  // More than one block of compressed bytes, and many of decompressed ones.
  EXPECT_GT(bytes.size(), std::size_t{128 * 1024});
  bytes.resize(bytes.size() - c.cut);
  if (c.after != nullptr) bytes = bytes.substr(0, 2) + c.after;
  const std::string file = write_file(std::string(c.name) + c.how.suffix, bytes);

  for (const std::string& name : {file, std::string("-")}) {
    SCOPED_TRACE(name);
    const run_result r = run_command({"long", name}, name == "-" ? bytes : "");
    ASSERT_FALSE(r.timed_out);
    if (!c.how.built_in) {
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "cantext: " + name + ": compressed with " + c.how.name +
                           ", which this build of cantext cannot read\n");
      EXPECT_EQ(r.status, 1);
    } else if (c.fault != nullptr) {
      // What was decompressed before the fault is written, no more.
      EXPECT_EQ(expected.out.compare(0, r.out.size(), r.out), 0);
      EXPECT_EQ(r.err, "cantext: " + name + ": " + c.fault + "\n");
      EXPECT_EQ(r.status, 1);
    } else {
      EXPECT_EQ(r.out.size(), expected.out.size());
      EXPECT_TRUE(r.out == expected.out);  // not printed: megabytes
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(r.status, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(inputs, compressed_input, testing::ValuesIn(inputs),
                         [](const auto& row) { return std::string(row.param.name); });

// A compressed file is decompressed in a second thread, standard input in the reader's own: both
// give the same output and the same messages in the same order, whatever the fault, and with
// --keep-going the bad lines of damaged data are reported before the damage itself.
struct damaged_case {
  const char* name;
  const packer& how;
  std::size_t cut;    // bytes cut off the end
  std::size_t spoil;  // bytes from the middle on set to `with`
  char with;
  const char* last;  // the last message's text past "FILE: "; null: none
};

// clang-format off
const damaged_case damaged[] = {
    {"zstd_whole", zstd, 0, 0, 0, nullptr},
    {"zstd_cut", zstd, 4, 0, 0, "the zstd data is cut short"},
    {"zstd_spoiled", zstd, 0, 64, '\xFF', "corrupt zstd data: Restored data doesn't match checksum"},
    {"zstd_zeros_to_the_end", zstd, 0, SIZE_MAX, '\0', "corrupt zstd data: Src size is incorrect"},
    {"gzip_cut", gzip, 4, 0, 0, "the gzip data is cut short"},
};
// clang-format on

class threaded_input : public testing::TestWithParam<damaged_case> {
 protected:
  static void SetUpTestSuite() { mkdir(work_dir.c_str(), 0755); }
};

TEST_P(threaded_input, reads_as_standard_input_does) {
  const damaged_case& c = GetParam();
  std::string bytes = packed(c.how, generated_log());
  bytes.resize(bytes.size() - c.cut);
  const std::size_t middle = bytes.size() / 2;
  bytes.replace(middle, std::min(c.spoil, bytes.size() - middle),
                std::min(c.spoil, bytes.size() - middle), c.with);
  const std::string file = write_file(std::string(c.name) + c.how.suffix, bytes);
  const run_result named = run_command({"long", "--keep-going", file});
  const run_result piped = run_command({"long", "--keep-going", "-"}, bytes);
  ASSERT_FALSE(named.timed_out || piped.timed_out);
  EXPECT_EQ(named.out.size(), piped.out.size());
  EXPECT_TRUE(named.out == piped.out);  // not printed: megabytes
  std::string err = piped.err;
  for (std::size_t at = 0; (at = err.find("-:", at)) != std::string::npos; at += file.size()) {
    err.replace(at, 1, file);  // "-:LINE:" and "cantext: -: ..." name the file
  }
  EXPECT_EQ(named.err, err);
  EXPECT_EQ(named.status, piped.status);
  if (c.how.built_in) {
    EXPECT_GT(named.out.size(), std::size_t{100000});  // more than a piece came before the fault
    const std::string last = c.last != nullptr ? "cantext: " + file + ": " + c.last + "\n" : "";
    EXPECT_EQ(named.err.substr(named.err.size() - std::min(last.size(), named.err.size())), last);
    EXPECT_EQ(named.status, c.last != nullptr ? 1 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(inputs, threaded_input, testing::ValuesIn(damaged),
                         [](const auto& row) { return std::string(row.param.name); });

// convert -o FILE with a compression's suffix writes a capture that reads back as the original.
class compressed_output : public testing::TestWithParam<const packer*> {
 protected:
  static void SetUpTestSuite() { mkdir(work_dir.c_str(), 0755); }
};

TEST_P(compressed_output, reads_back_as_the_original) {
  const packer& p = *GetParam();
  const std::string original =
      write_file(std::string("original.") + p.name + ".log", generated_log());
  const std::string written = std::string("converted") + p.suffix;
  std::remove((work_dir + "/" + written).c_str());
  const run_result convert = run_command({"convert", "--to", "log", "-o", written, original});
  if (!p.built_in) {
    EXPECT_EQ(convert.err, "cantext: " + written + ": compressed with " + p.name +
                               ", which this build of cantext cannot write\n");
    EXPECT_EQ(convert.status, 1);
    EXPECT_NE(access((work_dir + "/" + written).c_str(), F_OK), 0);
    return;
  }
  ASSERT_EQ(convert.err, "");
  ASSERT_EQ(convert.status, 0);
  std::ifstream in(work_dir + "/" + written, std::ios::binary);
  const std::string head(std::istreambuf_iterator<char>(in), {});
  // Compressed indeed, by its magic number, not merely named so.
  EXPECT_EQ(head.substr(0, 2), packed(p, "x").substr(0, 2));
  const run_result back = run_command({"compact", written});
  const run_result direct = run_command({"compact", original});
  ASSERT_EQ(direct.status, 0);
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(back.err, "");
  EXPECT_EQ(back.out.size(), direct.out.size());
  EXPECT_TRUE(back.out == direct.out);
}

INSTANTIATE_TEST_SUITE_P(suffixes, compressed_output, testing::Values(&gzip, &xz, &zstd),
                         [](const auto& row) { return std::string(row.param->name); });

}  // namespace
}  // namespace filter_test
