#include "platform/private_temp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/unique_fd.h"

namespace plb::platform {

namespace {

// The one temporary folder that every process of the machine agrees on.
constexpr const char* kSharedTemp = "/tmp";

std::string Trimmed(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string EnvDir(const char* name) {
  const char* value = std::getenv(name);
  return value ? Trimmed(value) : std::string();
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void Refuse(const std::string& folder, const std::string& why) {
  throw EPrivateFolderError("The private folder " + folder + " cannot be used: " + why);
}

}  // namespace

void EnsurePrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Refuse(folder, std::strerror(errno));
  // Opening with O_NOFOLLOW and checking the open directory leaves no gap between the check and
  // the use in which the name could be swapped for a link.
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) {
    if (errno == ELOOP || errno == ENOTDIR) Refuse(folder, "it is not a directory of its own (a link or a file)");
    Refuse(folder, std::strerror(errno));
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) Refuse(folder, std::strerror(errno));
  if (st.st_uid != ::geteuid()) Refuse(folder, "it belongs to another user");
  if ((st.st_mode & 077) != 0 && ::fchmod(fd.Get(), 0700) != 0)
    Refuse(folder, "its permissions cannot be made private");
}

std::string PrivateFolderFor(const std::string& xdg_runtime_dir, const std::string& tmpdir, uid_t uid) {
  const std::string runtime = Trimmed(xdg_runtime_dir);
  if (IsDirectory(runtime)) return runtime + "/PlumoraBrowser";
  std::string tmp = Trimmed(tmpdir);
  if (tmp.empty()) tmp = kSharedTemp;
  return tmp + "/PlumoraBrowser-" + std::to_string(uid);
}

std::string RuntimeFolderFor(const std::string& xdg_runtime_dir, uid_t uid) {
  return PrivateFolderFor(xdg_runtime_dir, kSharedTemp, uid);
}

std::string PrivateTempFolder() {
  const std::string folder = PrivateFolderFor(EnvDir("XDG_RUNTIME_DIR"), EnvDir("TMPDIR"), ::geteuid());
  EnsurePrivateFolder(folder);
  return folder;
}

std::string RuntimeFolder() {
  const std::string folder = RuntimeFolderFor(EnvDir("XDG_RUNTIME_DIR"), ::geteuid());
  EnsurePrivateFolder(folder);
  return folder;
}

int CreateExchangeFile(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void WriteExchangeFile(const std::string& path, std::string_view bytes, bool replace) {
  // O_NONBLOCK keeps a FIFO planted under the name from blocking the open; it is refused below.
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (replace ? O_TRUNC : O_EXCL);
  UniqueFd fd(::open(path.c_str(), flags, 0600));
  auto fail = [&](const char* what) {
    throw EWriteError(std::string("Cannot write ") + path + ": " + what + " (" + std::strerror(errno) + ")");
  };
  if (!fd) fail("open failed");
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) fail("stat failed");
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    fail("not a regular file");
  }
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd.Get(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write failed");
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd.Release()) != 0) fail("close failed");
}

}  // namespace plb::platform
