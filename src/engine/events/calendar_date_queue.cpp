#include "engine/events/calendar_date_queue.h"

#include "host/log_file.h"

namespace plb {

namespace {

constexpr uint8_t kSoundKind = 7;

// The root and its master live and go together; owners hold the root through this.
struct SharedCalendar {
  SharedCalendar(TCalendar* parent, const TFolderUpdateHandler& handler, double date)
      : root(std::make_unique<TCalendarRoot>(parent, handler, date)),
        master(std::make_unique<TCalendarMaster>(root.get())) {}
  ~SharedCalendar();

  std::unique_ptr<TCalendarRoot> root;
  std::unique_ptr<TCalendarMaster> master;  // declared last: stopped before the tree goes
};

struct Shared {
  std::recursive_mutex rootLock;  // held while the shared root is made, routed or let go
  std::weak_ptr<TCalendarRoot> owners;
  const TCalendarRoot* root = nullptr;
  std::mutex masterLock;  // held while a change is queued, so the master cannot go meanwhile
  TCalendarMaster* master = nullptr;
};
Shared& TheShared() {
  static auto* shared = new Shared;
  return *shared;
}

SharedCalendar::~SharedCalendar() {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.rootLock);
  // Still routed through the master: its delivery target is dropped with the nodes' handler.
  root->SetUpdateHandler(nullptr);
  // A new root may have been made since the last owner let go of this one.
  std::lock_guard masterGuard(shared.masterLock);
  if (shared.master != master.get()) return;
  shared.master = nullptr;
  shared.root = nullptr;
}

// Items reach the calendar through this link while the shared master exists.
class Link : public ICalendarLink {
 public:
  void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) override {
    plb::QueueDateChange(item, oldDate, newDate);
  }
};

// Installed again with every new master: a link that somebody replaced meanwhile would otherwise
// leave the new calendar deaf to every date change.
void InstallLink() {
  static Link* link = new Link;
  SetCalendarLink(link);
}

}  // namespace

TCalendarMaster::TCalendarMaster(TCalendarRoot* root)
    : root_(root), changing_(platform::OpenNamedEvent(kExifDateChangingEventName, false)) {
  changing_->Reset();
  // Reset only once a cycle found nothing: waiters see the event clear one cycle after the last
  // change was applied.
  dates_.Start([this](TBatch<TDateChange>& changes) { Deliver(changes); },
               [this](size_t taken) {
                 if (taken == 0) changing_->Reset();
               });
}

TCalendarMaster::~TCalendarMaster() {
  StopWatcher();
}

void TCalendarMaster::Enqueue(TCatalogItem* item, double oldDate, double newDate) {
  dates_.Post(TDateChange{item, oldDate, newDate}, [this] { changing_->Set(); });
}

void TCalendarMaster::PostEvent(TCustomFolder* node, TFolderUpdatedType kind) {
  events_.Post(NodeEvent(node, kind));
}

TFolderUpdateHandler TCalendarMaster::Route(TFolderUpdateHandler target) {
  const bool set = static_cast<bool>(target);
  {
    std::lock_guard guard(targetLock_);
    target_ = std::move(target);
  }
  if (!set) return nullptr;
  return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) { PostEvent(node, kind); };
}

void TCalendarMaster::Deliver(TBatch<TDateChange>& changes) {
  std::lock_guard guard(targetLock_);
  while (const TDateChange* change = changes.Next()) {
    try {
      Apply(*change);
    } catch (const std::exception& e) {
      // One bad record must not stop the calendar for the rest of the run.
      LogException("TCalendarWatcher", e);
    }
  }
  // The events of the changes just applied go out in the same cycle.
  TBatch<NodeEvent> events(events_.TakeAll(), changes.StopSignal());
  while (const NodeEvent* event = events.Next()) {
    if (!target_) continue;
    try {
      target_(event->first, event->second, 0);
    } catch (const std::exception& e) {
      LogException("TCalendarWatcher", e);
    }
  }
  events_.PutBack(events.TakeRest());
}

void TCalendarMaster::Apply(const TDateChange& change) {
  if (change.OldDate > 0) root_->LeafFor(false, change.OldDate)->DiscardItem(change.Item);
  if (change.NewDate > 0) root_->LeafFor(true, change.NewDate)->AddItem(change.Item, change.NewDate);
}

TFolderUpdateHandler RouteCalendarEvents(const TCalendarRoot* root, const TFolderUpdateHandler& target) {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.rootLock);
  if (!shared.master || root != shared.root) return target;
  return shared.master->Route(target);
}

std::shared_ptr<TCalendarRoot> AcquireCalendarRoot(TCalendar* parent, const TFolderUpdateHandler& handler,
                                                   double date) {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.rootLock);
  if (std::shared_ptr<TCalendarRoot> root = shared.owners.lock()) return root;
  auto calendar = std::make_shared<SharedCalendar>(parent, handler, date);
  InstallLink();
  {
    std::lock_guard masterGuard(shared.masterLock);
    shared.root = calendar->root.get();
    shared.master = calendar->master.get();
  }
  std::shared_ptr<TCalendarRoot> root(calendar, calendar->root.get());
  shared.owners = root;
  return root;
}

TCalendarMaster* CurrentCalendarMaster() {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.masterLock);
  return shared.master;
}

void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) {
  // The kind is read before the master's lock: items call in with and without their own lock
  // held, so no item lock may be taken under it.
  if (!item || item->Kind() == kSoundKind) return;
  Shared& shared = TheShared();
  std::lock_guard guard(shared.masterLock);
  if (shared.master) shared.master->Enqueue(item, oldDate, newDate);
}

}  // namespace plb
