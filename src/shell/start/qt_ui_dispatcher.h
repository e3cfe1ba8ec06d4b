#pragma once
// The UI dispatcher of the running program, on the Qt event loop of the thread that creates it.
#include <QObject>
#include <QThread>

#include "platform/ui_dispatcher.h"

namespace plb::shell {

class QtUiDispatcher : public QObject, public platform::UiDispatcher {
  Q_OBJECT
 public:
  explicit QtUiDispatcher(QObject* parent = nullptr);

  void RunAndWait(std::function<void()> work) override;
  void Post(std::function<void()> work) override;
  void ProcessPending() override;
  bool IsUiThread() const override { return QThread::currentThread() == thread(); }
};

}  // namespace plb::shell
