#pragma once
// The generational thumbnail store: eight append-only segments written round robin within a size
// budget. When the segment being written is over its eighth of the budget, the next one is emptied
// as a whole and every thumbnail in it forgotten, so nothing is ever compacted. The record list
// maps an item to (segment, offset, size class) and is kept sorted for binary search.
//
// A reader that looked up a record and a writer that chose a segment both remember the segment's
// generation, which recycling raises: a read whose segment was recycled meanwhile reads as absent
// (never another photo's thumbnail), and a write into a segment recycled under it is written again.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"
#include "images/thumbnails/cache_stream.h"
#include "platform/error.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(EImageCacheMasterError, Error);

enum TImageCacheKind : int { ickMemory = 0, ickFile = 1 };

constexpr int kCacheSegmentCount = 8;
constexpr int64_t kDefaultCacheMaxSize = 16777216;

struct TImgCacheRecord {
  TCatalogItem* item = nullptr;
  int32_t sizeClass = 0;
  int32_t segment = 0;
  int64_t offset = 0;
  bool operator==(const TImgCacheRecord&) const = default;
};
using TImgCacheRecords = std::vector<TImgCacheRecord>;

// The segment file name of a folder: "<folder>/Cache-NN.che".
std::string CacheSegmentFileName(const std::string& folder, int index);

class TImageCacheMaster {
 public:
  TImageCacheMaster() = default;
  virtual ~TImageCacheMaster() = default;
  TImageCacheMaster(const TImageCacheMaster&) = delete;
  TImageCacheMaster& operator=(const TImageCacheMaster&) = delete;

  virtual const char* ClassName() const { return "TImageCacheMaster"; }

  // Creates the eight segments. The memory kind removes segment files an earlier file-kind cache
  // left in the folder; without a folder it touches no file at all.
  void Initialize(int kind, const std::string& folder, bool notify, int64_t maxSize);

  bool WriteCacheImage(TCatalogItem* item, const Bitmap* bitmap, int32_t sizeClass);
  bool ReadCacheImage(TCatalogItem* item, Bitmap* bitmap, int32_t* sizeClass);
  TImgCacheRecord GetImgCacheRecord(TCatalogItem* item);
  void SetImgCacheRecordData(TCatalogItem* item, const TImgCacheRecord& record);
  void ClearCache(TCatalogItem* item);
  void ClearAll();
  TImgCacheRecords GetAllCacheRecords(int32_t* currentSegment);
  // Keeps the records with an item, sorted, one per item (the last one given wins).
  void SetAllCacheRecords(const TImgCacheRecords& records, int32_t currentSegment);
  int64_t TotalSize();
  bool WouldFit(int64_t count, int32_t thumbnailSize) const;

  int Kind() const { return kind_; }
  const std::string& Folder() const { return folder_; }
  bool Notify() const { return notify_; }
  int64_t MaxSize() const { return maxSize_; }
  int64_t SegmentLimit() const { return segmentLimit_; }
  int32_t CurrentSegment();
  int64_t SegmentSize(int index);

 protected:
  // The stream of a segment for the kind; the base class stores JPEGs.
  virtual std::unique_ptr<TCustomCacheStream> CreateSegment(int kind, int index, const std::string& fileName);
  // Told of the items whose thumbnails a recycled segment took along or whose record could not be
  // read; called without any cache lock held.
  virtual void ItemsEvicted(const std::vector<TCatalogItem*>& items);
  // Called before segments with records in them are emptied, under the writers' lock (no other
  // cache lock held): whatever was saved about their records is to be forgotten first.
  virtual void BeforeSegmentsEmptied() {}
  // The moments when another thread may recycle the segment of a record in hand: after a reader
  // looked the record up, and after a writer appended its record but before it is listed.
  // Nothing happens here; tests use them to let the other thread in at exactly that point.
  virtual void AfterRecordLookup(const TImgCacheRecord& /*record*/) {}
  virtual void AfterRecordAppend(const TImgCacheRecord& /*record*/) {}
  [[noreturn]] void RaiseWrapped(const char* operation, const std::exception& e) const;
  virtual void RaiseError(const std::string& message) const;

 private:
  struct Segment {
    std::shared_ptr<TCustomCacheStream> stream;
    uint64_t generation = 0;
  };
  // The segment to write into and its generation; recycles the next one when the current is full.
  Segment ChooseWriteSegment(int32_t& index);
  Segment SegmentAt(int index);
  bool StillCurrent(int index, uint64_t generation);
  size_t LowerBound(const TCatalogItem* item) const;
  // Removes the record if it is still the item's; false when another has replaced it.
  bool ForgetRecord(const TImgCacheRecord& record);

  int kind_ = ickMemory;
  std::string folder_;
  bool notify_ = false;
  int64_t maxSize_ = kDefaultCacheMaxSize;
  int64_t segmentLimit_ = kDefaultCacheMaxSize / kCacheSegmentCount;

  std::shared_mutex listLock_;
  TImgCacheRecords records_;  // sorted by item
  std::shared_mutex segmentLock_;
  std::array<Segment, kCacheSegmentCount> segments_;
  std::mutex writeSegmentLock_;
  int32_t current_ = 0;
};

// The same store with bitmap-file payloads (the collage maker's).
class TBMPImageCacheMaster : public TImageCacheMaster {
 public:
  const char* ClassName() const override { return "TBMPImageCacheMaster"; }

 protected:
  std::unique_ptr<TCustomCacheStream> CreateSegment(int kind, int index, const std::string& fileName) override;
};

}  // namespace plb
