#include "engine/workers/thread_base.h"

#include <exception>

#include "engine/workers/worker_control.h"
#include "host/log_file.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {
constexpr int kNamedEventSliceMs = 100;
// Workers wait on the worker gate by name: it must exist, open, before the first of them runs.
[[maybe_unused]] const bool kWorkerGateReady = WorkerControlEvent() != nullptr;
}  // namespace

TOstraThreadBase::TOstraThreadBase(std::string className) : className_(std::move(className)) {}

TOstraThreadBase::~TOstraThreadBase() {
  Stop();
}

bool TOstraThreadBase::Start(platform::ThreadPriority priority) {
  if (thread_.Running()) return false;
  thread_.Join();  // an earlier run that has ended
  terminated_ = false;
  return thread_.Start(className_, priority, [this] { Execute(); });
}

void TOstraThreadBase::Terminate() {
  terminated_ = true;
}

bool TOstraThreadBase::IsTerminated() const {
  return terminated_.load();
}

void TOstraThreadBase::Stop() {
  thread_.Stop([this] { Terminate(); });
}

void TOstraThreadBase::WaitFor() {
  thread_.Join();
}

void TOstraThreadBase::SetProgressHandler(TProgressHandler handler) {
  std::lock_guard guard(handlerLock_);
  handler_ = std::move(handler);
}

TProgressHandler TOstraThreadBase::ProgressHandler() const {
  std::lock_guard guard(handlerLock_);
  return handler_;
}

void TOstraThreadBase::ProgressStart(uint32_t total) {
  state_ = psStarted;
  total_ = total;
  position_ = 0;
  Report();
}

void TOstraThreadBase::ProgressStep(int32_t delta) {
  if (IsTerminated()) return;
  state_ = psProgressing;
  position_ += delta;
  Report();
}

void TOstraThreadBase::ProgressSet(int32_t position) {
  if (IsTerminated()) return;
  state_ = psProgressing;
  position_ = position;
  Report();
}

void TOstraThreadBase::ProgressEnd(uint8_t state) {
  state_ = state;
  Report();
}

void TOstraThreadBase::Report() {
  TProgressHandler handler = ProgressHandler();
  if (!handler) return;
  const uint8_t state = state_;
  const uint32_t total = total_;
  const int32_t position = position_;
  const int32_t errors = errorCount_;
  auto call = [&] { handler(this, state, total, position, errors); };
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (synchronizeProgress_ && ui) {
    ui->RunAndWait(call);
  } else {
    call();
  }
}

std::shared_ptr<platform::NamedEvent> TOstraThreadBase::OpenNamedEvent(const std::string& name) {
  if (name.empty()) return nullptr;
  return platform::OpenNamedEvent(name, false);
}

bool TOstraThreadBase::WaitNamedEvent(const std::string& name) {
  if (name.empty()) return true;
  try {
    std::shared_ptr<platform::NamedEvent> event = OpenNamedEvent(name);
    if (!event) return false;
    while (!IsTerminated()) {
      if (event->Wait(kNamedEventSliceMs)) return true;
    }
    return false;
  } catch (const std::exception& e) {
    // The event is the worker's cue to go on; without one it stops as if terminated.
    LogFailure("TOstraThreadBase.WaitNamedEvent", name, e);
    return false;
  }
}

void TOstraThreadBase::SignalNamedEvent(const std::string& name) {
  if (std::shared_ptr<platform::NamedEvent> event = OpenNamedEvent(name)) event->Set();
}

}  // namespace plb
