#pragma once
// The only way code below the shell reaches the UI thread. The shell implements it on the Qt event
// loop; tests use PumpedUiDispatcher, whose "UI thread" is whichever thread created it and pumps it.
//
// Rules for callers: never hold a lock across RunAndWait (the UI thread may need that lock to
// finish what it is doing), and prefer Post for notifications that need no answer.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace plb::platform {

class UiDispatcher {
 public:
  virtual ~UiDispatcher() = default;

  // Runs work on the UI thread and returns when it has run; an exception thrown by work is
  // raised again in the caller. Called on the UI thread itself, work runs at once (a queued call
  // to oneself would wait for ever).
  virtual void RunAndWait(std::function<void()> work) = 0;

  // Queues work for the UI thread and returns at once.
  virtual void Post(std::function<void()> work) = 0;

  // On the UI thread: runs the work that is waiting (posted calls, calls of waiting threads).
  // Elsewhere: does nothing.
  virtual void ProcessPending() = 0;

  virtual bool IsUiThread() const = 0;
};

// The dispatcher of the running program; null while none is installed (no UI, early start,
// plain command-line tools). Installed by the shell or a test.
UiDispatcher* CurrentUiDispatcher();
void SetCurrentUiDispatcher(UiDispatcher* dispatcher);

// Installs a dispatcher for the lifetime of the object and restores the previous one after.
class ScopedUiDispatcher {
 public:
  explicit ScopedUiDispatcher(UiDispatcher& dispatcher) : previous_(CurrentUiDispatcher()) {
    SetCurrentUiDispatcher(&dispatcher);
  }
  ~ScopedUiDispatcher() { SetCurrentUiDispatcher(previous_); }
  ScopedUiDispatcher(const ScopedUiDispatcher&) = delete;
  ScopedUiDispatcher& operator=(const ScopedUiDispatcher&) = delete;

 private:
  UiDispatcher* previous_;
};

// A queue that the thread which created it pumps: the stand-in for an event loop in tests and in
// programs without one.
class PumpedUiDispatcher : public UiDispatcher {
 public:
  PumpedUiDispatcher();
  // Threads still waiting in RunAndWait get an error instead of an answer.
  ~PumpedUiDispatcher() override;

  void RunAndWait(std::function<void()> work) override;
  void Post(std::function<void()> work) override;
  void ProcessPending() override;
  bool IsUiThread() const override;

  // On the UI thread: waits up to timeout_ms for work to arrive, then runs what is waiting.
  // Returns the number of pieces of work that ran.
  //
  // An error thrown by posted work has no caller to go back to; the rest of the queue still runs
  // and then the first such error is raised from ProcessPending or PumpFor, so a test sees it.
  int PumpFor(int timeout_ms);

  // The number of pieces of work waiting.
  size_t PendingCount() const;

 private:
  struct Completion;
  struct Job {
    std::function<void()> work;
    std::shared_ptr<Completion> completion;  // null for posted work
  };
  int RunQueued();

  const std::thread::id ui_thread_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Job> queue_;
};

}  // namespace plb::platform
