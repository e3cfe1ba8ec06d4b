#include "shell/viewer/viewer_full_screen.h"

#include <QCloseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "shell/viewer/photo_viewer.h"

namespace plb::shell {

TViewerFullScreen::TViewerFullScreen(TPhotoViewer* viewer, QStackedWidget* home, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), viewer_(viewer), home_(home) {
  setObjectName("ViewerFullScreen");
  setWindowTitle(QStringLiteral("全画面表示"));
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  placeholder_ = new QWidget(home_);
  placeholder_->setObjectName("ViewerFullScreenPlace");
  placeholder_->hide();
}

void TViewerFullScreen::Enter() {
  if (active_) return;
  QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
  if (QScreen* screen = window ? window->screen() : nullptr) {
    setScreen(screen);
    setGeometry(screen->geometry());
  }
  home_->insertWidget(home_->indexOf(viewer_), placeholder_);
  home_->setCurrentWidget(placeholder_);
  layout()->addWidget(viewer_);  // takes the viewer out of the stack
  viewer_->show();
  viewer_->SetFullScreen(true);
  active_ = true;
  showFullScreen();
  raise();
  activateWindow();
  viewer_->setFocus();
  emit activeChanged(true);
}

void TViewerFullScreen::Leave() {
  if (!active_) return;
  active_ = false;
  home_->insertWidget(home_->indexOf(placeholder_), viewer_);
  home_->setCurrentWidget(viewer_);
  home_->removeWidget(placeholder_);
  placeholder_->hide();
  viewer_->SetFullScreen(false);
  hide();
  if (QWidget* window = parentWidget() ? parentWidget()->window() : nullptr) window->activateWindow();
  viewer_->setFocus();
  emit activeChanged(false);
}

void TViewerFullScreen::closeEvent(QCloseEvent* event) {
  event->ignore();
  Leave();
}

}  // namespace plb::shell
