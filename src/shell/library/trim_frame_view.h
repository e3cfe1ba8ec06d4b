#pragma once
// The trimming page's preview: the photo as displayed with the trimming frame over it. The frame
// is moved by dragging inside it and sized at its corners, keeping its proportions when they are
// fixed; it always stays inside the photo. Arrow keys nudge it (with Shift by ten pixels). The
// cursor shows what a drag will do. frameChanged reports the frame when a drag or a nudge ends.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>

namespace plb::shell {

class TTrimFrameView : public QWidget {
  Q_OBJECT
 public:
  // What a drag from a point does: nothing, move the frame, or size it at one of its corners.
  enum THandle : uint8_t { hNone, hMove, hTopLeft, hTopRight, hBottomLeft, hBottomRight };

  explicit TTrimFrameView(QWidget* parent = nullptr);

  // The picture as displayed; the frame in its pixels (an empty frame draws none).
  void SetPicture(const QImage& picture);
  void SetFrame(const QRect& frame);
  // Width to height of the frame kept while sizing; 0 for free proportions.
  void SetAspect(double aspect);
  const QImage& Picture() const { return picture_; }
  QRect Frame() const { return frame_; }
  // Where the picture is drawn on the widget.
  QRect PictureArea() const;
  // The handle under a widget point.
  THandle HandleAt(const QPoint& pos) const;
  // The picture with the frame drawn, as the widget shows it.
  QImage Rendered() const;

 signals:
  void frameChanged(const QRect& frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Draw(QPainter& painter, const QPoint& origin) const;
  QRect Dragged(const QPoint& delta) const;
  void ShowCursorFor(THandle handle);

  QImage picture_;
  QRect frame_;
  double aspect_ = 0;
  THandle dragging_ = hNone;
  QPoint dragFrom_;
  QRect dragStart_;
};

}  // namespace plb::shell
