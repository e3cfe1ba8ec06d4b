#pragma once
// The thread of an event watcher: it wakes every cycle period and runs the cycle, until it is
// asked to stop. A cycle that raises ends the watcher (logged under the thread's name): its
// events would otherwise fail the same way every period.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/thread_stop.h"

namespace plb {

inline constexpr std::chrono::milliseconds kWatcherCycle{100};
// A wake runs the next cycle early, yet never sooner than this after the last one, so a burst of
// events still arrives in few deliveries.
inline constexpr std::chrono::milliseconds kWatcherWakeSpacing{10};

class TWatcherLoop {
 public:
  // How a stop waits for the thread. kPumpUi runs the UI work that is waiting while it waits
  // on the UI thread (for watchers whose cycle waits for the UI thread); kJoin simply joins.
  enum class StopWait { kPumpUi, kJoin };

  TWatcherLoop(std::string threadName, StopWait wait) : name_(std::move(threadName)), wait_(wait) {}
  ~TWatcherLoop() { Stop(); }
  TWatcherLoop(const TWatcherLoop&) = delete;
  TWatcherLoop& operator=(const TWatcherLoop&) = delete;

  // Starts the thread, which runs cycle every period; false while a thread runs or was not
  // stopped yet.
  bool Start(std::function<void()> cycle);
  // Raises the stop request and waits until the thread has ended; no cycle runs afterwards.
  void Stop();
  // Runs the next cycle as soon as the wake spacing allows, not at the end of the period: for
  // events a person waits to see (a thumbnail just made).
  void Wake();

  bool Running() const { return thread_.Running(); }
  const std::atomic<bool>& StopRequest() const { return stop_; }
  bool OnWatcherThread() const { return std::this_thread::get_id() == threadId_.load(); }
  const std::string& Name() const { return name_; }

 private:
  void Execute();
  // True when the wait ended because of a stop request.
  bool WaitForCycle();

  const std::string name_;
  const StopWait wait_;
  std::function<void()> cycle_;
  std::atomic<bool> stop_{false};
  bool woken_ = false;  // under waitLock_
  std::atomic<std::thread::id> threadId_{};
  std::mutex waitLock_;
  std::condition_variable wake_;
  platform::WorkerThread thread_;
};

}  // namespace plb
