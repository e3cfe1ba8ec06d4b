#include "platform/small_recursive_lock.h"

#include <unistd.h>

namespace plb::platform {

uint32_t SmallRecursiveLock::SystemThreadId() {
  return static_cast<uint32_t>(::gettid());
}

void SmallRecursiveLock::LockContended(uint32_t self) {
  for (;;) {
    uint32_t seen = word_.load(std::memory_order_relaxed);
    if (seen == 0) {
      // Taken after a wait: others may still be asleep, so the bit stays set and our unlock wakes
      // the next of them.
      if (word_.compare_exchange_weak(seen, self | kWaitersBit, std::memory_order_acquire, std::memory_order_relaxed)) {
        depth_ = 1;
        return;
      }
      continue;
    }
    if (!(seen & kWaitersBit) &&
        !word_.compare_exchange_weak(seen, seen | kWaitersBit, std::memory_order_relaxed, std::memory_order_relaxed)) {
      continue;  // the word changed under us: look again
    }
    word_.wait(seen | kWaitersBit, std::memory_order_relaxed);
  }
}

void SmallRecursiveLock::Wake() {
  word_.notify_one();
}

}  // namespace plb::platform
