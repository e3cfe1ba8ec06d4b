#pragma once
// The photo viewer on a screen of its own: the viewer leaves its place in the page for a black
// window covering the main window's screen, and comes back to the same place. The main window is
// never moved, resized or re-laid out, so it is exactly as it was when full screen ends.
#include <QWidget>

class QStackedWidget;

namespace plb::shell {

class TPhotoViewer;

class TViewerFullScreen : public QWidget {
  Q_OBJECT
 public:
  // home: the stack the viewer lives in; parent: the page, whose window's screen is used.
  TViewerFullScreen(TPhotoViewer* viewer, QStackedWidget* home, QWidget* parent);

  void Enter();
  void Leave();
  bool Active() const { return active_; }

 signals:
  void activeChanged(bool active);

 protected:
  // Closed by the window system (a window manager's key): full screen ends, nothing is lost.
  void closeEvent(QCloseEvent* event) override;

 private:
  TPhotoViewer* viewer_;
  QStackedWidget* home_;
  // Holds the viewer's place in the stack while it is away.
  QWidget* placeholder_;
  bool active_ = false;
};

}  // namespace plb::shell
