#pragma once
// The calendar's queues and watcher. Threads that change an item's shooting date never touch the
// tree: they queue (item, old date, new date). The watcher thread applies the queued changes every
// 100 ms, then delivers the node events those changes raised to the calendar's delivery target,
// on the watcher thread itself (listeners hand work to the UI on their own).
//
// One calendar root exists per process, shared by its owners; the last one to let go stops the
// watcher and frees the tree.
#include <memory>
#include <mutex>
#include <utility>

#include "engine/events/batched_watcher.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "platform/named_event.h"

namespace plb {

// Set while shooting-date changes wait to be applied.
inline constexpr char kExifDateChangingEventName[] = "OSTRA-ExifDateChanging-EventName";

struct TDateChange {
  TCatalogItem* Item;
  double OldDate;  // 0: none
  double NewDate;  // 0: none
};

class TCalendarMaster {
 public:
  // Makes the queues and the named event and starts the watcher for root.
  explicit TCalendarMaster(TCalendarRoot* root);
  // Stops and joins the watcher.
  ~TCalendarMaster();
  TCalendarMaster(const TCalendarMaster&) = delete;
  TCalendarMaster& operator=(const TCalendarMaster&) = delete;

  // Queues without looking at the item (no item lock is taken).
  void Enqueue(TCatalogItem* item, double oldDate, double newDate);
  void PostEvent(TCustomFolder* node, TFolderUpdatedType kind);

  // Makes target the delivery target and answers the handler the nodes post to (null for a
  // null target). Once it has returned, no event goes to the previous target.
  TFolderUpdateHandler Route(TFolderUpdateHandler target);

  // One watcher cycle: apply the date changes, then deliver the events. The watcher runs it
  // every 100 ms; a failing record or listener is logged and skipped. Tools and tests whose
  // watcher is stopped run cycles themselves.
  void RunCycle() { dates_.RunCycle(); }
  // Changes and events a stop cut off stay queued for RunCycle.
  void StopWatcher() { dates_.Stop(); }
  bool WatcherRunning() const { return dates_.Running(); }

 private:
  using NodeEvent = std::pair<TCustomFolder*, TFolderUpdatedType>;
  void Deliver(TBatch<TDateChange>& changes);
  void Apply(const TDateChange& change);

  TCalendarRoot* const root_;
  std::shared_ptr<platform::NamedEvent> changing_;
  TBatchQueue<NodeEvent> events_;
  std::recursive_mutex targetLock_;  // held by every cycle, so a new target waits for it
  TFolderUpdateHandler target_;
  // Never waits for the UI thread, so a stop simply joins it.
  TBatchedWatcher<TDateChange> dates_{"TCalendarWatcher", TWatcherLoop::StopWait::kJoin};
};

// The process's calendar root, made (with its master) when no owner holds it.
std::shared_ptr<TCalendarRoot> AcquireCalendarRoot(TCalendar* parent = nullptr,
                                                   const TFolderUpdateHandler& handler = nullptr, double date = 0);
// The shared root's master, or null.
TCalendarMaster* CurrentCalendarMaster();

// Queues a placement change of item (nothing without a master, for no item or a sound file).
void QueueDateChange(TCatalogItem* item, double oldDate, double newDate);

}  // namespace plb
