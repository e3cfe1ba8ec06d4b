#include "platform/named_event.h"

#include <gtest/gtest.h>

#include <thread>

namespace plb::platform {
namespace {

TEST(NamedEvent, ManualResetSharedByName) {
  auto a = OpenNamedEvent("PlumoraBrowser-Worker-Control-Event", true);
  auto b = OpenNamedEvent("PlumoraBrowser-Worker-Control-Event", false);  // exists: initial state ignored
  EXPECT_EQ(a, b);
  EXPECT_TRUE(b->IsSet());
  EXPECT_TRUE(b->Wait(0));
  EXPECT_TRUE(b->Wait(0)) << "manual reset: waiting does not clear it";
  a->Reset();
  EXPECT_FALSE(b->Wait(20));
  EXPECT_NE(OpenNamedEvent("other"), a);
}

TEST(NamedEvent, UnnamedEventsAreNeverShared) {
  auto a = OpenNamedEvent("");
  auto b = OpenNamedEvent("");
  EXPECT_NE(a, b);
  a->Set();
  EXPECT_FALSE(b->IsSet());
}

TEST(NamedEvent, AnEventNobodyHoldsAnyMoreStartsAfreshWhenOpenedAgain) {
  OpenNamedEvent("ExifDateLoaderEvent_1", true).reset();
  EXPECT_FALSE(OpenNamedEvent("ExifDateLoaderEvent_1", false)->IsSet());
}

TEST(NamedEvent, SetFromAnotherThreadWakesAllWaiters) {
  auto event = OpenNamedEvent("CollageMakerWork");
  std::vector<std::thread> waiters;
  std::atomic<int> woke{0};
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (OpenNamedEvent("CollageMakerWork")->Wait(NamedEvent::kInfinite)) ++woke;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  event->Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woke, 3);
}

TEST(NamedEvent, WaitAnyTellsWhichIsSet) {
  std::vector<std::shared_ptr<NamedEvent>> events = {OpenNamedEvent("PLBNextCacheItemIsExists"),
                                                     OpenNamedEvent("PlumoraBackUploaderCancelEvent")};
  EXPECT_EQ(NamedEvent::WaitAny(events, 10), -1);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    events[1]->Set();
  });
  EXPECT_EQ(NamedEvent::WaitAny(events, 5000), 1);
  setter.join();
  events[0]->Set();
  EXPECT_EQ(NamedEvent::WaitAny(events, 0), 0) << "the first set event wins";
}

}  // namespace
}  // namespace plb::platform
