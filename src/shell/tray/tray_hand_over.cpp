#include "shell/tray/tray_hand_over.h"

#include <exception>
#include <filesystem>
#include <mutex>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/log_file.h"
#include "service/commands/local_param_file.h"
#include "shell/tray/frame_tray.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

// The catalog item of a file, its folder added to the tree and read when the file is new to it.
TCatalogItem* CatalogItemOf(TFolderTreeList& folders, const std::string& path) {
  const fs::path file(path);
  TFolder* folder = folders.FolderOf(file.parent_path().string());
  if (!folder) return nullptr;
  const std::string name = file.filename().string();
  TCatalogItem* item = folder->FindItem(name);
  if (!item || item->State() == cisDeleted) {
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
    item = folder->FindItem(name);
  }
  return item && item->State() != cisDeleted ? item : nullptr;
}

}  // namespace

TTrayHandOver TakeLocalParamFile(const std::string& path, TFolderTreeList& folders, TFrameTray& tray) {
  TTrayHandOver out;
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(path, ec)) return out;
  try {
    TLocalParamFile file;
    file.Load(path);
    if (!file.IsHandOverDocument()) throw Error("Unknown XMLData");
    out.target_directory = file.GetTargetDirectory();
    std::vector<TCatalogItem*> items;
    std::vector<int> orientations;
    file.ListupSourceItems([&](const std::string& photo, int orientation) {
      TCatalogItem* item = CatalogItemOf(folders, photo);
      if (!item) return false;
      items.push_back(item);
      orientations.push_back(orientation);
      return true;
    });
    if (!items.empty() && tray.AddToTray(items, nullptr)) {
      // The other program's turn of each photo goes with it to the service.
      TAlbum* album = tray.TrayAlbum();
      for (size_t i = 0; i < items.size(); ++i) {
        TAlbumItem* entry = album->FindEntry(items[i]);
        if (!entry) continue;
        std::lock_guard guard(album->Lock());
        entry->Orientation = orientations[i];
        ++out.photos;
      }
    }
    tray.SetLocalParams(file.GetBGMFilePath());
    tray.LoadLocalParamData(path);
  } catch (const std::exception& e) {
    LogFailure("CheckLocalParamFileEx", e);
  }
  DeleteHandOverDocument(path);
  return out;
}

}  // namespace plb::shell
