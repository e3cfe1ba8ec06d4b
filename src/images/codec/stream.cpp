#include "images/codec/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/log_file.h"
#include "platform/checked.h"

namespace plb {

int64_t TStream::Size() {
  const int64_t here = Position();
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 0), 64 * 1024)));
  int64_t done = 0;
  while (done < count) {
    const int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    done += n;
  }
  return done;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  uint64_t end;
  if (!CheckedAdd(static_cast<uint64_t>(position_), static_cast<uint64_t>(count), end) || end > INT64_MAX) {
    throw EWriteError("Stream write error: the stream would exceed its largest size");
  }
  if (end > bytes_.size()) bytes_.resize(static_cast<size_t>(end));
  std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t from = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : Size();
  int64_t target;
  if (__builtin_add_overflow(from, offset, &target) || target < 0) throw EStreamError("Stream seek error");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Stream size error");
  bytes_.resize(static_cast<size_t>(size));
  if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  const int flags = mode == Mode::kRead ? O_RDONLY : mode == Mode::kReadWrite ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
  fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    const std::string why = std::strerror(errno);
    if (mode == Mode::kCreate) throw EFCreateError("Cannot create file \"" + path + "\". " + why);
    throw EFOpenError("Cannot open file \"" + path + "\". " + why);
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done),
                              static_cast<off_t>(position_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Stream read error: " + std::string(std::strerror(errno)) + " in \"" + path_ + "\"");
    if (n == 0) break;
    done += n;
    position_ += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done),
                               static_cast<off_t>(position_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
    position_ += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  // The position is kept here and every transfer names it (pread/pwrite): a seek costs no
  // system call, which matters to the marker walks that seek before every read.
  const int64_t from = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : Size();
  int64_t target;
  if (__builtin_add_overflow(from, offset, &target) || target < 0) {
    throw EStreamError("Stream seek error in \"" + path_ + "\"");
  }
  position_ = target;
  return position_;
}

int64_t TFileStream::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw EStreamError("Stream size error in \"" + path_ + "\"");
  return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    throw EStreamError("Stream size error in \"" + path_ + "\"");
  }
  if (position_ > size) position_ = size;
}

}  // namespace plb
