#include "platform/small_recursive_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace plb::platform {
namespace {

using namespace std::chrono_literals;

bool TryFromAnotherThread(SmallRecursiveLock& lock) {
  return std::async(std::launch::async,
                    [&] {
                      if (!lock.try_lock()) return false;
                      lock.unlock();
                      return true;
                    })
      .get();
}

TEST(SmallRecursiveLock, IsHeldUntilTheOwnerHasUnlockedAsOftenAsItLocked) {
  SmallRecursiveLock lock;
  EXPECT_FALSE(lock.HeldByCurrentThread());
  lock.lock();
  lock.lock();
  ASSERT_TRUE(lock.try_lock());
  EXPECT_TRUE(lock.HeldByCurrentThread());
  for (int depth = 3; depth > 0; --depth) {
    EXPECT_FALSE(TryFromAnotherThread(lock)) << "depth " << depth;
    lock.unlock();
  }
  EXPECT_FALSE(lock.HeldByCurrentThread());
  EXPECT_TRUE(TryFromAnotherThread(lock));
  // Free again: the owner's number was not left behind.
  std::lock_guard guard(lock);
  EXPECT_TRUE(lock.HeldByCurrentThread());
}

TEST(SmallRecursiveLock, ThreadNumbersAreDistinctAndNeverZero) {
  const uint32_t mine = SmallRecursiveLock::CurrentThreadNumber();
  const uint32_t other = std::async(std::launch::async, [] { return SmallRecursiveLock::CurrentThreadNumber(); }).get();
  EXPECT_NE(mine, 0u);
  EXPECT_NE(other, 0u);
  EXPECT_NE(mine, other);
  EXPECT_EQ(mine, SmallRecursiveLock::CurrentThreadNumber());
}

// A thread asleep on the lock wakes when the owner lets go, however deep the owner had locked.
TEST(SmallRecursiveLock, AWaitingThreadGoesOnWhenTheOwnerLetsGo) {
  SmallRecursiveLock lock;
  lock.lock();
  lock.lock();
  std::atomic<bool> inside{false};
  auto waiter = std::async(std::launch::async, [&] {
    std::lock_guard guard(lock);
    inside = true;
  });
  EXPECT_EQ(waiter.wait_for(100ms), std::future_status::timeout);
  lock.unlock();
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout) << "still held once";
  EXPECT_FALSE(inside);
  lock.unlock();
  ASSERT_EQ(waiter.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(inside);
}

// Threads that take the lock, nested, and change plain data: no two are ever inside at once and
// no change is lost.
TEST(SmallRecursiveLock, ExcludesUnderContention) {
  SmallRecursiveLock lock;
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  long counter = 0;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        std::lock_guard outer(lock);
        if (inside.fetch_add(1) != 0) ++overlaps;
        {
          std::lock_guard nested(lock);
          ++counter;
        }
        if ((i + t) % 64 == 0) std::this_thread::yield();  // let the others queue up
        inside.fetch_sub(1);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(counter, long{kThreads} * kRounds);
  EXPECT_TRUE(TryFromAnotherThread(lock));
}

}  // namespace
}  // namespace plb::platform
