#pragma once
// Turns SIGTERM and SIGINT into a Qt signal delivered on the UI thread, so that they close the
// main window the normal way and every stop step still runs.
#include <QObject>

class QSocketNotifier;

namespace plb::shell {

class UnixSignalWatcher : public QObject {
  Q_OBJECT
 public:
  explicit UnixSignalWatcher(QObject* parent = nullptr);
  ~UnixSignalWatcher() override;

 signals:
  void terminationRequested(int signal_number);

 private:
  void OnReadable();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace plb::shell
