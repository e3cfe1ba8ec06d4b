#pragma once
// The low-priority thread that completes the catalog items a view lists: every item whose EXIF
// data were never read or whose shooting date is unknown gets its image information read and
// applied, and the view is told afterwards so it can sort again. A newer list replaces the one
// being worked on between two items; the interrupted pass reports nothing.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/named_event.h"
#include "platform/thread_stop.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(EExifDateLoaderError, Error);

class TExifDateLoaderEx {
 public:
  // Called on the UI thread as (loader, changed) after a pass that no newer list overtook.
  using TCompletion = std::function<void(TExifDateLoaderEx* loader, bool changed)>;

  TExifDateLoaderEx();
  // Stops the thread when it still runs.
  ~TExifDateLoaderEx();
  TExifDateLoaderEx(const TExifDateLoaderEx&) = delete;
  TExifDateLoaderEx& operator=(const TExifDateLoaderEx&) = delete;

  void SetOnComplete(TCompletion completion);
  // Starts the thread below normal priority.
  bool Start(platform::ThreadPriority priority = platform::ThreadPriority::kBelowNormal);
  // Asks the thread to end and waits for it, letting the UI thread work meanwhile.
  void Stop();

  // Replaces the pending list by a copy of items (none clears it) and wakes the thread.
  void SetItems(const std::vector<TCatalogItem*>* items);
  // Moves the pending list into items; EExifDateLoaderError "CItems = nil" without a list.
  void GetNextItems(std::vector<TCatalogItem*>* items);
  // Reads and applies one item's image information when it is still missing.
  void LoadExifInfo(TCatalogItem* item);

  const std::string& EventName() const { return eventName_; }
  bool Terminated() const { return terminated_.load(); }

 private:
  void Execute();
  void Complete(bool changed);
  std::shared_ptr<platform::NamedEvent> WakeEvent() const;

  std::atomic<bool> changed_{false};
  std::mutex completionLock_;
  TCompletion completion_;
  std::vector<TCatalogItem*> pending_;
  std::mutex lock_;
  const std::string eventName_;
  std::shared_ptr<platform::NamedEvent> event_;  // keeps the named event alive
  std::atomic<bool> terminated_{false};
  platform::WorkerThread thread_;
};

}  // namespace plb
