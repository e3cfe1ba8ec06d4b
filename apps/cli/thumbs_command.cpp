// plb thumbs: makes the thumbnails of every photo below the given folders in the engine's cache,
// the way the grid asks for them (all items, both stages, every core), and tells how many each
// stage made, how many the cache already held and how long it took.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/events/folder_master.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "engine/events/folder_update_master.h"
#include "engine/model/history_list.h"
#include "engine/ostra_engine.h"
#include "engine/workers/thread_master.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

constexpr uint32_t kPictureKinds = (1u << 0) | (1u << 1) | (1u << 5) | (1u << 6);

// The pictures of a folder and of every folder below it.
void CollectPictures(TFolder* root, std::vector<TCatalogItem*>& out) {
  std::vector<TCatalogItem*> items;
  CollectTreeItems(root, items);
  for (TCatalogItem* item : items) {
    if (kPictureKinds & (1u << item->Kind())) out.push_back(item);
  }
}

int32_t SizeOption(Args& args) {
  std::string text;
  if (!TakeOption(args, "--size", text)) return 160;
  try {
    const int size = std::stoi(text);
    if (size >= 16 && size <= 1024) return size;
  } catch (const std::exception&) {
  }
  throw UsageError{"--size takes a box size of 16 to 1024 pixels"};
}

// Signalled from the maker's thread when a stage has run dry.
struct StageWait {
  std::mutex lock;
  std::condition_variable changed;
  bool thumbsDone = false, sourceDone = false;
  std::chrono::steady_clock::time_point thumbsAt;
};

int RunThumbs(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  const int32_t size = SizeOption(args);
  if (args.empty()) throw UsageError{"no folder given"};

  InstallEngineImageCache();
  TOstraEngine engine;
  engine.Start();
  TCatalogImageCacheMaster* cache = CatalogCacheOf(engine.ImageCache());
  if (!cache) throw Error("the engine has no thumbnail cache");

  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  int status = 0;
  std::vector<TCatalogItem*> items;
  for (const std::string& path : args) {
    TFolder* folder = CatalogFolderOf(trees, path);
    if (!folder) {
      std::fprintf(stderr, "plb thumbs: %s: not a folder on a volume\n", path.c_str());
      status = 1;
      continue;
    }
    for (const TTreeScanError& e : ScanFolderTree(folder, table)) {
      std::fprintf(stderr, "plb thumbs: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
      status = 1;
    }
    CollectPictures(folder, items);
  }

  StageWait wait;
  const auto start = std::chrono::steady_clock::now();
  TCacheImageMaker maker(cache, size, true);
  maker.SetThumbsDone(
      [&wait](intptr_t) {
        std::lock_guard guard(wait.lock);
        wait.thumbsDone = true;
        wait.thumbsAt = std::chrono::steady_clock::now();
        wait.changed.notify_all();
      },
      0);
  maker.SetSourceDone(
      [&wait](intptr_t) {
        std::lock_guard guard(wait.lock);
        wait.sourceDone = true;
        wait.changed.notify_all();
      },
      0);
  maker.Start();
  if (!items.empty()) {
    maker.Request(items, size, items, true);
    std::unique_lock guard(wait.lock);
    wait.changed.wait(guard, [&wait] { return wait.sourceDone; });
  } else {
    wait.thumbsAt = start;
  }
  const auto end = std::chrono::steady_clock::now();
  maker.Stop();
  engine.Stop();

  const TCacheImageMaker::TStatistics s = maker.Statistics();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double thumbsSeconds = std::chrono::duration<double>(wait.thumbsAt - start).count();
  if (json) {
    std::printf(
        "{\"items\":%zu,\"size\":%d,\"thumbs_made\":%lld,\"source_made\":%lld,\"cached\":%lld,\"failed\":%lld,"
        "\"thumbs_seconds\":%.3f,\"seconds\":%.3f}\n",
        items.size(), size, static_cast<long long>(s.thumbsMade), static_cast<long long>(s.sourceMade),
        static_cast<long long>(s.alreadyCached), static_cast<long long>(s.failed), thumbsSeconds, seconds);
  } else {
    std::printf(
        "%zu items at %d pixels: %lld made from embedded thumbnails, %lld decoded from the images, %lld already "
        "cached, %lld failed; first stage %.3f s, all %.3f s\n",
        items.size(), size, static_cast<long long>(s.thumbsMade), static_cast<long long>(s.sourceMade),
        static_cast<long long>(s.alreadyCached), static_cast<long long>(s.failed), thumbsSeconds, seconds);
  }
  return status;
}

PLB_SUBCOMMAND("thumbs", "PATH... [--size N] [--json]", RunThumbs);

}  // namespace
}  // namespace plb::cli
