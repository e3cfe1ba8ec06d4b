#include "platform/instance_lock.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/private_temp.h"

namespace plb::platform {

namespace {

int OpenLockFile(const std::string& path, bool create) {
  int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
  return ::open(path.c_str(), flags, 0600);
}

// The whole file, from its start to any length.
struct flock WholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return lock;
}

int FcntlRetrying(int fd, int command, struct flock& lock) {
  int rc;
  do rc = ::fcntl(fd, command, &lock);
  while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

LockResult LockFile::TryAcquire() {
  if (fd_) return LockResult::kAcquired;
  UniqueFd fd(OpenLockFile(path_, true));
  if (!fd) return LockResult::kFailed;
  struct flock lock = WholeFile(F_WRLCK);
  if (FcntlRetrying(fd.Get(), F_OFD_SETLK, lock) != 0) {
    return errno == EAGAIN || errno == EACCES ? LockResult::kHeldElsewhere : LockResult::kFailed;
  }
  fd_ = std::move(fd);
  return LockResult::kAcquired;
}

void LockFile::Release() {
  if (!fd_) return;
  struct flock lock = WholeFile(F_UNLCK);
  FcntlRetrying(fd_.Get(), F_OFD_SETLK, lock);
  fd_.Reset();
}

bool LockFile::HeldByOther() const {
  if (fd_) return false;
  UniqueFd fd(OpenLockFile(path_, false));
  if (!fd) return false;  // never created: nobody ever held it
  struct flock lock = WholeFile(F_WRLCK);
  if (FcntlRetrying(fd.Get(), F_OFD_GETLK, lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

InstanceLocks::InstanceLocks() : InstanceLocks(RuntimeFolder()) {}

InstanceLocks::InstanceLocks(const std::string& folder)
    : instance_(folder + "/" + kInstanceLockName + ".lock"), running_(folder + "/" + kRunningLockName + ".lock") {}

}  // namespace plb::platform
