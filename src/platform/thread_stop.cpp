#include "platform/thread_stop.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <utility>

namespace plb::platform {

namespace {
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
}  // namespace

int NiceValueOf(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::kIdle:
      return 19;
    case ThreadPriority::kLowest:
      return 15;
    case ThreadPriority::kBelowNormal:
      return 5;
    case ThreadPriority::kNormal:
      return 0;
  }
  return 0;
}

bool SetCurrentThreadPriority(ThreadPriority priority) {
  // On Linux the nice value of PRIO_PROCESS with a thread id belongs to that thread alone.
  auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  return ::setpriority(PRIO_PROCESS, tid, NiceValueOf(priority)) == 0;
}

std::string CutThreadName(const std::string& name) {
  if (name.size() <= 15) return name;
  size_t cut = 15;
  // Back up over continuation bytes so no character is split.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

void SetCurrentThreadName(const std::string& name) {
  ::pthread_setname_np(::pthread_self(), CutThreadName(name).c_str());
}

std::string CurrentThreadName() {
  char name[16] = {};
  if (::pthread_getname_np(::pthread_self(), name, sizeof name) != 0) return {};
  return name;
}

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.join();
}

bool WorkerThread::Start(const std::string& name, ThreadPriority priority, std::function<void()> body) {
  if (thread_.joinable()) return false;
  state_ = std::make_shared<State>();
  thread_ = std::thread([state = state_, name, priority, body = std::move(body)] {
    SetCurrentThreadName(name);
    if (priority != ThreadPriority::kNormal) SetCurrentThreadPriority(priority);
    std::exception_ptr error;
    try {
      body();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(state->mutex);
    state->error = error;
    state->ended = true;
    state->ended_cv.notify_all();
  });
  return true;
}

bool WorkerThread::Running() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mutex);
  return !state_->ended;
}

void WorkerThread::Stop(const std::function<void()>& signal, UiDispatcher* ui) {
  if (!thread_.joinable()) return;
  if (signal) signal();
  Join(ui);
}

void WorkerThread::Join(UiDispatcher* ui) {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) return;  // a thread cannot wait for itself
  bool pump = ui && ui->IsUiThread();
  while (true) {
    {
      std::unique_lock lock(state_->mutex);
      if (state_->ended_cv.wait_for(lock, kWaitSlice, [&] { return state_->ended; })) break;
    }
    if (pump) ui->ProcessPending();
  }
  // UI work run during the wait may have stopped this thread already.
  if (thread_.joinable()) thread_.join();
}

std::exception_ptr WorkerThread::TakeError() {
  if (!state_) return nullptr;
  std::lock_guard lock(state_->mutex);
  return std::exchange(state_->error, nullptr);
}

}  // namespace plb::platform
