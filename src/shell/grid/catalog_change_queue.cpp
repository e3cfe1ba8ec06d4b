#include "shell/grid/catalog_change_queue.h"

#include "engine/events/catalog_update_bus.h"
#include "engine/model/catalog_item.h"
#include "engine/views/sorted_item_list.h"

namespace plb::shell {
namespace {

void AddRedraw(TGridChangeOutcome& out, std::unordered_set<TCatalogItem*>& seen, TCatalogItem* item) {
  if (seen.insert(item).second) out.redraw.push_back(item);
}

}  // namespace

TGridChangeOutcome ApplyGridChanges(const std::vector<TGridChange>& changes, const TGridChangeContext& context) {
  TGridChangeOutcome out;
  std::unordered_set<TCatalogItem*> redrawSeen;
  for (const TGridChange& change : changes) {
    TCatalogItem* item = change.item;
    if (!item) continue;
    if (context.shown && !context.shown(item) && change.kind != cukCopiedOrMoved) continue;
    switch (change.kind) {
      case cukRenamed:
        if (context.sortKey == skFileName) out.resort = true;
        AddRedraw(out, redrawSeen, item);
        break;
      case cukMissing:
        out.dropped.insert(item);
        break;
      case cukCopiedOrMoved:
        if (context.shown && !context.shown(item)) break;
        if (!context.belongsToFolder || !context.belongsToFolder(item)) out.dropped.insert(item);
        break;
      case cukTagsChanged:
        if (!context.albumShown) AddRedraw(out, redrawSeen, item);
        break;
      case cukShootingDateWritten:
        if (context.groupByDay || context.sortKey == skShootingDate) out.resort = true;
        AddRedraw(out, redrawSeen, item);
        break;
      case cukShootingDateWritten2:
        if (context.sortKey == skFileDate) out.resort = true;
        break;
      case cukTrimmingEdited:
        // A frame moved while trimming is in force changes the thumbnail itself.
        if (!item->TrimmingInForce()) {
          AddRedraw(out, redrawSeen, item);
          break;
        }
        [[fallthrough]];
      case cukTrimmingSwitched:
      case cukFileOverwritten:
        out.thumbnailsDropped.push_back(item);
        out.requestAgain = true;
        AddRedraw(out, redrawSeen, item);
        break;
      case cukMarkChanged:
      case cukFourLevelMarkChanged:
      case cukCounterChanged:
      case cukSecondMarkChanged:
      case cukOrientationChanged:
      case cukCommentChanged:
      case cukEffectChanged:
      case cukThumbnailStored:
      case cukUploadStatusChanged:
        // What a cell draws changed: its overlays, its picture or its background.
        AddRedraw(out, redrawSeen, item);
        break;
      default:
        break;
    }
  }
  for (TCatalogItem* item : out.dropped) std::erase(out.redraw, item);
  out.fullRedraw = out.redraw.size() > kMaxCellRedraws;
  return out;
}

}  // namespace plb::shell
