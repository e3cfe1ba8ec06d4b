#pragma once
// Copying and moving files and folder trees on the user's behalf. Nothing that exists is ever
// replaced unless the caller says so, a copy is complete or absent (never half a file or half a
// folder under the final name), and a move across volumes deletes its source only after the copy
// is complete. Symbolic links inside a copied folder are copied as links, never followed.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"

namespace plb::platform {

// A failed copy, move or rename; the system's error number when there is one (EEXIST: the target
// exists, ECANCELED: stopped through the progress callback).
class EFileTransferError : public Error {
 public:
  EFileTransferError(std::string message, int error_code) : Error(std::move(message)), error_code_(error_code) {}
  const char* ClassName() const noexcept override { return "EFileTransferError"; }
  int ErrorCode() const noexcept { return error_code_; }

 private:
  int error_code_;
};

// A move across volumes whose copy is complete and flushed to disk, but whose source could not be
// deleted entirely: the target is the whole of what was moved, the source is partly left.
class EMoveSourceLeftError : public EFileTransferError {
 public:
  using EFileTransferError::EFileTransferError;
  const char* ClassName() const noexcept override { return "EMoveSourceLeftError"; }
};

// Called with the bytes copied so far and the bytes to copy in all; false stops the copy.
using TransferProgress = std::function<bool(uint64_t done, uint64_t total)>;

// True when both paths reach the same file or folder (hard links, symbolic links, bind mounts).
bool SameFile(const std::string& a, const std::string& b);
// True when both existing paths lie on one file system (a move between them is a rename).
bool SameFileSystem(const std::string& a, const std::string& b);

// True when the owner may not write the file (what a desktop calls read-only).
bool IsReadOnlyFile(const std::string& path);
// Gives the owner the write permission; false when that was refused.
bool ClearReadOnly(const std::string& path);

// The bytes of the regular files below path (path itself when it is a file), links not followed.
uint64_t TreeSize(const std::string& path);

// Copies the regular file source (links to files are followed) to target, whose folder must
// exist. The bytes go to a temporary file beside target that takes the source's permission bits
// and modification time and is flushed to disk before it takes target's name. With replace an
// existing file is replaced in one step; without, an existing target refuses (EEXIST) and is left
// as it was. The same file reached by both paths refuses (EEXIST) whatever replace says.
void CopyFileTo(const std::string& source, const std::string& target, bool replace,
                const TransferProgress& progress = nullptr);

// Copies the folder source with everything below it to target, which must not exist (EEXIST).
// The copy is made under a temporary name beside target and renamed at the end, so a failed or
// stopped copy leaves nothing behind. Folders, files and links keep their permission bits and
// modification times; device files, pipes and sockets are left out.
void CopyTree(const std::string& source, const std::string& target, const TransferProgress& progress = nullptr);

// Renames from to to; an existing to refuses (EEXIST), whatever kind of entry it is.
void RenameNoReplace(const std::string& from, const std::string& to);

// Moves a file, folder or link to target. On one volume this is a single rename; replace lets a
// file replace an existing file (never a folder). Across volumes the source is copied completely
// (CopyFileTo or CopyTree), the copied files and folders are flushed to disk, and only then is the
// source deleted; when the delete fails part-way the copy stays and EMoveSourceLeftError says so.
void MovePath(const std::string& source, const std::string& target, bool replace,
              const TransferProgress& progress = nullptr);

}  // namespace plb::platform
