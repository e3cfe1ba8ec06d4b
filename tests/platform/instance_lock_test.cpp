#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/child_process.h"
#include "platform/private_temp.h"
#include "support/test_env.h"

namespace plb::platform {
namespace {

using plb::test::ForkChild;
using plb::test::Signal;
using plb::test::WaitChild;

TEST(InstanceLocks, LockFilesLiveInTheRuntimeFolderUnderTheMutexNames) {
  InstanceLocks locks;
  ASSERT_EQ(locks.AcquireInstance(), LockResult::kAcquired);
  ASSERT_EQ(locks.AcquireRunning(), LockResult::kAcquired);
  std::string folder = RuntimeFolder();
  EXPECT_TRUE(std::filesystem::exists(folder + "/{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}.lock"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}Running.lock"));
}

TEST(InstanceLocks, ASecondProcessSeesBothLocksHeldUntilTheFirstReleasesOrDies) {
  std::string folder = RuntimeFolder();
  InstanceLocks first(folder);
  ASSERT_EQ(first.AcquireInstance(), LockResult::kAcquired);
  EXPECT_EQ(first.AcquireInstance(), LockResult::kAcquired) << "taking it again is no conflict";
  EXPECT_FALSE(first.RunningHeldByAnotherProcess()) << "never taken";
  ASSERT_EQ(first.AcquireRunning(), LockResult::kAcquired);
  EXPECT_FALSE(first.RunningHeldByAnotherProcess()) << "our own lock";

  // 10 = instance held, running held; both in the second process.
  auto probe = [&] {
    return ForkChild([&] {
      InstanceLocks second(folder);
      int code = 0;
      if (second.AcquireInstance() == LockResult::kHeldElsewhere) code += 10;
      if (second.RunningHeldByAnotherProcess()) code += 1;
      return code;
    });
  };
  EXPECT_EQ(WaitChild(probe()), 11);
  first.ReleaseRunning();
  EXPECT_EQ(WaitChild(probe()), 10);
  first.ReleaseInstance();
  EXPECT_EQ(WaitChild(probe()), 0);

  // A holder that is killed leaves nothing behind that blocks the next start.
  Signal locked;
  pid_t holder = ForkChild([&] {
    InstanceLocks other(folder);
    if (other.AcquireInstance() != LockResult::kAcquired || other.AcquireRunning() != LockResult::kAcquired) return 1;
    locked.Send();
    ::pause();
    return 0;
  });
  ASSERT_TRUE(locked.Wait());
  EXPECT_EQ(first.AcquireInstance(), LockResult::kHeldElsewhere);
  EXPECT_TRUE(first.RunningHeldByAnotherProcess());
  ::kill(holder, SIGKILL);
  EXPECT_EQ(WaitChild(holder), -SIGKILL);
  EXPECT_EQ(first.AcquireInstance(), LockResult::kAcquired);
  EXPECT_FALSE(first.RunningHeldByAnotherProcess());
}

// A second start looks at the running lock at whatever moment it comes, holding it for an instant;
// the first instance takes that lock once. The look must never make the taking fail, or the
// instance runs without its running lock and every later start misjudges it as still starting.
TEST(InstanceLocks, LookingAtTheRunningLockNeverKeepsItsHolderFromTakingIt) {
  const std::string folder = RuntimeFolder();
  std::atomic<bool> stop{false};
  std::atomic<int> looks{0};
  std::thread prober([&] {
    InstanceLocks second(folder);
    while (!stop) {
      second.RunningHeldByAnotherProcess();
      ++looks;
    }
  });
  while (looks == 0) std::this_thread::yield();
  int failed = 0;
  for (int i = 0; i < 20000; ++i) {
    InstanceLocks first(folder);
    if (first.AcquireRunning() != LockResult::kAcquired) ++failed;
    first.ReleaseRunning();
  }
  stop = true;
  prober.join();
  EXPECT_EQ(failed, 0);
}

TEST(InstanceLocks, AnUnusableLockFileIsAFailureNotAnotherInstance) {
  std::string folder = plb::test::TestRoot() + "/locks";
  std::filesystem::create_directories(folder + "/{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}.lock");  // a folder
  InstanceLocks locks(folder);
  EXPECT_EQ(locks.AcquireInstance(), LockResult::kFailed);
  InstanceLocks missing_folder(plb::test::TestRoot() + "/missing");
  EXPECT_EQ(missing_folder.AcquireInstance(), LockResult::kFailed);
}

}  // namespace
}  // namespace plb::platform
