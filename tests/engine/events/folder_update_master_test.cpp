#include "engine/events/folder_update_master.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/events/folder_master.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

using platform::PumpedUiDispatcher;
using platform::ScopedUiDispatcher;

struct Received {
  TCustomFolder* node;
  TFolderUpdatedType kind;
  TFolderEventParam param;
  bool onUi;
};

// Stand-ins for nodes: the event path never looks inside them.
std::array<char, 8> g_nodes;
TCustomFolder* Node(int i) {
  return reinterpret_cast<TCustomFolder*>(&g_nodes[static_cast<size_t>(i)]);
}

template <class Done>
void PumpUntil(PumpedUiDispatcher& ui, Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) ui.PumpFor(10);
  ASSERT_TRUE(done());
}

TEST(FolderMasterTest, EventsFromManyThreadsArriveOnceOnTheUiThreadInPostingOrderPerNode) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  TFolderUpdateMaster updates;
  std::vector<Received> received;
  int owner = 0;
  updates.RegisterListener(&owner, "TTestFrame", "OnFolderUpdated",
                           [&](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
                             received.push_back({node, kind, param, ui.IsUiThread()});
                           });
  TFolderMaster master("(Test)");
  TFolderUpdateHandler post = master.Route(updates.Handler());
  ASSERT_TRUE(post);

  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) post(Node(t), static_cast<TFolderUpdatedType>(i % 14), i);
    });
  }
  for (auto& p : posters) p.join();
  PumpUntil(ui, [&] { return received.size() >= kThreads * kEach; });
  ui.PumpFor(250);  // nothing more may come

  ASSERT_EQ(received.size(), static_cast<size_t>(kThreads * kEach));
  std::map<TCustomFolder*, TFolderEventParam> next;
  for (const Received& r : received) {
    EXPECT_TRUE(r.onUi);
    EXPECT_EQ(r.param, next[r.node]) << "out of order or repeated";
    EXPECT_EQ(r.kind, r.param % 14);
    next[r.node] = r.param + 1;
  }
}

TEST(FolderMasterTest, NoDeliveryTargetMeansNoDeliveryAndRoutingWithoutAWatcherIsRefused) {
  TFolderMaster master("(Test)");
  EXPECT_FALSE(master.Route(nullptr));
  master.PostEvent(Node(0), futCreated, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(master.PendingCount(), 0u);  // taken and dropped

  master.StopWatcher();
  try {
    master.Route([](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) {});
    FAIL() << "routed through a stopped watcher";
  } catch (const EFolderMasterException& e) {
    EXPECT_STREQ(e.ClassName(), "EFolderMasterException");
    EXPECT_EQ(e.Message(), "フォルダの監視スレッドが初期化されていません。");
  }
}

TEST(FolderMasterTest, EventsPostedAfterTheStopRequestAreNotDelivered) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  int delivered = 0;
  TFolderMaster master("(Test)");
  TFolderUpdateHandler post = master.Route([&](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) { ++delivered; });
  master.StopWatcher();
  post(Node(0), futCreated, 0);
  ui.PumpFor(300);
  EXPECT_EQ(delivered, 0);
}

TEST(FolderMasterTest, DestroyingTheMasterWhileItsWatcherWaitsForTheUiThreadEnds) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  int delivered = 0;
  auto master = std::make_unique<TFolderMaster>("(Test)");
  TFolderUpdateHandler post =
      master->Route([&](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) { ++delivered; });
  post(Node(0), futCreated, 0);
  post(Node(0), futRenamed, 0);
  // The watcher blocks in its call to the UI thread until somebody pumps.
  for (int i = 0; i < 200 && ui.PendingCount() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(ui.PendingCount(), 1u);
  master.reset();  // pumps while it waits; the batch sees the stop request and ends
  EXPECT_EQ(delivered, 0);
}

TEST(FolderMasterTest, NodeListsFindTheirMasterByName) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  std::vector<Received> received;
  TFolderMaster master("(Routed)");
  TFolderUpdateHandler post =
      RouteFolderEvents("(Routed)", [&](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
        received.push_back({node, kind, param, ui.IsUiThread()});
      });
  std::thread([&] { post(Node(1), futContentsChanged, 7); }).join();
  PumpUntil(ui, [&] { return received.size() == 1; });
  EXPECT_TRUE(received[0].onUi);
  EXPECT_EQ(received[0].param, 7);

  // A family without a master gets its events directly.
  int direct = 0;
  RouteFolderEvents("(Nobody)", [&](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) { ++direct; })(
      Node(0), futCreated, 0);
  EXPECT_EQ(direct, 1);
}

struct FanOut {
  TFolderUpdateMaster master;
  std::vector<std::string> calls;
  int a = 0, b = 0, c = 0;
  TFolderUpdateHandler Recorder(const std::string& name, bool raise = false) {
    return [this, name, raise](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) {
      calls.push_back(name);
      if (raise) throw std::runtime_error("listener failed");
    };
  }
};

TEST(FolderUpdateMasterTest, ListenersAreCalledLastRegisteredFirst) {
  FanOut f;
  f.master.RegisterListener(&f.a, "TA", "Handler", f.Recorder("a"));
  f.master.RegisterListener(&f.b, "TB", "Handler", f.Recorder("b"));
  f.master.RegisterListener(&f.c, "TC", "Handler", f.Recorder("c"));
  f.master.DoEvent(Node(0), futCreated, 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"c", "b", "a"}));
}

TEST(FolderUpdateMasterTest, TwiceRegisteredListenerGetsEveryEventTwiceAndOneUnregisterRemovesBoth) {
  FanOut f;
  f.master.RegisterListener(&f.a, "TA", "Handler", f.Recorder("a"));
  f.master.RegisterListener(&f.a, "TA", "Handler", f.Recorder("a"));
  f.master.RegisterListener(&f.a, "TA", "Other", f.Recorder("a-other"));
  f.master.DoEvent(Node(0), futCreated, 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"a-other", "a", "a"}));
  f.master.UnregisterListener(&f.a, "Handler");
  f.calls.clear();
  f.master.DoEvent(Node(0), futCreated, 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"a-other"}));
}

TEST(FolderUpdateMasterTest, AFailingListenerIsDroppedForGoodAndTheOthersStillGetTheEvent) {
  FanOut f;
  f.master.RegisterListener(&f.a, "TA", "Handler", f.Recorder("a"));
  f.master.RegisterListener(&f.b, "TB", "Handler", f.Recorder("b", true));
  f.master.RegisterListener(&f.c, "TC", "Handler", f.Recorder("c"));
  f.master.DoEvent(Node(0), futCreated, 0);
  f.master.DoEvent(Node(0), futRenamed, 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"c", "b", "a", "c", "a"}));
  EXPECT_EQ(f.master.ListenerCount(), 2);
}

TEST(FolderUpdateMasterTest, NothingIsRegisteredWithoutOwnerOrHandlerAndUnknownKindsAreRefused) {
  FanOut f;
  f.master.RegisterListener(nullptr, "TA", "Handler", f.Recorder("a"));
  f.master.RegisterListener(&f.a, "TA", "Handler", nullptr);
  EXPECT_EQ(f.master.ListenerCount(), 0);
  f.master.RegisterListener(&f.a, "TA", "Handler", f.Recorder("a"));
  f.master.DoEvent(Node(0), static_cast<TFolderUpdatedType>(14), 0);
  f.master.DoEvent(Node(0), futCountsChanged, 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace plb
