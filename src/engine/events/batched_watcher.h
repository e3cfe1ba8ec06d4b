#pragma once
// A queue of records filled from any thread, and the watcher thread that takes the whole queue
// every cycle and hands it to the owner's delivery. Cycles never overlap (the watcher's and
// those run by hand), so records are delivered in posting order. Once Stop has returned, the
// watcher delivers nothing more; records a stop cut off, and those posted afterwards, wait in
// the queue (RunCycle delivers them).
//
// Owners declare the watcher after everything their delivery uses, so that it is stopped before
// any of it goes.
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/events/batch_queue.h"
#include "engine/events/watcher_loop.h"

namespace plb {

template <class Record>
class TBatchedWatcher {
 public:
  // Gets every cycle's batch, empty ones included. Records it neither takes with Next nor
  // drops go back to the front of the queue.
  using Delivery = std::function<void(TBatch<Record>& batch)>;
  // Called under the queue's lock with the number of records a cycle took.
  using TakeHook = std::function<void(size_t taken)>;

  explicit TBatchedWatcher(std::string threadName, TWatcherLoop::StopWait wait = TWatcherLoop::StopWait::kPumpUi)
      : loop_(std::move(threadName), wait) {}
  ~TBatchedWatcher() { Stop(); }
  TBatchedWatcher(const TBatchedWatcher&) = delete;
  TBatchedWatcher& operator=(const TBatchedWatcher&) = delete;

  bool Start(Delivery deliver, TakeHook onTake = nullptr) {
    if (loop_.Running()) return false;
    {
      std::lock_guard guard(cycleLock_);
      deliver_ = std::move(deliver);
      onTake_ = std::move(onTake);
    }
    return loop_.Start([this] { Cycle(&loop_.StopRequest()); });
  }
  void Stop() { loop_.Stop(); }
  bool Running() const { return loop_.Running(); }
  bool OnWatcherThread() const { return loop_.OnWatcherThread(); }

  void Post(Record record) { queue_.Post(std::move(record)); }
  template <class UnderLock>
  void Post(Record record, UnderLock&& underLock) {
    queue_.Post(std::move(record), std::forward<UnderLock>(underLock));
  }
  size_t Pending() const { return queue_.Size(); }
  // The next cycle comes as soon as the loop's wake spacing allows.
  void Wake() { loop_.Wake(); }

  // One cycle on the calling thread, which no stop request cuts short; for tools and tests whose
  // watcher is stopped. Must not be called from inside a delivery.
  void RunCycle() { Cycle(nullptr); }

 private:
  void Cycle(const std::atomic<bool>* stop) {
    std::lock_guard guard(cycleLock_);
    if (!deliver_) return;
    auto hook = [this](size_t taken) {
      if (onTake_) onTake_(taken);
    };
    TBatch<Record> batch(queue_.TakeAll(hook), stop);
    try {
      deliver_(batch);
    } catch (...) {
      queue_.PutBack(batch.TakeRest());
      throw;
    }
    queue_.PutBack(batch.TakeRest());
  }

  TBatchQueue<Record> queue_;
  std::mutex cycleLock_;
  Delivery deliver_;
  TakeHook onTake_;
  TWatcherLoop loop_;
};

}  // namespace plb
