#include "shell/start/hand_off_listener.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

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
  connect(notifier_, &QSocketNotifier::activated, this, &HandOffListener::Serve);
  time_out_ = new QTimer(this);
  time_out_->setSingleShot(true);
  connect(time_out_, &QTimer::timeout, this, &HandOffListener::Serve);
}

void HandOffListener::Serve() {
  try {
    server_.ServeReady([this](const platform::HandOffMessage& m) { return Handle(m); });
  } catch (const std::exception& e) {
    LogException("HandOffListener", e);
  }
  WatchPending();
}

void HandOffListener::WatchPending() {
  const std::vector<int> pending = server_.PendingFds();
  // A descriptor number may come back for a new connection; its notifier watches it as well.
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (std::find(pending.begin(), pending.end(), it->first) == pending.end()) {
      it->second->setEnabled(false);
      it->second->deleteLater();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
  for (int fd : pending) {
    if (connections_.count(fd) != 0) continue;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &HandOffListener::Serve);
    connections_[fd] = notifier;
  }
  const int next = server_.MsUntilNextTimeOut();
  if (next < 0) {
    time_out_->stop();
  } else {
    time_out_->start(next);
  }
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
