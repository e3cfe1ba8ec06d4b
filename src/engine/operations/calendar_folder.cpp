#include "engine/operations/calendar_folder.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <vector>

#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"

namespace plb {

TFolder* RegisterCalendarFolder(TFolderTreeList& trees, const std::string& path, bool withSubFolders) {
  if (path.empty()) return nullptr;
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return nullptr;
  struct stat st {};
  if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  TFolder* folder = trees.FolderOf(resolved);
  if (!folder) return nullptr;
  folder->SetCalendarMode(1);
  if (withSubFolders) {
    folder->ScanSubFolders(nullptr);
    std::vector<TFolder*> pending = folder->SubFolders();
    while (!pending.empty()) {
      TFolder* sub = pending.back();
      pending.pop_back();
      sub->SetCalendarMode(1);
      sub->ScanSubFolders(nullptr);
      for (TFolder* child : sub->SubFolders()) pending.push_back(child);
    }
  }
  return folder;
}

}  // namespace plb
