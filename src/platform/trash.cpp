#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/special_folders.h"
#include "platform/unique_fd.h"
#include "platform/volumes.h"

namespace plb::platform {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw ETrashError("Cannot move " + path + " to the trash: " + why);
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) Fail(path, ec.message());
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// Creates folder (mode 0700) when missing and accepts it only as a real folder of the user.
void EnsureOwnFolder(const std::string& folder, const std::string& item) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Fail(item, folder + ": " + std::strerror(errno));
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) Fail(item, folder + ": " + std::strerror(errno));
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) Fail(item, folder + " is not a trash folder of this user");
}

std::string DeletionDate() {
  std::time_t now = std::time(nullptr);
  std::tm local;
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool IsSameOrInside(const std::string& folder, const std::string& path) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            (folder == "/" || path[folder.size()] == '/'));
}

// "IMG.JPG" -> "IMG.2.JPG", "folder" -> "folder.2", ".hidden" -> ".hidden.2".
std::string NumberedName(const std::string& name, int n) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "." + std::to_string(n);
  return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

}  // namespace

std::string PercentEncodePath(const std::string& path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                c == '.' || c == '~' || c == '/';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string HomeTrashFolder() {
  std::string data = SpecialFolderPath(SpecialFolder::kAppData);
  return data.empty() ? std::string() : data + "/Trash";
}

std::string MoveToTrashFolder(const std::string& path, const std::string& trash_folder, const std::string& path_base) {
  std::string item = Absolute(path);
  struct stat st;
  if (::lstat(item.c_str(), &st) != 0) Fail(item, std::strerror(errno));
  if (trash_folder.empty()) Fail(item, "there is no trash folder");
  if (IsSameOrInside(item, trash_folder) || IsSameOrInside(trash_folder, item)) {
    Fail(item, "it is the trash or lies in it");
  }
  // A new user may not have the data folder that holds the home trash yet.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(trash_folder).parent_path(), ec);
  EnsureOwnFolder(trash_folder, item);
  std::string files = trash_folder + "/files", info = trash_folder + "/info";
  EnsureOwnFolder(files, item);
  EnsureOwnFolder(info, item);

  // Info files record the original path relative to the volume's top for a volume's own trash.
  std::string recorded = item;
  if (!path_base.empty() && path_base != "/" && IsSameOrInside(path_base, item))
    recorded = item.substr(path_base.size() + 1);
  std::string body = "[Trash Info]\nPath=" + PercentEncodePath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";

  std::string name = item.substr(item.rfind('/') + 1);
  for (int n = 1; n < 100000; ++n) {
    std::string candidate = n == 1 ? name : NumberedName(name, n);
    std::string info_path = info + "/" + candidate + ".trashinfo";
    // Creating the info file exclusively reserves the name, also against other programs.
    UniqueFd fd(::open(info_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
      if (errno == EEXIST) continue;
      Fail(item, info_path + ": " + std::strerror(errno));
    }
    std::string target = files + "/" + candidate;
    bool written = ::write(fd.Get(), body.data(), body.size()) == static_cast<ssize_t>(body.size());
    written = ::close(fd.Release()) == 0 && written;
    if (!written) {
      int e = errno;
      ::unlink(info_path.c_str());
      Fail(item, info_path + ": " + std::strerror(e));
    }
    // A name taken in files/ without an info file is skipped; never replace what lies there.
    int moved = ::renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && errno == EINVAL) {  // a filesystem without the no-replace rename
      struct stat existing;
      if (::lstat(target.c_str(), &existing) == 0) {
        errno = EEXIST;
      } else {
        moved = ::rename(item.c_str(), target.c_str());
      }
    }
    if (moved != 0) {
      int e = errno;
      ::unlink(info_path.c_str());
      if (e == EEXIST) continue;
      Fail(item, e == EXDEV ? "it lies on another volume than the trash" : std::strerror(e));
    }
    return target;
  }
  Fail(item, "no free name in the trash");
}

std::string MoveToTrash(const std::string& path) {
  std::string item = Absolute(path);
  std::string home_trash = HomeTrashFolder();
  TDriveInfoRec item_volume, home_volume;
  bool known = Volumes().DriveInfoOf(item, item_volume);
  std::string home_trash_parent = home_trash.empty() ? std::string() : home_trash.substr(0, home_trash.rfind('/'));
  if (!known || home_trash.empty() ||
      (Volumes().DriveInfoOf(home_trash_parent, home_volume) && home_volume == item_volume)) {
    return MoveToTrashFolder(item, home_trash);
  }
  std::string top = item_volume.Drive;
  std::string volume_trash = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::geteuid());
  return MoveToTrashFolder(item, volume_trash, top);
}

}  // namespace plb::platform
