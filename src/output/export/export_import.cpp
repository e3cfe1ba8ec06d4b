#include "output/export/export_import.h"

#include <map>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/album_utils.h"
#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/store/export_info_xml.h"

namespace plb {

namespace {

// The album path below its root: the recorded path starts with the root's own name.
std::string PathBelowRoot(const std::string& path) {
  std::vector<std::string> parts;
  TAlbumList::SeparateAlbumPathLines(path, parts);
  std::string below;
  for (size_t i = 1; i < parts.size(); ++i) below += (below.empty() ? "" : "\\") + parts[i];
  return below;
}

int RestoreFolder(TAlbumList& albums, TFolder* folder) {
  std::vector<TRelatedFolderRecord> records;
  LoadRelatedFolderRecords(folder->GetFullName(), &records, kRestoredAlbumTypes);
  int added = 0;
  if (!records.empty()) {
    std::vector<TCatalogItem*> items;
    folder->GetItems(items);
    std::map<std::string, TCatalogItem*> byName;
    for (TCatalogItem* item : items) byName[item->FileName()] = item;
    for (const TRelatedFolderRecord& record : records) {
      const auto found = byName.find(record.fileName);
      if (found == byName.end()) continue;
      const std::string below = PathBelowRoot(record.path);
      if (below.empty()) continue;  // a root is never a tag
      TAlbum* album = albums.GetAlbumFromPathEx(record.albumType, below, true);
      if (album && OstraAddItemToAlbum(album, found->second, 0, true, true)) ++added;
    }
  }
  std::vector<TCustomFolder*> children;
  folder->GetChildFolders(children);
  for (TCustomFolder* child : children) {
    if (auto* sub = dynamic_cast<TFolder*>(child)) added += RestoreFolder(albums, sub);
  }
  return added;
}

}  // namespace

int RestoreExportedTags(TAlbumList& albums, TFolder* folder) {
  return folder ? RestoreFolder(albums, folder) : 0;
}

}  // namespace plb
