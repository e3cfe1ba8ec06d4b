#pragma once
// The base of the engine's long-running workers (printing, collage, date change, list-up,
// information reading, export). A worker announces its amount of work, reports what it has done
// and how it ended through one progress protocol, so the thread master can aggregate all running
// workers into one progress bar and a dialog can follow a single worker.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/named_event.h"
#include "platform/thread_stop.h"

namespace plb {

// The fixed kind code of each worker class.
enum TWorkerKind : uint8_t {
  wkInfoDataReader = 10,
  wkExifDateChanger = 25,
  wkImagePrintThread = 27,
  wkListupItemsThreadEx = 28,
  wkFileUpdaterEx = 29,
  wkBgmFileUpdater = 34,
  wkBgmUploader = 35,
  wkExportFolderThreadEx = 37,
  wkCollageMaker = 38,
  wkZenmoaAlbumInporter = 40,
};

enum TProgressState : uint8_t {
  psStarted = 0,
  psProgressing = 1,
  psCompleted = 2,
  psCancelled = 3,
  psFailed = 4,
};

class TOstraThreadBase;
// Called as (sender, state, total, position, error count).
using TProgressHandler =
    std::function<void(TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position, int32_t errors)>;

class TOstraThreadBase {
 public:
  // className names the thread for debuggers and process lists.
  explicit TOstraThreadBase(std::string className);
  // A worker still running is stopped (signalled and waited for).
  virtual ~TOstraThreadBase();
  TOstraThreadBase(const TOstraThreadBase&) = delete;
  TOstraThreadBase& operator=(const TOstraThreadBase&) = delete;

  const std::string& ClassName() const { return className_; }
  virtual uint8_t WorkerKind() const = 0;

  // Starts Execute on a thread of its own; false when it already runs.
  bool Start(platform::ThreadPriority priority = platform::ThreadPriority::kNormal);
  // Asks the worker to end; it notices at its next IsTerminated.
  void Terminate();
  virtual bool IsTerminated() const;
  // Terminate, then wait until Execute has returned, running pending UI work meanwhile.
  void Stop();
  // Waits without asking (for workers that end by themselves).
  void WaitFor();
  bool Running() const { return thread_.Running(); }

  // When set, reports run on the UI thread and the worker waits for them. Set before Start.
  void SetSynchronizeProgress(bool on) { synchronizeProgress_ = on; }
  bool SynchronizeProgress() const { return synchronizeProgress_; }
  // The handler may be installed or cleared while the worker runs.
  void SetProgressHandler(TProgressHandler handler);
  TProgressHandler ProgressHandler() const;

  uint8_t ProgressState() const { return state_.load(); }
  uint32_t Total() const { return total_.load(); }
  int32_t Position() const { return position_.load(); }
  int32_t SuccessCount() const { return successCount_.load(); }
  int32_t ErrorCount() const { return errorCount_.load(); }
  void CountSuccess() { ++successCount_; }
  void CountError() { ++errorCount_; }

  // The progress protocol. Start and End are reported even after termination was asked; Step
  // and Set are not.
  virtual void ProgressStart(uint32_t total);
  virtual void ProgressStep(int32_t delta);
  virtual void ProgressSet(int32_t position);
  virtual void ProgressEnd(uint8_t state);

  // Named events: none for an empty name; otherwise the manual-reset event of that name, made
  // unsignalled when it did not exist.
  virtual std::shared_ptr<platform::NamedEvent> OpenNamedEvent(const std::string& name);
  // True at once for an empty name; otherwise waits until the event is set (true) or the worker
  // is asked to end (false). Never raises.
  virtual bool WaitNamedEvent(const std::string& name);
  virtual void SignalNamedEvent(const std::string& name);

 protected:
  virtual void Execute() = 0;

 private:
  void Report();

  const std::string className_;
  platform::WorkerThread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> synchronizeProgress_{false};
  std::atomic<uint8_t> state_{psStarted};
  std::atomic<uint32_t> total_{0};
  std::atomic<int32_t> position_{0};
  std::atomic<int32_t> successCount_{0};
  std::atomic<int32_t> errorCount_{0};
  mutable std::mutex handlerLock_;
  TProgressHandler handler_;
};

}  // namespace plb
