// SPDX-License-Identifier: MIT
// Replays every file of a corpus directory through a fuzz target with the ordinary build, so
// that each test run repeats the inputs that once found a fault.
#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"

namespace {

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  std::uint8_t block[65536];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0)
    bytes.insert(bytes.end(), block, block + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

// The files of `dir` in name order; false when it cannot be listed.
bool corpus_files(const std::string& dir, std::vector<std::string>& names) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return false;
  errno = 0;
  while (const dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') names.push_back(dir + "/" + e->d_name);
  }
  const bool listed = errno == 0;
  closedir(d);
  std::sort(names.begin(), names.end());
  return listed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TARGET CORPUS_DIR\n", argv[0]);
    return 2;
  }
  const cantext_fuzz::target* target = nullptr;
  for (const auto& t : cantext_fuzz::targets) {
    if (std::strcmp(t.name, argv[1]) == 0) target = &t;
  }
  if (target == nullptr) {
    std::fprintf(stderr, "no fuzz target named %s\n", argv[1]);
    return 2;
  }
  std::vector<std::string> files;
  if (!corpus_files(argv[2], files)) {
    std::fprintf(stderr, "cannot list %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "no inputs in %s\n", argv[2]);
    return 1;
  }
  std::vector<std::uint8_t> bytes;
  for (const std::string& path : files) {
    if (!read_file(path, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    cantext_fuzz::set_input_name(path.c_str());
    target->fuzz_one(bytes.data(), bytes.size());
  }
  std::printf("%s: %zu inputs replayed\n", target->name, files.size());
  return 0;
}
