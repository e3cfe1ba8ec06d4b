#pragma once
// The single-instance rule: lock files in the private runtime folder, held with flock. The kernel
// drops a lock when its process ends in whatever way, so a crashed instance never blocks the next
// start, and the files themselves are never deleted (deleting a lock file that another process is
// about to lock would let two processes hold "the" lock).
//
//   instance lock  "{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}.lock"         held for the whole run
//   running lock   "{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}Running.lock"  held while fully started
#include <string>

#include "platform/unique_fd.h"

namespace plb::platform {

inline constexpr const char* kInstanceLockName = "{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}";
inline constexpr const char* kRunningLockName = "{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}Running";
inline constexpr int kRunningLockWaitMs = 2000;

enum class LockResult {
  kAcquired,       // this object holds the lock now (or already did)
  kHeldElsewhere,  // another process (or another open of the file) holds it
  kFailed,         // the lock file cannot be opened or locked
};

// One exclusive lock file.
class LockFile {
 public:
  explicit LockFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // Takes the lock without waiting.
  LockResult TryAcquire();
  // Takes the lock, trying again for up to wait_ms while someone else holds it.
  LockResult Acquire(int wait_ms);
  void Release();
  bool Held() const { return fd_.Valid(); }

  // True when someone other than this object holds the lock. Probes with a shared lock, so two
  // probing processes never see each other as holders.
  bool HeldByOther() const;

 private:
  std::string path_;
  UniqueFd fd_;
};

// The instance and running locks of the program in folder (the runtime folder by default).
class InstanceLocks {
 public:
  InstanceLocks();
  explicit InstanceLocks(const std::string& folder);

  LockResult AcquireInstance() { return instance_.TryAcquire(); }
  void ReleaseInstance() { instance_.Release(); }

  // Only a start that holds the instance lock takes the running lock, and it gives the running lock
  // up before the instance lock; so while we hold the instance lock, whoever else holds the running
  // lock is a second start looking at it, for an instant. It is waited out.
  LockResult AcquireRunning() { return running_.Acquire(kRunningLockWaitMs); }
  void ReleaseRunning() { running_.Release(); }

  // True when another process holds the running lock: a first instance that has fully started.
  bool RunningHeldByAnotherProcess() const { return running_.HeldByOther(); }

 private:
  LockFile instance_;
  LockFile running_;
};

}  // namespace plb::platform
