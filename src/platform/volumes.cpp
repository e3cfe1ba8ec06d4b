#include "platform/volumes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "platform/checked.h"

namespace plb::platform {

using volumes_detail::MountEntry;

void SetNoVolume(TDriveInfoRec& info) {
  info.DriveType = kDriveNoRootDir;
  info.VolumeSerial = -1;
  info.VolumeName = "Unknown";
  info.Drive.clear();
}

namespace volumes_detail {

namespace {

// Undoes the octal escapes (\040 and the like) of mountinfo fields.
std::string UnescapeOctal(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// -1 means "the volume gives no information", so no real volume may be given that serial.
int32_t AvoidNoInformation(uint32_t v) {
  return static_cast<int32_t>(v == 0xFFFFFFFFu ? 0xFFFFFFFEu : v);
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    std::string field;
    while (fields >> field) f.push_back(field);
    // id parent major:minor root mount-point options [optional...] - type source super-options
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (f.size() < 7 || dash + 1 >= f.size()) continue;
    MountEntry e;
    unsigned major = 0, minor = 0;
    char colon = 0;
    std::istringstream dev(f[2]);
    if (!(dev >> major >> colon >> minor) || colon != ':') continue;
    e.major = major;
    e.minor = minor;
    e.mount_point = UnescapeOctal(f[4]);
    e.fs_type = f[dash + 1];
    e.source = dash + 2 < f.size() ? UnescapeOctal(f[dash + 2]) : std::string();
    if (e.mount_point.empty() || e.mount_point[0] != '/') continue;
    entries.push_back(std::move(e));
  }
  return entries;
}

bool IsSystemMountPoint(const std::string& mount_point) {
  for (const char* top : {"/proc", "/sys", "/dev"}) {
    size_t n = std::strlen(top);
    if (mount_point.compare(0, n, top) == 0 && (mount_point.size() == n || mount_point[n] == '/')) return true;
  }
  return false;
}

bool IsPseudoFilesystem(const std::string& fs_type) {
  static const std::set<std::string> kPseudo = {
      "proc",        "sysfs",       "devtmpfs",      "devpts",       "cgroup",     "cgroup2",   "securityfs",
      "debugfs",     "tracefs",     "pstore",        "bpf",          "mqueue",     "hugetlbfs", "configfs",
      "fusectl",     "binfmt_misc", "autofs",        "efivarfs",     "rpc_pipefs", "nsfs",      "selinuxfs",
      "squashfs",    "sockfs",      "pipefs",        "anon_inodefs", "devfs",      "usbfs",     "fuse.gvfsd-fuse",
      "fuse.portal", "fuse.lxcfs",  "fuse.snapfuse", "fuse.doc",
  };
  return kPseudo.count(fs_type) != 0;
}

bool SerialFromUuid(const std::string& uuid, int32_t& serial) {
  std::string hex;
  for (char c : uuid) {
    if (c == '-') continue;
    if (HexValue(c) < 0) return false;
    hex += c;
  }
  if (hex.empty()) return false;
  // An NTFS serial is 64 bits, of which the system reported the low 32.
  if (hex.size() == 16) hex = hex.substr(8);
  uint32_t folded = 0;
  for (size_t start = 0; start < hex.size(); start += 8) {
    uint32_t word = 0;
    for (size_t i = start; i < start + 8; ++i)
      word = (word << 4) | static_cast<uint32_t>(i < hex.size() ? HexValue(hex[i]) : 0);
    folded ^= word;
  }
  if (hex.size() < 8) folded >>= 4 * (8 - hex.size());
  serial = AvoidNoInformation(folded);
  return true;
}

int32_t SerialFromSource(const std::string& fs_type, const std::string& source) {
  uint32_t h = 2166136261u;  // FNV-1a
  auto mix = [&](const std::string& s) {
    for (unsigned char c : s) {
      h ^= c;
      h *= 16777619u;
    }
  };
  mix(fs_type);
  mix(std::string(1, '\0'));
  mix(source);
  return AvoidNoInformation(h);
}

std::string UnescapeUdevName(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && HexValue(name[i + 2]) >= 0 &&
        HexValue(name[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3]));
      i += 3;
      continue;
    }
    out += name[i];
  }
  return out;
}

int LongestMountMatch(const std::vector<std::string>& mount_points, const std::string& path) {
  int best = -1;
  size_t best_length = 0;
  for (size_t i = 0; i < mount_points.size(); ++i) {
    const std::string& mp = mount_points[i];
    bool inside = mp == "/"
                      ? !path.empty() && path[0] == '/'
                      : path.compare(0, mp.size(), mp) == 0 && (path.size() == mp.size() || path[mp.size()] == '/');
    // ">=": of two mounts on one point, the later hides the earlier.
    if (inside && (best < 0 || mp.size() >= best_length)) {
      best = static_cast<int>(i);
      best_length = mp.size();
    }
  }
  return best;
}

}  // namespace volumes_detail

