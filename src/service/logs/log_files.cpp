#include "service/logs/log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <filesystem>

#include "platform/unique_fd.h"

namespace plb {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace

std::vector<std::string> ListLogFiles(const std::string& folder, std::string_view prefix, std::string_view suffix) {
  std::vector<std::string> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (name.size() < prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!EndsWithNoCase(name, suffix)) continue;
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec) || it->is_symlink(type_ec)) continue;
    files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::optional<std::string> ReadLogFile(const std::string& path, uint64_t max_bytes) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<uint64_t>(info.st_size) > max_bytes)
    return std::nullopt;
  std::string bytes(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // A file that shrank while it was read gives what was there.
  bytes.resize(done);
  return bytes;
}

std::string WithoutTrailingDelimiter(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace plb
