#include "service/upload/upload_image_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "platform/special_folders.h"
#include "platform/unique_fd.h"
#include "service/upload/service_path.h"

namespace plb {
namespace {

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) throw EImageLibError("Cannot create " + part);
    if (slash == std::string::npos) break;
  }
}

// The lock file of a key: a hash of the key keeps any text a valid file name.
std::string LockFileOf(const std::string& key) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(h));
  return ImageLibFolder() + "/Locks/" + name;
}

std::string KeyOf(bool write, const std::string& group, const std::string& subgroup, const std::string& name) {
  return std::string(write ? "w:" : "r:") + group + '\n' + subgroup + '\n' + name;
}

// The holds of this process, one open file per hold: flock belongs to the open file, so two
// threads of one process exclude each other as two processes do.
class Holds {
 public:
  int Begin(bool write, const std::string& group, const std::string& subgroup, const std::string& name, int timeoutMs) {
    const std::string file = LockFileOf(group + '\n' + subgroup + '\n' + name);
    try {
      MakeFolders(ImageLibFolder() + "/Locks");
    } catch (const EImageLibError&) {
      return 0;  // no hold without a lock folder; the caller skips its file operation
    }
    platform::UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return 0;
    if (!Acquire(fd.Get(), write ? LOCK_EX : LOCK_SH, timeoutMs)) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    holds_.emplace(KeyOf(write, group, subgroup, name), std::move(fd));
    return 1;
  }

  void End(bool write, const std::string& group, const std::string& subgroup, const std::string& name) {
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = holds_.find(KeyOf(write, group, subgroup, name));
    if (it != holds_.end()) holds_.erase(it);  // closing the file releases the lock
  }

 private:
  static bool Acquire(int fd, int kind, int timeoutMs) {
    if (timeoutMs < 0) {
      while (::flock(fd, kind) != 0)
        if (errno != EINTR) return false;
      return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (::flock(fd, kind | LOCK_NB) == 0) return true;
      if (errno != EWOULDBLOCK && errno != EINTR) return false;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::mutex lock_;
  std::multimap<std::string, platform::UniqueFd> holds_;
};

Holds& TheHolds() {
  static Holds* holds = new Holds;  // never destroyed: holds may be released during exit
  return *holds;
}

}  // namespace

std::string ImageLibFolder() {
  static const std::string folder =
      platform::SpecialFolderPath(platform::SpecialFolder::kAppData) + "/Morvane/ImageLib";
  return folder;
}

std::string ImageLibBackUploadFolder(const std::string& longSessionId) {
  std::string folder = ImageLibFolder();
  folder += "/BackUpload";
  if (!longSessionId.empty()) {
    folder += '/';
    folder += ServicePathComponent(longSessionId);
  }
  return folder;
}

std::string ImageLibCacheRoot() {
  return ImageLibFolder() + "/Cache";
}

std::string ImageLibCacheFolder(const std::string& group, const std::string& subgroup) {
  return ImageLibCacheRoot() + "/" + ServicePathComponent(group) + "/" + ServicePathComponent(subgroup);
}

std::string ImageLibCachePath(const std::string& group, const std::string& subgroup, const std::string& name) {
  if (name.empty()) throw EImageLibError("An image-library image needs a name");
  return ImageLibCacheFolder(group, subgroup) + "/" + ServicePathComponent(name) + ".jpg";
}

int ImageLibBeginRead(const std::string& group, const std::string& subgroup, const std::string& name, int timeoutMs) {
  return TheHolds().Begin(false, group, subgroup, name, timeoutMs);
}

void ImageLibEndRead(const std::string& group, const std::string& subgroup, const std::string& name) {
  TheHolds().End(false, group, subgroup, name);
}

int ImageLibBeginWrite(const std::string& group, const std::string& subgroup, const std::string& name, int timeoutMs) {
  return TheHolds().Begin(true, group, subgroup, name, timeoutMs);
}

void ImageLibEndWrite(const std::string& group, const std::string& subgroup, const std::string& name) {
  TheHolds().End(true, group, subgroup, name);
}

}  // namespace plb
