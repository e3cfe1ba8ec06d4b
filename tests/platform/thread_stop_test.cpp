#include "platform/thread_stop.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include "platform/named_event.h"

namespace plb::platform {
namespace {

TEST(ThreadNames, AreCutTo15BytesWithoutSplittingACharacter) {
  struct Case {
    std::string name, cut;
  };
  const Case cases[] = {
      {"PLBLogSaver", "PLBLogSaver"},
      {"TCalendarWatcher", "TCalendarWatche"},
      {"PlumoraBackUploader", "PlumoraBackUplo"},
      {"サムネイル作成", "サムネイル"},  // 3-byte characters: 15 bytes exactly
      {"aサムネイル作成", "aサムネイ"},  // a 16th byte would split a character
  };
  for (const Case& c : cases) EXPECT_EQ(CutThreadName(c.name), c.cut) << c.name;
}

TEST(WorkerThread, RunsNamedAtItsPriority) {
  const int own = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
  WorkerThread worker;
  std::string name;
  int nice = -100;
  ASSERT_TRUE(worker.Start("PlumoraFileUploader", ThreadPriority::kIdle, [&] {
    name = CurrentThreadName();
    errno = 0;
    nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
  }));
  worker.Join(nullptr);
  EXPECT_EQ(name, "PlumoraFileUplo");
  EXPECT_EQ(nice, 19);
  // The caller's own priority is untouched.
  EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))), own);
}

TEST(WorkerThread, NiceValues) {
  EXPECT_EQ(NiceValueOf(ThreadPriority::kIdle), 19);
  EXPECT_EQ(NiceValueOf(ThreadPriority::kLowest), 15);
  EXPECT_EQ(NiceValueOf(ThreadPriority::kBelowNormal), 5);
  EXPECT_EQ(NiceValueOf(ThreadPriority::kNormal), 0);
}

// A worker that, on its way out, needs the UI thread: the stop must keep the UI working or the
// two would wait for each other for ever.
TEST(WorkerThread, StopOnTheUiThreadServesTheWorkersUiCallsWhileWaiting) {
  PumpedUiDispatcher ui;
  auto stop = OpenNamedEvent("");
  std::atomic<int> ui_calls{0};
  WorkerThread worker;
  worker.Start("TFolderWatcher(Folder)", ThreadPriority::kNormal, [&] {
    while (!stop->Wait(5)) ui.RunAndWait([&] { ++ui_calls; });
    ui.RunAndWait([&] { ++ui_calls; });  // the last report after the signal
  });
  while (ui_calls == 0) ui.PumpFor(5);
  worker.Stop([&] { stop->Set(); }, &ui);
  EXPECT_FALSE(worker.Running());
  EXPECT_FALSE(worker.Started());
  EXPECT_GE(ui_calls, 2);
}

TEST(WorkerThread, AnErrorOfTheBodyIsKeptForTheOwner) {
  WorkerThread worker;
  worker.Start("t", ThreadPriority::kNormal, [] { throw std::runtime_error("boom"); });
  worker.Join(nullptr);
  std::exception_ptr error = worker.TakeError();
  ASSERT_TRUE(error);
  EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
  EXPECT_FALSE(worker.TakeError());
}

TEST(WorkerThread, StartIsRefusedUntilStoppedAndStopWithoutStartDoesNothing) {
  WorkerThread worker;
  worker.Stop([] { FAIL() << "no thread: nothing to signal"; }, nullptr);
  auto go = OpenNamedEvent("");
  ASSERT_TRUE(worker.Start("a", ThreadPriority::kNormal, [&] { go->Wait(); }));
  EXPECT_FALSE(worker.Start("b", ThreadPriority::kNormal, [] {}));
  worker.Stop([&] { go->Set(); }, nullptr);
  EXPECT_TRUE(worker.Start("c", ThreadPriority::kNormal, [] {}));
  worker.Join(nullptr);
}

}  // namespace
}  // namespace plb::platform
