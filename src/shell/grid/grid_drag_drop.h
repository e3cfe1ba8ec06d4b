#pragma once
// Drags of a catalog grid's selection out of the grid, and drops of the program's own item drags
// onto a grid, which hand the items and the item under the drop point to the grid's owner. Both
// can be switched off (a grid that is busy neither gives nor takes items).
#include <QObject>
#include <QPoint>
#include <Qt>
#include <functional>
#include <vector>

class QMimeData;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TFrameCatalogDG;

class TGridDragDrop : public QObject {
  Q_OBJECT
 public:
  // items: what was dropped; target: the item under the drop point, or null.
  using TDropHandler = std::function<void(const std::vector<TCatalogItem*>& items, TCatalogItem* target)>;

  explicit TGridDragDrop(TFrameCatalogDG& grid);

  void SetDragEnabled(bool on) { drag_ = on; }
  bool DragEnabled() const { return drag_; }
  // A handler turns drops on; SetDropsEnabled(false) refuses them for a while.
  void SetDropHandler(TDropHandler handler);
  void SetDropsEnabled(bool on);
  bool DropsEnabled() const { return drops_ && (handler_ || fileDrop_); }

  // Drops of anything but the program's own items (files of other programs): check answers
  // whether the grid takes the data now; drop takes it.
  using TFileCheck = std::function<bool(const QMimeData* data)>;
  using TFileDrop = std::function<void(const QMimeData* data, Qt::KeyboardModifiers modifiers, const QPoint& pos)>;
  void SetFileDropHandlers(TFileCheck check, TFileDrop drop);

  // The shown item whose cell holds a point of the grid's viewport, or null.
  static TCatalogItem* ItemAt(const TFrameCatalogDG& grid, const QPoint& pos);
  // The drop itself, also for callers that have the items already.
  void Drop(const std::vector<TCatalogItem*>& items, const QPoint& pos);

 protected:
  // The program's own items a drop of data brings (none when drops are off or data holds none).
  std::vector<TCatalogItem*> ItemsTaken(const QMimeData* data) const;
  bool TakesItems(const QMimeData* data) const;
  bool TakesFiles(const QMimeData* data) const;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TFrameCatalogDG& grid_;
  bool drag_ = false;
  bool drops_ = true;
  TDropHandler handler_;
  TFileCheck fileCheck_;
  TFileDrop fileDrop_;
  QPoint pressPos_;
  bool pressed_ = false;
};

}  // namespace plb::shell
