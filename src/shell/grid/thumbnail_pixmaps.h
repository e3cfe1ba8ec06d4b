#pragma once
// The thumbnails of the cells on screen as ready pixmaps. The cache stores its pictures as JPEG
// records; decoding one on every paint would make scrolling slow, so the view keeps the pixmaps
// of recently drawn cells and drops an item's when its picture changes.
#include <QCache>
#include <QPixmap>
#include <QRect>

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

  explicit TThumbnailPixmaps(int capacity = 4000) : entries_(capacity) {}
  void SetCache(TCatalogImageCacheMaster* cache);
  // The item's thumbnail placed in a box of the given size; read from the cache once and kept.
  const Entry& Lookup(TCatalogItem* item, int sizeClass, const QSize& box);
  // Whether a lookup would answer without reading the cache.
  bool Has(TCatalogItem* item, int sizeClass, const QSize& box) const;
  void Drop(TCatalogItem* item) { entries_.remove(item); }
  void Clear() { entries_.clear(); }

 private:
  struct Kept : Entry {
    int sizeClass = 0;
    QSize box;
  };
  TCatalogImageCacheMaster* cache_ = nullptr;
  QCache<TCatalogItem*, Kept> entries_;
  Entry none_;
};

}  // namespace plb::shell
