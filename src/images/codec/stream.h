#pragma once
// Seekable byte streams: the interface the image readers and the thumbnail cache work on, a stream
// over a file descriptor and one over memory. Reads and writes report how much they moved, like
// the underlying calls; ReadBuffer and WriteBuffer are the "all or an error" forms.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EStreamError, Error);
PLB_DECLARE_ERROR(EFOpenError, EStreamError);

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Up to count bytes; fewer (possibly 0) at the end.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Up to count bytes; fewer when the target refuses more.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves and returns the new position; a negative target raises EStreamError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Exactly count bytes, or EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  // Exactly count bytes, or EWriteError.
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (count 0: all of source, from its start); returns
  // the bytes copied, EReadError when source ends early.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a growing block of memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  void SetSize(int64_t size) override;

  void Clear();
  std::span<const uint8_t> Bytes() const { return bytes_; }
  std::vector<uint8_t>& Storage() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};

// A stream over a file. The read-only form lets other readers and writers open the file too
// (Linux has no deny-write sharing). Opened for creation, the file is truncated (EFCreateError of
// host/log_file.h when it cannot be); writes that replace a file's content go through
// WriteFileAtomically instead.
class TFileStream : public TStream {
 public:
  enum class Mode { kRead, kReadWrite, kCreate };
  TFileStream(const std::string& path, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  int64_t position_ = 0;
};

}  // namespace plb
