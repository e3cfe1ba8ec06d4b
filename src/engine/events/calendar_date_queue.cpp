#include "engine/events/calendar_date_queue.h"

#include <chrono>

#include "host/log_file.h"

namespace plb {

namespace {

constexpr auto kCycle = std::chrono::milliseconds(100);
constexpr uint8_t kSoundKind = 7;

struct Shared {
  std::recursive_mutex rootLock;  // held while the shared root or master is made, routed or freed
  TCalendarRoot* root = nullptr;
  int references = 0;
  std::mutex masterLock;  // held while a change is queued, so the master cannot go meanwhile
  TCalendarMaster* master = nullptr;
};
Shared& TheShared() {
  static auto* shared = new Shared;
  return *shared;
}

// Items reach the calendar through this link while the shared master exists.
class Link : public ICalendarLink {
 public:
  void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) override {
    plb::QueueDateChange(item, newDate, oldDate);
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
  watcher_.Start("TCalendarWatcher", platform::ThreadPriority::kNormal, [this] { Execute(); });
}

TCalendarMaster::~TCalendarMaster() {
  StopWatcher();
}

void TCalendarMaster::QueueDateChange(TCatalogItem* item, double oldDate, double newDate) {
  if (!item || item->Kind() == kSoundKind) return;
  Enqueue(item, oldDate, newDate);
}

void TCalendarMaster::Enqueue(TCatalogItem* item, double oldDate, double newDate) {
  std::lock_guard guard(dateLock_);
  dates_.push_back(TDateChange{item, oldDate, newDate});
  changing_->Set();
}

std::vector<TDateChange> TCalendarMaster::TakeAllDateChanges() {
  std::lock_guard guard(dateLock_);
  std::vector<TDateChange> taken;
  taken.swap(dates_);
  // Reset only once a cycle found nothing: waiters see the event clear one cycle after the last
  // change was applied.
  if (taken.empty()) changing_->Reset();
  return taken;
}

void TCalendarMaster::PostEvent(TCustomFolder* node, TFolderUpdatedType kind) {
  std::lock_guard guard(eventLock_);
  events_.emplace_back(node, kind);
}

std::vector<std::pair<TCustomFolder*, TFolderUpdatedType>> TCalendarMaster::TakeAllEvents() {
  std::lock_guard guard(eventLock_);
  std::vector<std::pair<TCustomFolder*, TFolderUpdatedType>> taken;
  taken.swap(events_);
  return taken;
}

TFolderUpdateHandler TCalendarMaster::Route(TFolderUpdateHandler target) {
  const bool set = static_cast<bool>(target);
  {
    std::lock_guard guard(watcherLock_);
    target_ = std::move(target);
  }
  if (!set) return nullptr;
  return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) { PostEvent(node, kind); };
}

void TCalendarMaster::StopWatcher() {
  // The watcher never waits for the UI thread, so a plain join is safe here.
  watcher_.Stop(
      [this] {
        std::lock_guard guard(waitLock_);
        terminated_ = true;
        wake_.notify_all();
      },
      nullptr);
}

void TCalendarMaster::Execute() {
  while (true) {
    {
      std::unique_lock lock(waitLock_);
      if (wake_.wait_for(lock, kCycle, [this] { return terminated_.load(); })) return;
    }
    Cycle(&terminated_);
  }
}

void TCalendarMaster::RunCycle() {
  Cycle(nullptr);
}

void TCalendarMaster::Cycle(const std::atomic<bool>* stop) {
  auto stopping = [stop] { return stop && stop->load(); };
  std::lock_guard guard(watcherLock_);
  for (const TDateChange& change : TakeAllDateChanges()) {
    if (stopping()) break;
    try {
      Apply(change);
    } catch (const std::exception& e) {
      // One bad record must not stop the calendar for the rest of the run.
      LogException("TCalendarWatcher", e);
    }
  }
  if (stopping()) return;
  for (const auto& [node, kind] : TakeAllEvents()) {
    if (stopping()) break;
    if (!target_) continue;
    try {
      target_(node, kind, 0);
    } catch (const std::exception& e) {
      LogException("TCalendarWatcher", e);
    }
  }
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

TCalendarRoot* AcquireCalendarRoot(TCalendar* parent, const TFolderUpdateHandler& handler, double date) {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.rootLock);
  if (!shared.root) {
    auto root = std::make_unique<TCalendarRoot>(parent, handler, date);
    auto master = std::make_unique<TCalendarMaster>(root.get());
    InstallLink();
    std::lock_guard masterGuard(shared.masterLock);
    shared.root = root.release();
    shared.master = master.release();
  }
  ++shared.references;
  return shared.root;
}

void ReleaseCalendarRoot(TCalendarRoot*& root) {
  Shared& shared = TheShared();
  TCalendarRoot* release = std::exchange(root, nullptr);
  if (!release) return;
  std::unique_lock guard(shared.rootLock);
  if (release != shared.root) {
    guard.unlock();
    delete release;
    return;
  }
  if (--shared.references > 0) return;
  release->SetUpdateHandler(nullptr);
  TCalendarMaster* master;
  {
    std::lock_guard masterGuard(shared.masterLock);
    master = std::exchange(shared.master, nullptr);
    shared.root = nullptr;
  }
  delete master;
  delete release;
}

TCalendarMaster* CurrentCalendarMaster() {
  Shared& shared = TheShared();
  std::lock_guard guard(shared.masterLock);
  return shared.master;
}

void QueueDateChange(TCatalogItem* item, double newDate, double oldDate) {
  // The kind is read before the master's lock: items call in with and without their own lock
  // held, so no item lock may be taken under it.
  if (!item || item->Kind() == kSoundKind) return;
  Shared& shared = TheShared();
  std::lock_guard guard(shared.masterLock);
  if (shared.master) shared.master->Enqueue(item, oldDate, newDate);
}

}  // namespace plb
