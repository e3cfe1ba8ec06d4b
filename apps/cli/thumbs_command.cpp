// plb thumbs: makes the thumbnails of every photo below the given folders the way the grid asks for
// them (all items, both stages, every core), and tells how many each stage made, how many the cache
// already held and how long it took. Folders in the catalog use its items and its lasting cache,
// whose index the catalog's save then writes: a second run finds them cached. Other folders are
// scanned into a private tree whose thumbnails live in memory only, for no index could ever name
// them.
#include <chrono>
#include <limits.h>
#include <stdlib.h>

#include <cmath>
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
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "engine_session.h"
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
    if (item->State() != cisDeleted && (kPictureKinds & (1u << item->Kind()))) out.push_back(item);
  }
}

// The catalog's pictures below path when the catalog holds that very folder with some in it.
bool CataloguedPictures(EngineSession& session, const std::string& path, std::vector<TCatalogItem*>& out) {
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return false;
  TFolder* folder = session.Folders().FindFolderOf(resolved);
  if (!folder || folder->GetFullName() != resolved) return false;
  const size_t before = out.size();
  CollectPictures(folder, out);
  return out.size() > before;
}

// Set on the UI thread when a stage has run dry.
struct StageWait {
  std::mutex lock;
  bool thumbsDone = false, sourceDone = false;
  std::chrono::steady_clock::time_point thumbsAt;
};

struct Options {
  std::vector<std::string> paths;
  int32_t size = 160;
  bool json = false;
};

// The pictures below the folders: the catalog's where it has them (catalogued), the others from
// a scan into trees (scanned). Answers false when a folder could not be read.
bool GatherPictures(EngineSession& session, const std::vector<std::string>& paths, TFolderTreeListEyeFi& trees,
                    std::vector<TCatalogItem*>& catalogued, std::vector<TCatalogItem*>& scanned) {
  TExtItems table;
  table.Build(kCatalogKinds);
  bool complete = true;
  for (const std::string& path : paths) {
    if (CataloguedPictures(session, path, catalogued)) continue;
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
    CollectPictures(folder, scanned);
  }
  return complete;
}

std::string StageText(size_t items, const TCacheImageMaker::TStatistics& s) {
  return std::to_string(items) + " items: " + std::to_string(s.thumbsMade) + " from embedded thumbnails, " +
         std::to_string(s.sourceMade) + " decoded, " + std::to_string(s.alreadyCached) + " cached, " +
         std::to_string(s.failed) + " failed";
}

// Asks for every thumbnail and waits until both stages ran dry; answers when the first did. The
// maker signals into wait, through the session's UI queue, until it is stopped.
std::chrono::steady_clock::time_point MakeThumbnails(EngineSession& session, TCacheImageMaker& maker, StageWait& wait,
                                                     const std::vector<TCatalogItem*>& items, int32_t size) {
  maker.SetThumbsDone(
      [&wait](intptr_t) {
        std::lock_guard guard(wait.lock);
        wait.thumbsDone = true;
        wait.thumbsAt = std::chrono::steady_clock::now();
      },
      0);
  maker.SetSourceDone(
      [&wait](intptr_t) {
        std::lock_guard guard(wait.lock);
        wait.sourceDone = true;
      },
      0);
  maker.Start();
  if (items.empty()) return std::chrono::steady_clock::now();
  ProgressLine progress("thumbs");
  maker.Request(items, size, items, true);
  for (;;) {
    // The maker reports on the UI thread, which this one is: its reports arrive while pumping.
    session.Pump(100);
    std::lock_guard guard(wait.lock);
    if (wait.sourceDone) return wait.thumbsAt;
    progress.Show(StageText(items.size(), maker.Statistics()));
  }
}

TCacheImageMaker::TStatistics operator+(const TCacheImageMaker::TStatistics& a,
                                        const TCacheImageMaker::TStatistics& b) {
  return {a.thumbsMade + b.thumbsMade, a.sourceMade + b.sourceMade, a.alreadyCached + b.alreadyCached,
          a.failed + b.failed};
}

// Makes the items' thumbnails in cache; the statistics, and when the first stage ran dry.
TCacheImageMaker::TStatistics MakeInCache(EngineSession& session, TCatalogImageCacheMaster* cache, const std::vector<TCatalogItem*>& items,
                                          int32_t size, std::chrono::steady_clock::time_point& thumbsAt) {
  if (items.empty()) return {};
  StageWait wait;
  TCacheImageMaker maker(cache, size, true);
  thumbsAt = MakeThumbnails(session, maker, wait, items, size);
  maker.Stop();
  return maker.Statistics();
}

int RunThumbs(const Options& o) {
  if (o.paths.empty()) throw UsageError{"no folder given"};
  EngineSession session("thumbs", false);
  TCatalogImageCacheMaster* cache = CatalogCacheOf(session.Engine().ImageCache());
  if (!cache) throw Error("the engine has no thumbnail cache");

  TFolderTreeListEyeFi trees;
  std::vector<TCatalogItem*> catalogued, scanned;
  const int status = GatherPictures(session, o.paths, trees, catalogued, scanned) ? 0 : 1;
  TCatalogImageCacheMaster privateCache;
  privateCache.InitializeCatalog(ickMemory, "", true, kDefaultCacheMaxSize);
  const size_t itemCount = catalogued.size() + scanned.size();

  const auto start = std::chrono::steady_clock::now();
  auto thumbsAt = start, scannedThumbsAt = start;
  const TCacheImageMaker::TStatistics s =
      MakeInCache(session, cache, catalogued, o.size, thumbsAt) +
      MakeInCache(session, &privateCache, scanned, o.size, scannedThumbsAt);
  const auto end = std::chrono::steady_clock::now();
  // The catalog's save writes the cache's index with the items it saves.
  session.Close();

  const double seconds = std::chrono::duration<double>(end - start).count();
  const double thumbsSeconds =
      itemCount == 0 ? 0 : std::chrono::duration<double>(std::max(thumbsAt, scannedThumbsAt) - start).count();
  if (o.json) {
    // Times to the millisecond, as the text form gives them.
    const auto ms = [](double t) { return std::round(t * 1000) / 1000; };
    PrintJsonLine({{"items", itemCount},
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
        itemCount, o.size, static_cast<long long>(s.thumbsMade), static_cast<long long>(s.sourceMade),
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
