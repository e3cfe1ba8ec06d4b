#include "photo_items.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "images/codec/image_load.h"
#include "platform/error.h"

namespace plb::cli {

PhotoItems::PhotoItems(EngineSession& session) : session_(session) {
  table_.Build(kCatalogKinds);
  InstallCatalogImageReader();
}

TCatalogItem* PhotoItems::Find(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (!::realpath(path.c_str(), resolved) || ::stat(resolved, &st) != 0) throw Error(path + ": no such file");
  if (!S_ISREG(st.st_mode)) throw Error(path + ": not a file");
  const std::string full = resolved;
  const std::string dir = full.substr(0, full.rfind('/'));
  const std::string name = full.substr(full.rfind('/') + 1);
  if (TFolder* folder = session_.Folders().FindFolderOf(dir); folder && folder->GetFullName() == dir) {
    TCatalogItem* item = folder->FindItem(name);
    if (item && item->State() != cisDeleted) return item;
  }
  TFolder*& scratch = scanned_[dir];
  if (!scratch) {
    scratch = scratch_.FolderOf(dir);
    if (!scratch) throw Error(path + ": lies on no volume");
    scratch->SearchFiles(&table_, nullptr);
  }
  TCatalogItem* item = scratch->FindItem(name);
  if (!item) throw Error(path + ": not a picture type the catalog knows");
  // Its orientation and size, as the updater would have read them for a catalog item.
  item->ReadDimensions();
  return item;
}

}  // namespace plb::cli
