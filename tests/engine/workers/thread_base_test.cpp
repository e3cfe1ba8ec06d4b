#include "engine/workers/thread_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/workers/thread_master.h"
#include "engine/workers/worker_control.h"
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

struct Report {
  uint8_t state;
  uint32_t total;
  int32_t position;
  int32_t errors;
  bool onUi;
  bool operator==(const Report&) const = default;
};

// A worker whose body the test writes.
class TestWorker : public TOstraThreadBase {
 public:
  explicit TestWorker(std::function<void(TestWorker&)> body)
      : TOstraThreadBase("TTestWorker"), body_(std::move(body)) {}
  ~TestWorker() override { Stop(); }
  uint8_t WorkerKind() const override { return wkCollageMaker; }

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TestWorker&)> body_;
};

TEST(ThreadBaseTest, StartAndEndAreReportedAfterTerminationStepsAndSetsAreNot) {
  std::vector<Report> reports;
  TestWorker worker([](TestWorker& w) {
    w.ProgressStart(10);
    w.ProgressStep(3);
    w.CountError();
    w.ProgressSet(5);
    w.Terminate();
    w.ProgressStep(1);
    w.ProgressSet(9);
    w.ProgressEnd(w.IsTerminated() ? psCancelled : psCompleted);
  });
  worker.SetProgressHandler(
      [&](TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position, int32_t errors) {
        EXPECT_EQ(sender, &worker);
        reports.push_back({state, total, position, errors, false});
      });
  ASSERT_TRUE(worker.Start());
  worker.WaitFor();
  EXPECT_EQ(reports, (std::vector<Report>{{psStarted, 10, 0, 0, false},
                                          {psProgressing, 10, 3, 0, false},
                                          {psProgressing, 10, 5, 1, false},
                                          {psCancelled, 10, 5, 1, false}}));
  EXPECT_EQ(worker.ErrorCount(), 1);
}

TEST(ThreadBaseTest, SynchronizedReportsRunOnTheUiThread) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  std::vector<Report> reports;
  std::atomic<bool> done{false};
  TestWorker worker([&](TestWorker& w) {
    w.ProgressStart(2);
    w.ProgressStep(2);
    w.ProgressEnd(psCompleted);
    done = true;
  });
  worker.SetSynchronizeProgress(true);
  worker.SetProgressHandler([&](TOstraThreadBase*, uint8_t state, uint32_t total, int32_t position, int32_t errors) {
    reports.push_back({state, total, position, errors, ui.IsUiThread()});
  });
  worker.Start();
  PumpUntil(ui, [&] { return done.load(); });
  worker.WaitFor();
  EXPECT_EQ(reports, (std::vector<Report>{
                         {psStarted, 2, 0, 0, true}, {psProgressing, 2, 2, 0, true}, {psCompleted, 2, 2, 0, true}}));
}

TEST(ThreadBaseTest, WaitNamedEventEndsWhenTheEventIsSetOrTheWorkerIsStopped) {
  std::atomic<int> result{-1};
  TestWorker waiter([&](TestWorker& w) {
    result = w.WaitNamedEvent("") ? 1 : 0;
    if (result != 1) return;
    result = w.WaitNamedEvent("TestStartSignal") ? 2 : 0;
  });
  waiter.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(result, 1) << "an empty name is no reason to wait";
  std::shared_ptr<platform::NamedEvent> event = platform::OpenNamedEvent("TestStartSignal");
  EXPECT_FALSE(event->IsSet()) << "opened unsignalled";
  TestWorker signaller([](TestWorker& w) { w.SignalNamedEvent("TestStartSignal"); });
  signaller.Start();
  waiter.WaitFor();
  EXPECT_EQ(result, 2);

  std::atomic<int> stopped{-1};
  TestWorker blocked([&](TestWorker& w) { stopped = w.WaitNamedEvent("NeverSet") ? 1 : 0; });
  blocked.Start();
  blocked.Stop();
  EXPECT_EQ(stopped, 0);
}

TEST(WorkerControlTest, PausesCountAndTheLastResumeOpensTheGate) {
  std::shared_ptr<platform::NamedEvent> gate = platform::OpenNamedEvent(kWorkerControlEventName);
  ASSERT_TRUE(WorkerControlEvent()->IsSet());
  ASSERT_EQ(gate, WorkerControlEvent());
  struct Step {
    void (*call)();
    bool open;
  } steps[] = {{PauseWorkers, false}, {PauseWorkers, false}, {ResumeWorkers, false},
               {ResumeWorkers, true}, {ResumeWorkers, true}, {PauseWorkers, false}};
  int i = 0;
  for (const Step& s : steps) {
    s.call();
    EXPECT_EQ(gate->IsSet(), s.open) << "step " << i++;
  }
  ResumeWorkers();
  {
    try {
      TWorkerPause pause;
      EXPECT_FALSE(gate->IsSet());
      throw std::runtime_error("export failed");
    } catch (const std::runtime_error&) {
    }
  }
  EXPECT_TRUE(gate->IsSet()) << "a failing foreground operation left the workers paused";
}

