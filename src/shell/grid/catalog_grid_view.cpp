// The grid's scroll area: it hands painting and input to its frame.
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "shell/grid/frame_catalog_dg.h"

namespace plb::shell {

TCatalogGridView::TCatalogGridView(TFrameCatalogDG& frame) : QAbstractScrollArea(&frame), frame_(frame) {
  setObjectName("CatalogGrid");
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);  // the hot look of the band buttons
}

void TCatalogGridView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  frame_.PaintGrid(p, event->rect());
}

void TCatalogGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  frame_.GridResized();
}

void TCatalogGridView::scrollContentsBy(int, int) {
  viewport()->update();
  frame_.GridScrolled();
}

void TCatalogGridView::mousePressEvent(QMouseEvent* event) {
  setFocus();
  if (event->button() == Qt::LeftButton) frame_.GridPress(event->pos(), event->modifiers());
}

void TCatalogGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) frame_.GridRelease(event->pos());
}

void TCatalogGridView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) frame_.GridDoubleClick(event->pos());
}

void TCatalogGridView::mouseMoveEvent(QMouseEvent* event) {
  frame_.GridMove(event->pos());
}

void TCatalogGridView::keyPressEvent(QKeyEvent* event) {
  if (!frame_.GridKey(event->key(), event->modifiers())) QAbstractScrollArea::keyPressEvent(event);
}

void TCatalogGridView::wheelEvent(QWheelEvent* event) {
  // The wheel scrolls by rows; the parts of a notch that fine-resolution wheels and touchpads
  // send add up to whole rows.
  event->accept();
  wheelRest_ += event->angleDelta().y();
  const int steps = wheelRest_ / 120;
  if (steps == 0) return;
  wheelRest_ -= steps * 120;
  QScrollBar* bar = verticalScrollBar();
  const TGridLayout& layout = frame_.Layout();
  const int row = std::clamp(layout.RowAt(bar->value()) - steps, 0, layout.Rows() - 1);
  bar->setValue(static_cast<int>(layout.RowTop(row)));
}

void TCatalogGridView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  frame_.GridResized();
}

}  // namespace plb::shell
