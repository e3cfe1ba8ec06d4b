#pragma once
// The catalog engine's thumbnail cache: a TCatalogImageCacheMaster behind the engine's
// IImageCache, registered by InstallEngineImageCache before the engine starts.
#include "engine/store/thumbnail_cache_interface.h"
#include "images/thumbnails/catalog_thumbnail_store.h"

namespace plb {

class TEngineImageCache : public IImageCache {
 public:
  // Errors are raised as the cache's own and logged by the engine's start step.
  void Open(int kind, const std::string& folder, int64_t maxSize) override;
  void Load(const std::vector<TCatalogItem*>& items) override { master_.LoadCacheData(items); }
  void Flush(const std::vector<TCatalogItem*>& items) override { master_.SaveCacheData(items); }
  TCatalogImageCacheMaster& Master() { return master_; }

 private:
  TCatalogImageCacheMaster master_;
};

// Registers the factory the engine start calls.
void InstallEngineImageCache();
// The catalog cache behind the engine's cache, or null.
TCatalogImageCacheMaster* CatalogCacheOf(IImageCache* cache);

}  // namespace plb
