#include "shell/grid/thumbnail_pixmaps.h"

#include <QImage>
#include <exception>
#include <memory>

#include "host/log_file.h"
#include "images/thumbnails/catalog_thumbnail_store.h"

namespace plb::shell {

void TThumbnailPixmaps::SetCache(TCatalogImageCacheMaster* cache) {
  cache_ = cache;
  Clear();
}

qsizetype TThumbnailPixmaps::CostOf(const QPixmap& pixmap) {
  // At least 1, so that empty entries (no thumbnail yet) are bounded too.
  const qsizetype bytes = static_cast<qsizetype>(pixmap.width()) * pixmap.height() * 4;
  return bytes / 1024 + 1;
}

bool TThumbnailPixmaps::Has(TCatalogItem* item, int sizeClass, const QSize& box) const {
  const Kept* kept = entries_.object(item);
  return kept && kept->sizeClass == sizeClass && kept->box == box;
}

bool TThumbnailPixmaps::HasPicture(TCatalogItem* item, int sizeClass, const QSize& box) const {
  const Kept* kept = entries_.object(item);
  return kept && kept->sizeClass == sizeClass && kept->box == box && !kept->pixmap.isNull();
}

const TThumbnailPixmaps::Entry& TThumbnailPixmaps::Lookup(TCatalogItem* item, int sizeClass, const QSize& box) {
  if (Kept* kept = entries_.object(item); kept && kept->sizeClass == sizeClass && kept->box == box) return *kept;
  if (!cache_ || !item) return none_;
  auto kept = std::make_unique<Kept>();
  kept->sizeClass = sizeClass;
  kept->box = box;
  try {
    Bitmap image;
    TCatalogImagePlacement placement;
    if (cache_->DrawCatalogImage(item, sizeClass, box.width(), box.height(), image, placement) && !image.Empty()) {
      const QImage::Format format = image.Channels() == 4 ? QImage::Format_ARGB32 : QImage::Format_BGR888;
      const QImage view(image.Row(0), image.Width(), image.Height(), static_cast<qsizetype>(image.Stride()), format);
      kept->pixmap = QPixmap::fromImage(view.copy());
      kept->rect = QRect(placement.image.left, placement.image.top, placement.image.Width(), placement.image.Height());
      kept->stretch = placement.stretch;
    }
  } catch (const std::exception& e) {
    // A damaged cache record: the cell shows the placeholder, the record is made again later.
    LogFailure("TFrameCatalogDG.DrawCatalogImage", e);
  }
  // Valid until the next lookup, which may evict it: callers draw it at once.
  const qsizetype cost = CostOf(kept->pixmap);
  if (cost > entries_.maxCost()) {
    // Larger than the whole budget: kept only until the next lookup.
    entries_.remove(item);
    oversized_ = std::move(kept);
    return *oversized_;
  }
  Kept* stored = kept.get();
  entries_.insert(item, kept.release(), cost);
  return *stored;
}

}  // namespace plb::shell
