#pragma once
// The one way to replace a file's contents: readers see the old file or the new one, never a mix,
// and a crash at any moment leaves one of the two on disk.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace plb {

// Writes bytes to a fresh temporary file in the folder of path, flushes it to disk and renames it
// over path, then flushes the folder. An existing file keeps its permission bits; a new file gets
// mode (less the umask). On failure the temporary file is removed, path is left as it was and
// EWriteError is raised with the path and the reason.
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0644);

// Removes the temporary files that writers of folder left behind when their process was killed
// (those of living processes stay). Failures are ignored.
void RemoveAbandonedTemporaryFiles(const std::string& folder);

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
  // Finishes if needed, renames the staging file over path and flushes the folder.
  void Commit();

 private:
  std::string path_;
  std::string staging_;
  int fd_ = -1;
  bool finished_ = false;
  bool committed_ = false;
};

}  // namespace plb
