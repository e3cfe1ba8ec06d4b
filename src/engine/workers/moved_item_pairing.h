#pragma once
// Files renamed or moved outside the program: one updater pass finds their items gone and new
// files in their place elsewhere in the trees. A gone item and a new one are the same photo when
// exactly one of each has the same kind, size, modification time and shooting date; the gone item
// (with its tags, albums and their places, marks, edits, comments and upload state) then takes the
// new file's place and the new item is dropped.
#include <vector>

namespace plb {

class TCatalogItem;

// Whether an item that a whole pass lists may be where a gone item's file went: a new item, or
// one that a scan of its folder alone catalogued since the last whole pass (on a command's behalf,
// before the pass that finds the old item gone) and that holds nothing of the user's yet. Marks
// the item as seen by a whole pass.
bool TakeAsPairingCandidate(TCatalogItem* item, bool isNew);

// Pairs gone items (set aside, not deleted) with the candidate items of the same files; answers
// the gone items that found no file, for the caller to delete.
std::vector<TCatalogItem*> PairMovedItems(const std::vector<TCatalogItem*>& gone,
                                          const std::vector<TCatalogItem*>& fresh);

}  // namespace plb
