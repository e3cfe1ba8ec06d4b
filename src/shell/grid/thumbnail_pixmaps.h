#pragma once
// The thumbnails of the cells on screen as ready pixmaps. The cache stores its pictures as JPEG
// records; decoding one on every paint would make scrolling slow, so the view keeps the pixmaps
// of recently drawn cells and drops an item's when its picture changes.
#include <QCache>
#include <QPixmap>
#include <QRect>
#include <memory>

namespace plb {
class TCatalogItem;
class TCatalogImageCacheMaster;
}  // namespace plb

namespace plb::shell {

class TThumbnailPixmaps {
 public:
  struct Entry {
    QPixmap pixmap;  // null when the cache has no thumbnail of the item yet
    QRect rect;      // where the picture goes inside the thumbnail box
    bool stretch = false;
  };

  // The pixmaps kept are bounded by their memory, not their number: 480-pixel thumbnails are
  // 36 times the size of 80-pixel ones.
  static constexpr qsizetype kDefaultBudgetKiB = 192 * 1024;
  explicit TThumbnailPixmaps(qsizetype budgetKiB = kDefaultBudgetKiB) : entries_(budgetKiB) {}
  // The memory the kept pixmaps take, in KiB (as counted against the budget).
  qsizetype KeptKiB() const { return entries_.totalCost(); }
  qsizetype BudgetKiB() const { return entries_.maxCost(); }
  // What one kept entry counts against the budget.
  static qsizetype CostOf(const QPixmap& pixmap);
  void SetCache(TCatalogImageCacheMaster* cache);
  // The item's thumbnail placed in a box of the given size; read from the cache once and kept.
  const Entry& Lookup(TCatalogItem* item, int sizeClass, const QSize& box);
  // Whether a lookup would answer without reading the cache.
  bool Has(TCatalogItem* item, int sizeClass, const QSize& box) const;
  // The same, and the cache had a picture for it.
  bool HasPicture(TCatalogItem* item, int sizeClass, const QSize& box) const;
  void Drop(TCatalogItem* item) { entries_.remove(item); }
  void Clear() { entries_.clear(); }

 private:
  struct Kept : Entry {
    int sizeClass = 0;
    QSize box;
  };
  TCatalogImageCacheMaster* cache_ = nullptr;
  QCache<TCatalogItem*, Kept> entries_;
  std::unique_ptr<Kept> oversized_;
  Entry none_;
};

}  // namespace plb::shell
