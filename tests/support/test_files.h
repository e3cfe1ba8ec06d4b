#pragma once
// Small files for tests: written whole with their folders, read back whole.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace plb::test {

// Writes bytes to path, making its folders; with mtime, the file's times are set to it (seconds
// since the epoch).
inline void WriteFile(const std::string& path, const std::string& bytes = "x",
                      std::optional<int64_t> mtime = std::nullopt) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  if (mtime) {
    const struct timespec times[2] = {{*mtime, 0}, {*mtime, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace plb::test
