#pragma once
// The event queue of a family of nodes ("(Folder)", "(Album)"). Nodes post their events from
// whatever thread changed them; the master's watcher thread takes the whole queue every 100 ms
// and delivers it, in posting order, on the UI thread to the delivery target (the family's
// TFolderUpdateMaster). A master registers itself under its name, so that the node lists find
// it through RouteFolderEvents.
#include <mutex>
#include <string>

#include "engine/events/batched_watcher.h"
#include "engine/events/folder_events.h"
#include "platform/error.h"

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

  // Asks the watcher to end and waits; events still queued stay undelivered.
  void StopWatcher() { watcher_.Stop(); }
  bool WatcherRunning() const { return watcher_.Running(); }

 private:
  struct Record {
    TCustomFolder* node;
    TFolderUpdatedType kind;
    TFolderEventParam param;
  };
  void Deliver(TBatch<Record>& batch);

  const std::string name_;
  mutable std::mutex targetLock_;
  TFolderUpdateHandler target_;
  TBatchedWatcher<Record> watcher_;
};

// The registered master of that name, or null.
TFolderMaster* FindFolderMaster(const std::string& name);

}  // namespace plb
