#pragma once
// The engine's view of the thumbnail cache. The cache itself lives in the images layer above
// the engine, which registers a factory; the engine opens it at start and flushes it at stop
// through this interface only. Without a registered factory the engine runs without a cache.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plb {

class TCatalogItem;

class IImageCache {
 public:
  virtual ~IImageCache() = default;
  // kind 0 memory, 1 file; maxSize in bytes.
  virtual void Open(int kind, const std::string& folder, int64_t maxSize) = 0;
  // Reads the index; items[n] is the item of record number n.
  virtual void Load(const std::vector<TCatalogItem*>& items) = 0;
  // Writes the index for the items just saved (position = record number).
  virtual void Flush(const std::vector<TCatalogItem*>& items) = 0;
};

using TImageCacheFactory = std::function<std::unique_ptr<IImageCache>()>;
void SetImageCacheFactory(TImageCacheFactory factory);
// A new cache from the registered factory, or null when none is registered.
std::unique_ptr<IImageCache> CreateImageCache();

// The thumbnail-cache files of earlier versions, deleted from the data folder at engine start.
void DeleteOldCacheFiles(const std::string& dataFolder);

}  // namespace plb
