// plb ls: the items of one folder in the order of the catalog views.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/views/sorted_item_list.h"
#include "host/date_time.h"
#include "images/exif/exif_scanner.h"
#include "json_output.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

uint8_t SortKeyOf(const std::string& name) {
  if (name == "name") return skFileName;
  if (name == "modified") return skFileDate;
  if (name == "shot") return skShootingDate;
  if (name == "created") return skSequence;
  throw UsageError{"unknown sort order: " + name};
}

// The shooting date as the updater learns it: the EXIF date of JPEG and RAW files, otherwise the
// file's date.
void LearnShootingDate(TCatalogItem& item) {
  TItemImageInfo info;
  try {
    if (item.Kind() == fkJpeg) {
      uint32_t flags = kJpegInfoExif;
      TJpegInfoExRec jpeg;
      ReadJpegInfoFromFile(item.FullPath(), flags, jpeg);
      info = {static_cast<uint8_t>(jpeg.pixel_format), jpeg.width,        jpeg.height, jpeg.has_exif,
              static_cast<uint16_t>(jpeg.orientation), jpeg.shooting_date};
    } else if (item.Kind() == fkRaw) {
      TTiffInfoRec tiff;
      ReadTiffInfoFromFile(item.FullPath(), tiff);
      info = {kPixelFormat24Bit, tiff.width, tiff.height, tiff.has_exif_ifd, static_cast<uint16_t>(tiff.orientation),
              tiff.shooting_date};
    }
  } catch (const std::exception&) {
    info = {};  // an unreadable header leaves the file's date
  }
  item.ApplyImageInfo(info, true);
}

// Creation order: the files' birth times (their change times where the filesystem keeps none),
// as sequence numbers.
std::vector<std::pair<TCatalogItem*, uint16_t>> CreationSequence(const std::vector<TCatalogItem*>& items) {
  std::vector<std::pair<struct timespec, TCatalogItem*>> times;
  for (TCatalogItem* item : items) {
    struct statx stx {};
    struct timespec t {};
    if (::statx(AT_FDCWD, item->FullPath().c_str(), 0, STATX_BTIME | STATX_CTIME, &stx) == 0) {
      const auto& s = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_ctime;
      t = {static_cast<time_t>(s.tv_sec), static_cast<long>(s.tv_nsec)};
    }
    times.emplace_back(t, item);
  }
  std::stable_sort(times.begin(), times.end(), [](const auto& a, const auto& b) {
    return a.first.tv_sec != b.first.tv_sec ? a.first.tv_sec < b.first.tv_sec : a.first.tv_nsec < b.first.tv_nsec;
  });
  std::vector<std::pair<TCatalogItem*, uint16_t>> out;
  for (size_t i = 0; i < times.size(); ++i)
    out.emplace_back(times[i].second, static_cast<uint16_t>(std::min<size_t>(i, 65534)));
  return out;
}

std::string DateText(double date) {
  return FormatDateTime("yyyy:mm:dd hh:nn:ss", date);
}

struct Options {
  std::string folder;
  std::string sort = "name";
  bool descending = false;
  bool json = false;
};

void PrintItem(TCatalogItem* item, bool shot, bool json) {
  const TCatalogItemBlock b = item->Block();
  if (json) {
    JsonObject row;
    PutText(row, "name", item->FileName());
    row["kind"] = b.kind;
    row["size"] = item->FileSize();
    row["modified"] = DateText(b.fileDate);
    if (shot) row["shot"] = DateText(b.shootingDate);
    PrintJsonLine(row);
  } else {
    std::printf("%s  %d  %12llu  %s\n", DateText(shot ? b.shootingDate : b.fileDate).c_str(), b.kind,
                static_cast<unsigned long long>(item->FileSize()), item->FileName().c_str());
  }
}

int RunLs(const Options& o) {
  const uint8_t key = SortKeyOf(o.sort);
  SetUpFileKinds();
  TFolderTreeListEyeFi trees;
  TFolder* folder = CatalogFolderOf(trees, o.folder);
  if (!folder) {
    std::fprintf(stderr, "plb ls: %s: not a folder on a volume\n", o.folder.c_str());
    return 1;
  }
  folder->SearchFilesEx(nullptr);
  std::vector<TCatalogItem*> items;
  folder->GetItems(items);
  TOstraSortList list;
  if (key == skShootingDate) {
    for (TCatalogItem* item : items) LearnShootingDate(*item);
  }
  if (key == skSequence) {
    for (const auto& [item, sequence] : CreationSequence(items)) list.Add(item, 0, sequence);
  } else {
    for (TCatalogItem* item : items) list.Add(item);
  }
  list.SetOrder(key, !o.descending, false, false);
  for (TCatalogItem* item : list.Items()) PrintItem(item, key == skShootingDate, o.json);
  return 0;
}

Runner DefineLs(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FOLDER", o->folder, "the folder to list")->required();
  app.add_option("--sort", o->sort, "name (the default), shot, modified or created");
  app.add_flag("--desc", o->descending, "in descending order");
  app.add_flag("--json", o->json, "one JSON object per item");
  return [o] { return RunLs(*o); };
}

PLB_SUBCOMMAND("ls", "FOLDER [--sort name|shot|modified|created] [--desc] [--json]",
               "the items of one folder in the order of the catalog views", DefineLs);

}  // namespace
}  // namespace plb::cli
