#include "engine/events/watcher_loop.h"

#include <exception>

#include "host/log_file.h"

namespace plb {

bool TWatcherLoop::Start(std::function<void()> cycle) {
  if (thread_.Started()) return false;
  cycle_ = std::move(cycle);
  stop_ = false;
  return thread_.Start(name_, platform::ThreadPriority::kNormal, [this] { Execute(); });
}

void TWatcherLoop::Stop() {
  auto signal = [this] {
    std::lock_guard guard(waitLock_);
    stop_ = true;
    wake_.notify_all();
  };
  thread_.Stop(signal, wait_ == StopWait::kPumpUi ? platform::CurrentUiDispatcher() : nullptr);
}

void TWatcherLoop::Execute() {
  threadId_ = std::this_thread::get_id();
  while (!WaitForCycle()) {
    try {
      cycle_();
    } catch (const std::exception& e) {
      LogException(name_, e);
      break;
    }
  }
  threadId_ = std::thread::id();
}

void TWatcherLoop::Wake() {
  std::lock_guard guard(waitLock_);
  woken_ = true;
  wake_.notify_all();
}

bool TWatcherLoop::WaitForCycle() {
  std::unique_lock lock(waitLock_);
  if (wake_.wait_for(lock, kWatcherWakeSpacing, [this] { return stop_.load(); })) return true;
  wake_.wait_for(lock, kWatcherCycle - kWatcherWakeSpacing, [this] { return stop_.load() || woken_; });
  woken_ = false;
  return stop_.load();
}

}  // namespace plb
