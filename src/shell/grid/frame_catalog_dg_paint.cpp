// TFrameCatalogDG: painting the cells on screen, and decoding the pictures of the next rows while
// the program is idle.
#include <QElapsedTimer>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "engine/model/album.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "shell/grid/band_buttons.h"
#include "shell/grid/catalog_cell_painter.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/start/bench_script.h"

namespace plb::shell {

// ---------------------------------------------------------------------------------------------
// Painting.

QRect TFrameCatalogDG::ItemRect(TCatalogItem* item) const {
  const int index = layout_.CellOf(item);
  return index < 0 ? QRect() : CellOnScreen(index, ScrollY());
}

QRect TFrameCatalogDG::CellOnScreen(int index, int64_t scroll) const {
  int64_t top = 0;
  const TCellRect r = layout_.CellRect(index, &top);
  return QRect(r.left, static_cast<int>(top - scroll), r.width, r.height);
}

QRect TFrameCatalogDG::BoxInCell(const QRect& cell) const {
  return QRect(cell.left() + geometry_.box.left, cell.top() + geometry_.box.top, geometry_.box.width,
               geometry_.box.height);
}

void TFrameCatalogDG::VisitScreenCells(const std::function<bool(TCatalogItem*, const QRect&)>& visit) const {
  if (shownItems_.empty()) return;
  const int64_t scroll = ScrollY();
  int first = 0, last = 0;
  layout_.VisibleRows(scroll, grid_->viewport()->height(), first, last);
  const int end = std::min(layout_.CellCount(), (last + 1) * layout_.Columns());
  for (int i = first * layout_.Columns(); i < end; ++i) {
    TCatalogItem* item = layout_.CellItem(i);
    if (item && !visit(item, CellOnScreen(i, scroll))) return;  // no item: the empty cells that start a day
  }
}

void TFrameCatalogDG::PaintGrid(QPainter& p, const QRect& exposed) {
  p.fillRect(exposed, kGridColor);
  if (shownItems_.empty()) {
    p.setPen(Qt::black);
    p.drawText(grid_->viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               EmptyText());
    return;
  }
  const int64_t scroll = ScrollY();
  int first = 0, last = 0;
  layout_.VisibleRows(scroll + exposed.top(), exposed.height(), first, last);
  const int columns = layout_.Columns();
  // The band's icon: 1 folder, 2 album, 3 calendar, 4 tag.
  const int folderClass = !folder_ ? 0 : folder_->AlbumType() == atTag ? 4 : FolderClassOfKind(folder_->Kind());
  TCellLook look;
  look.highlightFavourites = highlightFavourites_;
  look.calendarDay = folder_ && folder_->Kind() == kKindCalendarDay;
  look.captionFlags = captionFlags_;
  look.twoLineDate = twoLineDate_;
  const QSize box(geometry_.box.width, geometry_.box.height);
  const bool focused = grid_->hasFocus();
  for (int row = first; row <= last; ++row) {
    const int rowTop = static_cast<int>(layout_.RowTop(row) - scroll);
    if (layout_.HeaderRow(row)) {
      const QRect band(0, rowTop, layout_.ColumnLeft(columns), kHeaderBandHeight);
      const QString label = HeaderLabel(row);
      const int width = PaintHeaderBand(p, band, label, folderClass);
      headerWidths_[static_cast<size_t>(row)] = width;
      if (BandButtonsShown()) {
        for (int button : {bbSlide, bbAlbum}) {
          const int look = row == pressedRow_ && button == pressedButton_ ? blPressed
                           : row == hotRow_ && button == hotButton_       ? blHot
                                                                          : blNormal;
          PaintBandButton(p, BandButtonRect(band, width, button), button, look);
        }
      }
    }
    for (int column = 0; column < columns; ++column) {
      const int index = row * columns + column;
      if (index >= layout_.CellCount()) break;
      const QRect cell = CellOnScreen(index, scroll);
      if (!cell.intersects(exposed)) continue;
      TCatalogItem* item = layout_.CellItem(index);
      if (!item) {
        PaintEmptyCell(p, cell);
        continue;
      }
      look.selected = selection_.IsSelected(item);
      look.focused = focused && item == CurrentItem();
      const QRect boxRect = BoxInCell(cell);
      static const TThumbnailPixmaps::Entry kNone;
      const TThumbnailPixmaps::Entry& thumbnail =
          boxRect.intersects(exposed) ? pixmaps_.Lookup(item, geometry_.thumbnail, box) : kNone;
      PaintItemCell(p, cell, geometry_, *item, look, thumbnail);
    }
  }
  if (!prefetchTimer_.isActive()) prefetchTimer_.start();
  if (BenchScriptActive()) {
    const ScreenPictures screen = PicturesOnScreen();
    BenchScreenPainted(*this, screen.cells, screen.pictures);
  }
}

TFrameCatalogDG::ScreenPictures TFrameCatalogDG::PicturesOnScreen() const {
  ScreenPictures screen;
  const QRect viewport = grid_->viewport()->rect();
  const QSize box(geometry_.box.width, geometry_.box.height);
  VisitScreenCells([&](TCatalogItem* item, const QRect& cell) {
    // Only thumbnails on screen count: a row whose day band shows may have its cells still below
    // the edge, or a cell only its caption.
    if (viewport.intersects(BoxInCell(cell))) {
      ++screen.cells;
      if (pixmaps_.HasPicture(item, geometry_.thumbnail, box)) ++screen.pictures;
    }
    return true;
  });
  return screen;
}

void TFrameCatalogDG::PrefetchPixmaps() {
  if (!cache_ || shownItems_.empty() || !isVisible()) return;
  constexpr qint64 kTurnNanoseconds = 3'000'000;
  QElapsedTimer timer;
  timer.start();
  int first = 0, last = 0;
  layout_.VisibleRows(ScrollY(), grid_->viewport()->height(), first, last);
  const int columns = layout_.Columns();
  const QSize box(geometry_.box.width, geometry_.box.height);
  // The screen first, then two rows below and one above.
  const int begin = std::max(0, first - 1) * columns;
  const int end = std::min(layout_.CellCount(), (last + 3) * columns);
  for (int pass = 0; pass < 2; ++pass) {
    const int from = pass == 0 ? first * columns : begin;
    const int to = pass == 0 ? std::min(end, (last + 1) * columns) : end;
    for (int i = from; i < to; ++i) {
      TCatalogItem* item = layout_.CellItem(i);
      if (!item || pixmaps_.Has(item, geometry_.thumbnail, box)) continue;
      pixmaps_.Lookup(item, geometry_.thumbnail, box);
      if (timer.nsecsElapsed() > kTurnNanoseconds) {
        prefetchTimer_.start();
        return;
      }
    }
  }
}

void TFrameCatalogDG::RedrawIfOnScreen(TCatalogItem* item) {
  VisitScreenCells([&](TCatalogItem* shown, const QRect& cell) {
    if (shown != item) return true;
    grid_->viewport()->update(cell);
    return false;
  });
}

void TFrameCatalogDG::RedrawItem(TCatalogItem* item) {
  const QRect r = ItemRect(item);
  if (!r.isEmpty()) grid_->viewport()->update(r);
}

}  // namespace plb::shell
