#include "images/thumbnails/engine_thumbnail_cache.h"

namespace plb {

void TEngineImageCache::Open(int kind, const std::string& folder, int64_t maxSize) {
  master_.InitializeCatalog(kind, folder, true, maxSize);
}

void InstallEngineImageCache() {
  SetImageCacheFactory([] { return std::make_unique<TEngineImageCache>(); });
}

TCatalogImageCacheMaster* CatalogCacheOf(IImageCache* cache) {
  auto* engineCache = dynamic_cast<TEngineImageCache*>(cache);
  return engineCache ? &engineCache->Master() : nullptr;
}

}  // namespace plb
