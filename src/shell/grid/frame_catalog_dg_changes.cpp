// TFrameCatalogDG: the change queue fed by the catalog-update bus and the folder events, applied
// on the update timer.
#include "engine/events/catalog_update_bus.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/frame_catalog_dg.h"

namespace plb::shell {

// ---------------------------------------------------------------------------------------------
// Changes from the catalog-update bus and the folder events.

void TFrameCatalogDG::QueueChange(TCatalogItem* item, uint8_t kind) {
  // A new thumbnail only redraws its cell, which the next paint does however many come: it need
  // not wait for the update timer, which gathers the changes that may re-sort or lay out the grid
  // (a cold folder's first screen waited 100 ms for it).
  if (kind == cukThumbnailStored) {
    pixmaps_.Drop(item);
    RedrawIfOnScreen(item);
    return;
  }
  queue_.push_back({item, kind});
  if (!updateTimer_.isActive()) updateTimer_.start();
}

void TFrameCatalogDG::FolderEvent(TCustomFolder* node, uint8_t kind) {
  if (!folder_ || !node) return;
  if (kind == futDeleted && (node == folder_ || folder_->IsDescendantOf(node))) {
    ShowFolder(nullptr);
    return;
  }
  const bool ours = node == folder_ || node->GetParent() == folder_ || folder_->GetParent() == node ||
                    (IsCalendarGroup(folder_->Kind()) && node->IsDescendantOf(folder_));
  if (ours && (kind == futContentsChanged || kind == futCountsChanged || kind == futCreated)) {
    refillPending_ = true;
    if (!updateTimer_.isActive()) updateTimer_.start();
  }
}

void TFrameCatalogDG::ApplyQueuedChanges() {
  updateTimer_.stop();
  std::vector<TGridChange> changes;
  changes.swap(queue_);
  TCatalogItem* current = CurrentItem();
  if (refillPending_) {
    // A large folder that fills while photos are read is listed again at most once a second.
    constexpr qint64 kLargeRefillSpacing = 1000;
    constexpr size_t kLargeFolder = 2000;
    if (shownItems_.size() > kLargeFolder && lastRefill_.isValid() && lastRefill_.elapsed() < kLargeRefillSpacing) {
      updateTimer_.start();
    } else {
      refillPending_ = false;
      Refill();
      lastRefill_.start();
      KeepSelection(current);
    }
  }
  if (changes.empty()) return;

  std::unordered_set<TCatalogItem*> shownSet(shownItems_.begin(), shownItems_.end());
  TGridChangeContext context;
  context.sortKey = sortKey_;
  context.groupByDay = groupByDay_;
  context.albumShown = folder_ && IsAlbumKind(folder_->Kind());
  std::unordered_set<TCatalogItem*> held;
  bool heldListed = false;
  context.belongsToFolder = [&](TCatalogItem* item) {
    if (!heldListed && folder_) {
      std::vector<TCatalogItem*> items;
      CollectItems(*folder_, items);
      held.insert(items.begin(), items.end());
      heldListed = true;
    }
    return held.count(item) != 0;
  };
  context.shown = [&shownSet](TCatalogItem* item) { return shownSet.count(item) != 0; };
  const TGridChangeOutcome outcome = ApplyGridChanges(changes, context);

  for (TCatalogItem* item : outcome.thumbnailsDropped) {
    if (cache_) cache_->ClearCache(item);
    pixmaps_.Drop(item);
  }
  for (TCatalogItem* item : outcome.redraw) pixmaps_.Drop(item);

  if (outcome.NeedsLayout()) {
    if (!outcome.dropped.empty()) {
      // Gone from the shown items too, so the next layout does not bring them back.
      std::vector<TCatalogItem*> kept;
      kept.reserve(shownItems_.size());
      for (TCatalogItem* item : shownItems_) {
        if (!outcome.dropped.count(item)) kept.push_back(item);
      }
      shown_.Clear();
      for (TCatalogItem* item : kept) shown_.Add(item);
      selection_.Forget(outcome.dropped);
      if (outcome.dropped.count(current)) current = CurrentItem();
    }
    if (outcome.resort || !outcome.dropped.empty()) {
      shown_.Resort();
      shownItems_ = shown_.Items();
    }
    LayOut();
    UpdateStatus();
    KeepSelection(current);
    emit countChanged(folder_, static_cast<int>(shownItems_.size()));
  } else if (outcome.fullRedraw) {
    ++fullRedraws_;
    grid_->viewport()->update();
  } else {
    for (TCatalogItem* item : outcome.redraw) {
      ++cellRedraws_;
      RedrawItem(item);
    }
  }
  if (outcome.requestAgain) {
    thumbnailsDropped_ = true;
    RequestThumbnails(true);
  }
}

}  // namespace plb::shell
