#pragma once
// What the catalog grid does with the changes the catalog-update bus reports: records wait in a
// queue and are applied together on the update timer, so that a burst of changes (a worker
// storing many thumbnails) costs one layout or one repaint.
#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

// More single-cell redraws than this in one tick become one full redraw.
constexpr size_t kMaxCellRedraws = 9;

struct TGridChange {
  TCatalogItem* item = nullptr;
  uint8_t kind = 0;
};

// What the view is showing, as far as the rules need it.
struct TGridChangeContext {
  uint8_t sortKey = 0;
  bool groupByDay = false;
  // The current folder is an album or a tag: tag changes reach it through folder events.
  bool albumShown = false;
  // Whether an item still belongs to the current folder (after a copy or move).
  std::function<bool(TCatalogItem*)> belongsToFolder;
  // Whether the item is one of the shown items.
  std::function<bool(TCatalogItem*)> shown;
};

struct TGridChangeOutcome {
  bool resort = false;
  std::unordered_set<TCatalogItem*> dropped;
  // Items whose cached thumbnail is to be dropped before they are asked for again.
  std::vector<TCatalogItem*> thumbnailsDropped;
  bool requestAgain = false;
  // Cells to redraw, unless fullRedraw.
  std::vector<TCatalogItem*> redraw;
  bool fullRedraw = false;

  bool NeedsLayout() const { return resort || !dropped.empty(); }
};

TGridChangeOutcome ApplyGridChanges(const std::vector<TGridChange>& changes, const TGridChangeContext& context);

}  // namespace plb::shell
