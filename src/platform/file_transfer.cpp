#include "platform/file_transfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace plb::platform {
namespace {

constexpr size_t kChunk = 1 << 20;

[[noreturn]] void Fail(const std::string& path, const std::string& what, int error_code) {
  throw EFileTransferError(path + ": " + what + " (" + std::strerror(error_code) + ")", error_code);
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Counts the bytes copied across a whole transfer and asks the caller whether to go on.
class Meter {
 public:
  Meter(const TransferProgress& progress, uint64_t total) : progress_(progress), total_(total) {}
  void Add(uint64_t bytes) {
    done_ += bytes;
    if (progress_ && !progress_(done_, total_)) throw EFileTransferError("the copy was stopped", ECANCELED);
  }

 private:
  const TransferProgress& progress_;
  uint64_t total_;
  uint64_t done_ = 0;
};

// Flushes a folder's entries to disk, so that a copy is found after a power cut before its source
// is deleted. A filesystem that cannot sync folders at all is taken as it is.
void SyncDirectory(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) Fail(path, "open folder", errno);
  if (::fsync(fd.Get()) != 0 && errno != EINVAL && errno != ENOTSUP) Fail(path, "sync folder", errno);
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);  // never follows links
}

void CopyFileBytes(const std::string& source, const std::string& target, bool replace, Meter& meter) {
  if (SameFile(source, target)) Fail(target, "is the source itself", EEXIST);
  struct stat tst {};
  if (!replace && ::lstat(target.c_str(), &tst) == 0) Fail(target, "exists", EEXIST);
  UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) Fail(source, "open", errno);
  struct stat st {};
  if (::fstat(in.Get(), &st) != 0) Fail(source, "stat", errno);
  if (!S_ISREG(st.st_mode)) Fail(source, "not a regular file", EINVAL);
  try {
    AtomicFileWriter out(target, "", st.st_mode & 07777);
    std::vector<char> buffer(kChunk);
    for (;;) {
      const ssize_t n = ::read(in.Get(), buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(source, "read", errno);
      if (n == 0) break;
      out.Write(std::string_view(buffer.data(), static_cast<size_t>(n)));
      meter.Add(static_cast<uint64_t>(n));
    }
    if (::fchmod(out.Fd(), st.st_mode & 07777) != 0) Fail(target, "set permissions", errno);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.Fd(), times) != 0) Fail(target, "set times", errno);
    if (replace) {
      out.Commit();
    } else {
      out.Finish();
      RenameNoReplace(out.StagingPath(), target);
    }
  } catch (const EFileTransferError&) {
    throw;
  } catch (const std::exception& e) {
    throw EFileTransferError(e.what(), EIO);
  }
}

void SetTimesNoFollow(const std::string& path, const struct stat& st) {
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);  // a filesystem may refuse; the copy stands
}

void CopyEntries(const std::string& source, const std::string& target, Meter& meter, int depth) {
  if (depth > 4096) Fail(source, "nested too deeply", ELOOP);
  DIR* dir = ::opendir(source.c_str());
  if (!dir) Fail(source, "open folder", errno);
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) break;
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  const int read_error = errno;
  ::closedir(dir);
  if (read_error != 0) Fail(source, "read folder", read_error);
  for (const std::string& name : names) {
    const std::string from = source + "/" + name;
    const std::string to = target + "/" + name;
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) Fail(from, "stat", errno);
    if (S_ISDIR(st.st_mode)) {
      if (::mkdir(to.c_str(), 0700) != 0) Fail(to, "create folder", errno);
      CopyEntries(from, to, meter, depth + 1);
      ::chmod(to.c_str(), st.st_mode & 07777);
      SetTimesNoFollow(to, st);
    } else if (S_ISREG(st.st_mode)) {
      CopyFileBytes(from, to, false, meter);
    } else if (S_ISLNK(st.st_mode)) {
      std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
      const ssize_t n = ::readlink(from.c_str(), link.data(), link.size());
      if (n < 0) Fail(from, "read link", errno);
      link.resize(static_cast<size_t>(n));
      if (::symlink(link.c_str(), to.c_str()) != 0) Fail(to, "create link", errno);
      SetTimesNoFollow(to, st);
    }
  }
  SyncDirectory(target);  // the files were flushed as they were written; their names are flushed here
}

