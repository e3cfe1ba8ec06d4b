#include "platform/ui_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/error.h"

namespace plb::platform {
namespace {

PLB_DECLARE_ERROR(ETestUiError, Error);

// Pumps the dispatcher until done says so (or a generous limit passes).
template <typename Done>
void PumpUntil(PumpedUiDispatcher& ui, Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) ui.PumpFor(10);
}

TEST(PumpedUiDispatcher, RunAndWaitFromAWorkerRunsOnTheUiThreadAndReturnsAfterIt) {
  PumpedUiDispatcher ui;
  const auto ui_id = std::this_thread::get_id();
  std::atomic<bool> worker_done{false};
  std::thread::id ran_on;
  bool returned_after_run = false;
  std::thread worker([&] {
    bool ran = false;
    ui.RunAndWait([&] {
      ran_on = std::this_thread::get_id();
      ran = true;
    });
    returned_after_run = ran;
    worker_done = true;
  });
  PumpUntil(ui, [&] { return worker_done.load(); });
  worker.join();
  EXPECT_EQ(ran_on, ui_id);
  EXPECT_TRUE(returned_after_run);
}

TEST(PumpedUiDispatcher, AnErrorOfTheUiWorkIsRaisedInTheWaitingThreadWithItsClass) {
  PumpedUiDispatcher ui;
  std::atomic<bool> worker_done{false};
  std::string caught_class, caught_message;
  std::thread worker([&] {
    try {
      ui.RunAndWait([] { throw ETestUiError("refused"); });
    } catch (const std::exception& e) {
      caught_class = ClassNameOf(e);
      caught_message = MessageOf(e);
    }
    worker_done = true;
  });
  PumpUntil(ui, [&] { return worker_done.load(); });
  worker.join();
  EXPECT_EQ(caught_class, "ETestUiError");
  EXPECT_EQ(caught_message, "refused");
}

TEST(PumpedUiDispatcher, RunAndWaitOnTheUiThreadRunsAtOnceWithoutPumping) {
  PumpedUiDispatcher ui;
  int calls = 0;
  ui.RunAndWait([&] { ui.RunAndWait([&] { ++calls; }); });  // nested, still direct
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ui.PendingCount(), 0u);
}

TEST(PumpedUiDispatcher, PostedWorkRunsInOrderOnlyWhenTheUiThreadProcessesIt) {
  PumpedUiDispatcher ui;
  std::vector<int> order;
  std::thread poster([&] {
    for (int i = 0; i < 5; ++i) ui.Post([&order, i] { order.push_back(i); });
    ui.ProcessPending();  // not the UI thread: runs nothing
  });
  poster.join();
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(ui.PendingCount(), 5u);
  ui.ProcessPending();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(PumpedUiDispatcher, WorkPostedByPostedWorkWaitsForTheNextRound) {
  PumpedUiDispatcher ui;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    ui.Post(again);
  };
  ui.Post(again);
  ui.ProcessPending();
  EXPECT_EQ(runs, 1);
  ui.ProcessPending();
  EXPECT_EQ(runs, 2);
}

TEST(PumpedUiDispatcher, AnErrorOfPostedWorkComesOutOfTheRoundAfterTheRestRan) {
  PumpedUiDispatcher ui;
  bool later_ran = false;
  ui.Post([] { throw ETestUiError("posted"); });
  ui.Post([&] { later_ran = true; });
  EXPECT_THROW(ui.ProcessPending(), ETestUiError);
  EXPECT_TRUE(later_ran);
}

TEST(PumpedUiDispatcher, AWaitingThreadIsReleasedWithAnErrorWhenTheDispatcherGoesAway) {
  auto ui = std::make_unique<PumpedUiDispatcher>();
  std::atomic<bool> queued{false};
  bool got_error = false;
  std::thread worker([&] {
    queued = true;
    try {
      ui->RunAndWait([] {});
    } catch (const Error&) {
      got_error = true;
    }
  });
  while (!queued || ui->PendingCount() == 0) std::this_thread::yield();
  ui.reset();
  worker.join();
  EXPECT_TRUE(got_error);
}

TEST(UiDispatcher, ScopedInstallRestoresThePreviousDispatcher) {
  EXPECT_EQ(CurrentUiDispatcher(), nullptr);
  PumpedUiDispatcher a, b;
  {
    ScopedUiDispatcher outer(a);
    {
      ScopedUiDispatcher inner(b);
      EXPECT_EQ(CurrentUiDispatcher(), &b);
    }
    EXPECT_EQ(CurrentUiDispatcher(), &a);
  }
  EXPECT_EQ(CurrentUiDispatcher(), nullptr);
}

}  // namespace
}  // namespace plb::platform
