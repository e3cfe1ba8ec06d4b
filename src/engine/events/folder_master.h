#pragma once
// The event queue of a family of nodes ("(Folder)", "(Album)"). Nodes post their events from
// whatever thread changed them; the master's watcher thread takes the whole queue every 100 ms
// and delivers it, in posting order, on the UI thread to the delivery target (the family's
// TFolderUpdateMaster). A master registers itself under its name, so that the node lists find
// it through RouteFolderEvents.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/events/folder_events.h"
#include "platform/error.h"
#include "platform/thread_stop.h"

namespace plb {

PLB_DECLARE_ERROR(EFolderMasterException, Error);

inline constexpr char kFolderMasterName[] = "(Folder)";
inline constexpr char kAlbumMasterName[] = "(Album)";

class TFolderMaster {
 public:
  // Starts the watcher (no delivery target yet) and registers the master under name.
  explicit TFolderMaster(std::string name);
  // Stops the watcher (running pending UI work while waiting) and unregisters the master.
  ~TFolderMaster();
  TFolderMaster(const TFolderMaster&) = delete;
  TFolderMaster& operator=(const TFolderMaster&) = delete;

  const std::string& Name() const { return name_; }

  // Makes target the delivery target (also when it is null) and answers the handler the nodes
  // should post to: the master's own post, or null for a null target. EFolderMasterException
  // when the watcher does not run.
  TFolderUpdateHandler Route(TFolderUpdateHandler target);

  void PostEvent(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param);
  size_t PendingCount() const;

  // Asks the watcher to end and waits; events still queued are dropped.
  void StopWatcher();
  bool WatcherRunning() const { return watcher_.Running(); }

 private:
  struct Record {
    TCustomFolder* node;
    TFolderUpdatedType kind;
    TFolderEventParam param;
  };
  void Execute();
  void Deliver(const std::vector<Record>& records);

  const std::string name_;
  mutable std::mutex queueLock_;
  std::vector<Record> queue_;
  mutable std::mutex targetLock_;
  TFolderUpdateHandler target_;
  std::mutex waitLock_;
  std::condition_variable wake_;
  std::atomic<bool> terminated_{false};
  platform::WorkerThread watcher_;
};

// The registered master of that name, or null.
TFolderMaster* FindFolderMaster(const std::string& name);

}  // namespace plb
