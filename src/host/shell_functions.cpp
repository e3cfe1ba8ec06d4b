// What a desktop shell answers about files, made from what the filesystem allows, and opening
// files, folders and web addresses with the desktop's programs.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

#include "host/ascii_case.h"
#include "host/file_functions.h"

extern char** environ;

namespace plb {
namespace {

// The folder an entry is listed in, for the permission to remove or add entries.
std::string ParentFolder(const std::string& path) {
  const std::string trimmed = LongPathName(path);
  const size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : trimmed.substr(0, slash);
}

bool MayChangeEntry(const std::string& path, const struct stat& entry) {
  const std::string parent = ParentFolder(path);
  struct stat folder {};
  if (LongPathName(path) == "/" || stat(parent.c_str(), &folder) != 0) return false;
  if (access(parent.c_str(), W_OK | X_OK) != 0) return false;
  // In a sticky folder only the owner of the entry or of the folder may unlink or rename it.
  const uid_t me = geteuid();
  return !(folder.st_mode & S_ISVTX) || me == 0 || entry.st_uid == me || folder.st_uid == me;
}

std::string Canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Starts xdg-open with one argument, without a shell, and lets a thread collect its exit so no
// zombie stays behind in a long run.
bool LaunchXdgOpen(const std::string& argument) {
  std::vector<char*> argv = {const_cast<char*>("xdg-open"), const_cast<char*>(argument.c_str()), nullptr};
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "xdg-open", nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace

uint32_t ShellAttributes(const std::string& path) {
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) return 0;
  uint32_t flags = kSfgaoFileSystem | kSfgaoFileSysAncestor;
  if (S_ISDIR(st.st_mode)) flags |= kSfgaoFolder;
  if (access(path.c_str(), S_ISDIR(st.st_mode) ? R_OK | X_OK : R_OK) == 0) flags |= kSfgaoCanCopy;
  if (MayChangeEntry(path, st)) flags |= kSfgaoCanMove | kSfgaoCanRename | kSfgaoCanDelete;
  return flags;
}

namespace {

bool Allows(const std::string& path, uint32_t permission) {
  constexpr uint32_t kFileSystemObject = kSfgaoFileSystem | kSfgaoFileSysAncestor;
  const uint32_t flags = ShellAttributes(path);
  return (flags & kFileSystemObject) == kFileSystemObject && (flags & permission) != 0;
}

bool MayGoInto(const std::string& source, const std::string& target) {
  if (!FolderExistsQuietly(target)) return false;
  const std::string from = Canonical(source);
  const std::string into = Canonical(target);
  return !from.empty() && !into.empty() && from != into && !IsInsideFolder(from, into);
}

}  // namespace

bool CanCopyPath(const std::string& path) {
  return Allows(path, kSfgaoCanCopy);
}
bool CanMovePath(const std::string& path) {
  return Allows(path, kSfgaoCanMove);
}
bool CanDeletePath(const std::string& path) {
  return Allows(path, kSfgaoCanDelete);
}
bool CanRenamePath(const std::string& path) {
  return Allows(path, kSfgaoCanRename);
}

bool CanCopyInto(const std::string& source, const std::string& target) {
  return CanCopyPath(source) && MayGoInto(source, target);
}

bool CanMoveInto(const std::string& source, const std::string& target) {
  return CanMovePath(source) && MayGoInto(source, target);
}

bool ShellOpen(const std::string& target) {
  for (unsigned char c : target)
    if (c < 0x20 || c == 0x7f) return false;  // no line breaks or escapes into another program
  if (AsciiStartsWithNoCase(target, "http://") || AsciiStartsWithNoCase(target, "https://"))
    return LaunchXdgOpen(target);
  struct stat st {};
  if (target.empty() || target.front() != '/' || stat(target.c_str(), &st) != 0) return false;
  return LaunchXdgOpen(target);
}

bool OpenInFileManager(const std::string& folder) {
  return FolderExistsQuietly(folder) && ShellOpen(folder);
}

bool ShowProperties(const std::string& path) {
  return OpenInFileManager(ParentFolder(path));
}

}  // namespace plb
