#include "shell/viewer/photo_viewer.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <exception>

#include "engine/model/catalog_item.h"
#include "images/scale/picture_render.h"
#include "platform/error.h"
#include "shell/grid/catalog_grid_selection.h"

namespace plb::shell {
namespace {

// Larger pictures are decoded at this long side at most: zooming past it enlarges on screen.
constexpr int kMaxDecodedSide = 4096;
constexpr double kZoomStep = 1.25;

}  // namespace

TPhotoViewer::TPhotoViewer(QWidget* parent) : QWidget(parent) {
  setObjectName("PhotoViewer");
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPhotoViewer::ShowItem(TCatalogItem* item, const std::vector<TCatalogItem*>& list) {
  list_ = list;
  if (item && std::find(list_.begin(), list_.end(), item) == list_.end()) list_ = {item};
  item_ = item;
  offset_ = {};
  Load();
  emit currentItemChanged(item_);
}

void TPhotoViewer::Load() {
  picture_ = QImage();
  error_.clear();
  if (item_) {
    try {
      TRenderRequest request;
      request.file_name = item_->FullPath();
      request.kind = item_->Kind();
      request.max_width =
          std::min(kMaxDecodedSide, std::max(1, item_->DisplayWidth() > 0 ? item_->DisplayWidth() : kMaxDecodedSide));
      request.max_height =
          std::min(kMaxDecodedSide, std::max(1, item_->DisplayHeight() > 0 ? item_->DisplayHeight() : kMaxDecodedSide));
      request.orientation = item_->Orientation();
      request.adjustment = item_->Color();
      Bitmap bitmap = RenderPicture(request);
      if (!bitmap.Empty()) {
        const QImage::Format format = bitmap.Channels() == 4 ? QImage::Format_ARGB32 : QImage::Format_BGR888;
        picture_ =
            QImage(bitmap.Row(0), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.Stride()), format)
                .copy();
      }
    } catch (const std::exception& e) {
      error_ = QString::fromStdString(ClassNameOf(e) + ": " + MessageOf(e));
    }
  }
  update();
}

void TPhotoViewer::Step(int step) {
  TCatalogItem* next = NeighbourItem(list_, item_, step);
  if (!next || next == item_) return;
  item_ = next;
  offset_ = {};
  Load();
  emit currentItemChanged(item_);
}

void TPhotoViewer::Next() {
  Step(1);
}
void TPhotoViewer::Previous() {
  Step(-1);
}

void TPhotoViewer::FitToWindow() {
  fit_ = true;
  offset_ = {};
  update();
}

double TPhotoViewer::Zoom() const {
  if (!fit_ || picture_.isNull()) return zoom_;
  const double zx = static_cast<double>(width()) / picture_.width();
  const double zy = static_cast<double>(height()) / picture_.height();
  return std::min({zx, zy, 1.0});
}

void TPhotoViewer::SetZoom(double zoom) {
  zoom_ = std::clamp(zoom, 0.05, 16.0);
  fit_ = false;
  update();
}

void TPhotoViewer::ZoomIn() {
  SetZoom(Zoom() * kZoomStep);
}
void TPhotoViewer::ZoomOut() {
  SetZoom(Zoom() / kZoomStep);
}

QRect TPhotoViewer::PictureRect() const {
  if (picture_.isNull()) return {};
  const double z = Zoom();
  const int w = std::max(1, static_cast<int>(picture_.width() * z));
  const int h = std::max(1, static_cast<int>(picture_.height() * z));
  return QRect((width() - w) / 2 + offset_.x(), (height() - h) / 2 + offset_.y(), w, h);
}

void TPhotoViewer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), fullScreen_ ? QColor(Qt::black) : QColor(0x20, 0x20, 0x20));
  if (picture_.isNull()) {
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, error_.isEmpty() ? QString() : error_);
    return;
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.drawImage(PictureRect(), picture_);
}

