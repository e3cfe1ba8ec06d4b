#pragma once
// The record streams of the thumbnail cache: one per segment, append-only, emptied as a whole.
// A record is a 16-byte header (magic 0x88888888, format 1, 64-bit payload size, little-endian)
// followed by the payload, a JPEG or a bitmap file; it is addressed by the offset of its header.
// Reads share the stream's lock, appends and clearing take it alone. File segments are read and
// written by position (pread, pwrite), so concurrent readers never disturb each other.
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(ECacheStreamError, Error);

constexpr uint32_t kCacheRecordMagic = 0x88888888u;
constexpr uint32_t kCacheRecordFormat = 1;
constexpr int64_t kCacheRecordHeaderSize = 16;

class TCustomCacheStream {
 public:
  explicit TCustomCacheStream(int segmentIndex) : segmentIndex_(segmentIndex) {}
  virtual ~TCustomCacheStream() = default;
  TCustomCacheStream(const TCustomCacheStream&) = delete;
  TCustomCacheStream& operator=(const TCustomCacheStream&) = delete;

  virtual const char* ClassName() const = 0;
  int SegmentIndex() const { return segmentIndex_; }

  // Makes the inner store; called once right after construction (the variants' constructors
  // cannot call the virtual operation themselves).
  void CreateCacheStream();

  // Appends source as one record; its offset, or -1 when there is no store or source is empty.
  int64_t WriteRecord(std::span<const uint8_t> source);
  // The payload of the record at offset; false (and target emptied) for anything that is not a
  // whole record: a negative offset, a header past the end, a wrong magic, a size that is not
  // positive or reaches past the end. Nothing is allocated before the size is known to fit.
  bool ReadRecord(std::vector<uint8_t>& target, int64_t offset);
  // Encodes and appends a bitmap ("BMP is Empty" for an absent or empty one).
  int64_t WriteBitmap(const Bitmap* bitmap);
  // The payload encoding on its own, so callers can encode before taking any cache lock.
  std::string EncodeBitmap(const Bitmap* bitmap);
  // True when a non-empty bitmap was read ("BMP = nil" for an absent target).
  bool ReadBitmap(Bitmap* bitmap, int64_t offset);
  void Clear();
  int64_t Size();

  // The store behind the records: reads and appends by position.
  class Store {
   public:
    virtual ~Store() = default;
    virtual int64_t Size() const = 0;
    // Appends all of bytes at the end; returns how many were written.
    virtual int64_t Append(std::span<const uint8_t> bytes) = 0;
    // Up to count bytes from offset; fewer at the end.
    virtual int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const = 0;
    virtual void Truncate() = 0;
  };

 protected:
  virtual std::unique_ptr<Store> CreateInnerStream() = 0;
  virtual std::string EncodePayload(const Bitmap& bitmap) = 0;
  virtual void DecodePayload(std::span<const uint8_t> payload, Bitmap& bitmap) = 0;

  static std::unique_ptr<Store> MakeMemoryStore();
  static std::unique_ptr<Store> MakeFileStore(const std::string& fileName);

 private:
  int64_t AppendRecordLocked(std::span<const uint8_t> source);
  [[noreturn]] void RaiseWrapped(const char* operation, const std::exception& e) const;

  const int segmentIndex_;
  std::shared_mutex lock_;
  std::unique_ptr<Store> store_;
};

// Bitmap-file payload in memory.
class TMemoryCacheStream : public TCustomCacheStream {
 public:
  using TCustomCacheStream::TCustomCacheStream;
  const char* ClassName() const override { return "TMemoryCacheStream"; }

 protected:
  std::unique_ptr<Store> CreateInnerStream() override { return MakeMemoryStore(); }
  std::string EncodePayload(const Bitmap& bitmap) override;
  void DecodePayload(std::span<const uint8_t> payload, Bitmap& bitmap) override;
};

// Bitmap-file payload in a file that is opened (other processes may share it) or created.
class TFileCacheStream : public TMemoryCacheStream {
 public:
  // "FileName is Empty." without a file name (raised when the store is created).
  TFileCacheStream(int segmentIndex, std::string fileName)
      : TMemoryCacheStream(segmentIndex), fileName_(std::move(fileName)) {}
  const char* ClassName() const override { return "TFileCacheStream"; }

 protected:
  std::unique_ptr<Store> CreateInnerStream() override { return MakeFileStore(fileName_); }

 private:
  std::string fileName_;
};

// JPEG payload at a quality of 0..100 (85 unless set; values outside are clamped).
class TJpegCacheStream : public TCustomCacheStream {
 public:
  using TCustomCacheStream::TCustomCacheStream;
  const char* ClassName() const override { return "TJpegCacheStream"; }
  int Quality() const;
  void SetQuality(int quality);

 protected:
  std::unique_ptr<Store> CreateInnerStream() override { return MakeMemoryStore(); }
  std::string EncodePayload(const Bitmap& bitmap) override;
  void DecodePayload(std::span<const uint8_t> payload, Bitmap& bitmap) override;

 private:
  mutable std::mutex qualityLock_;
  int quality_ = 85;
};

class TJpegMemoryCacheStream : public TJpegCacheStream {
 public:
  using TJpegCacheStream::TJpegCacheStream;
  const char* ClassName() const override { return "TJpegMemoryCacheStream"; }
};

class TJpegFileCacheStream : public TJpegCacheStream {
 public:
  TJpegFileCacheStream(int segmentIndex, std::string fileName)
      : TJpegCacheStream(segmentIndex), fileName_(std::move(fileName)) {}
  const char* ClassName() const override { return "TJpegFileCacheStream"; }

 protected:
  std::unique_ptr<Store> CreateInnerStream() override { return MakeFileStore(fileName_); }

 private:
  std::string fileName_;
};

}  // namespace plb
