// Engine data files at catalog scale: a synthetic catalog saved through the engine's own writer,
// and read back in a fresh process, with the resident memory the loaded catalog takes.
//
//   engine_data_bench save DIR [FOLDERS ITEMS_PER_FOLDER]   (default 10000 x 100)
//   engine_data_bench load DIR
//
// Each prints one line of "key value" pairs; bench/engine_data_bench.sh runs cat on the same file
// beside them and reports the ratios.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_measure.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/store/engine_data_files.h"
#include "engine/model/flash_hints.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "host/date_time.h"

namespace {

using bench::Clock;
using bench::Millis;
using bench::ResidentBytes;

struct Model {
  plb::TFolderTreeListEyeFi folders;
  plb::TAlbumList albums;
  plb::TCalendarRoot calendar;
  plb::THistoryList history{plb::kEngineHistoryCapacity};
  plb::TFlashHintItems hints;

  plb::TEngineDataParts Parts(const std::string& dir) {
    plb::TEngineDataParts parts;
    parts.folder = dir;
    parts.folders = &folders;
    parts.albums = &albums;
    parts.calendar = &calendar;
    parts.history = &history;
    parts.hints = &hints;
    return parts;
  }
};

// Folders of photos as a camera names them, each with a shooting date; every hundredth photo
// tagged, so the album file has entries to resolve.
void MakeCatalog(Model& m, const std::string& photos, int folders, int perFolder) {
  plb::TAlbum* tag = m.albums.GetAlbumFromPathEx(plb::atTag, "bench", true);
  const double firstDay = plb::EncodeDate(2015, 1, 1);
  for (int f = 0; f < folders; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "/%03d/F%05d", f / 100, f);
    plb::TFolder* folder = m.folders.FolderOf(photos + name);
    if (!folder) {
      std::fprintf(stderr, "no catalog folder for %s\n", (photos + name).c_str());
      std::exit(1);
    }
    folder->SetCalendarMode(1);
    for (int i = 0; i < perFolder; ++i) {
      std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
      plb::TCatalogItem* item = folder->FindOrCreateItem(name);
      plb::TCatalogItemBlock block = item->Block();
      block.kind = 1;
      block.width = 6000;
      block.height = 4000;
      block.fileSize = 5000000 + i;
      block.fileDate = firstDay + f * 0.3 + i * 0.001;
      block.shootingDate = block.fileDate;
      block.dateKnown = 1;
      item->SetBlock(block);
      if (i % 100 == 0) tag->AddItem(item, 0);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_data_bench save|load DIR [FOLDERS ITEMS_PER_FOLDER]\n");
    return 2;
  }
  const std::string mode = argv[1], dir = argv[2];
  std::filesystem::create_directories(dir);
  if (mode == "save") {
    const int folders = argc > 3 ? std::atoi(argv[3]) : 10000;
    const int perFolder = argc > 4 ? std::atoi(argv[4]) : 100;
    Model m;
    MakeCatalog(m, std::filesystem::absolute(dir).string() + "/photos", folders, perFolder);
    plb::TEngineDataFiles files(m.Parts(dir));
    const auto start = Clock::now();
    files.SaveAll();
    const double ms = Millis(Clock::now() - start);
    std::printf("items %d save_ms %.1f file_bytes %ju\n", m.folders.TotalItems(), ms,
                static_cast<uintmax_t>(std::filesystem::file_size(files.TreeFile())));
    return 0;
  }
  if (mode == "load") {
    const long before = ResidentBytes();
    Model m;
    plb::TEngineDataFiles files(m.Parts(dir));
    const auto start = Clock::now();
    files.LoadAll();
    const double ms = Millis(Clock::now() - start);
    const long after = ResidentBytes();
    const int items = m.folders.TotalItems();
    std::printf("items %d load_ms %.1f bytes_per_item %.0f item_object_bytes %zu\n", items, ms,
                items > 0 ? static_cast<double>(after - before) / items : 0.0, sizeof(plb::TCatalogItem));
    return items > 0 ? 0 : 1;
  }
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
