#include "service/logs/library_description.h"

#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/flash_hints.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/ostra_engine.h"
#include "host/log_file.h"
#include "platform/special_folders.h"

namespace plb {
namespace {

// Deeper album trees are cut here: the report must not exhaust the stack on a damaged tree.
constexpr int kMaxAlbumDepth = 64;

// True when path is folder or lies below it.
bool InsideOrEqual(const std::string& path, const std::string& folder) {
  if (path.empty() || folder.empty()) return false;
  if (folder == "/") return true;
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

// Adds folder and everything below it; a folder counts when it is there and holds an item, its
// sub-folders are visited either way. Iterative: folder depth is the user's to choose.
void CountUpFolder(TFolder* top, const std::function<bool()>& may_go_on, TPLBFolderStatistics& stats) {
  std::vector<TFolder*> pending = {top};
  while (!pending.empty() && may_go_on()) {
    TFolder* folder = pending.back();
    pending.pop_back();
    if (!folder->Missing() && folder->ItemCount() > 0) {
      ++stats.dir_count;
      std::vector<TCatalogItem*> items;
      folder->GetItems(items);
      for (TCatalogItem* item : items)
        if (item->Kind() != fkSound) stats.AddPhoto(item->Width(), item->Height());
    }
    for (TFolder* child : folder->SubFolders()) pending.push_back(child);
  }
}

// The folder of path in the trees, looked up only (nothing is made); null when not there.
TFolder* LookUp(const std::vector<TFolder*>& roots, const std::string& path, TFolder** root_of) {
  TFolder* best = nullptr;
  std::string best_root;
  for (TFolder* root : roots) {
    const std::string root_path = root->RootPath();
    if (InsideOrEqual(path, root_path) && root_path.size() >= best_root.size()) {
      best = root;
      best_root = root_path;
    }
  }
  if (best == nullptr) return nullptr;
  *root_of = best;
  TFolder* folder = best;
  std::string rest = path.substr(best_root == "/" ? 1 : best_root.size());
  size_t start = 0;
  while (folder != nullptr && start < rest.size()) {
    size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) folder = folder->FindSubFolder(std::string_view(rest).substr(start, end - start));
    start = end + 1;
  }
  return folder;
}

void AddGroupPhotoCount(const TAlbum* album, TPLBTagNode& node, int depth) {
  node.name = album->GetName();
  node.photo_count = album->ItemCount();
  if (depth >= kMaxAlbumDepth) return;
  std::vector<TCustomFolder*> children;
  album->GetChildFolders(children);
  for (TCustomFolder* child : children) {
    const auto* child_album = dynamic_cast<const TAlbum*>(child);
    if (child_album == nullptr) continue;
    node.children.emplace_back();
    AddGroupPhotoCount(child_album, node.children.back(), depth + 1);
  }
}

}  // namespace

TPLBStandardFolders UserStandardFolders() {
  return {platform::SpecialFolderPath(platform::SpecialFolder::kDocuments),
          platform::SpecialFolderPath(platform::SpecialFolder::kPictures),
          platform::SpecialFolderPath(platform::SpecialFolder::kDesktop)};
}

void SetupFolderData(TFolderTreeList& folders, const TPLBStandardFolders& standard,
                     const std::function<bool()>& may_go_on, TPLBLibraryDescription& out) {
  try {
    out.default_position = {};
    out.under_system_dir_position = {};
    out.otherwise_position = {};
    std::vector<TFolder*> roots;
    folders.GetRoots(roots);
    TFolder* system_root = nullptr;
    for (TFolder* root : roots) {
      const bool system = system_root == nullptr && root->RootPath() == "/";
      if (system) system_root = root;
      CountUpFolder(root, may_go_on, system ? out.under_system_dir_position : out.otherwise_position);
    }
    // A folder equal to another counts as inside it, so that the same tree is never counted
    // twice into "default" (and taken twice from its position).
    const std::string& documents = standard.documents;
    const std::string& pictures = standard.pictures;
    const std::string& desktop = standard.desktop;
    const bool keep_documents = !InsideOrEqual(documents, pictures) && !InsideOrEqual(documents, desktop);
    const bool keep_pictures = !(keep_documents && InsideOrEqual(pictures, documents)) &&
                               !InsideOrEqual(pictures, desktop);
    const bool keep_desktop = !(keep_documents && InsideOrEqual(desktop, documents)) &&
                              !(keep_pictures && InsideOrEqual(desktop, pictures));
    const std::pair<const std::string*, bool> kept[] = {
        {&documents, keep_documents}, {&pictures, keep_pictures}, {&desktop, keep_desktop}};
    for (const auto& [path, keep] : kept) {
      if (!keep || path->empty() || !may_go_on()) continue;
      TFolder* root = nullptr;
      TFolder* folder = LookUp(roots, *path, &root);
      if (folder == nullptr) continue;
      TPLBFolderStatistics stats;
      CountUpFolder(folder, may_go_on, stats);
      out.default_position.Add(stats);
      (root == system_root ? out.under_system_dir_position : out.otherwise_position).Add(stats, -1);
    }
  } catch (const std::exception& e) {
    LogFailure("TPLBLogSaver.SetupFolderData", e);
  }
}

void SetupGroupData(const TAlbumList& albums, TPLBLibraryDescription& out) {
  try {
    out.has_tag_group = false;
    out.tag_group = {};
    const TAlbum* group = albums.Root(atTag);
    if (group == nullptr) return;
    AddGroupPhotoCount(group, out.tag_group, 0);
    out.has_tag_group = true;
  } catch (const std::exception& e) {
    LogFailure("TPLBLogSaver.SetupGroupData", e);
  }
}

void SetupHintData(const TFlashHintItems& hints, TPLBLibraryDescription& out) {
  try {
    out.hints.clear();
    for (int i = 0; i < hints.Count(); ++i) {
      const TFlashHintItem* hint = hints.At(i);
      if (hint == nullptr) continue;
      const TFlashHintValues values = hint->Values();
      out.hints.push_back({values.Id, values.Flag != 0, values.FirstShown, values.LastShown});
    }
  } catch (const std::exception& e) {
    LogFailure("TPLBLogSaver.SetupHintData", e);
  }
}

TPLBLibraryDescription DescribeLibrary(TOstraEngine& engine, uint64_t cache_bytes,
                                       const std::function<bool()>& may_go_on) {
  TPLBLibraryDescription library;
  library.cache_bytes = cache_bytes;
  if (engine.Folders() != nullptr) SetupFolderData(*engine.Folders(), UserStandardFolders(), may_go_on, library);
  if (engine.Albums() != nullptr) SetupGroupData(*engine.Albums(), library);
  if (engine.Hints() != nullptr) SetupHintData(*engine.Hints(), library);
  return library;
}

}  // namespace plb
