#include "shell/start/qt_ui_dispatcher.h"

#include <QCoreApplication>
#include <exception>

namespace plb::shell {

QtUiDispatcher::QtUiDispatcher(QObject* parent) : QObject(parent) {}

void QtUiDispatcher::RunAndWait(std::function<void()> work) {
  if (IsUiThread()) {
    work();
    return;
  }
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      this,
      [&work, &failure] {
        try {
          work();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

void QtUiDispatcher::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void QtUiDispatcher::ProcessPending() {
  if (IsUiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace plb::shell
