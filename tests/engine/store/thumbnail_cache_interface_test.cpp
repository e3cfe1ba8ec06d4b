// The engine opens the thumbnail cache through the factory the images layer registers: kind,
// data folder and the configured size in 64 bits, with the old cache files removed; at stop it
// flushes the index; without a factory it runs without a cache.
#include "engine/store/thumbnail_cache_interface.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/model/album_list.h"
#include "engine/events/folder_master.h"
#include "engine/events/folder_update_master.h"
#include "engine/model/history_list.h"
#include "engine/ostra_engine.h"
#include "engine/workers/thread_master.h"
#include "host/plumora_config_item.h"
#include "support/test_env.h"

namespace plb {
namespace {

struct Calls {
  int kind = -1;
  std::string folder;
  int64_t maxSize = 0;
  int flushes = 0;
};

class RecordingCache : public IImageCache {
 public:
  explicit RecordingCache(Calls& calls) : calls_(calls) {}
  void Open(int kind, const std::string& folder, int64_t maxSize) override {
    calls_.kind = kind;
    calls_.folder = folder;
    calls_.maxSize = maxSize;
  }
  void Load(const std::vector<TCatalogItem*>&) override {}
  void Flush(const std::vector<TCatalogItem*>&) override { ++calls_.flushes; }

 private:
  Calls& calls_;
};

TEST(EngineImageCache, TheEngineOpensTheRegisteredCacheAndFlushesItAtStop) {
  {
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    config.SetCacheKind(1);
    config.SetCacheMaxSizeMB(4000);  // 4194304000 bytes: beyond 32 bits
    config.SaveToRegistry();
  }
  Calls calls;
  SetImageCacheFactory([&calls] { return std::make_unique<RecordingCache>(calls); });
  TOstraEngine engine;
  engine.Start();
  const std::string data = engine.Config().DataFolder();
  ASSERT_NE(engine.ImageCache(), nullptr);
  EXPECT_EQ(calls.kind, 1);
  EXPECT_EQ(calls.folder, data);
  EXPECT_EQ(calls.maxSize, int64_t{4000} * 1048576);
  engine.Stop();
  EXPECT_EQ(calls.flushes, 1);

  // The old cache files go at the next start; other files stay.
  for (const char* name :
       {"Images_LL.che", "Images_L.che", "Images_M.che", "Images_S.che", "Images_SS.che", "Cache-00.che"}) {
    std::ofstream(data + "/" + name) << "old";
  }
  SetImageCacheFactory(nullptr);
  TOstraEngine bare;
  bare.Start();
  EXPECT_EQ(bare.ImageCache(), nullptr);
  for (const char* name : {"Images_LL.che", "Images_L.che", "Images_M.che", "Images_S.che", "Images_SS.che"}) {
    EXPECT_FALSE(std::filesystem::exists(data + "/" + name)) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(data + "/Cache-00.che"));
  bare.Stop();
}

}  // namespace
}  // namespace plb
