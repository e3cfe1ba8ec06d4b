#include "engine/events/catalog_update_bus.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/events/batched_watcher.h"
#include "host/log_file.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {

struct Listener {
  const void* owner;
  std::string ownerClassName;
  std::string code;
  bool synchronized;
  TCatalogUpdateHandler handler;
  std::atomic<bool> retired{false};
};

struct Record {
  TCatalogItem* item;
  uint8_t kind;
};

class CatalogUpdateBus {
 public:
  CatalogUpdateBus() {
    watcher_.Start([this](TBatch<Record>& batch) { Deliver(batch); });
  }
  ~CatalogUpdateBus() { Stop(); }

  void Stop() { watcher_.Stop(); }

  // Each change is one the user waits to see in the grid (a new thumbnail above all): the watcher
  // delivers it at its next wake instead of the end of its period.
  void Raise(TCatalogItem* item, uint8_t kind) {
    watcher_.Post(Record{item, kind});
    watcher_.Wake();
  }

  void Register(std::shared_ptr<Listener> listener) {
    std::lock_guard guard(listenersLock_);
    listeners_.push_back(std::move(listener));
  }

  void Unregister(const void* owner, const std::string& code) {
    {
      std::lock_guard guard(listenersLock_);
      for (size_t i = listeners_.size(); i-- > 0;) {
        if (listeners_[i]->owner != owner || listeners_[i]->code != code) continue;
        listeners_[i]->retired = true;
        retired_.push_back(std::move(listeners_[i]));
        listeners_.erase(listeners_.begin() + i);
      }
    }
    // A direct call of that listener may be under way on the watcher: wait until it is over.
    if (!watcher_.OnWatcherThread()) {
      std::lock_guard call(callLock_);
    }
  }

 private:
  void Deliver(TBatch<Record>& batch) {
    if (batch.Empty()) return;
    std::vector<std::shared_ptr<Listener>> copy;
    {
      std::lock_guard guard(listenersLock_);
      copy = listeners_;
    }
    // When every listener wants the UI thread (the grids), the whole batch goes over in one
    // synchronised call: a round trip per record to a busy UI thread made a burst of new
    // thumbnails reach the grid a tenth of a second late. The calls and their order are the same.
    platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
    const bool allOnUi =
        ui && !copy.empty() && std::all_of(copy.begin(), copy.end(), [](const auto& l) { return l->synchronized; });
    if (allOnUi) {
      try {
        ui->RunAndWait([&] { DeliverHere(batch, copy); });
      } catch (const std::exception& e) {
        // The UI thread is gone (the program ends): nobody is left to tell.
        LogException("TCatalogUpdateWatcher", e);
      }
    } else {
      DeliverHere(batch, copy);
    }
  }

  void DeliverHere(TBatch<Record>& batch, std::vector<std::shared_ptr<Listener>>& copy) {
    while (const Record* r = batch.Next()) {
      for (size_t i = copy.size(); i-- > 0;) {
        if (batch.StopRequested()) return;
        if (!Call(*copy[i], *r)) copy.erase(copy.begin() + i);
      }
    }
  }

  // False when the listener raised: it misses the rest of this cycle.
  bool Call(Listener& l, const Record& r) {
    try {
      platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
      if (l.synchronized && ui && !ui->IsUiThread()) {
        // Owners are destroyed on the UI thread, so the mark is looked at there.
        ui->RunAndWait([&] {
          if (!l.retired) l.handler(r.item, r.kind);
        });
      } else if (l.synchronized && ui) {
        if (!l.retired) l.handler(r.item, r.kind);
      } else {
        std::lock_guard call(callLock_);
        if (!l.retired) l.handler(r.item, r.kind);
      }
      return true;
    } catch (const std::exception& e) {
      LogException("TCatalogUpdateWatcher : " + l.ownerClassName, e);
      return false;
    } catch (...) {
      return false;
    }
  }

  std::mutex listenersLock_;
  std::vector<std::shared_ptr<Listener>> listeners_;
  std::vector<std::shared_ptr<Listener>> retired_;
  std::mutex callLock_;
  TBatchedWatcher<Record> watcher_{"TCatalogUpdateWatcher"};
};

std::mutex& BusLock() {
  static std::mutex lock;
  return lock;
}
std::shared_ptr<CatalogUpdateBus>& TheBus() {
  static auto* bus = new std::shared_ptr<CatalogUpdateBus>;
  return *bus;
}

std::shared_ptr<CatalogUpdateBus> CurrentBus() {
  std::lock_guard guard(BusLock());
  return TheBus();
}

[[noreturn]] void RaiseUpdaterError(const char* function, const std::exception& e) {
  throw ECatalogUpdaterError(std::string(function) + "\r\n\r\n" + ClassNameOf(e) + "\r\n" + MessageOf(e) + "\r\n");
}

void CheckListener(const void* owner, bool hasHandler) {
  if (!owner) throw Error("AOwner = nil");
  if (!hasHandler) throw Error("AEvent = nil");
}

std::shared_ptr<CatalogUpdateBus> RequireBus() {
  std::shared_ptr<CatalogUpdateBus> bus = CurrentBus();
  if (!bus) throw Error("CatalogUpdateWatcher が初期化されていません。");
  return bus;
}

}  // namespace

void InitializeCatalogUpdater() {
  try {
    std::lock_guard guard(BusLock());
    if (!TheBus()) TheBus() = std::make_shared<CatalogUpdateBus>();
  } catch (const std::exception& e) {
    RaiseUpdaterError("InitializeCatalogUpdater", e);
  }
}

void FinalizeCatalogUpdater() {
  try {
    std::shared_ptr<CatalogUpdateBus> bus;
    {
      // Out of its slot first, so that nothing reaches it while we wait for its watcher.
      std::lock_guard guard(BusLock());
      bus.swap(TheBus());
    }
    if (bus) bus->Stop();
  } catch (const std::exception& e) {
    RaiseUpdaterError("FinalizeCatalogUpdater", e);
  }
}

void RegisterCatalogUpdateEvent(const void* owner, std::string ownerClassName, bool synchronized,
                                std::string handlerCode, TCatalogUpdateHandler handler) {
  try {
    CheckListener(owner, static_cast<bool>(handler));
    std::shared_ptr<CatalogUpdateBus> bus = RequireBus();
    auto listener = std::make_shared<Listener>();
    listener->owner = owner;
    listener->ownerClassName = std::move(ownerClassName);
    listener->code = std::move(handlerCode);
    listener->synchronized = synchronized;
    listener->handler = std::move(handler);
    bus->Register(std::move(listener));
  } catch (const std::exception& e) {
    RaiseUpdaterError("RegisterCatalogUpdateEvent", e);
  }
}

void UnRegisterCatalogUpdateEvent(const void* owner, const std::string& handlerCode) {
  try {
    CheckListener(owner, !handlerCode.empty());
    RequireBus()->Unregister(owner, handlerCode);
  } catch (const std::exception& e) {
    RaiseUpdaterError("UnRegisterCatalogUpdateEvent", e);
  }
}

void RaiseCatalogUpdateEvent(TCatalogItem* item, uint8_t kind) {
  try {
    if (!item) return;
    if (std::shared_ptr<CatalogUpdateBus> bus = CurrentBus()) bus->Raise(item, kind);
  } catch (const std::exception& e) {
    RaiseUpdaterError("RaiseCatalogUpdateEvent", e);
  }
}

bool CatalogUpdaterRunning() {
  return CurrentBus() != nullptr;
}

}  // namespace plb
