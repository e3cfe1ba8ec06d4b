#pragma once
// The selection of the catalog grid: the selected items in the order they were selected, the
// current cell and the anchor that shift-ranges are measured from. It works on the cell list of a
// layout (empty cells included) and knows nothing of painting.
#include <unordered_set>
#include <vector>

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TGridSelection {
 public:
  const std::vector<TCatalogItem*>& Selected() const { return selected_; }
  bool IsSelected(const TCatalogItem* item) const { return members_.count(const_cast<TCatalogItem*>(item)) != 0; }
  TCatalogItem* Current() const { return current_; }
  TCatalogItem* Anchor() const { return anchor_; }

  void Clear();
  // The item alone, current and anchor (null: nothing selected, nothing current).
  void SelectOnly(TCatalogItem* item);
  void SetCurrent(TCatalogItem* item) { current_ = item; }
  // Replaces the selection with the items in their order; the first becomes current and anchor.
  void SelectList(const std::vector<TCatalogItem*>& items);

  // A mouse press on a cell. pressOnSelected reports, for a plain press, that the item was
  // already selected: the selection stays so that a drag can start, and Release settles it.
  // Answers whether the selection changed.
  bool Press(const std::vector<TCatalogItem*>& cells, int index, bool control, bool shift, bool* pressOnSelected);
  // A plain press on a selected item ended without a drag: the item alone.
  void Release(TCatalogItem* item) { SelectOnly(item); }

  // Keyboard moves: the item becomes current; with shift the range from the anchor, else alone.
  void MoveTo(const std::vector<TCatalogItem*>& cells, TCatalogItem* item, bool shift);

  // Drops items that left the view; the current item falls back to the last selected one.
  void Forget(const std::unordered_set<TCatalogItem*>& gone);

 private:
  void Add(TCatalogItem* item);
  void Remove(TCatalogItem* item);
  void SelectRange(const std::vector<TCatalogItem*>& cells, int from, int to, bool keep);
  static int IndexOf(const std::vector<TCatalogItem*>& cells, const TCatalogItem* item);

  std::vector<TCatalogItem*> selected_;
  std::unordered_set<TCatalogItem*> members_;
  TCatalogItem* current_ = nullptr;
  TCatalogItem* anchor_ = nullptr;
};

// The item after (step 1) or before (step -1) the current one in the shown items, wrapping at
// both ends; the first item when there is no current one; null for an empty list.
TCatalogItem* NeighbourItem(const std::vector<TCatalogItem*>& shown, const TCatalogItem* current, int step);

}  // namespace plb::shell
