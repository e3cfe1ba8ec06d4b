#include "shell/grid/catalog_folder_items.h"

#include "engine/model/custom_folder.h"

namespace plb::shell {

bool IsAlbumKind(uint8_t kind) {
  return FolderClassOfKind(kind) == kFolderClassAlbum;
}

bool IsCalendarGroup(uint8_t kind) {
  return kind >= kKindCalendarMonth && kind <= kKindCalendarRoot;
}

void CollectItems(const TCustomFolder& folder, std::vector<TCatalogItem*>& out) {
  if (!IsCalendarGroup(folder.Kind())) {
    folder.GetItems(out);
    return;
  }
  std::vector<TCustomFolder*> children;
  folder.GetChildFolders(children);
  for (const TCustomFolder* child : children) CollectItems(*child, out);
}

QString FolderDisplayName(const TCustomFolder& folder) {
  return Utf8(folder.GetName());
}

}  // namespace plb::shell
