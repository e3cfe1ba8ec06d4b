#include "engine/events/folder_master.h"

#include <chrono>
#include <map>

#include "host/log_file.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {

constexpr auto kCycle = std::chrono::milliseconds(100);

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

TFolderMaster::TFolderMaster(std::string name) : name_(std::move(name)) {
  watcher_.Start("TFolderWatcher" + name_, platform::ThreadPriority::kNormal, [this] { Execute(); });
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
  std::lock_guard guard(queueLock_);
  queue_.push_back(Record{node, kind, param});
}

size_t TFolderMaster::PendingCount() const {
  std::lock_guard guard(queueLock_);
  return queue_.size();
}

void TFolderMaster::StopWatcher() {
  watcher_.Stop([this] {
    std::lock_guard guard(waitLock_);
    terminated_ = true;
    wake_.notify_all();
  });
}

void TFolderMaster::Execute() {
  while (true) {
    {
      std::unique_lock lock(waitLock_);
      if (wake_.wait_for(lock, kCycle, [this] { return terminated_.load(); })) return;
    }
    std::vector<Record> taken;
    {
      std::lock_guard guard(queueLock_);
      taken.swap(queue_);
    }
    if (taken.empty()) continue;
    try {
      Deliver(taken);
    } catch (const std::exception& e) {
      // A watcher that stops delivering loses every later event of its family: say so.
      LogException("TFolderWatcher" + name_, e);
      return;
    }
  }
}

void TFolderMaster::Deliver(const std::vector<Record>& records) {
  // One UI call per batch; termination and the target are looked at before every record.
  auto deliverAll = [&] {
    for (const Record& r : records) {
      if (terminated_) return;
      TFolderUpdateHandler target;
      {
        std::lock_guard guard(targetLock_);
        target = target_;
      }
      if (!target) return;
      target(r.node, r.kind, r.param);
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
