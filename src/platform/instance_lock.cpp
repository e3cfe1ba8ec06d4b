#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/private_temp.h"

namespace plb::platform {

namespace {

int OpenLockFile(const std::string& path, bool create) {
  int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
  return ::open(path.c_str(), flags, 0600);
}

int FlockRetrying(int fd, int operation) {
  int rc;
  do rc = ::flock(fd, operation);
  while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

LockResult LockFile::TryAcquire() {
  if (fd_) return LockResult::kAcquired;
  UniqueFd fd(OpenLockFile(path_, true));
  if (!fd) return LockResult::kFailed;
  if (FlockRetrying(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK ? LockResult::kHeldElsewhere : LockResult::kFailed;
  }
  fd_ = std::move(fd);
  return LockResult::kAcquired;
}

LockResult LockFile::Acquire(int wait_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (true) {
    const LockResult result = TryAcquire();
    if (result != LockResult::kHeldElsewhere || std::chrono::steady_clock::now() >= deadline) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void LockFile::Release() {
  if (!fd_) return;
  FlockRetrying(fd_.Get(), LOCK_UN);
  fd_.Reset();
}

bool LockFile::HeldByOther() const {
  if (fd_) return false;
  UniqueFd fd(OpenLockFile(path_, false));
  if (!fd) return false;  // never created: nobody ever held it
  if (FlockRetrying(fd.Get(), LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  FlockRetrying(fd.Get(), LOCK_UN);
  return false;
}

InstanceLocks::InstanceLocks() : InstanceLocks(RuntimeFolder()) {}

InstanceLocks::InstanceLocks(const std::string& folder)
    : instance_(folder + "/" + kInstanceLockName + ".lock"), running_(folder + "/" + kRunningLockName + ".lock") {}

}  // namespace plb::platform
