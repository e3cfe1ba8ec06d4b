#include "shell/grid/grid_drag_drop.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>

#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/item_drag.h"

namespace plb::shell {

TGridDragDrop::TGridDragDrop(TFrameCatalogDG& grid) : QObject(&grid), grid_(grid) {
  grid_.Grid()->viewport()->installEventFilter(this);
}

void TGridDragDrop::SetDropHandler(TDropHandler handler) {
  handler_ = std::move(handler);
  grid_.Grid()->viewport()->setAcceptDrops(DropsEnabled());
}

void TGridDragDrop::SetFileDropHandlers(TFileCheck check, TFileDrop drop) {
  fileCheck_ = std::move(check);
  fileDrop_ = std::move(drop);
  grid_.Grid()->viewport()->setAcceptDrops(DropsEnabled());
}

void TGridDragDrop::SetDropsEnabled(bool on) {
  drops_ = on;
  grid_.Grid()->viewport()->setAcceptDrops(DropsEnabled());
}

TCatalogItem* TGridDragDrop::ItemAt(const TFrameCatalogDG& grid, const QPoint& pos) {
  for (TCatalogItem* item : grid.ShownItems()) {
    if (grid.ItemRect(item).contains(pos)) return item;
  }
  return nullptr;
}

void TGridDragDrop::Drop(const std::vector<TCatalogItem*>& items, const QPoint& pos) {
  if (!DropsEnabled() || !handler_ || items.empty()) return;
  handler_(items, ItemAt(grid_, pos));
}

std::vector<TCatalogItem*> TGridDragDrop::ItemsTaken(const QMimeData* data) const {
  std::vector<TCatalogItem*> items;
  if (!drops_ || !handler_ || !data || !data->hasFormat(ItemsMimeType())) return items;
  // Another process's items are no items here (its file list may still be taken).
  TCustomFolder* source = nullptr;
  DataObjectToItems(data, &source, &items);
  return items;
}

bool TGridDragDrop::TakesItems(const QMimeData* data) const {
  return !ItemsTaken(data).empty();
}

bool TGridDragDrop::TakesFiles(const QMimeData* data) const {
  return drops_ && fileCheck_ && fileDrop_ && data && !TakesItems(data) && fileCheck_(data);
}

bool TGridDragDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != grid_.Grid()->viewport()) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      pressed_ = e->button() == Qt::LeftButton && ItemAt(grid_, e->position().toPoint()) != nullptr;
      pressPos_ = e->position().toPoint();
      return false;
    }
    case QEvent::MouseButtonRelease:
      pressed_ = false;
      return false;
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (!drag_ || !pressed_ || !(e->buttons() & Qt::LeftButton)) return false;
      if ((e->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance()) return false;
      pressed_ = false;
      std::vector<TCatalogItem*> items = grid_.SelectedItems();
      if (items.empty()) return false;
      StartItemDrag(grid_.Grid()->viewport(), grid_.CurrentFolder(), 0, std::move(items));
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* e = static_cast<QDragMoveEvent*>(event);
      if (TakesItems(e->mimeData()) || TakesFiles(e->mimeData())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
        return true;
      }
      // Left to the widgets below (the window takes folders for the calendar).
      e->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* e = static_cast<QDropEvent*>(event);
      if (const std::vector<TCatalogItem*> items = ItemsTaken(e->mimeData()); !items.empty()) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
        Drop(items, e->position().toPoint());
        return true;
      }
      if (TakesFiles(e->mimeData())) {
        // The source keeps its files: what is moved, the drop moves itself.
        e->setDropAction(Qt::CopyAction);
        e->accept();
        fileDrop_(e->mimeData(), e->modifiers(), e->position().toPoint());
        return true;
      }
      e->ignore();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace plb::shell
