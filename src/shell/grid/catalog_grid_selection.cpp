#include "shell/grid/catalog_grid_selection.h"

#include <algorithm>

namespace plb::shell {

void TGridSelection::Clear() {
  selected_.clear();
  members_.clear();
}

void TGridSelection::Add(TCatalogItem* item) {
  if (item && members_.insert(item).second) selected_.push_back(item);
}

void TGridSelection::Remove(TCatalogItem* item) {
  if (members_.erase(item) == 0) return;
  selected_.erase(std::find(selected_.begin(), selected_.end(), item));
}

void TGridSelection::SelectOnly(TCatalogItem* item) {
  Clear();
  Add(item);
  current_ = item;
  anchor_ = item;
}

void TGridSelection::SelectList(const std::vector<TCatalogItem*>& items) {
  Clear();
  for (TCatalogItem* item : items) Add(item);
  current_ = selected_.empty() ? current_ : selected_.front();
  anchor_ = current_;
}

int TGridSelection::IndexOf(const std::vector<TCatalogItem*>& cells, const TCatalogItem* item) {
  if (!item) return -1;
  const auto it = std::find(cells.begin(), cells.end(), item);
  return it == cells.end() ? -1 : static_cast<int>(it - cells.begin());
}

void TGridSelection::SelectRange(const std::vector<TCatalogItem*>& cells, int from, int to, bool keep) {
  if (!keep) Clear();
  if (from > to) std::swap(from, to);
  for (int i = std::max(0, from); i <= to && i < static_cast<int>(cells.size()); ++i)
    Add(cells[static_cast<size_t>(i)]);
}

bool TGridSelection::Press(const std::vector<TCatalogItem*>& cells, int index, bool control, bool shift,
                           bool* pressOnSelected) {
  if (pressOnSelected) *pressOnSelected = false;
  if (index < 0 || index >= static_cast<int>(cells.size())) return false;
  TCatalogItem* item = cells[static_cast<size_t>(index)];
  if (!item) return false;  // an empty cell selects nothing
  if (shift) {
    int from = IndexOf(cells, anchor_);
    if (from < 0) from = index;
    SelectRange(cells, from, index, control);
    current_ = item;
    return true;
  }
  if (control) {
    anchor_ = item;
    if (IsSelected(item)) {
      Remove(item);
      // With nothing left selected the clicked cell stays current, so the keys still work.
      current_ = selected_.empty() ? item : selected_.back();
    } else {
      Add(item);
      current_ = item;
    }
    return true;
  }
  if (IsSelected(item)) {
    if (pressOnSelected) *pressOnSelected = true;
    current_ = item;
    return false;
  }
  SelectOnly(item);
  return true;
}

void TGridSelection::MoveTo(const std::vector<TCatalogItem*>& cells, TCatalogItem* item, bool shift) {
  if (!item) return;
  if (!shift) {
    SelectOnly(item);
    return;
  }
  const int to = IndexOf(cells, item);
  int from = IndexOf(cells, anchor_);
  if (from < 0) {
    from = to;
    anchor_ = item;
  }
  SelectRange(cells, from, to, false);
  current_ = item;
}

void TGridSelection::Forget(const std::unordered_set<TCatalogItem*>& gone) {
  if (gone.empty()) return;
  std::erase_if(selected_, [&gone](TCatalogItem* item) { return gone.count(item) != 0; });
  for (TCatalogItem* item : gone) members_.erase(item);
  if (gone.count(current_)) current_ = selected_.empty() ? nullptr : selected_.back();
  if (gone.count(anchor_)) anchor_ = current_;
}

TCatalogItem* NeighbourItem(const std::vector<TCatalogItem*>& shown, const TCatalogItem* current, int step) {
  if (shown.empty()) return nullptr;
  const auto it = current ? std::find(shown.begin(), shown.end(), current) : shown.end();
  if (it == shown.end()) return shown.front();
  const auto count = static_cast<long>(shown.size());
  const long index = ((it - shown.begin()) + step % count + count) % count;
  return shown[static_cast<size_t>(index)];
}

}  // namespace plb::shell
