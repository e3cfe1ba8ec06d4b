#pragma once
// Files renamed or moved outside the program: one updater pass finds their items gone and new
// files in their place elsewhere in the trees. A gone item and a new one are the same photo when
// exactly one of each has the same kind, size, modification time and shooting date; the gone item
// (with its tags, albums and their places, marks, edits, comments and upload state) then takes the
// new file's place and the new item is dropped.
#include <vector>

namespace plb {

class TCatalogItem;

// Pairs gone items (set aside, not deleted) with the fresh items of the same files; answers the
// gone items that found no file, for the caller to delete.
std::vector<TCatalogItem*> PairMovedItems(const std::vector<TCatalogItem*>& gone,
                                          const std::vector<TCatalogItem*>& fresh);

}  // namespace plb
