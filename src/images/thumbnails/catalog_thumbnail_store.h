#pragma once
// The catalog's thumbnail cache: the generational store linked to catalog items, with the index
// file "Cache.qdb" that lets a file-kind cache survive a restart. With the notify flag, every
// item keeps the size class of its cached thumbnail (0 once it has none) in step with the cache.
// Thumbnails are stored unrotated and without effects; reading applies both, so turning a photo
// or changing its colours never invalidates its thumbnail.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "images/thumbnails/thumbnail_store.h"

namespace plb {

PLB_DECLARE_ERROR(ECatalogImageCacheMasterError, Error);

constexpr char kCacheIndexFileName[] = "Cache.qdb";
constexpr char kCacheIndexSignature[] = "CIC_Head";
constexpr uint32_t kCacheIndexFormat = 4097;

// Where DrawCatalogImage puts a thumbnail inside a cell: unscaled and centred, or stretched into
// the fitted rectangle (the caller paints it smoothly and draws the sunken edge around it).
struct TCatalogImagePlacement {
  TRect image;           // the image's rectangle in cell coordinates
  bool stretch = false;  // false: copy the bitmap 1:1
  TRect edge;            // one pixel outside the image
};

class TCatalogImageCacheMaster : public TImageCacheMaster {
 public:
  const char* ClassName() const override { return "TCatalogImageCacheMaster"; }

  // The memory kind also deletes an index left in the folder by an earlier file-kind cache.
  void InitializeCatalog(int kind, const std::string& folder, bool notify, int64_t maxSize);

  // Reads the index (file kind only): items[n] is the item of record number n. A damaged index
  // empties the cache and is deleted; the cache then starts empty instead of failing the start.
  void LoadCacheData(const std::vector<TCatalogItem*>& items);
  // Writes the index (file kind only, when the folder exists), atomically. items is the list the
  // engine data were just written with (position = record number): only those items are
  // indexed, so a record number never points at another item at the next start. Segments are
  // only appended to between saves; before one is emptied the index on disk is deleted, so after
  // a crash no saved record can point at the place of another photo's thumbnail.
  void SaveCacheData(const std::vector<TCatalogItem*>& items);

  bool AddCatalogImage(TCatalogItem* item, const Bitmap* bitmap, int32_t sizeClass);
  // The thumbnail as the grid shows it: the item's orientation and effects applied.
  bool ReadCatalogImage(TCatalogItem* item, Bitmap* bitmap, int32_t* sizeClass);
  // Reads the thumbnail (oriented, with effects) and places it in a cell of the given size. False
  // for an absent item, a size class of 0, or no thumbnail.
  bool DrawCatalogImage(TCatalogItem* item, int32_t sizeClass, int32_t cellWidth, int32_t cellHeight, Bitmap& image,
                        TCatalogImagePlacement& placement);

  std::string IndexFileName() const;

 protected:
  void ItemsEvicted(const std::vector<TCatalogItem*>& items) override;
  void BeforeSegmentsEmptied() override;
  void RaiseError(const std::string& message) const override;

 private:
  std::string SerializeIndex(const std::vector<TCatalogItem*>& items);
  void LoadIndexBytes(const std::vector<uint8_t>& bytes, const std::vector<TCatalogItem*>& items);

  // Held while the index file is written or deleted; emptyings counts the segments emptied, so
  // that a save whose records were taken before one writes them again.
  std::mutex indexFileLock_;
  std::atomic<uint64_t> emptyings_{0};
};

}  // namespace plb
