#include "platform/ui_dispatcher.h"

#include <atomic>
#include <chrono>

#include "platform/error.h"

namespace plb::platform {

namespace {
std::atomic<UiDispatcher*> g_current{nullptr};
}  // namespace

UiDispatcher* CurrentUiDispatcher() {
  return g_current.load();
}
void SetCurrentUiDispatcher(UiDispatcher* dispatcher) {
  g_current.store(dispatcher);
}

// What a thread waiting in RunAndWait waits on.
struct PumpedUiDispatcher::Completion {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  std::exception_ptr error;

  void Finish(std::exception_ptr e) {
    std::lock_guard lock(mutex);
    error = std::move(e);
    done = true;
    done_cv.notify_all();
  }
};

PumpedUiDispatcher::PumpedUiDispatcher() : ui_thread_(std::this_thread::get_id()) {}

PumpedUiDispatcher::~PumpedUiDispatcher() {
  std::deque<Job> left;
  {
    std::lock_guard lock(mutex_);
    left.swap(queue_);
  }
  for (Job& job : left) {
    if (job.completion) {
      job.completion->Finish(std::make_exception_ptr(Error("The UI thread ended before the call could run")));
    }
  }
}

void PumpedUiDispatcher::RunAndWait(std::function<void()> work) {
  if (IsUiThread()) {
    work();
    return;
  }
  auto completion = std::make_shared<Completion>();
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(Job{std::move(work), completion});
  }
  arrived_.notify_all();
  std::unique_lock lock(completion->mutex);
  completion->done_cv.wait(lock, [&] { return completion->done; });
  if (completion->error) std::rethrow_exception(completion->error);
}

void PumpedUiDispatcher::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(Job{std::move(work), nullptr});
  }
  arrived_.notify_all();
}

void PumpedUiDispatcher::ProcessPending() {
  if (IsUiThread()) RunQueued();
}

bool PumpedUiDispatcher::IsUiThread() const {
  return std::this_thread::get_id() == ui_thread_;
}

int PumpedUiDispatcher::PumpFor(int timeout_ms) {
  if (!IsUiThread()) return 0;
  {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !queue_.empty(); });
  }
  return RunQueued();
}

size_t PumpedUiDispatcher::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

// Runs what was queued when it started; work queued by that work waits for the next round, so a
// job that posts itself again cannot keep the caller here for ever.
int PumpedUiDispatcher::RunQueued() {
  std::deque<Job> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queue_);
  }
  int ran = 0;
  std::exception_ptr first_posted_error;
  for (Job& job : batch) {
    std::exception_ptr error;
    try {
      job.work();
    } catch (...) {
      error = std::current_exception();
    }
    ++ran;
    if (job.completion) {
      job.completion->Finish(error);
    } else if (error && !first_posted_error) {
      first_posted_error = error;
    }
  }
  if (first_posted_error) std::rethrow_exception(first_posted_error);
  return ran;
}

}  // namespace plb::platform
