#include "catalog_items.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/error.h"

namespace plb::cli {

TCatalogItem* RequireCatalogItem(EngineSession& session, const std::string& path) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (!::realpath(path.c_str(), resolved) || ::stat(resolved, &st) != 0) throw Error(path + ": no such file");
  if (S_ISDIR(st.st_mode)) throw Error(path + ": a folder, not a file");
  const std::filesystem::path file(resolved);
  TFolder* folder = session.Folders().FindFolderOf(file.parent_path().string());
  TCatalogItem* item = nullptr;
  if (folder && folder->GetFullName() == file.parent_path().string()) item = folder->FindItem(file.filename().string());
  if (!item || item->State() == cisDeleted) {
    throw Error(path + ": not in the catalog (add its folder with plb add)");
  }
  return item;
}

}  // namespace plb::cli