void TPhotoViewer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void TPhotoViewer::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Space:
    case Qt::Key_PageDown:
      Next();
      break;
    case Qt::Key_Left:
    case Qt::Key_Backspace:
    case Qt::Key_PageUp:
      Previous();
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomIn();
      break;
    case Qt::Key_Minus:
      ZoomOut();
      break;
    case Qt::Key_0:
      FitToWindow();
      break;
    case Qt::Key_1:
      SetZoom(1.0);
      break;
    case Qt::Key_Escape:
      if (fullScreen_) {
        emit fullScreenLeft();
      } else {
        emit closeRequested();
      }
      break;
    case Qt::Key_F6:
      emit closeRequested();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TPhotoViewer::SetFullScreen(bool on) {
  fullScreen_ = on;
  update();
}

void TPhotoViewer::SetMouseMode(uint8_t mode) {
  mouseMode_ = mode <= mmQuickZoom ? mode : static_cast<uint8_t>(mmDrag);
}

void TPhotoViewer::ZoomAt(double zoom, const QPoint& pos) {
  const QRect before = PictureRect();
  if (before.isEmpty()) {
    SetZoom(zoom);
    return;
  }
  // The picture point under the pointer, as a fraction of the picture.
  const double fx = static_cast<double>(pos.x() - before.left()) / before.width();
  const double fy = static_cast<double>(pos.y() - before.top()) / before.height();
  SetZoom(zoom);
  const QRect after = PictureRect();
  offset_ += QPoint(pos.x() - (after.left() + static_cast<int>(fx * after.width())),
                    pos.y() - (after.top() + static_cast<int>(fy * after.height())));
  update();
}

void TPhotoViewer::mousePressEvent(QMouseEvent* event) {
  setFocus();
  dragFrom_ = event->pos();
  const bool right = event->button() == Qt::RightButton;
  switch (mouseMode_) {
    case mmZoom:
      ZoomAt(right ? Zoom() / kZoomStep : Zoom() * kZoomStep, event->pos());
      break;
    case mmNext:
      right ? Previous() : Next();
      break;
    case mmQuickZoom:
      if (event->button() != Qt::LeftButton || picture_.isNull()) break;
      quickZoom_ = true;
      quickFit_ = fit_;
      quickZoomFactor_ = zoom_;
      quickOffset_ = offset_;
      ZoomAt(1.0, event->pos());
      break;
    default:
      break;
  }
}

void TPhotoViewer::mouseReleaseEvent(QMouseEvent* event) {
  if (!quickZoom_ || event->button() != Qt::LeftButton) return;
  quickZoom_ = false;
  fit_ = quickFit_;
  zoom_ = quickZoomFactor_;
  offset_ = quickOffset_;
  update();
}

void TPhotoViewer::mouseMoveEvent(QMouseEvent* event) {
  const bool drags = mouseMode_ == mmDrag || quickZoom_;
  if (!(event->buttons() & Qt::LeftButton) || fit_ || !drags) return;
  offset_ += event->pos() - dragFrom_;
  dragFrom_ = event->pos();
  update();
}

void TPhotoViewer::mouseDoubleClickEvent(QMouseEvent* event) {
  // Where every click zooms or steps, a quick second click is one more of them.
  if (mouseMode_ == mmZoom || mouseMode_ == mmNext) {
    mousePressEvent(event);
    return;
  }
  if (event->button() == Qt::LeftButton) emit fullScreenToggled();
}

void TPhotoViewer::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  // In the zoom and the next/previous modes the right button zooms out or goes back.
  const bool rightButtonTaken = mouseMode_ == mmZoom || mouseMode_ == mmNext;
  if (event->reason() == QContextMenuEvent::Mouse && rightButtonTaken) return;
  emit contextMenuWanted(event->globalPos());
}

void TPhotoViewer::wheelEvent(QWheelEvent* event) {
  event->accept();
  wheelRest_ += event->angleDelta().y();
  const int steps = wheelRest_ / 120;
  if (steps == 0) return;
  wheelRest_ -= steps * 120;
  if (event->modifiers() & Qt::ControlModifier) {
    // A quick turn of several notches zooms as far as the notches one by one would.
    ZoomAt(Zoom() * std::pow(kZoomStep, steps), event->position().toPoint());
  } else {
    // One photo per notch, forward when the wheel turns towards the user.
    Step(-steps);
  }
}

}  // namespace plb::shell
