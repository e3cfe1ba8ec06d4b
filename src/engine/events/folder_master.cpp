#include "engine/events/folder_master.h"

#include <map>

#include "platform/ui_dispatcher.h"

namespace plb {

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, TFolderMaster*>& Registry() {
  static auto* masters = new std::map<std::string, TFolderMaster*>;
  return *masters;
}

class MasterRouter : public IFolderEventRouter {
 public:
  TFolderUpdateHandler Route(const std::string& masterName, TFolderUpdateHandler target) override {
    // A family without a master gets its events directly (tools without an event loop).
    std::lock_guard guard(RegistryLock());
    auto it = Registry().find(masterName);
    if (it == Registry().end()) return target;
    return it->second->Route(std::move(target));
  }
};

void InstallRouter() {
  static MasterRouter* router = [] {
    auto* r = new MasterRouter;
    SetFolderEventRouter(r);
    return r;
  }();
  (void)router;
}

}  // namespace

TFolderMaster* FindFolderMaster(const std::string& name) {
  std::lock_guard guard(RegistryLock());
  auto it = Registry().find(name);
  return it == Registry().end() ? nullptr : it->second;
}

TFolderMaster::TFolderMaster(std::string name) : name_(std::move(name)), watcher_("TFolderWatcher" + name_) {
  watcher_.Start([this](TBatch<Record>& batch) { Deliver(batch); });
  InstallRouter();
  std::lock_guard guard(RegistryLock());
  Registry()[name_] = this;
}

TFolderMaster::~TFolderMaster() {
  {
    std::lock_guard guard(RegistryLock());
    auto it = Registry().find(name_);
    if (it != Registry().end() && it->second == this) Registry().erase(it);
  }
  StopWatcher();
}

TFolderUpdateHandler TFolderMaster::Route(TFolderUpdateHandler target) {
  if (!watcher_.Running()) throw EFolderMasterException("フォルダの監視スレッドが初期化されていません。");
  const bool set = static_cast<bool>(target);
  {
    std::lock_guard guard(targetLock_);
    target_ = std::move(target);
  }
  if (!set) return nullptr;
  return
      [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) { PostEvent(node, kind, param); };
}

void TFolderMaster::PostEvent(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
  watcher_.Post(Record{node, kind, param});
}

size_t TFolderMaster::PendingCount() const {
  return watcher_.Pending();
}

void TFolderMaster::Deliver(TBatch<Record>& batch) {
  if (batch.Empty()) return;
  // One UI call per batch; the target is looked at before every record.
  auto deliverAll = [&] {
    while (const Record* r = batch.Next()) {
      TFolderUpdateHandler target;
      {
        std::lock_guard guard(targetLock_);
        target = target_;
      }
      if (!target) {
        batch.DropRest();
        return;
      }
      target(r->node, r->kind, r->param);
    }
  };
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (ui && !ui->IsUiThread()) {
    ui->RunAndWait(deliverAll);
  } else {
    deliverAll();
  }
}

}  // namespace plb
