#include "images/thumbnails/thumbnail_store.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/error_forms.h"
#include "host/format.h"
#include "platform/checked.h"

namespace plb {
namespace {

constexpr const char* kInvalidParameter = "パラメータが無効です。";

bool ItemLess(const TImgCacheRecord& record, const TCatalogItem* item) {
  return std::less<const TCatalogItem*>()(record.item, item);
}

}  // namespace

std::string CacheSegmentFileName(const std::string& folder, int index) {
  if (folder.empty()) return {};
  return Format("%s/Cache-%.2d.che", folder.c_str(), index);
}

void TImageCacheMaster::RaiseError(const std::string& message) const {
  throw EImageCacheMasterError(message);
}

void TImageCacheMaster::RaiseWrapped(const char* operation, const std::exception& e) const {
  RaiseError(MemberRaisedText(ClassName(), operation, e));
  throw EImageCacheMasterError("unreachable");
}

std::unique_ptr<TCustomCacheStream> TImageCacheMaster::CreateSegment(int kind, int index, const std::string& fileName) {
  if (kind == ickFile) return std::make_unique<TJpegFileCacheStream>(index, fileName);
  return std::make_unique<TJpegMemoryCacheStream>(index);
}

std::unique_ptr<TCustomCacheStream> TBMPImageCacheMaster::CreateSegment(int kind, int index,
                                                                        const std::string& fileName) {
  if (kind == ickFile) return std::make_unique<TFileCacheStream>(index, fileName);
  return std::make_unique<TMemoryCacheStream>(index);
}

void TImageCacheMaster::ItemsEvicted(const std::vector<TCatalogItem*>& /*items*/) {}

void TImageCacheMaster::Initialize(int kind, const std::string& folder, bool notify, int64_t maxSize) {
  if (kind != ickMemory && kind != ickFile) {
    RaiseError(Format("Unknown ImageCacheKind. (ick = %d)", kind));
  }
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  kind_ = kind;
  maxSize_ = maxSize;
  segmentLimit_ = maxSize / kCacheSegmentCount;
  folder_ = trimmed;
  notify_ = notify;
  std::array<Segment, kCacheSegmentCount> created;
  for (int i = 0; i < kCacheSegmentCount; ++i) {
    const std::string fileName = CacheSegmentFileName(folder_, i);
    if (kind == ickMemory && !fileName.empty()) {
      std::error_code ec;
      std::filesystem::remove(fileName, ec);
    }
    std::shared_ptr<TCustomCacheStream> stream = CreateSegment(kind, i, fileName);
    stream->CreateCacheStream();
    created[i].stream = std::move(stream);
  }
  std::unique_lock listGuard(listLock_);
  std::unique_lock segmentGuard(segmentLock_);
  for (int i = 0; i < kCacheSegmentCount; ++i) {
    created[i].generation = segments_[i].generation + 1;
    segments_[i] = std::move(created[i]);
  }
  records_.clear();
  current_ = 0;
}

TImageCacheMaster::Segment TImageCacheMaster::SegmentAt(int index) {
  std::shared_lock guard(segmentLock_);
  if (index < 0 || index >= kCacheSegmentCount) return {};
  return segments_[index];
}

bool TImageCacheMaster::StillCurrent(int index, uint64_t generation) {
  std::shared_lock guard(segmentLock_);
  return segments_[index].generation == generation;
}

int32_t TImageCacheMaster::CurrentSegment() {
  std::lock_guard guard(writeSegmentLock_);
  return current_;
}

int64_t TImageCacheMaster::SegmentSize(int index) {
  const Segment segment = SegmentAt(index);
  return segment.stream ? segment.stream->Size() : 0;
}

TImageCacheMaster::Segment TImageCacheMaster::ChooseWriteSegment(int32_t& index) {
  std::vector<TCatalogItem*> evicted;
  Segment chosen;
  {
    std::lock_guard guard(writeSegmentLock_);
    Segment current = SegmentAt(current_);
    if (current.stream && current.stream->Size() > segmentLimit_) {
      current_ = (current_ + 1) % kCacheSegmentCount;
      {
        std::unique_lock listGuard(listLock_);
        auto kept = std::remove_if(records_.begin(), records_.end(), [this, &evicted](const TImgCacheRecord& r) {
          if (r.segment != current_) return false;
          evicted.push_back(r.item);
          return true;
        });
        records_.erase(kept, records_.end());
        std::unique_lock segmentGuard(segmentLock_);
        ++segments_[current_].generation;
      }
      Segment next = SegmentAt(current_);
      BeforeSegmentsEmptied();
      if (next.stream) next.stream->Clear();
    }
    index = current_;
    chosen = SegmentAt(current_);
  }
  if (!evicted.empty()) ItemsEvicted(evicted);
  return chosen;
}

bool TImageCacheMaster::WriteCacheImage(TCatalogItem* item, const Bitmap* bitmap, int32_t sizeClass) {
  if (!item || !bitmap || bitmap->Empty()) RaiseError(kInvalidParameter);
  try {
    // Encoding is the slow part: it happens before any cache lock is taken.
    std::string payload;
    for (int attempt = 0; attempt < kCacheSegmentCount; ++attempt) {
      int32_t index = 0;
      Segment segment = ChooseWriteSegment(index);
      if (!segment.stream) return false;
      if (payload.empty()) payload = segment.stream->EncodeBitmap(bitmap);
      const int64_t offset =
          segment.stream->WriteRecord({reinterpret_cast<const uint8_t*>(payload.data()), payload.size()});
      if (offset < 0) return false;
      AfterRecordAppend({item, sizeClass, index, offset});
      std::unique_lock listGuard(listLock_);
      if (!StillCurrent(index, segment.generation)) continue;  // recycled under us: write it again
      TImgCacheRecord record{item, sizeClass, index, offset};
      const size_t at = LowerBound(item);
      if (at < records_.size() && records_[at].item == item) {
        records_[at] = record;
      } else {
        records_.insert(records_.begin() + static_cast<ptrdiff_t>(at), record);
      }
      return true;
    }
    return false;
  } catch (const std::exception& e) {
    RaiseWrapped("WriteCacheImage", e);
  }
}

bool TImageCacheMaster::ReadCacheImage(TCatalogItem* item, Bitmap* bitmap, int32_t* sizeClass) {
  if (!item || !bitmap) RaiseError(kInvalidParameter);
  try {
    TImgCacheRecord record;
    Segment segment;
    {
      std::shared_lock listGuard(listLock_);
      const size_t at = LowerBound(item);
      if (at >= records_.size() || records_[at].item != item) return false;
      record = records_[at];
      segment = SegmentAt(record.segment);
    }
    if (sizeClass) *sizeClass = record.sizeClass;
    if (!segment.stream) return false;
    AfterRecordLookup(record);
    bool read = false;
    try {
      read = segment.stream->ReadBitmap(bitmap, record.offset);
    } catch (const ECacheStreamError&) {
      // A record that does not decode is as good as absent: the thumbnail is made again.
      read = false;
    }
    const bool current = StillCurrent(record.segment, segment.generation);
    if (read && current) return true;
    bitmap->Clear();
    // A record that cannot be read is forgotten, so that its item is made again; a recycled
    // segment's records were forgotten with it.
    if (current && ForgetRecord(record)) ItemsEvicted({item});
    return false;
  } catch (const std::exception& e) {
    RaiseWrapped("ReadCacheImage", e);
  }
}

size_t TImageCacheMaster::LowerBound(const TCatalogItem* item) const {
  return static_cast<size_t>(std::lower_bound(records_.begin(), records_.end(), item, ItemLess) - records_.begin());
}

TImgCacheRecord TImageCacheMaster::GetImgCacheRecord(TCatalogItem* item) {
  std::shared_lock guard(listLock_);
  const size_t at = LowerBound(item);
  if (at < records_.size() && records_[at].item == item) return records_[at];
  return {};
}

void TImageCacheMaster::SetImgCacheRecordData(TCatalogItem* item, const TImgCacheRecord& record) {
  if (!item) RaiseError("Item = nil");
  std::unique_lock guard(listLock_);
  const size_t at = LowerBound(item);
  if (at >= records_.size() || records_[at].item != item) {
    records_.insert(records_.begin() + static_cast<ptrdiff_t>(at), TImgCacheRecord{});
  }
  records_[at] = record;
  records_[at].item = item;
}

bool TImageCacheMaster::ForgetRecord(const TImgCacheRecord& record) {
  std::unique_lock guard(listLock_);
  const size_t at = LowerBound(record.item);
  if (at >= records_.size() || !(records_[at] == record)) return false;  // written again meanwhile
  records_.erase(records_.begin() + static_cast<ptrdiff_t>(at));
  return true;
}

void TImageCacheMaster::ClearCache(TCatalogItem* item) {
  if (!item) RaiseError("Item = nil");
  try {
    std::unique_lock guard(listLock_);
    const size_t at = LowerBound(item);
    if (at < records_.size() && records_[at].item == item)
      records_.erase(records_.begin() + static_cast<ptrdiff_t>(at));
  } catch (const std::exception& e) {
    RaiseWrapped("ClearCache", e);
  }
}

void TImageCacheMaster::ClearAll() {
  std::lock_guard writeGuard(writeSegmentLock_);
  {
    std::unique_lock listGuard(listLock_);
    records_.clear();
    std::unique_lock segmentGuard(segmentLock_);
    for (Segment& s : segments_) ++s.generation;
  }
  BeforeSegmentsEmptied();
  for (int i = 0; i < kCacheSegmentCount; ++i) {
    Segment s = SegmentAt(i);
    if (s.stream) s.stream->Clear();
  }
  current_ = 0;
}

TImgCacheRecords TImageCacheMaster::GetAllCacheRecords(int32_t* currentSegment) {
  if (currentSegment) *currentSegment = CurrentSegment();
  std::shared_lock guard(listLock_);
  return records_;
}

void TImageCacheMaster::SetAllCacheRecords(const TImgCacheRecords& records, int32_t currentSegment) {
  TImgCacheRecords kept;
  kept.reserve(records.size());
  for (const TImgCacheRecord& r : records) {
    if (r.item && r.segment >= 0 && r.segment < kCacheSegmentCount && r.offset >= 0) kept.push_back(r);
  }
  // Stable, so that of two records of one item the later stays last; then keep that one.
  std::stable_sort(kept.begin(), kept.end(), [](const TImgCacheRecord& a, const TImgCacheRecord& b) {
    return std::less<const TCatalogItem*>()(a.item, b.item);
  });
  TImgCacheRecords unique;
  unique.reserve(kept.size());
  for (const TImgCacheRecord& r : kept) {
    if (!unique.empty() && unique.back().item == r.item) {
      unique.back() = r;
    } else {
      unique.push_back(r);
    }
  }
  std::lock_guard writeGuard(writeSegmentLock_);
  std::unique_lock listGuard(listLock_);
  records_ = std::move(unique);
  current_ = (currentSegment >= 0 && currentSegment < kCacheSegmentCount) ? currentSegment : 0;
}

int64_t TImageCacheMaster::TotalSize() {
  int64_t total = 0;
  for (int i = 0; i < kCacheSegmentCount; ++i) total += SegmentSize(i);
  return total;
}

bool TImageCacheMaster::WouldFit(int64_t count, int32_t thumbnailSize) const {
  int64_t estimate = 0;
  if (thumbnailSize <= 80) {
    estimate = 4096;
  } else if (thumbnailSize <= 120) {
    estimate = 6144;
  } else if (thumbnailSize <= 160) {
    estimate = 8192;
  } else if (thumbnailSize <= 200) {
    estimate = 24576;
  } else if (thumbnailSize <= 240) {
    estimate = 30720;
  } else {
    return false;
  }
  uint64_t bytes = 0;
  if (count < 0 || !CheckedMul(static_cast<uint64_t>(count), static_cast<uint64_t>(estimate), bytes)) return false;
  return maxSize_ > 0 && bytes < static_cast<uint64_t>(maxSize_);
}

}  // namespace plb
