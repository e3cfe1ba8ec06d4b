// plb thumbs: makes the thumbnails of every photo below the given folders in the engine's cache,
// the way the grid asks for them (all items, both stages, every core), and tells how many each
// stage made, how many the cache already held and how long it took.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <memory>
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
#include "json_output.h"
#include "number_options.h"
#include "platform/error.h"
#include "progress_line.h"
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

// Signalled from the maker's thread when a stage has run dry.
struct StageWait {
  std::mutex lock;
  std::condition_variable changed;
  bool thumbsDone = false, sourceDone = false;
  std::chrono::steady_clock::time_point thumbsAt;
};

struct Options {
  std::vector<std::string> paths;
  int32_t size = 160;
  bool json = false;
};

// The pictures below the folders; answers false when a folder could not be read.
bool GatherPictures(const std::vector<std::string>& paths, TFolderTreeListEyeFi& trees,
                    std::vector<TCatalogItem*>& items) {
  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  bool complete = true;
  for (const std::string& path : paths) {
    TFolder* folder = CatalogFolderOf(trees, path);
    if (!folder) {
      std::fprintf(stderr, "plb thumbs: %s: not a folder on a volume\n", path.c_str());
      complete = false;
      continue;
    }
    for (const TTreeScanError& e : ScanFolderTree(folder, table)) {
      std::fprintf(stderr, "plb thumbs: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
      complete = false;
    }
    CollectPictures(folder, items);
  }
  return complete;
}

std::string StageText(size_t items, const TCacheImageMaker::TStatistics& s) {
  return std::to_string(items) + " items: " + std::to_string(s.thumbsMade) + " from embedded thumbnails, " +
         std::to_string(s.sourceMade) + " decoded, " + std::to_string(s.alreadyCached) + " cached, " +
         std::to_string(s.failed) + " failed";
}

// Asks for every thumbnail and waits until both stages ran dry; answers when the first did. The
// maker signals into wait until it is stopped.
std::chrono::steady_clock::time_point MakeThumbnails(TCacheImageMaker& maker, StageWait& wait,
                                                     const std::vector<TCatalogItem*>& items, int32_t size) {
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
  if (items.empty()) return std::chrono::steady_clock::now();
  ProgressLine progress("thumbs");
  maker.Request(items, size, items, true);
  std::unique_lock guard(wait.lock);
  while (!wait.changed.wait_for(guard, std::chrono::milliseconds(100), [&wait] { return wait.sourceDone; })) {
    progress.Show(StageText(items.size(), maker.Statistics()));
  }
  return wait.thumbsAt;
}

int RunThumbs(const Options& o) {
  if (o.paths.empty()) throw UsageError{"no folder given"};
  InstallEngineImageCache();
  TOstraEngine engine;
  engine.Start();
  TCatalogImageCacheMaster* cache = CatalogCacheOf(engine.ImageCache());
  if (!cache) throw Error("the engine has no thumbnail cache");

  TFolderTreeListEyeFi trees;
  std::vector<TCatalogItem*> items;
  const int status = GatherPictures(o.paths, trees, items) ? 0 : 1;

  StageWait wait;
  const auto start = std::chrono::steady_clock::now();
  TCacheImageMaker maker(cache, o.size, true);
  const auto thumbsAt = MakeThumbnails(maker, wait, items, o.size);
  const auto end = std::chrono::steady_clock::now();
  maker.Stop();
  engine.Stop();

  const TCacheImageMaker::TStatistics s = maker.Statistics();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double thumbsSeconds = items.empty() ? 0 : std::chrono::duration<double>(thumbsAt - start).count();
  if (o.json) {
    // Times to the millisecond, as the text form gives them.
    const auto ms = [](double t) { return std::round(t * 1000) / 1000; };
    PrintJsonLine({{"items", items.size()},
                   {"size", o.size},
                   {"thumbs_made", s.thumbsMade},
                   {"source_made", s.sourceMade},
                   {"cached", s.alreadyCached},
                   {"failed", s.failed},
                   {"thumbs_seconds", ms(thumbsSeconds)},
                   {"seconds", ms(seconds)}});
  } else {
    std::printf(
        "%zu items at %d pixels: %lld made from embedded thumbnails, %lld decoded from the images, %lld already "
        "cached, %lld failed; first stage %.3f s, all %.3f s\n",
        items.size(), o.size, static_cast<long long>(s.thumbsMade), static_cast<long long>(s.sourceMade),
        static_cast<long long>(s.alreadyCached), static_cast<long long>(s.failed), thumbsSeconds, seconds);
  }
  return status;
}

Runner DefineThumbs(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("PATH", o->paths, "folders; their sub-folders too");
  AddThumbnailSizeOption(app, o->size);
  app.add_flag("--json", o->json, "the counts as one JSON object");
  return [o] { return RunThumbs(*o); };
}

PLB_SUBCOMMAND("thumbs", "PATH... [--size N] [--json]",
               "make the thumbnails of every photo below the folders in the engine's cache, and count them",
               DefineThumbs);

}  // namespace
}  // namespace plb::cli
