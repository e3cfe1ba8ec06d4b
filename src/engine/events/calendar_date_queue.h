#pragma once
// The calendar's queues and watcher. Threads that change an item's shooting date never touch the
// tree: they queue (item, old date, new date). The watcher thread applies the queued changes every
// 100 ms, then delivers the node events those changes raised to the calendar's delivery target,
// on the watcher thread itself (listeners hand work to the UI on their own).
//
// One calendar root exists per process, shared by reference count.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "platform/named_event.h"
#include "platform/thread_stop.h"

namespace plb {

// Set while shooting-date changes wait to be applied.
inline constexpr char kExifDateChangingEventName[] = "OSTRA-ExifDateChanging-EventName";

struct TDateChange {
  TCatalogItem* Item;
  double OldDate;  // 0: none
  double NewDate;  // 0: none
};

class TCalendarMaster : public ICalendarLink {
 public:
  // Makes the queues and the named event and starts the watcher for root.
  explicit TCalendarMaster(TCalendarRoot* root);
  // Stops and joins the watcher.
  ~TCalendarMaster() override;
  TCalendarMaster(const TCalendarMaster&) = delete;
  TCalendarMaster& operator=(const TCalendarMaster&) = delete;

  void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) override;
  // Queues without looking at the item (no item lock is taken).
  void Enqueue(TCatalogItem* item, double oldDate, double newDate);
  // The queue, emptied; taking an empty queue resets the named event.
  std::vector<TDateChange> TakeAllDateChanges();
  void PostEvent(TCustomFolder* node, TFolderUpdatedType kind);
  std::vector<std::pair<TCustomFolder*, TFolderUpdatedType>> TakeAllEvents();

  // Makes target the delivery target and answers the handler the nodes post to (null for a
  // null target).
  TFolderUpdateHandler Route(TFolderUpdateHandler target);

  // One watcher cycle: apply the date changes, then deliver the events. The watcher runs it
  // every 100 ms; a failing record or listener is logged and skipped. Tools and tests whose
  // watcher is stopped run cycles themselves.
  void RunCycle();
  void StopWatcher();
  bool WatcherRunning() const { return watcher_.Running(); }

 private:
  void Execute();
  // stop: the watcher's termination request, looked at between records (null: none).
  void Cycle(const std::atomic<bool>* stop);
  void Apply(const TDateChange& change);

  TCalendarRoot* const root_;
  std::mutex dateLock_;
  std::vector<TDateChange> dates_;
  std::mutex eventLock_;
  std::vector<std::pair<TCustomFolder*, TFolderUpdatedType>> events_;
  std::shared_ptr<platform::NamedEvent> changing_;
  std::recursive_mutex watcherLock_;
  TFolderUpdateHandler target_;
  std::mutex waitLock_;
  std::condition_variable wake_;
  std::atomic<bool> terminated_{false};
  platform::WorkerThread watcher_;
};

// The process's calendar root, made (with its master) on first use; counts a reference.
TCalendarRoot* AcquireCalendarRoot(TCalendar* parent = nullptr, const TFolderUpdateHandler& handler = nullptr,
                                   double date = 0);
// Drops a reference and clears root; the last one stops the watcher and frees the tree. A root
// other than the shared one is simply freed.
void ReleaseCalendarRoot(TCalendarRoot*& root);
// The shared root's master, or null.
TCalendarMaster* CurrentCalendarMaster();

// Queues a placement change of item (nothing without a master, for no item or a sound file).
void QueueDateChange(TCatalogItem* item, double newDate, double oldDate);

}  // namespace plb
