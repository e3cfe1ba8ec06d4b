#include "engine/workers/thread_master.h"

#include <algorithm>
#include <exception>

#include "host/log_file.h"

#include "platform/ui_dispatcher.h"

namespace plb {

namespace {
constexpr int kWaitActiveMs = 200;
constexpr int kPollMs = 100;
}  // namespace

TProgressWatcher::TProgressWatcher(std::string eventName, std::function<TProgressPoll()> poll,
                                   TProgressUiHandler handler)
    : eventName_(std::move(eventName)), poll_(std::move(poll)), handler_(std::move(handler)) {}

TProgressWatcher::~TProgressWatcher() {
  Stop();
}

void TProgressWatcher::Start() {
  thread_.Start("TProgressWatcher", platform::ThreadPriority::kNormal, [this] { Execute(); });
}

void TProgressWatcher::Stop() {
  thread_.Stop([this] { terminated_ = true; });
}

void TProgressWatcher::Execute() {
  if (eventName_.empty() || !poll_ || !handler_) return;
  std::shared_ptr<platform::NamedEvent> active = platform::OpenNamedEvent(eventName_, false);
  while (!terminated_) {
    if (!active->Wait(kWaitActiveMs)) continue;
    Deliver(true, 0);
    while (!terminated_ && active->IsSet()) {
      const TProgressPoll now = poll_();
      if (now.active) Deliver(true, now.percent);
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    if (terminated_) break;
    Deliver(false, 0);
  }
}

void TProgressWatcher::Deliver(bool active, int percent) {
  if (reported_ && active == lastActive_ && percent == lastPercent_) return;
  reported_ = true;
  lastActive_ = active;
  lastPercent_ = percent;
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (ui) {
    ui->RunAndWait([&] { handler_(active, percent); });
  } else {
    handler_(active, percent);
  }
}

TThreadMaster::TThreadMaster() = default;

TThreadMaster::~TThreadMaster() {
  try {
    Shutdown();
  } catch (const std::exception& e) {
    LogFailure("TThreadMaster.Shutdown", e);  // a destructor cannot raise it
  }
}

int TThreadMaster::ThreadCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(threads_.size());
}

TProgressHandler TThreadMaster::GetProgressHandler() {
  return [this](TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position, int32_t) {
    OnProgress(sender, state, total, position);
  };
}

void TThreadMaster::RegisterThread(TOstraThreadBase* thread) {
  if (!thread) return;
  std::function<void(TOstraThreadBase*)> notify;
  {
    std::lock_guard guard(lock_);
    if (std::find(threads_.begin(), threads_.end(), thread) != threads_.end()) return;
    threads_.push_back(thread);
    notify = onRegistrationChanged_;
  }
  thread->SetProgressHandler(GetProgressHandler());
  if (notify) notify(thread);
}

void TThreadMaster::UnregisterThread(TOstraThreadBase* thread) {
  std::function<void(TOstraThreadBase*)> notify;
  {
    std::lock_guard guard(lock_);
    auto it = std::find(threads_.begin(), threads_.end(), thread);
    if (it == threads_.end()) return;
    threads_.erase(it);
    // A worker that leaves while it runs never reports its end here: take its share out now,
    // or the progress bar would stay up for the rest of the run.
    RetireLocked(thread);
    UpdateActiveEventLocked();
    notify = onRegistrationChanged_;
  }
  thread->SetProgressHandler(nullptr);
  if (notify) notify(thread);
}

void TThreadMaster::TerminateAll() {
  std::vector<TOstraThreadBase*> threads;
  {
    std::lock_guard guard(lock_);
    threads = threads_;
  }
  for (auto it = threads.rbegin(); it != threads.rend(); ++it) (*it)->Terminate();
}

void TThreadMaster::StartProgressWatcher(const std::string& name, TProgressUiHandler handler) {
  if (!handler) return;
  const std::string eventName = std::string(kActiveEventPrefix) + name;
  auto watcher = std::make_unique<TProgressWatcher>(
      eventName, [this] { return PollProgress(); }, std::move(handler));
  {
    std::lock_guard guard(lock_);
    activeEvent_ = platform::OpenNamedEvent(eventName, false);
    activeEvent_->Reset();
    UpdateActiveEventLocked();
    ++watchersStarted_;
  }
  watcher->Start();
  std::lock_guard guard(lock_);
  watcher_ = std::move(watcher);
}

void TThreadMaster::StopProgressWatcher() {
  std::unique_ptr<TProgressWatcher> watcher;
  {
    std::lock_guard guard(lock_);
    watcher = std::move(watcher_);
  }
  if (!watcher) return;
  // Waits outside the lock: workers that end meanwhile still report into the master.
  watcher->Stop();
  watcher.reset();
  std::lock_guard guard(lock_);
  if (activeEvent_) activeEvent_->Reset();
  activeEvent_.reset();
  watchersStarted_ = 0;
}

void TThreadMaster::RestartProgressWatcher(const std::string& name, TProgressUiHandler handler) {
  StopProgressWatcher();
  StartProgressWatcher(name, std::move(handler));
}

void TThreadMaster::Shutdown() {
  TerminateAll();
  StopProgressWatcher();
}

TProgressPoll TThreadMaster::PollProgress() const {
  std::lock_guard guard(lock_);
  TProgressPoll poll;
  poll.active = totalWork_ > 0;
  if (poll.active) poll.percent = static_cast<int>(std::clamp<int64_t>(doneWork_ * 100 / totalWork_, 0, 100));
  return poll;
}

void TThreadMaster::SetOnRegistrationChanged(std::function<void(TOstraThreadBase*)> callback) {
  std::lock_guard guard(lock_);
  onRegistrationChanged_ = std::move(callback);
}

int TThreadMaster::RunningCount() const {
  std::lock_guard guard(lock_);
  return runningCount_;
}

int64_t TThreadMaster::TotalWork() const {
  std::lock_guard guard(lock_);
  return totalWork_;
}

int64_t TThreadMaster::DoneWork() const {
  std::lock_guard guard(lock_);
  return doneWork_;
}

void TThreadMaster::OnProgress(TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position) {
  try {
    std::lock_guard guard(lock_);
    switch (state) {
      case psStarted: {
        // A second start without an end would count the worker twice for ever.
        RetireLocked(sender);
        ++runningCount_;
        totalWork_ += total;
        counted_[sender] = Contribution{static_cast<int64_t>(total), 0};
        break;
      }
      case psProgressing: {
        Contribution& c = counted_[sender];
        doneWork_ += static_cast<int64_t>(position) - c.position;
        c.position = position;
        break;
      }
      case psCompleted:
      case psCancelled:
      case psFailed:
        RetireLocked(sender);
        break;
      default:
        return;
    }
    UpdateActiveEventLocked();
  } catch (const std::exception& e) {
    // A report that cannot be counted costs the bar one step; it must never stop the worker.
    LogException("TThreadMaster.OnProgress", e);
  }
}

void TThreadMaster::RetireLocked(TOstraThreadBase* thread) {
  auto it = counted_.find(thread);
  if (it == counted_.end()) return;
  runningCount_ = std::max(0, runningCount_ - 1);
  totalWork_ = std::max<int64_t>(0, totalWork_ - it->second.total);
  doneWork_ = std::max<int64_t>(0, doneWork_ - it->second.position);
  counted_.erase(it);
}

void TThreadMaster::UpdateActiveEventLocked() {
  if (!activeEvent_) return;
  if (totalWork_ > 0) {
    activeEvent_->Set();
  } else {
    activeEvent_->Reset();
  }
}

}  // namespace plb