TEST(WorkerControlTest, AWorkerPausesWhileTheGateIsClosedAndResumesAfter) {
  std::atomic<int> steps{0};
  TestWorker worker([&](TestWorker& w) {
    while (!w.IsTerminated()) {
      if (!w.WaitNamedEvent(kWorkerControlEventName)) break;
      ++steps;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  worker.Start();
  auto waitForSteps = [&](int atLeast) {
    for (int i = 0; i < 400 && steps < atLeast; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return steps >= atLeast;
  };
  ASSERT_TRUE(waitForSteps(3));
  PauseWorkers();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a step under way may end
  const int paused = steps;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(steps, paused);
  ResumeWorkers();
  EXPECT_TRUE(waitForSteps(paused + 3));
  worker.Stop();
}

// A worker that announces its work, then reports what the test lets it do.
class SteppedWorker : public TOstraThreadBase {
 public:
  SteppedWorker() : TOstraThreadBase("TSteppedWorker") {}
  ~SteppedWorker() override { Stop(); }
  uint8_t WorkerKind() const override { return wkExportFolderThreadEx; }
  void Do(std::function<void()> step) {
    std::lock_guard guard(lock_);
    steps_.push_back(std::move(step));
  }

 protected:
  void Execute() override {
    while (!IsTerminated()) {
      std::function<void()> step;
      {
        std::lock_guard guard(lock_);
        if (!steps_.empty()) {
          step = std::move(steps_.front());
          steps_.erase(steps_.begin());
        }
      }
      if (step) {
        step();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  }

 private:
  std::mutex lock_;
  std::vector<std::function<void()>> steps_;
};

TEST(ThreadMasterTest, TwoWorkersHalfWayShowFiftyPercentAndTheBarGoesWhenBothEnd) {
  PumpedUiDispatcher ui;
  ScopedUiDispatcher installed(ui);
  TThreadMaster master;
  std::vector<std::pair<bool, int>> shown;
  master.StartProgressWatcher("TMainForm", [&](bool active, int percent) {
    EXPECT_TRUE(ui.IsUiThread());
    shown.emplace_back(active, percent);
  });
  std::shared_ptr<platform::NamedEvent> active = platform::OpenNamedEvent("ProgressWatcherActiveEventTMainForm");
  SteppedWorker a, b;
  master.RegisterThread(&a);
  master.RegisterThread(&b);
  master.RegisterThread(&a);
  EXPECT_EQ(master.ThreadCount(), 2);
  a.Start();
  b.Start();
  a.Do([&] { a.ProgressStart(10); });
  b.Do([&] { b.ProgressStart(10); });
  a.Do([&] { a.ProgressStep(5); });
  b.Do([&] { b.ProgressSet(5); });
  PumpUntil(ui, [&] { return !shown.empty() && shown.back() == std::make_pair(true, 50); });
  EXPECT_TRUE(active->IsSet());
  a.Do([&] { a.ProgressEnd(psCompleted); });
  b.Do([&] { b.ProgressEnd(psFailed); });
  PumpUntil(ui, [&] { return shown.back() == std::make_pair(false, 0); });
  EXPECT_FALSE(active->IsSet());
  EXPECT_EQ(master.TotalWork(), 0);
  EXPECT_EQ(master.RunningCount(), 0);
  EXPECT_EQ(shown.front(), std::make_pair(true, 0));
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_NE(shown[i], shown[i - 1]) << "a repeated report";
  master.Shutdown();
  EXPECT_TRUE(a.IsTerminated() && b.IsTerminated());
  // The workers end before the master does.
  master.UnregisterThread(&a);
  master.UnregisterThread(&b);
}

TEST(ThreadMasterTest, RestartsAndUnregisteredWorkersLeaveNoWorkBehind) {
  TThreadMaster master;
  SteppedWorker a, b;
  master.RegisterThread(&a);
  master.RegisterThread(&b);
  TProgressHandler report = master.GetProgressHandler();
  report(&a, psStarted, 10, 0, 0);
  report(&a, psProgressing, 10, 4, 0);
  report(&a, psStarted, 20, 0, 0);  // started again without an end
  report(&b, psStarted, 4000000000u, 0, 0);
  report(&b, psProgressing, 4000000000u, 2000000000, 0);
  EXPECT_EQ(master.TotalWork(), 4000000020);
  EXPECT_EQ(master.PollProgress().percent, 49);  // no overflow on large amounts
  master.UnregisterThread(&b);                   // leaves while it runs: its end never reaches the master
  EXPECT_EQ(b.ProgressHandler(), nullptr);
  report(&a, psCompleted, 20, 0, 0);
  EXPECT_EQ(master.TotalWork(), 0);
  EXPECT_EQ(master.DoneWork(), 0);
  EXPECT_EQ(master.RunningCount(), 0);
  EXPECT_FALSE(master.PollProgress().active);
  master.UnregisterThread(&a);  // a ends before the master does
}

}  // namespace
}  // namespace plb
