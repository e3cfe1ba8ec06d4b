#pragma once
// Threads stop cooperatively: their owner signals them and waits until they have ended. While the
// owner waits on the UI thread it keeps running the UI work that is waiting, because a worker
// that is finishing may itself be waiting for the UI thread (a call it must complete before it
// can see the signal); a plain join would deadlock there.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ui_dispatcher.h"

namespace plb::platform {

// Priorities of background threads, as nice values of the thread:
//   kIdle 19, kLowest 15, kBelowNormal 5, kNormal 0.
// Raising a thread's nice value needs no privilege; lowering it again may be refused.
enum class ThreadPriority { kIdle, kLowest, kBelowNormal, kNormal };
int NiceValueOf(ThreadPriority priority);

// Sets the calling thread's priority; false when the system refused.
bool SetCurrentThreadPriority(ThreadPriority priority);

// Names the calling thread for debuggers and process lists. Names are cut to 15 bytes (the
// system's limit), at a character boundary of a UTF-8 name.
void SetCurrentThreadName(const std::string& name);
std::string CurrentThreadName();

// The name as it will be given to the system.
std::string CutThreadName(const std::string& name);

// A thread with a name, a priority and a cooperative stop.
class WorkerThread {
 public:
  WorkerThread() = default;
  // A thread still running at destruction is joined (without a signal): owners stop their
  // threads themselves, this only keeps the process from aborting.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts body on a new thread named name with the given priority. Starting a thread that
  // runs or has not been stopped yet is refused (returns false). An exception escaping body is
  // kept and can be taken with TakeError once the thread has ended.
  bool Start(const std::string& name, ThreadPriority priority, std::function<void()> body);

  // True from Start until body has returned.
  bool Running() const;
  // True once Start was called and the thread not yet stopped (joined).
  bool Started() const { return thread_.joinable(); }

  // Stops the thread: calls signal (which must make body return soon), then waits in rounds of
  // 50 ms until body has returned, letting ui process its pending work between rounds when the
  // caller is ui's thread, and joins. ui may be null. Returns at once when nothing was started.
  void Stop(const std::function<void()>& signal, UiDispatcher* ui = CurrentUiDispatcher());

  // Waits (same rounds) without signalling; for threads that end by themselves.
  void Join(UiDispatcher* ui = CurrentUiDispatcher());

  std::exception_ptr TakeError();

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended_cv;
    bool ended = false;
    std::exception_ptr error;
  };
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace plb::platform
