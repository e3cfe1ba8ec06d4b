#pragma once
// Turns SIGTERM and SIGINT into a Qt signal delivered on the UI thread, so that they close the
// main window the normal way and every stop step still runs.
//
// The handlers outlive the watcher: once the window has closed, the stop sequence saves the
// catalog, and a second Ctrl-C or SIGTERM then must not cut the save short. Such a signal is only
// counted, until RestoreDefaultHandlers() at the very end of the program.
#include <QObject>

class QSocketNotifier;

namespace plb::shell {

class UnixSignalWatcher : public QObject {
  Q_OBJECT
 public:
  explicit UnixSignalWatcher(QObject* parent = nullptr);
  ~UnixSignalWatcher() override;

  // Termination signals that arrived while no watcher existed (after the window closed).
  static int NotedWithoutWatcher();
  // The default actions again; nothing is held back from here on.
  static void RestoreDefaultHandlers();

 signals:
  void terminationRequested(int signal_number);

 private:
  void OnReadable();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace plb::shell
