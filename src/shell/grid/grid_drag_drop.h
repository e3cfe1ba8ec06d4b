#pragma once
// Drags of a catalog grid's selection out of the grid, and drops of the program's own item drags
// onto a grid, which hand the items and the item under the drop point to the grid's owner. Both
// can be switched off (a grid that is busy neither gives nor takes items).
#include <QObject>
#include <QPoint>
#include <functional>
#include <vector>

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
  bool DropsEnabled() const { return drops_ && handler_; }

  // The shown item whose cell holds a point of the grid's viewport, or null.
  static TCatalogItem* ItemAt(const TFrameCatalogDG& grid, const QPoint& pos);
  // The drop itself, also for callers that have the items already.
  void Drop(const std::vector<TCatalogItem*>& items, const QPoint& pos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TFrameCatalogDG& grid_;
  bool drag_ = false;
  bool drops_ = true;
  TDropHandler handler_;
  QPoint pressPos_;
  bool pressed_ = false;
};

}  // namespace plb::shell
