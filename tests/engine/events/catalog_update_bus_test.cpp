#include "engine/events/catalog_update_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

using platform::PumpedUiDispatcher;
using platform::ScopedUiDispatcher;

template <class Done>
void PumpUntil(PumpedUiDispatcher& ui, Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) ui.PumpFor(10);
  ASSERT_TRUE(done());
}

std::string UpdaterError(const std::function<void()>& call) {
  try {
    call();
  } catch (const ECatalogUpdaterError& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

TEST(CatalogUpdaterTest, RefusalsNameTheFunctionAndTheCause) {
  int owner = 0;
  auto handler = [](TCatalogItem*, uint8_t) {};
  struct Case {
    std::function<void()> call;
    std::string message;
  } cases[] = {
      {[&] { RegisterCatalogUpdateEvent(&owner, "TView", true, "OnUpdate", handler); },
       "RegisterCatalogUpdateEvent\r\n\r\nException\r\nCatalogUpdateWatcher が初期化されていません。\r\n"},
      {[&] { RegisterCatalogUpdateEvent(nullptr, "TView", true, "OnUpdate", handler); },
       "RegisterCatalogUpdateEvent\r\n\r\nException\r\nAOwner = nil\r\n"},
      {[&] { RegisterCatalogUpdateEvent(&owner, "TView", true, "OnUpdate", nullptr); },
       "RegisterCatalogUpdateEvent\r\n\r\nException\r\nAEvent = nil\r\n"},
      {[&] { UnRegisterCatalogUpdateEvent(&owner, "OnUpdate"); },
       "UnRegisterCatalogUpdateEvent\r\n\r\nException\r\nCatalogUpdateWatcher が初期化されていません。\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(UpdaterError(c.call), c.message);
  TCatalogItem item;
  RaiseCatalogUpdateEvent(&item, cukRenamed);  // no bus: nothing happens
}

TEST(CatalogUpdaterTest, SynchronizedListenersRunOnTheUiThreadOthersOnTheWatcherInRecordOrder) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  InitializeCatalogUpdater();
  InitializeCatalogUpdater();  // a second call keeps the running bus
  TCatalogItem a, b;
  std::mutex lock;
  std::vector<std::tuple<std::string, TCatalogItem*, uint8_t, bool>> calls;
  int grid = 0, panel = 0;
  RegisterCatalogUpdateEvent(&grid, "TGrid", true, "OnUpdate", [&](TCatalogItem* item, uint8_t kind) {
    std::lock_guard guard(lock);
    calls.emplace_back("grid", item, kind, ui.IsUiThread());
  });
  RegisterCatalogUpdateEvent(&panel, "TPanel", false, "OnUpdate", [&](TCatalogItem* item, uint8_t kind) {
    std::lock_guard guard(lock);
    calls.emplace_back("panel", item, kind, ui.IsUiThread());
  });
  RaiseCatalogUpdateEvent(nullptr, cukRenamed);
  std::thread([&] {
    RaiseCatalogUpdateEvent(&a, cukMarkChanged);
    RaiseCatalogUpdateEvent(&b, cukThumbnailStored);
  }).join();
  PumpUntil(ui, [&] {
    std::lock_guard guard(lock);
    return calls.size() == 4;
  });
  using Call = std::tuple<std::string, TCatalogItem*, uint8_t, bool>;
  EXPECT_EQ(calls, (std::vector<Call>{{"panel", &a, cukMarkChanged, false},
                                      {"grid", &a, cukMarkChanged, true},
                                      {"panel", &b, cukThumbnailStored, false},
                                      {"grid", &b, cukThumbnailStored, true}}));
  FinalizeCatalogUpdater();
  EXPECT_FALSE(CatalogUpdaterRunning());
  RaiseCatalogUpdateEvent(&a, cukRenamed);  // after the end: silent
}

// The grids all want the UI thread: a burst of new thumbnails crosses over in a few synchronised
// calls, not one per record and listener, and every call still comes in record order.
TEST(CatalogUpdaterTest, WhenEveryListenerWantsTheUiThreadABatchCrossesInOneCall) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  InitializeCatalogUpdater();
  constexpr int kRecords = 50;
  std::vector<TCatalogItem> items(kRecords);
  std::vector<std::pair<std::string, TCatalogItem*>> calls;
  bool offUi = false;
  int grid = 0, tray = 0;
  for (auto [owner, name] : {std::pair{&grid, "grid"}, std::pair{&tray, "tray"}}) {
    RegisterCatalogUpdateEvent(owner, name, true, "OnUpdate", [&calls, &offUi, &ui, name](TCatalogItem* item, uint8_t) {
      offUi |= !ui.IsUiThread();
      calls.emplace_back(name, item);
    });
  }
  std::thread([&] {
    for (TCatalogItem& item : items) RaiseCatalogUpdateEvent(&item, cukThumbnailStored);
  }).join();
  int crossings = 0;
  for (int i = 0; i < 1000 && calls.size() < 2 * kRecords; ++i) crossings += ui.PumpFor(10);
  FinalizeCatalogUpdater();

  std::vector<std::pair<std::string, TCatalogItem*>> expected;
  for (TCatalogItem& item : items) {
    expected.emplace_back("tray", &item);  // the last registered is called first
    expected.emplace_back("grid", &item);
  }
  EXPECT_EQ(calls, expected);
  EXPECT_FALSE(offUi);
  EXPECT_LT(crossings, 10) << "a synchronised call per record and listener";
}

TEST(CatalogUpdaterTest, AFailingListenerMissesOnlyTheRestOfItsCycle) {
  InitializeCatalogUpdater();
  TCatalogItem gate, a, b, c, d;
  std::mutex lock;
  std::condition_variable changed;
  bool inGate = false, release = false;
  std::vector<TCatalogItem*> failing;
  int blocker = 0, owner = 0;
  RegisterCatalogUpdateEvent(&owner, "TFailing", false, "OnUpdate", [&](TCatalogItem* item, uint8_t) {
    std::lock_guard guard(lock);
    failing.push_back(item);
    if (item != &gate) throw std::runtime_error("broken view");
  });
  // Registered last, so called first: holds the watcher inside a cycle until the next records wait.
  RegisterCatalogUpdateEvent(&blocker, "TBlocker", false, "OnUpdate", [&](TCatalogItem* item, uint8_t) {
    if (item != &gate) return;
    std::unique_lock guard(lock);
    inGate = true;
    changed.notify_all();
    changed.wait(guard, [&] { return release; });
  });
  RaiseCatalogUpdateEvent(&gate, cukRenamed);
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return inGate; }));
  }
  RaiseCatalogUpdateEvent(&a, cukRenamed);  // these three make one cycle
  RaiseCatalogUpdateEvent(&b, cukRenamed);
  RaiseCatalogUpdateEvent(&c, cukRenamed);
  {
    std::lock_guard guard(lock);
    release = true;
    changed.notify_all();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  RaiseCatalogUpdateEvent(&d, cukRenamed);
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard guard(lock);
      if (failing.size() == 3) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::lock_guard guard(lock);
  EXPECT_EQ(failing, (std::vector<TCatalogItem*>{&gate, &a, &d}));
  FinalizeCatalogUpdater();
}

TEST(CatalogUpdaterTest, UnregisterWaitsForACallUnderWayAndNoCallFollows) {
  InitializeCatalogUpdater();
  TCatalogItem item;
  std::atomic<bool> inCall{false}, callEnded{false};
  std::atomic<int> calls{0};
  int owner = 0;
  RegisterCatalogUpdateEvent(&owner, "TView", false, "OnUpdate", [&](TCatalogItem*, uint8_t) {
    ++calls;
    inCall = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    callEnded = true;
  });
  RaiseCatalogUpdateEvent(&item, cukRenamed);
  RaiseCatalogUpdateEvent(&item, cukCommentChanged);
  for (int i = 0; i < 500 && !inCall; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(inCall);
  UnRegisterCatalogUpdateEvent(&owner, "OnUpdate");
  EXPECT_TRUE(callEnded) << "the owner could be destroyed while its handler runs";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(calls, 1) << "a retired listener was called";
  FinalizeCatalogUpdater();
}

}  // namespace
}  // namespace plb
