#include "images/thumbnails/cache_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/error_forms.h"
#include "images/codec/bmp_file.h"
#include "images/codec/jpeg_codec.h"
#include "platform/byte_reader.h"
#include "platform/checked.h"
#include "platform/unique_fd.h"

namespace plb {
namespace {

class MemoryStore : public TCustomCacheStream::Store {
 public:
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
  int64_t Append(std::span<const uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return static_cast<int64_t>(bytes.size());
  }
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override {
    if (offset < 0 || offset >= Size()) return 0;
    const int64_t n = std::min(count, Size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, static_cast<size_t>(n));
    return n;
  }
  void Truncate() override { std::vector<uint8_t>().swap(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

class FileStore : public TCustomCacheStream::Store {
 public:
  explicit FileStore(const std::string& fileName) : fd_(::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (!fd_) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0)
      throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    size_ = st.st_size;
  }
  int64_t Size() const override { return size_; }
  int64_t Append(std::span<const uint8_t> bytes) override {
    int64_t done = 0;
    while (done < static_cast<int64_t>(bytes.size())) {
      const ssize_t n = ::pwrite(fd_.Get(), bytes.data() + done, bytes.size() - done, size_ + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    size_ += done;
    return done;
  }
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override {
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
      const ssize_t n = ::pread(fd_.Get(), out + done, count - done, offset + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    return done;
  }
  void Truncate() override {
    if (::ftruncate(fd_.Get(), 0) != 0) throw EStreamError(std::string("Cannot truncate: ") + std::strerror(errno));
    size_ = 0;
  }

 private:
  platform::UniqueFd fd_;
  int64_t size_ = 0;
};

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutLe64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::unique_ptr<TCustomCacheStream::Store> TCustomCacheStream::MakeMemoryStore() {
  return std::make_unique<MemoryStore>();
}

std::unique_ptr<TCustomCacheStream::Store> TCustomCacheStream::MakeFileStore(const std::string& fileName) {
  if (fileName.empty()) throw ECacheStreamError("FileName is Empty.");
  return std::make_unique<FileStore>(fileName);
}

void TCustomCacheStream::RaiseWrapped(const char* operation, const std::exception& e) const {
  throw ECacheStreamError(MemberRaisedText(ClassName(), operation, e));
}

void TCustomCacheStream::CreateCacheStream() {
  try {
    auto store = CreateInnerStream();
    std::unique_lock guard(lock_);
    store_ = std::move(store);
  } catch (const std::exception& e) {
    RaiseWrapped("CreateCacheStream", e);
  }
}

int64_t TCustomCacheStream::AppendRecordLocked(std::span<const uint8_t> source) {
  if (!store_ || source.empty()) return -1;
  const int64_t offset = store_->Size();
  uint8_t header[kCacheRecordHeaderSize];
  PutLe32(header, kCacheRecordMagic);
  PutLe32(header + 4, kCacheRecordFormat);
  PutLe64(header + 8, source.size());
  if (store_->Append(header) != kCacheRecordHeaderSize) throw EWriteError("WriteSize <> SourceSize");
  if (store_->Append(source) != static_cast<int64_t>(source.size())) throw EWriteError("WriteSize <> SourceSize");
  return offset;
}

int64_t TCustomCacheStream::WriteRecord(std::span<const uint8_t> source) {
  try {
    std::unique_lock guard(lock_);
    return AppendRecordLocked(source);
  } catch (const std::exception& e) {
    RaiseWrapped("ReadCache", e);
  }
}

bool TCustomCacheStream::ReadRecord(std::vector<uint8_t>& target, int64_t offset) {
  target.clear();
  try {
    std::shared_lock guard(lock_);
    if (!store_ || offset < 0) return false;
    const int64_t size = store_->Size();
    if (!RangeInside(offset, kCacheRecordHeaderSize, size)) return false;
    uint8_t header[kCacheRecordHeaderSize];
    if (store_->ReadAt(offset, header, kCacheRecordHeaderSize) != kCacheRecordHeaderSize) return false;
    ByteReader reader(header);
    if (reader.U32() != kCacheRecordMagic) return false;
    reader.U32();  // the format number is not checked: every version has this layout
    const uint64_t payload = reader.U64();
    if (payload == 0 || !RangeInside(offset + kCacheRecordHeaderSize, payload, size)) return false;
    target.resize(payload);
    if (store_->ReadAt(offset + kCacheRecordHeaderSize, target.data(), static_cast<int64_t>(payload)) !=
        static_cast<int64_t>(payload)) {
      target.clear();
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    RaiseWrapped("ReadCache", e);
  }
}

std::string TCustomCacheStream::EncodeBitmap(const Bitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) throw ECacheStreamError("BMP is Empty");
  return EncodePayload(*bitmap);
}

int64_t TCustomCacheStream::WriteBitmap(const Bitmap* bitmap) {
  const std::string payload = EncodeBitmap(bitmap);
  return WriteRecord({reinterpret_cast<const uint8_t*>(payload.data()), payload.size()});
}

bool TCustomCacheStream::ReadBitmap(Bitmap* bitmap, int64_t offset) {
  if (!bitmap) throw ECacheStreamError("BMP = nil");
  std::vector<uint8_t> payload;
  if (!ReadRecord(payload, offset)) return false;
  DecodePayload(payload, *bitmap);
  return !bitmap->Empty();
}

void TCustomCacheStream::Clear() {
  std::unique_lock guard(lock_);
  if (store_) store_->Truncate();
}

int64_t TCustomCacheStream::Size() {
  std::shared_lock guard(lock_);
  return store_ ? store_->Size() : 0;
}

std::string TMemoryCacheStream::EncodePayload(const Bitmap& bitmap) {
  try {
    return EncodeBmp(bitmap);
  } catch (const std::exception& e) {
    throw ECacheStreamError(MemberRaisedText(ClassName(), "WriteBMPCache", e));
  }
}

void TMemoryCacheStream::DecodePayload(std::span<const uint8_t> payload, Bitmap& bitmap) {
  try {
    DecodeBmp(payload, bitmap);
  } catch (const std::exception& e) {
    throw ECacheStreamError(MemberRaisedText(ClassName(), "ReadBMPCache", e));
  }
}

int TJpegCacheStream::Quality() const {
  std::lock_guard guard(qualityLock_);
  return quality_;
}

void TJpegCacheStream::SetQuality(int quality) {
  std::lock_guard guard(qualityLock_);
  quality_ = std::clamp(quality, 0, 100);
}

std::string TJpegCacheStream::EncodePayload(const Bitmap& bitmap) {
  try {
    // The encoder takes 1..100; 0 is the lowest quality there is.
    return EncodeJpeg(bitmap, std::max(1, Quality()));
  } catch (const std::exception& e) {
    throw ECacheStreamError(MemberRaisedText(ClassName(), "WriteJpegCache", e));
  }
}

void TJpegCacheStream::DecodePayload(std::span<const uint8_t> payload, Bitmap& bitmap) {
  try {
    // The full-speed and the general decoder are one libjpeg-turbo here: one attempt, no copy.
    DecodeJpeg(payload, bitmap, dsFull);
  } catch (const std::exception& e) {
    throw ECacheStreamError(MemberRaisedText(ClassName(), "ReadJpegCache", e));
  }
}

}  // namespace plb
