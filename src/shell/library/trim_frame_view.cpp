#include "shell/library/trim_frame_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plb::shell {
namespace {

// How near a corner the pointer sizes instead of moving (in pixels).
constexpr int kGrip = 7;
// The smallest frame side a drag leaves.
constexpr int kMinSide = 8;

// The frame moved by delta, kept inside bounds.
QRect Moved(const QRect& frame, const QPoint& delta, const QRect& bounds) {
  QRect r = frame.translated(delta);
  r.moveLeft(std::clamp(r.left(), bounds.left(), bounds.right() + 1 - r.width()));
  r.moveTop(std::clamp(r.top(), bounds.top(), bounds.bottom() + 1 - r.height()));
  return r;
}

// The frame sized at one corner to the pointer: the opposite corner stays, the frame keeps the
// aspect when there is one and stays inside bounds.
QRect Sized(const QRect& frame, TTrimFrameView::THandle corner, const QPoint& pointer, const QRect& bounds,
            double aspect) {
  const bool left = corner == TTrimFrameView::hTopLeft || corner == TTrimFrameView::hBottomLeft;
  const bool top = corner == TTrimFrameView::hTopLeft || corner == TTrimFrameView::hTopRight;
  // The fixed corner, in edge coordinates (right and bottom one past the last pixel).
  const int ax = left ? frame.left() + frame.width() : frame.left();
  const int ay = top ? frame.top() + frame.height() : frame.top();
  const int roomX = left ? ax - bounds.left() : bounds.left() + bounds.width() - ax;
  const int roomY = top ? ay - bounds.top() : bounds.top() + bounds.height() - ay;
  double w = std::clamp(left ? ax - pointer.x() : pointer.x() - ax, kMinSide, std::max(kMinSide, roomX));
  double h = std::clamp(top ? ay - pointer.y() : pointer.y() - ay, kMinSide, std::max(kMinSide, roomY));
  w = std::min<double>(w, std::max(1, roomX));
  h = std::min<double>(h, std::max(1, roomY));
  if (aspect > 0) {
    // The side the pointer went further along leads; the other follows, both within the room.
    if (w / h > aspect) {
      h = w / aspect;
    } else {
      w = h * aspect;
    }
    const double scale = std::min({1.0, roomX / w, roomY / h});
    w *= scale;
    h *= scale;
  }
  const int iw = std::max(1, static_cast<int>(std::lround(w)));
  const int ih = std::max(1, static_cast<int>(std::lround(h)));
  return QRect(left ? ax - iw : ax, top ? ay - ih : ay, iw, ih);
}

}  // namespace

TTrimFrameView::TTrimFrameView(QWidget* parent) : QWidget(parent) {
  setObjectName("TrimmingPreview");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
}

void TTrimFrameView::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TTrimFrameView::SetFrame(const QRect& frame) {
  frame_ = frame;
  update();
}

void TTrimFrameView::SetAspect(double aspect) {
  aspect_ = aspect > 0 ? aspect : 0;
}

QRect TTrimFrameView::PictureArea() const {
  if (picture_.isNull()) return {};
  return QRect(QPoint((width() - picture_.width()) / 2, (height() - picture_.height()) / 2), picture_.size());
}

TTrimFrameView::THandle TTrimFrameView::HandleAt(const QPoint& pos) const {
  if (frame_.isEmpty() || picture_.isNull()) return hNone;
  const QRect f = frame_.translated(PictureArea().topLeft());
  const QPoint corners[] = {f.topLeft(), f.topRight(), f.bottomLeft(), f.bottomRight()};
  const THandle handles[] = {hTopLeft, hTopRight, hBottomLeft, hBottomRight};
  for (int i = 0; i < 4; ++i) {
    if (std::abs(pos.x() - corners[i].x()) <= kGrip && std::abs(pos.y() - corners[i].y()) <= kGrip) return handles[i];
  }
  return f.contains(pos) ? hMove : hNone;
}

QImage TTrimFrameView::Rendered() const {
  if (picture_.isNull()) return {};
  QImage image(picture_.size(), QImage::Format_RGB32);
  QPainter painter(&image);
  Draw(painter, QPoint());
  return image;
}

void TTrimFrameView::Draw(QPainter& p, const QPoint& origin) const {
  p.drawImage(origin, picture_);
  if (frame_.isEmpty()) return;
  const QRect frame = frame_.translated(origin);
  // What falls outside the frame is dimmed.
  QRegion outside(QRect(origin, picture_.size()));
  outside -= QRegion(frame);
  p.setClipRegion(outside);
  p.fillRect(QRect(origin, picture_.size()), QColor(0, 0, 0, 140));
  p.setClipping(false);
  p.setPen(QPen(Qt::white, 1, Qt::DashLine));
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  // The corners that size the frame.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  for (const QPoint& c : {frame.topLeft(), frame.topRight(), frame.bottomLeft(), frame.bottomRight()})
    p.drawRect(QRect(c - QPoint(3, 3), QSize(6, 6)));
}

void TTrimFrameView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  if (!picture_.isNull()) Draw(p, PictureArea().topLeft());
  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

QRect TTrimFrameView::Dragged(const QPoint& to) const {
  const QRect bounds = picture_.rect();
  if (dragging_ == hMove) return Moved(dragStart_, to - dragFrom_, bounds);
  return Sized(dragStart_, dragging_, to - PictureArea().topLeft(), bounds, aspect_);
}

void TTrimFrameView::ShowCursorFor(THandle handle) {
  switch (handle) {
    case hMove:
      setCursor(Qt::SizeAllCursor);
      break;
    case hTopLeft:
    case hBottomRight:
      setCursor(Qt::SizeFDiagCursor);
      break;
    case hTopRight:
    case hBottomLeft:
      setCursor(Qt::SizeBDiagCursor);
      break;
    default:
      unsetCursor();
  }
}

void TTrimFrameView::mousePressEvent(QMouseEvent* event) {
  setFocus();
  if (event->button() != Qt::LeftButton) return;
  dragging_ = HandleAt(event->pos());
  dragFrom_ = event->pos();
  dragStart_ = frame_;
}

void TTrimFrameView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ == hNone) {
    ShowCursorFor(HandleAt(event->pos()));
    return;
  }
  frame_ = Dragged(event->pos());
  update();
}

void TTrimFrameView::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ == hNone || event->button() != Qt::LeftButton) return;
  frame_ = Dragged(event->pos());
  dragging_ = hNone;
  update();
  ShowCursorFor(HandleAt(event->pos()));
  if (frame_ != dragStart_) emit frameChanged(frame_);
}

void TTrimFrameView::keyPressEvent(QKeyEvent* event) {
  const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
  QPoint delta;
  switch (event->key()) {
    case Qt::Key_Left:
      delta = {-step, 0};
      break;
    case Qt::Key_Right:
      delta = {step, 0};
      break;
    case Qt::Key_Up:
      delta = {0, -step};
      break;
    case Qt::Key_Down:
      delta = {0, step};
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  if (frame_.isEmpty() || picture_.isNull() || dragging_ != hNone) return;
  const QRect moved = Moved(frame_, delta, picture_.rect());
  if (moved == frame_) return;
  frame_ = moved;
  update();
  emit frameChanged(frame_);
}

}  // namespace plb::shell
