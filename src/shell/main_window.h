#pragma once
// The application's only main window. It is the single place where commands from every source
// are queued; a second start of the program hands its command text here.
#include <QMainWindow>
#include <deque>
#include <string>

class QStackedWidget;

namespace plb::shell {

class TLibraryPage;
class TFramePlumoraHome;

class TPlumoraMain2 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TPlumoraMain2(const QString& title, QWidget* parent = nullptr);

  // The only way a command gets in; source is the object that produced the text, or null.
  void EnqueueCommand(const std::string& text, QObject* source = nullptr);

  // Commands waiting for the dispatcher, oldest first.
  const std::deque<std::string>& CommandQueue() const { return command_queue_; }

  bool Active() const { return active_; }

  // The photo browser: folder, calendar and tag trees, the catalog grid and the viewer.
  TLibraryPage* Library() const { return library_; }

  // The service page: the web home, made on first use. Its page's commands and session ids are
  // queued here (source: the web home); calls into the page (upload progress, the tab) go
  // through it.
  TFramePlumoraHome* WebHome();

  // Restores the window when minimised and brings it to the front (a second start asks this).
  void BringToFront();

 signals:
  void commandQueued(const QString& text);
  // "更新" on the library page: list the catalog again and ask the updater for a pass.
  void updateRequested();
  // The history's back and forward on the library page.
  void historyRequested(int step);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyMinimumSize();
  void CreateActions();

  QStackedWidget* pages_ = nullptr;
  TLibraryPage* library_ = nullptr;
  TFramePlumoraHome* web_home_ = nullptr;
  std::deque<std::string> command_queue_;
  bool active_ = false;
};

}  // namespace plb::shell
