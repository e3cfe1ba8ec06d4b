#include "images/thumbnails/catalog_thumbnail_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

#include "engine/model/catalog_item.h"
#include "host/error_forms.h"
#include "host/log_file.h"
#include "images/effects/image_effect.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "platform/atomic_file.h"
#include "platform/byte_reader.h"

namespace plb {
namespace {

constexpr const char* kBadIndex = "キャッシュデータが不正です。";
constexpr size_t kIndexHeaderSize = 16;
constexpr size_t kIndexRecordSize = 20;

void PutLe(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EReadError("Cannot open file \"" + path + "\".");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Deletes path for good: the folder's entry is flushed before anything else changes.
void RemoveDurably(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return;
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void TCatalogImageCacheMaster::RaiseError(const std::string& message) const {
  throw ECatalogImageCacheMasterError(message);
}

std::string TCatalogImageCacheMaster::IndexFileName() const {
  if (Folder().empty()) return {};
  return Folder() + "/" + kCacheIndexFileName;
}

void TCatalogImageCacheMaster::InitializeCatalog(int kind, const std::string& folder, bool notify, int64_t maxSize) {
  Initialize(kind, folder, notify, maxSize);
  if (kind == ickMemory && !IndexFileName().empty()) {
    std::error_code ec;
    std::filesystem::remove(IndexFileName(), ec);
  }
}

void TCatalogImageCacheMaster::ItemsEvicted(const std::vector<TCatalogItem*>& items) {
  if (!Notify()) return;
  for (TCatalogItem* item : items) item->SetCacheIndex(0);
}

void TCatalogImageCacheMaster::BeforeSegmentsEmptied() {
  if (Kind() != ickFile || IndexFileName().empty()) return;
  std::lock_guard guard(indexFileLock_);
  ++emptyings_;
  RemoveDurably(IndexFileName());
}

void TCatalogImageCacheMaster::LoadIndexBytes(const std::vector<uint8_t>& bytes,
                                              const std::vector<TCatalogItem*>& items) {
  if (bytes.size() < kIndexHeaderSize) throw ECatalogImageCacheMasterError(kBadIndex);
  ByteReader reader(bytes);
  const auto signature = reader.Bytes(8);
  if (!std::equal(signature.begin(), signature.end(), kCacheIndexSignature) || reader.U32() != kCacheIndexFormat) {
    throw ECatalogImageCacheMasterError(kBadIndex);
  }
  const int32_t currentSegment = static_cast<int32_t>(reader.U32());
  if (reader.Remaining() < 4) throw ECatalogImageCacheMasterError(kBadIndex);
  const uint32_t count = reader.U32();
  // The count comes from the file: the records must all be there before anything is reserved.
  if (reader.Remaining() / kIndexRecordSize < count) throw ECatalogImageCacheMasterError(kBadIndex);
  TImgCacheRecords records;
  records.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t recordNumber = static_cast<int32_t>(reader.U32());
    TImgCacheRecord record;
    record.sizeClass = static_cast<int32_t>(reader.U32());
    record.segment = static_cast<int32_t>(reader.U32());
    record.offset = static_cast<int64_t>(reader.U64());
    if (recordNumber < 0 || static_cast<size_t>(recordNumber) >= items.size()) continue;
    record.item = items[recordNumber];
    if (record.item) records.push_back(record);
  }
  SetAllCacheRecords(records, currentSegment);
  if (Notify()) {
    for (const TImgCacheRecord& r : GetAllCacheRecords(nullptr)) r.item->SetCacheIndex(r.sizeClass);
  }
}

void TCatalogImageCacheMaster::LoadCacheData(const std::vector<TCatalogItem*>& items) {
  if (Kind() != ickFile) return;
  const std::string path = IndexFileName();
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0) return;
  try {
    LoadIndexBytes(ReadWholeFile(path), items);
  } catch (const std::exception& e) {
    LogFailure("OstraImageCache", MemberRaisedText(ClassName(), "LoadCacheData", e), e);
    ClearAll();
    if (Notify()) {
      for (TCatalogItem* item : items) {
        if (item) item->SetCacheIndex(0);
      }
    }
    std::filesystem::remove(path, ec);
  }
}

std::string TCatalogImageCacheMaster::SerializeIndex(const std::vector<TCatalogItem*>& items) {
  std::unordered_map<const TCatalogItem*, int32_t> numbers;
  numbers.reserve(items.size());
  for (size_t n = 0; n < items.size(); ++n) {
    if (items[n]) numbers[items[n]] = static_cast<int32_t>(n);
  }
  int32_t currentSegment = 0;
  const TImgCacheRecords records = GetAllCacheRecords(&currentSegment);
  if (records.empty()) return {};
  std::string out(kCacheIndexSignature, 8);
  PutLe(out, kCacheIndexFormat, 4);
  PutLe(out, static_cast<uint32_t>(currentSegment), 4);
  PutLe(out, 0, 4);  // the count, patched below
  uint32_t written = 0;
  for (const TImgCacheRecord& r : records) {
    const auto found = numbers.find(r.item);
    if (found == numbers.end() || r.item->State() == cisDeleted) continue;
    PutLe(out, static_cast<uint32_t>(found->second), 4);
    PutLe(out, static_cast<uint32_t>(r.sizeClass), 4);
    PutLe(out, static_cast<uint32_t>(r.segment), 4);
    PutLe(out, static_cast<uint64_t>(r.offset), 8);
    ++written;
  }
  for (int i = 0; i < 4; ++i) out[kIndexHeaderSize + i] = static_cast<char>(written >> (8 * i));
  return out;
}

void TCatalogImageCacheMaster::SaveCacheData(const std::vector<TCatalogItem*>& items) {
  if (Kind() != ickFile) return;
  std::error_code ec;
  if (Folder().empty() || !std::filesystem::is_directory(Folder(), ec)) return;
  try {
    for (;;) {
      const uint64_t emptyings = emptyings_;
      const std::string index = SerializeIndex(items);
      std::lock_guard guard(indexFileLock_);
      if (emptyings != emptyings_) continue;  // a segment was emptied after the records were taken
      WriteFileAtomically(IndexFileName(), index);
      return;
    }
  } catch (const std::exception& e) {
    RaiseWrapped("SaveCacheData", e);
  }
}

bool TCatalogImageCacheMaster::AddCatalogImage(TCatalogItem* item, const Bitmap* bitmap, int32_t sizeClass) {
  const bool written = WriteCacheImage(item, bitmap, sizeClass);
  if (written && Notify()) item->SetCacheIndex(sizeClass);
  return written;
}

bool TCatalogImageCacheMaster::ReadCatalogImage(TCatalogItem* item, Bitmap* bitmap, int32_t* sizeClass) {
  if (!ReadCacheImage(item, bitmap, sizeClass)) return false;
  ApplyOrientation(*bitmap, item->Orientation());
  ApplyItemEffect(*bitmap, item->Color());
  return !bitmap->Empty();
}

bool TCatalogImageCacheMaster::DrawCatalogImage(TCatalogItem* item, int32_t sizeClass, int32_t cellWidth,
                                                int32_t cellHeight, Bitmap& image, TCatalogImagePlacement& placement) {
  if (!item || sizeClass == 0) return false;
  try {
    if (!ReadCatalogImage(item, &image, nullptr)) return false;
    const int32_t w = image.Width();
    const int32_t h = image.Height();
    const bool exactClass = (w == sizeClass && h <= sizeClass) || (h == sizeClass && w <= sizeClass);
    int32_t expectedW = item->DisplayWidth();
    int32_t expectedH = item->DisplayHeight();
    if (item->TrimmingInForce()) {
      const TTrimRect t = item->DisplayedTrimRect(expectedW, expectedH);
      expectedW = t.right - t.left;
      expectedH = t.bottom - t.top;
    }
    // A picture smaller than the size class is its own thumbnail: it is shown at its own size,
    // never blown up to the class.
    const TSize own{expectedW, expectedH};
    const bool small = own.cx > 0 && own.cy > 0 && own.cx <= sizeClass && own.cy <= sizeClass;
    const TSize expected = small ? own : FitInside(sizeClass, sizeClass, expectedW, expectedH);
    TSize shown{w, h};
    placement.stretch = !(exactClass || (expected.cx == w && expected.cy == h));
    if (placement.stretch) {
      shown = small && own.cx <= cellWidth && own.cy <= cellHeight ? own
                                                                    : FitInside(cellWidth + 1, cellHeight + 1, w, h);
    }
    placement.image.left = (cellWidth - shown.cx) / 2;
    placement.image.top = (cellHeight - shown.cy) / 2;
    placement.image.right = placement.image.left + shown.cx;
    placement.image.bottom = placement.image.top + shown.cy;
    placement.edge = {placement.image.left - 1, placement.image.top - 1, placement.image.right + 1,
                      placement.image.bottom + 1};
    return true;
  } catch (const std::exception& e) {
    RaiseWrapped("DrawCatalogImage", e);
  }
}

}  // namespace plb
