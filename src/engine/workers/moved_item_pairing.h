#pragma once
// Files renamed or moved outside the program: one updater pass finds their items gone and new
// files in their place elsewhere in the trees. A gone item and a new one are the same photo when
// exactly one of each has the same kind, size, modification time and shooting date; the gone item
// (with its tags, albums and their places, marks, edits, comments and upload state) then takes the
// new file's place and the new item is dropped.
#include <vector>

namespace plb {

class TCatalogItem;
class TExtItems;
class TFolder;

// Lists the folder's files as one step of a whole pass: found receives the items seen, and
// candidates those among them that may be where a gone item's file went: new items, and items
// that a scan of their folder alone catalogued since the last whole pass (on a command's behalf,
// before the pass that finds the old item gone) and that hold nothing of the user's yet. The items
// seen count as seen by a whole pass from then on.
void SearchFilesInPass(TFolder* folder, const TExtItems& table, std::vector<TCatalogItem*>& found,
                       std::vector<TCatalogItem*>& candidates);

// Pairs gone items (set aside, not deleted) with the candidate items of the same files; answers
// the gone items that found no file, for the caller to delete.
std::vector<TCatalogItem*> PairMovedItems(const std::vector<TCatalogItem*>& gone,
                                          const std::vector<TCatalogItem*>& fresh);

}  // namespace plb
