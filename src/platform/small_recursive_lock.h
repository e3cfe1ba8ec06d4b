#pragma once
// A re-entrant lock of eight bytes for objects that exist by the million (catalog items), where a
// std::recursive_mutex would cost forty bytes each. Uncontended locking is one compare-and-swap
// and unlocking one exchange, both inline; a thread that finds the lock taken sleeps on the word
// (futex through std::atomic::wait) and is woken only when someone is waiting.
//
// The word holds the owner's thread number and a "someone may wait" bit; the depth is touched
// only by the owner, which took the word with acquire ordering.
#include <atomic>
#include <cstdint>

namespace plb::platform {

class SmallRecursiveLock {
 public:
  SmallRecursiveLock() = default;
  SmallRecursiveLock(const SmallRecursiveLock&) = delete;
  SmallRecursiveLock& operator=(const SmallRecursiveLock&) = delete;

  void lock() {
    const uint32_t self = CurrentThreadNumber();
    uint32_t expected = 0;
    if (word_.compare_exchange_strong(expected, self, std::memory_order_acquire, std::memory_order_relaxed)) {
      depth_ = 1;
      return;
    }
    if ((expected & kOwnerMask) == self) {
      ++depth_;
      return;
    }
    LockContended(self);
  }

  bool try_lock() {
    const uint32_t self = CurrentThreadNumber();
    uint32_t expected = 0;
    if (word_.compare_exchange_strong(expected, self, std::memory_order_acquire, std::memory_order_relaxed)) {
      depth_ = 1;
      return true;
    }
    if ((expected & kOwnerMask) == self) {
      ++depth_;
      return true;
    }
    return false;
  }

  // Only the owner unlocks, as with any mutex.
  void unlock() {
    if (--depth_ > 0) return;
    if (word_.exchange(0, std::memory_order_release) & kWaitersBit) Wake();
  }

  // True when the calling thread holds the lock (for checks in tests and assertions).
  bool HeldByCurrentThread() const {
    return (word_.load(std::memory_order_relaxed) & kOwnerMask) == CurrentThreadNumber();
  }

  // The calling thread's system thread id: never 0, below 2^22, and distinct among the threads
  // alive at one time.
  static uint32_t CurrentThreadNumber() {
    thread_local const uint32_t number = SystemThreadId();
    return number;
  }

 private:
  static constexpr uint32_t kWaitersBit = 0x80000000u;
  static constexpr uint32_t kOwnerMask = ~kWaitersBit;

  static uint32_t SystemThreadId();
  void LockContended(uint32_t self);
  void Wake();

  std::atomic<uint32_t> word_{0};
  uint32_t depth_ = 0;
};

static_assert(sizeof(SmallRecursiveLock) == 8);

}  // namespace plb::platform