// A fresh folder beside target under a temporary name that says which process makes it: a copy
// killed half-way is then recognised and cleared by the next pass over this folder.
std::string MakeStagingFolder(const std::string& target) {
  for (int attempt = 0;; ++attempt) {
    std::string staging = TemporaryNameBeside(target);
    if (::mkdir(staging.c_str(), 0700) == 0) return staging;
    if (errno != EEXIST || attempt >= 16) Fail(target, "create a temporary folder", errno);
  }
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool ClearReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

uint64_t TreeSize(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  if (S_ISREG(st.st_mode)) return static_cast<uint64_t>(st.st_size);
  if (!S_ISDIR(st.st_mode)) return 0;
  uint64_t total = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code size_ec;
    if (it->is_regular_file(size_ec) && !it->is_symlink(size_ec)) {
      const auto size = it->file_size(size_ec);
      if (!size_ec) total += size;
    }
  }
  return total;
}

void CopyFileTo(const std::string& source, const std::string& target, bool replace, const TransferProgress& progress) {
  struct stat st {};
  Meter meter(progress, ::stat(source.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0);
  CopyFileBytes(source, target, replace, meter);
}

void CopyTree(const std::string& source, const std::string& target, const TransferProgress& progress) {
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0) Fail(source, "stat", errno);
  if (!S_ISDIR(st.st_mode)) Fail(source, "not a folder", ENOTDIR);
  struct stat tst {};
  if (::lstat(target.c_str(), &tst) == 0) Fail(target, "exists", EEXIST);
  Meter meter(progress, TreeSize(source));
  const std::string staging = MakeStagingFolder(target);
  try {
    CopyEntries(source, staging, meter, 0);
    ::chmod(staging.c_str(), st.st_mode & 07777);
    SetTimesNoFollow(staging, st);
    RenameNoReplace(staging, target);
    SyncDirectory(ParentOf(target));
  } catch (...) {
    RemoveQuietly(staging);
    throw;
  }
}

void RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS) Fail(to, "rename " + from, errno);
  // A filesystem without the no-replace rename: look first, then rename.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) Fail(to, "rename " + from, EEXIST);
  if (::rename(from.c_str(), to.c_str()) != 0) Fail(to, "rename " + from, errno);
}

void MovePath(const std::string& source, const std::string& target, bool replace, const TransferProgress& progress) {
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0) Fail(source, "stat", errno);
  if (SameFile(source, target)) Fail(target, "is the source itself", EEXIST);
  struct stat tst {};
  const bool target_exists = ::lstat(target.c_str(), &tst) == 0;
  const bool may_replace = replace && target_exists && !S_ISDIR(st.st_mode) && !S_ISDIR(tst.st_mode);
  try {
    if (may_replace) {
      if (::rename(source.c_str(), target.c_str()) != 0) Fail(target, "rename " + source, errno);
    } else {
      RenameNoReplace(source, target);
    }
    return;
  } catch (const EFileTransferError& e) {
    if (e.ErrorCode() != EXDEV) throw;
  }
  if (S_ISDIR(st.st_mode)) {
    CopyTree(source, target, progress);
  } else if (S_ISREG(st.st_mode)) {
    CopyFileTo(source, target, may_replace, progress);
    SyncDirectory(ParentOf(target));
  } else {
    Fail(source, "cannot be moved to another volume", EXDEV);
  }
  std::error_code ec;
  std::filesystem::remove_all(source, ec);
  if (ec) {
    throw EMoveSourceLeftError(
        source + ": copied to " + target + ", but the original could not be deleted entirely (" + ec.message() + ")",
        ec.value());
  }
}

}  // namespace plb::platform
