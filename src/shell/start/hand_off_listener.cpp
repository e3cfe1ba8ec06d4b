#include "shell/start/hand_off_listener.h"

#include <QSocketNotifier>
#include <QTimer>

#include "host/log_file.h"
#include "shell/main_window.h"

namespace plb::shell {

HandOffListener::HandOffListener(TPlumoraMain2& window, const std::string& path)
    : QObject(&window), window_(window), server_(path) {}

HandOffListener::~HandOffListener() {
  server_.Close();
}

void HandOffListener::Listen() {
  server_.Listen();
  notifier_ = new QSocketNotifier(server_.Fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    try {
      server_.ServeReady([this](const platform::HandOffMessage& m) { return Handle(m); });
    } catch (const std::exception& e) {
      LogException("HandOffListener", e);
    }
  });
}

int32_t HandOffListener::Handle(const platform::HandOffMessage& message) {
  switch (message.type) {
    case platform::HandOffType::kActivate:
      window_.BringToFront();
      return 1;
    case platform::HandOffType::kCommandText:
      window_.EnqueueCommand(message.text);
      return 1;
    case platform::HandOffType::kClose:
      if (message.kind != kCloseParameter) return 0;
      // Closed from the event loop, after the answer has gone out.
      QTimer::singleShot(0, &window_, [this] { window_.close(); });
      return 1;
  }
  return 0;
}

}  // namespace plb::shell
