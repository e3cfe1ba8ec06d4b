#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>

#include "host/log_file.h"
#include "shell/library_page.h"

namespace plb::shell {
namespace {
constexpr int kDesignWidth = 1008;
constexpr int kDesignHeight = 731;
constexpr int kMinimumWidth = 1000;
constexpr int kMinimumHeight = 750;
}  // namespace

TPlumoraMain2::TPlumoraMain2(const QString& title, QWidget* parent) : QMainWindow(parent) {
  setObjectName("TPlumoraMain2");
  setWindowTitle(title);
  library_ = new TLibraryPage(this);
  setCentralWidget(library_);
  resize(kDesignWidth, kDesignHeight);
  ApplyMinimumSize();
}

void TPlumoraMain2::ApplyMinimumSize() {
  QSize minimum(kMinimumWidth, kMinimumHeight);
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    minimum = minimum.boundedTo(area.size());
    // A work area smaller than the window: the window takes the whole screen at its origin.
    if (area.width() < width() || area.height() < height()) setGeometry(area);
  }
  setMinimumSize(minimum);
}

void TPlumoraMain2::EnqueueCommand(const std::string& text, QObject*) {
  WriteLog("EnqueueCommand( " + text + " )");
  command_queue_.push_back(text);
  emit commandQueued(QString::fromStdString(text));
}

void TPlumoraMain2::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TPlumoraMain2::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  active_ = true;
}

void TPlumoraMain2::closeEvent(QCloseEvent* event) {
  active_ = false;
  QMainWindow::closeEvent(event);
}

}  // namespace plb::shell
