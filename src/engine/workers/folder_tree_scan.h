#pragma once
// A whole subtree scanned at once, as a full pass of the background updater does it: each
// folder's files of the table's kinds, then its sub-folders; a sub-folder found gone is removed
// from the tree. A folder that cannot be listed is reported and left as it was.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/model/file_kinds.h"

namespace plb {

class TCatalogItem;
class TFolder;

struct TTreeScanError {
  std::string path;
  std::string className;
  std::string message;
};

// The one rule of every pass that fills the calendar (plb add, the updater): a folder whose name
// starts with a dot hides itself and everything below it, unless hidden folders are included or
// the folder was registered by name (a calendar mode of its own of 1). A tree's root is never
// hidden by its name.
bool HiddenFromPasses(const TFolder* folder, bool parentHidden, bool includeHidden);

// Scans folder and every folder below it; answers the folders that could not be scanned. Without
// includeHidden, a sub-folder that HiddenFromPasses hides is listed but not looked into, as the
// background updater does, so a registered home folder never brings ~/.cache into the catalog.
// folderDone, when set, is called on the calling thread after each folder was listed (a long
// scan can show how far it got).
std::vector<TTreeScanError> ScanFolderTree(TFolder* folder, const TExtItems& table, bool includeHidden = true,
                                           const std::function<void(TFolder*)>& folderDone = nullptr);

// What a subtree holds.
struct TTreeCounts {
  int64_t folders = 0;  // the folder itself included
  int64_t items = 0;
  std::array<int64_t, 8> kinds{};
};
TTreeCounts CountFolderTree(TFolder* folder);

// Adds the items of folder and of every folder below it to out.
void CollectTreeItems(TFolder* folder, std::vector<TCatalogItem*>& out);

}  // namespace plb