namespace {

using namespace volumes_detail;

// "/a/./b//c/../d/" becomes "/a/b/d"; ".." above the root stays at the root.
std::string NormaliseAbsolute(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(path);
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

// The path with the symbolic links of its existing part resolved; the part that does not exist
// is kept as it stands.
std::string ResolveExistingPart(const std::string& normalised) {
  std::string head = normalised;
  std::string tail;
  while (true) {
    if (char* real = ::realpath(head.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      if (tail.empty()) return resolved;
      return resolved == "/" ? tail : resolved + tail;
    }
    if (head == "/") return normalised;
    size_t slash = head.rfind('/');
    tail = head.substr(slash) + tail;
    head = slash == 0 ? "/" : head.substr(0, slash);
  }
}

std::string ReadWholeFd(int fd) {
  std::string text;
  char buffer[8192];
  ::lseek(fd, 0, SEEK_SET);
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

std::string ReadSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text = ReadWholeFd(fd);
  ::close(fd);
  return text;
}

std::string Basename(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadLink(const std::string& path) {
  char buffer[4096];
  ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// device name ("sdb1") -> link name, for /dev/disk/by-label or by-uuid.
std::map<std::string, std::string> DeviceLinks(const std::string& folder, bool unescape) {
  std::map<std::string, std::string> links;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return links;
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string target = ReadLink(folder + "/" + name);
    if (target.empty()) continue;
    links[Basename(target)] = unescape ? UnescapeUdevName(name) : name;
  }
  ::closedir(dir);
  return links;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr int64_t kTableMaxAgeMs = 2000;

const std::set<std::string>& NetworkFilesystems() {
  static const std::set<std::string> kNetwork = {
      "nfs",         "nfs4",           "cifs",        "smb3",         "smbfs",          "ncpfs",       "afs",
      "ceph",        "glusterfs",      "9p",          "davfs",        "fuse.sshfs",     "fuse.rclone", "fuse.s3fs",
      "fuse.davfs2", "fuse.glusterfs", "fuse.cephfs", "fuse.gcsfuse", "fuse.curlftpfs",
  };
  return kNetwork;
}

}  // namespace

struct SystemVolumeSource::Table {
  std::vector<TDriveInfoRec> volumes;
  std::vector<std::string> mount_points;
};

SystemVolumeSource::SystemVolumeSource() : SystemVolumeSource(Paths{}) {}
SystemVolumeSource::SystemVolumeSource(Paths paths) : paths_(std::move(paths)) {}
SystemVolumeSource::~SystemVolumeSource() {
  if (mountinfo_fd_ >= 0) ::close(mountinfo_fd_);
}

void SystemVolumeSource::Refresh() {
  std::lock_guard lock(mutex_);
  table_.reset();
}

std::shared_ptr<const SystemVolumeSource::Table> SystemVolumeSource::CurrentTable() {
  std::lock_guard lock(mutex_);
  if (table_ && mountinfo_fd_ >= 0) {
    // The kernel marks the mount table file with POLLPRI once a mount or unmount happened.
    struct pollfd p = {mountinfo_fd_, POLLPRI, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR))) table_.reset();
  }
  if (table_ && NowMs() - table_time_ms_ > kTableMaxAgeMs) table_.reset();
  if (table_) return table_;

  if (mountinfo_fd_ >= 0) ::close(mountinfo_fd_);
  mountinfo_fd_ = ::open(paths_.mountinfo.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<MountEntry> mounts =
      mountinfo_fd_ >= 0 ? ParseMountInfo(ReadWholeFd(mountinfo_fd_)) : std::vector<MountEntry>{};
  std::map<std::string, std::string> labels = DeviceLinks(paths_.dev_disk + "/by-label", true);
  std::map<std::string, std::string> uuids = DeviceLinks(paths_.dev_disk + "/by-uuid", false);

  auto table = std::make_shared<Table>();
  for (const MountEntry& m : mounts) {
    if (IsPseudoFilesystem(m.fs_type) || IsSystemMountPoint(m.mount_point)) continue;
    struct stat st;
    if (::stat(m.mount_point.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) continue;  // a file bound over a file

    std::string block = paths_.sys + "/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
    std::string device = Basename(ReadLink(block));
    if (device.empty() && m.source.rfind("/dev/", 0) == 0) {
      char* real = ::realpath(m.source.c_str(), nullptr);
      device = Basename(real ? std::string(real) : m.source);
      std::free(real);
    }

    TDriveInfoRec info;
    info.Drive = m.mount_point.size() > 1 && m.mount_point.back() == '/'
                     ? m.mount_point.substr(0, m.mount_point.size() - 1)
                     : m.mount_point;
    bool removable = ReadSmallFile(block + "/removable").rfind('1', 0) == 0 ||
                     ReadSmallFile(block + "/../removable").rfind('1', 0) == 0;
    if (NetworkFilesystems().count(m.fs_type)) {
      info.DriveType = kDriveRemote;
    } else if (m.fs_type == "iso9660" || m.fs_type == "udf" || device.rfind("sr", 0) == 0) {
      info.DriveType = kDriveOptical;
    } else if (m.fs_type == "tmpfs" || m.fs_type == "ramfs") {
      info.DriveType = kDriveRamDisk;
    } else if (removable) {
      info.DriveType = kDriveRemovable;
    } else {
      info.DriveType = kDriveFixed;
    }
    auto uuid = device.empty() ? uuids.end() : uuids.find(device);
    if (uuid == uuids.end() || !SerialFromUuid(uuid->second, info.VolumeSerial)) {
      info.VolumeSerial = SerialFromSource(m.fs_type, m.source);
    }
    auto label = device.empty() ? labels.end() : labels.find(device);
    info.VolumeName = label == labels.end() ? std::string() : label->second;

    // A later mount on the same point hides the earlier one.
    for (size_t i = 0; i < table->mount_points.size(); ++i) {
      if (table->mount_points[i] == info.Drive) {
        table->mount_points.erase(table->mount_points.begin() + static_cast<long>(i));
        table->volumes.erase(table->volumes.begin() + static_cast<long>(i));
        break;
      }
    }
    table->mount_points.push_back(info.Drive);
    table->volumes.push_back(std::move(info));
  }
  table_ = table;
  table_time_ms_ = NowMs();
  return table_;
}

bool SystemVolumeSource::DriveInfoOf(const std::string& path, TDriveInfoRec& info) {
  SetNoVolume(info);
  if (path.empty() || path[0] != '/') return false;
  std::shared_ptr<const Table> table = CurrentTable();
  int i = LongestMountMatch(table->mount_points, ResolveExistingPart(NormaliseAbsolute(path)));
  if (i < 0) return false;
  info = table->volumes[static_cast<size_t>(i)];
  return true;
}

std::vector<TDriveInfoRec> SystemVolumeSource::List() {
  return CurrentTable()->volumes;
}

uint64_t SystemVolumeSource::FreeBytes(const std::string& path) {
  if (path.empty() || path[0] != '/') return 0;
  std::string existing = NormaliseAbsolute(path);
  struct statvfs vfs;
  while (::statvfs(existing.c_str(), &vfs) != 0) {
    if (existing == "/") return 0;
    size_t slash = existing.rfind('/');
    existing = slash == 0 ? "/" : existing.substr(0, slash);
  }
  uint64_t bytes;
  if (!CheckedMul(vfs.f_bavail, vfs.f_frsize, bytes)) return UINT64_MAX;
  return bytes;
}

void FakeVolumeSource::Mount(const TDriveInfoRec& info, uint64_t free_bytes) {
  std::lock_guard lock(mutex_);
  for (Entry& e : entries_) {
    if (e.info.Drive == info.Drive) {
      e = Entry{info, free_bytes};
      return;
    }
  }
  entries_.push_back(Entry{info, free_bytes});
}

void FakeVolumeSource::Unmount(const std::string& drive) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [&](const Entry& e) { return e.info.Drive == drive; });
}

const FakeVolumeSource::Entry* FakeVolumeSource::Find(const std::string& path) const {
  if (path.empty() || path[0] != '/') return nullptr;
  std::vector<std::string> points;
  for (const Entry& e : entries_) points.push_back(e.info.Drive);
  int i = LongestMountMatch(points, NormaliseAbsolute(path));
  return i < 0 ? nullptr : &entries_[static_cast<size_t>(i)];
}

bool FakeVolumeSource::DriveInfoOf(const std::string& path, TDriveInfoRec& info) {
  std::lock_guard lock(mutex_);
  SetNoVolume(info);
  const Entry* e = Find(path);
  if (!e) return false;
  info = e->info;
  return true;
}

std::vector<TDriveInfoRec> FakeVolumeSource::List() {
  std::lock_guard lock(mutex_);
  std::vector<TDriveInfoRec> list;
  for (const Entry& e : entries_) list.push_back(e.info);
  return list;
}

uint64_t FakeVolumeSource::FreeBytes(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(path);
  return e ? e->free_bytes : 0;
}

namespace {
std::atomic<IVolumeSource*> g_override{nullptr};
}  // namespace

IVolumeSource& Volumes() {
  if (IVolumeSource* source = g_override.load()) return *source;
  static SystemVolumeSource system;
  return system;
}

ScopedVolumeSource::ScopedVolumeSource(IVolumeSource& source) : previous_(g_override.exchange(&source)) {}
ScopedVolumeSource::~ScopedVolumeSource() {
  g_override.store(previous_);
}

}  // namespace plb::platform
