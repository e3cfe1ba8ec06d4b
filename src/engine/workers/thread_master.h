#pragma once
// The registry of running workers and their combined progress. Registered workers report into
// the master; a small progress-watcher thread turns the combined amount into (active, percent)
// for the main window's progress bar, only when that changes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/workers/thread_base.h"
#include "platform/named_event.h"
#include "platform/thread_stop.h"

namespace plb {

// Called on the UI thread as (active, percent).
using TProgressUiHandler = std::function<void(bool active, int percent)>;

struct TProgressPoll {
  bool active = false;
  int percent = 0;
};

class TProgressWatcher {
 public:
  TProgressWatcher(std::string eventName, std::function<TProgressPoll()> poll, TProgressUiHandler handler);
  ~TProgressWatcher();
  TProgressWatcher(const TProgressWatcher&) = delete;
  TProgressWatcher& operator=(const TProgressWatcher&) = delete;

  void Start();
  // Asks the thread to end and waits, running pending UI work meanwhile.
  void Stop();

 private:
  void Execute();
  void Deliver(bool active, int percent);

  const std::string eventName_;
  const std::function<TProgressPoll()> poll_;
  const TProgressUiHandler handler_;
  std::atomic<bool> terminated_{false};
  bool reported_ = false;
  bool lastActive_ = false;
  int lastPercent_ = 0;
  platform::WorkerThread thread_;
};

class TThreadMaster {
 public:
  static constexpr char kActiveEventPrefix[] = "ProgressWatcherActiveEvent";

  TThreadMaster();
  ~TThreadMaster();
  TThreadMaster(const TThreadMaster&) = delete;
  TThreadMaster& operator=(const TThreadMaster&) = delete;

  int ThreadCount() const;
  // The master's own progress handler, for workers that report without being registered.
  TProgressHandler GetProgressHandler();
  void RegisterThread(TOstraThreadBase* thread);
  void UnregisterThread(TOstraThreadBase* thread);
  // Asks every registered worker, last to first, to end.
  void TerminateAll();

  // Starts the watcher (none when handler is not set); its event is the prefix followed by name.
  void StartProgressWatcher(const std::string& name, TProgressUiHandler handler);
  void StopProgressWatcher();
  void RestartProgressWatcher(const std::string& name, TProgressUiHandler handler);
  void Shutdown();

  TProgressPoll PollProgress() const;
  // Called after a thread was registered or unregistered.
  void SetOnRegistrationChanged(std::function<void(TOstraThreadBase*)> callback);

  int RunningCount() const;
  int64_t TotalWork() const;
  int64_t DoneWork() const;

 private:
  struct Contribution {
    int64_t total = 0;
    int64_t position = 0;
  };
  void OnProgress(TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position);
  // Takes a worker's counted amounts out of the sums; the lock is held.
  void RetireLocked(TOstraThreadBase* thread);
  void UpdateActiveEventLocked();

  mutable std::mutex lock_;
  std::shared_ptr<platform::NamedEvent> activeEvent_;
  std::unique_ptr<TProgressWatcher> watcher_;
  int watchersStarted_ = 0;
  std::vector<TOstraThreadBase*> threads_;
  std::map<TOstraThreadBase*, Contribution> counted_;
  int runningCount_ = 0;
  int64_t totalWork_ = 0;
  int64_t doneWork_ = 0;
  std::function<void(TOstraThreadBase*)> onRegistrationChanged_;
};

}  // namespace plb
