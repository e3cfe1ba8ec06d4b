#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

#include "platform/error.h"

namespace plb {
namespace {

AtomicWriteFault& Fault() {
  static AtomicWriteFault fault;
  return fault;
}

// The injected fault of a step as a failed system call: -1 with errno set, or 0.
int Injected(AtomicWriteStep step, const std::string& path) {
  if (!Fault()) return 0;
  const int error = Fault()(step, path);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

[[noreturn]] void Fail(const std::string& path, const char* step, int error) {
  throw EWriteError("Cannot write \"" + path + "\": " + step + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

constexpr std::string_view kTemporaryMark = ".tmp-";

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!released_) unlink(path_.c_str());
  }
  int& Fd() { return fd_; }
  const std::string& Path() const { return path_; }
  void Release() { released_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool released_ = false;
};

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t written =
        Injected(AtomicWriteStep::kWrite, path) != 0 ? -1 : write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(path, "write", errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void SyncFolder(const std::string& folder, const std::string& path) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail(path, "open folder", errno);
  const int result = Injected(AtomicWriteStep::kSyncFolder, path) != 0 ? -1 : fsync(fd);
  const int error = errno;
  close(fd);
  // Some filesystems cannot sync a folder; the rename itself has happened.
  if (result != 0 && error != EINVAL && error != EROFS) Fail(path, "sync folder", error);
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
  if (path.empty()) throw EWriteError("Cannot write a file without a name");
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) Fail(path, "not a regular file", EISDIR);

  TemporaryFile temp(TemporaryNameBeside(path));
  const mode_t create_mode = exists ? (old.st_mode & 07777) : mode;
  temp.Fd() = open(temp.Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
  if (temp.Fd() < 0) Fail(path, "create temporary file", errno);
  // The umask applies to open(); an existing file's bits are kept exactly.
  if (exists && fchmod(temp.Fd(), old.st_mode & 07777) != 0) Fail(path, "set permissions", errno);
  WriteAll(temp.Fd(), bytes, path);
  if (Injected(AtomicWriteStep::kSyncFile, path) != 0 || fsync(temp.Fd()) != 0) Fail(path, "sync", errno);
  if (close(temp.Fd()) != 0) {
    temp.Fd() = -1;
    Fail(path, "close", errno);
  }
  temp.Fd() = -1;
  if (Injected(AtomicWriteStep::kRename, path) != 0 || rename(temp.Path().c_str(), path.c_str()) != 0) {
    Fail(path, "rename", errno);
  }
  temp.Release();
  SyncFolder(FolderOf(path), path);
}

void SetAtomicWriteFaultForTesting(AtomicWriteFault fault) {
  Fault() = std::move(fault);
}

// A name nobody else picks: pid, a per-process counter and random bits. O_EXCL guards the rest.
std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string name = std::filesystem::path(path).filename().string();
  return FolderOf(path) + "/." + name + std::string(kTemporaryMark) + std::to_string(getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random() & 0xffffffu);
}

namespace {

// The pid of the process that made the temporary name, or 0 when name is no such name.
long long TemporaryNameMaker(std::string_view name) {
  if (name.empty() || name[0] != '.') return 0;
  const size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos) return 0;
  // The mark is followed by the maker's pid, a dash, and the counter and random parts.
  long long pid = 0;
  size_t at = mark + kTemporaryMark.size();
  const size_t digits_from = at;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9' && at - digits_from < 9) {
    pid = pid * 10 + (name[at] - '0');
    ++at;
  }
  if (at == digits_from || at >= name.size() || name[at] != '-') return 0;
  return pid;
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  return TemporaryNameMaker(name) > 0;
}

bool IsAbandonedTemporaryName(std::string_view name) {
  const long long pid = TemporaryNameMaker(name);
  return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool PathHasTemporaryName(const std::string& path) {
  for (const auto& part : std::filesystem::path(path)) {
    if (IsTemporaryName(part.native())) return true;
  }
  return false;
}

void RemoveAbandonedTemporary(int dirFd, const std::string& folder, std::string_view name) {
  const std::string entry(name);
  struct stat st {};
  if (fstatat(dirFd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    unlinkat(dirFd, entry.c_str(), 0);
    return;
  }
  std::error_code ec;
  std::filesystem::remove_all(folder + "/" + entry, ec);  // never follows links
}

void RemoveAbandonedTemporaryFiles(const std::string& folder) {
  const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (IsAbandonedTemporaryName(name)) RemoveAbandonedTemporary(dirFd, folder, name);
  }
  close(dirFd);
}

AtomicFileWriter::AtomicFileWriter(std::string path, std::string staging, mode_t mode)
    : path_(std::move(path)), staging_(std::move(staging)) {
  if (path_.empty()) throw EWriteError("Cannot write a file without a name");
  struct stat old {};
  const bool exists = stat(path_.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) Fail(path_, "not a regular file", EISDIR);
  const mode_t create_mode = exists ? (old.st_mode & 07777) : mode;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if (staging_.empty()) {
    staging_ = TemporaryNameBeside(path_);
    flags |= O_EXCL;
  } else {
    // A staged file a killed writer left behind is simply started again.
    flags |= O_TRUNC;
  }
  fd_ = open(staging_.c_str(), flags, create_mode);
  if (fd_ < 0) Fail(path_, "create temporary file", errno);
  if (exists && fchmod(fd_, old.st_mode & 07777) != 0) {
    const int error = errno;
    close(fd_);
    fd_ = -1;
    unlink(staging_.c_str());
    Fail(path_, "set permissions", error);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !keepStaged_) unlink(staging_.c_str());
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0) Fail(path_, "write after finish", EBADF);
  WriteAll(fd_, bytes, path_);
}

void AtomicFileWriter::WriteAt(uint64_t offset, std::string_view bytes) {
  if (fd_ < 0) Fail(path_, "write after finish", EBADF);
  while (!bytes.empty()) {
    const ssize_t written = Injected(AtomicWriteStep::kWrite, path_) != 0
                                ? -1
                                : pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(path_, "write", errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    offset += static_cast<uint64_t>(written);
  }
}

void AtomicFileWriter::Finish() {
  if (finished_) return;
  if (Injected(AtomicWriteStep::kSyncFile, path_) != 0 || fsync(fd_) != 0) Fail(path_, "sync", errno);
  const int result = close(fd_);
  fd_ = -1;
  if (result != 0) Fail(path_, "close", errno);
  finished_ = true;
}

void AtomicFileWriter::Commit() {
  Finish();
  if (Injected(AtomicWriteStep::kRename, path_) != 0 || rename(staging_.c_str(), path_.c_str()) != 0) {
    Fail(path_, "rename", errno);
  }
  // Replaced from here on, whether or not the folder's flush below goes through.
  committed_ = true;
  SyncFolder(FolderOf(path_), path_);
}

}  // namespace plb
