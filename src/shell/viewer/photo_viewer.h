#pragma once
// The single-photo viewer of the library page: one photo fitted to the window or zoomed, with
// next and previous through the list it was opened on.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TPhotoViewer : public QWidget {
  Q_OBJECT
 public:
  // What a click does: drag the picture, zoom in (right button out) at the pointer, go to the next
  // (right button previous) photo, or show the original size around the pointer while held.
  enum TMouseMode : uint8_t { mmDrag = 0, mmZoom = 1, mmNext = 2, mmQuickZoom = 3 };

  explicit TPhotoViewer(QWidget* parent = nullptr);

  // Shows the item of list (the grid's shown items); an item outside the list is shown alone.
  void ShowItem(TCatalogItem* item, const std::vector<TCatalogItem*>& list);
  TCatalogItem* Item() const { return item_; }
  void Next();
  void Previous();
  // Fit to the window (zoom follows the window) or a fixed zoom factor (1 = original size).
  void FitToWindow();
  void SetZoom(double zoom);
  void ZoomIn();
  void ZoomOut();
  bool Fitted() const { return fit_; }
  // Reads the shown photo's file again (after it was rotated or changed).
  void Reload() { Load(); }
  void SetMouseMode(uint8_t mode);
  uint8_t MouseMode() const { return mouseMode_; }
  double Zoom() const;
  // Full screen: a black surround, and Esc leaves full screen instead of the viewer.
  void SetFullScreen(bool on);
  bool FullScreen() const { return fullScreen_; }
  // Where the picture is drawn on the widget.
  QRect PictureRect() const;
  // The picture as decoded (for tests): empty when the file gave none.
  const QImage& Picture() const { return picture_; }
  QString ErrorText() const { return error_; }

 signals:
  // Esc or F6: back to the grid.
  void closeRequested();
  // A double click: into full screen or out of it; Esc in full screen: out of it.
  void fullScreenToggled();
  void fullScreenLeft();
  // The context menu key or a right click where the mouse mode leaves the right button free.
  void contextMenuWanted(const QPoint& globalPos);
  void currentItemChanged(plb::TCatalogItem* item);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Load();
  void Step(int step);
  // Zooms so that the picture point under pos stays under it.
  void ZoomAt(double zoom, const QPoint& pos);

  TCatalogItem* item_ = nullptr;
  std::vector<TCatalogItem*> list_;
  QImage picture_;
  QString error_;
  bool fit_ = true;
  double zoom_ = 1.0;
  QPoint offset_;
  QPoint dragFrom_;
  uint8_t mouseMode_ = mmDrag;
  bool fullScreen_ = false;
  // A quick zoom in progress: the view to go back to on release.
  bool quickZoom_ = false;
  bool quickFit_ = true;
  double quickZoomFactor_ = 1.0;
  QPoint quickOffset_;
  // Fine-resolution wheels and touchpads send parts of a notch; they add up to whole steps.
  int wheelRest_ = 0;
};

}  // namespace plb::shell
