#pragma once
// The trimming page of the tool panel ("切り抜き"): the frame's proportions chosen from the
// presets, the frame moved and sized by hand over a preview of the photo, and trimming switched
// on or off; the grid shows the trimmed photo at once. Movies cannot be trimmed.
#include <QImage>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TTrimFrameView;

class TFrameTrimmingPage : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameTrimmingPage(QWidget* parent = nullptr);

  void ShowItem(TCatalogItem* item);
  TCatalogItem* Item() const { return item_; }
  QString StatusText() const;
  QComboBox* Aspect() const { return aspect_; }
  QPushButton* TrimButton() const { return trim_; }
  QPushButton* UndoButton() const { return undo_; }
  // The preview with the frame drawn (for tests and the page).
  const QImage& Preview() const { return preview_; }
  TTrimFrameView* FrameView() const { return view_; }

 signals:
  void trimmingChanged(plb::TCatalogItem* item);

 private:
  void DrawPreview();
  void FramePlaced(const QRect& frame);

  TCatalogItem* item_ = nullptr;
  bool showing_ = false;
  QImage picture_;
  QImage preview_;
  QLabel* title_ = nullptr;
  TTrimFrameView* view_ = nullptr;
  QComboBox* aspect_ = nullptr;
  QPushButton* trim_ = nullptr;
  QPushButton* undo_ = nullptr;
};

}  // namespace plb::shell
