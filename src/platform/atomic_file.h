#pragma once
// The one way to replace a file's contents: readers see the old file or the new one, never a mix,
// and a crash at any moment leaves one of the two on disk.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plb {

// Writes bytes to a fresh temporary file in the folder of path, flushes it to disk and renames it
// over path, then flushes the folder. An existing file keeps its permission bits; a new file gets
// mode (less the umask). On failure the temporary file is removed and EWriteError is raised with
// the path and the reason; path is left as it was unless only the folder's flush failed (the
// rename had replaced it by then).
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0644);

// A fresh hidden name beside path for a file or folder being made: it carries this process's id,
// so that a later run can tell a temporary whose maker was killed from one still being written.
std::string TemporaryNameBeside(const std::string& path);

// True when name is such a temporary name, whether its maker still runs or not.
bool IsTemporaryName(std::string_view name);
// True when name is such a temporary name and the process that made it is gone.
bool IsAbandonedTemporaryName(std::string_view name);
// True when some component of path is a temporary name: a place where nothing may be put, since
// the next scan of its folder removes it once its maker is gone.
bool PathHasTemporaryName(const std::string& path);

// Removes the temporary files and folders that writers and copies into folder left behind when
// their process was killed (those of living processes stay). Failures are ignored.
void RemoveAbandonedTemporaryFiles(const std::string& folder);

// Removes the abandoned temporary name in the folder open as dirFd, a folder with all it holds
// (links are never followed). Failures are ignored: it is only clutter.
void RemoveAbandonedTemporary(int dirFd, const std::string& folder, std::string_view name);

// The same for a file too large to hold in memory: written in pieces to a staging file beside
// path, then Commit() renames it over path. Destroyed before Commit(), it removes the staging file
// and path is left as it was. Errors are EWriteError with the path and the reason.
class AtomicFileWriter {
 public:
  // staging: the name to write under; empty picks a fresh temporary name beside path. A fixed
  // name lets a later run find a staged file that a killed process left behind.
  explicit AtomicFileWriter(std::string path, std::string staging = "", mode_t mode = 0644);
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  const std::string& Path() const { return path_; }
  const std::string& StagingPath() const { return staging_; }
  // The staging file, open for writing until Finish().
  int Fd() const { return fd_; }
  void Write(std::string_view bytes);
  void WriteAt(uint64_t offset, std::string_view bytes);
  // Flushes the staged bytes to disk and closes the file; it stays staged until Commit().
  void Finish();
  // Finishes if needed, renames the staging file over path and flushes the folder. A failure
  // after the rename still raises, but Committed() then answers true.
  void Commit();
  // True once the rename has replaced path: the new contents are what readers see.
  bool Committed() const { return committed_; }
  // Leaves the staging file on disk when this writer is destroyed uncommitted (for a later run
  // that finishes what this one could not).
  void KeepStaged() { keepStaged_ = true; }

 private:
  std::string path_;
  std::string staging_;
  int fd_ = -1;
  bool finished_ = false;
  bool committed_ = false;
  bool keepStaged_ = false;
};

// The steps of the writers above at which a fault can be injected.
enum class AtomicWriteStep { kWrite, kSyncFile, kRename, kSyncFolder };
// For tests: fault(step, path) runs before each step of every writer for path; an answer other
// than 0 makes the step fail with that errno, as the system would (ENOSPC for a full disk, EIO
// for a failing flush). An empty function clears the seam.
using AtomicWriteFault = std::function<int(AtomicWriteStep step, const std::string& path)>;
void SetAtomicWriteFaultForTesting(AtomicWriteFault fault);

}  // namespace plb
