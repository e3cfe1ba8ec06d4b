#include "engine/store/thumbnail_cache_interface.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace plb {
namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

TImageCacheFactory& Factory() {
  static TImageCacheFactory factory;
  return factory;
}

}  // namespace

void SetImageCacheFactory(TImageCacheFactory factory) {
  std::lock_guard guard(FactoryLock());
  Factory() = std::move(factory);
}

std::unique_ptr<IImageCache> CreateImageCache() {
  TImageCacheFactory factory;
  {
    std::lock_guard guard(FactoryLock());
    factory = Factory();
  }
  return factory ? factory() : nullptr;
}

void DeleteOldCacheFiles(const std::string& dataFolder) {
  if (dataFolder.empty()) return;
  for (const char* name : {"Images_LL.che", "Images_L.che", "Images_M.che", "Images_S.che", "Images_SS.che"}) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(dataFolder) / name, ec);
  }
}

}  // namespace plb
