#include "platform/named_event.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace plb::platform {

namespace {

// One lock and one condition for every event: waits on several events at once stay simple, and
// the events change state seldom enough that waking every waiter costs nothing worth measuring.
struct Registry {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, std::weak_ptr<NamedEvent>> by_name;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: threads may still wait at exit
  return *registry;
}

// Waits under the registry lock until ready() or the time-out; true when ready.
template <typename Ready>
bool WaitUntil(std::unique_lock<std::mutex>& lock, int timeout_ms, Ready ready) {
  Registry& r = TheRegistry();
  if (timeout_ms < 0) {
    r.changed.wait(lock, ready);
    return true;
  }
  return r.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

}  // namespace

void NamedEvent::Set() {
  Registry& r = TheRegistry();
  {
    std::lock_guard lock(r.mutex);
    set_ = true;
  }
  r.changed.notify_all();
}

void NamedEvent::Reset() {
  std::lock_guard lock(TheRegistry().mutex);
  set_ = false;
}

bool NamedEvent::IsSet() const {
  std::lock_guard lock(TheRegistry().mutex);
  return set_;
}

bool NamedEvent::Wait(int timeout_ms) const {
  std::unique_lock lock(TheRegistry().mutex);
  return WaitUntil(lock, timeout_ms, [&] { return set_; });
}

int NamedEvent::WaitAny(std::span<const std::shared_ptr<NamedEvent>> events, int timeout_ms) {
  std::unique_lock lock(TheRegistry().mutex);
  int found = -1;
  WaitUntil(lock, timeout_ms, [&] {
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i] && events[i]->set_) {
        found = static_cast<int>(i);
        return true;
      }
    }
    return false;
  });
  return found;
}

std::shared_ptr<NamedEvent> OpenNamedEvent(const std::string& name, bool initially_set) {
  if (name.empty()) return std::make_shared<NamedEvent>(name, initially_set);
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::weak_ptr<NamedEvent>& slot = r.by_name[name];
  if (auto existing = slot.lock()) return existing;
  auto event = std::make_shared<NamedEvent>(name, initially_set);
  slot = event;
  // Forget names whose events are gone, so the map does not grow with per-run names.
  std::erase_if(r.by_name, [](const auto& entry) { return entry.second.expired(); });
  return event;
}

}  // namespace plb::platform
