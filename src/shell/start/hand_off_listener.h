#pragma once
// Serves the hand-off socket inside the Qt event loop for the main window: a second start of the
// program raises the window, hands it a command text, or asks it to close. The window never waits
// for a sender: each connection is read as its bytes arrive, watched by its own notifier, and
// dropped when its time is up.
#include <QObject>
#include <map>
#include <memory>

#include "platform/hand_off.h"

class QSocketNotifier;
class QTimer;

namespace plb::shell {

class TPlumoraMain2;

class HandOffListener : public QObject {
  Q_OBJECT
 public:
  // The parameter of a close request that closes the window.
  static constexpr int kCloseParameter = 4;

  HandOffListener(TPlumoraMain2& window, const std::string& path = platform::DefaultHandOffPath());
  ~HandOffListener() override;

  // Starts listening; raises platform::EHandOffError.
  void Listen();

 private:
  void Serve();
  // One notifier for each connection still being read, and the timer for the earliest time-out.
  void WatchPending();
  int32_t Handle(const platform::HandOffMessage& message);

  TPlumoraMain2& window_;
  platform::HandOffServer server_;
  QSocketNotifier* notifier_ = nullptr;
  std::map<int, QSocketNotifier*> connections_;
  QTimer* time_out_ = nullptr;
};

}  // namespace plb::shell
