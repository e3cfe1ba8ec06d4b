#include "engine/workers/folder_tree_scan.h"

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/workers/moved_item_pairing.h"

namespace plb {

bool HiddenFromPasses(const TFolder* folder, bool parentHidden, bool includeHidden) {
  if (includeHidden || folder->IsTreeRoot()) return false;
  if (folder->GetCalendarMode() == 1) return false;
  return parentHidden || folder->Name().starts_with('.');
}

std::vector<TTreeScanError> ScanFolderTree(TFolder* folder, const TExtItems& table, bool includeHidden,
                                           const std::function<void(TFolder*)>& folderDone) {
  std::vector<TTreeScanError> errors;
  // A whole tree is one pass: an item found gone in one folder goes with its data to its file
  // when that turns up in another folder of the tree (moved or renamed outside the program).
  TGoneItems gone;
  std::vector<TCatalogItem*> candidates;
  std::vector<TCatalogItem*> found;
  // Depth-first with an explicit stack: a deep tree never exhausts the thread's stack.
  std::vector<TFolder*> pending{folder};
  while (!pending.empty()) {
    TFolder* f = pending.back();
    pending.pop_back();
    try {
      SearchFilesInPass(f, table, found, candidates);
      f->ScanSubFolders(nullptr);
    } catch (const std::exception& e) {
      errors.push_back({f->GetFullName(), ClassNameOf(e), MessageOf(e)});
      continue;  // what could not be listed is not descended into
    }
    if (folderDone) folderDone(f);
    if (f->Missing()) continue;
    const std::vector<TFolder*> children = f->SubFolders();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if ((*it)->Missing()) {
        (*it)->RemoveFolder();
      } else if (HiddenFromPasses(*it, false, includeHidden)) {
        continue;
      } else {
        pending.push_back(*it);
      }
    }
  }
  for (TCatalogItem* item : PairMovedItems(gone.Take(), candidates)) item->SetState(cisDeleted);
  return errors;
}

TTreeCounts CountFolderTree(TFolder* folder) {
  TTreeCounts counts;
  std::vector<TFolder*> pending{folder};
  std::vector<TCatalogItem*> items;
  while (!pending.empty()) {
    TFolder* f = pending.back();
    pending.pop_back();
    ++counts.folders;
    items.clear();
    f->GetItems(items);
    for (TCatalogItem* item : items) {
      ++counts.items;
      const uint8_t kind = item->Kind();
      if (kind < counts.kinds.size()) ++counts.kinds[kind];
    }
    for (TFolder* child : f->SubFolders()) pending.push_back(child);
  }
  return counts;
}

void CollectTreeItems(TFolder* folder, std::vector<TCatalogItem*>& out) {
  std::vector<TFolder*> pending{folder};
  while (!pending.empty()) {
    TFolder* f = pending.back();
    pending.pop_back();
    f->GetItems(out);
    const std::vector<TFolder*> children = f->SubFolders();
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

}  // namespace plb
