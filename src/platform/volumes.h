#pragma once
// Volumes: every mounted filesystem that holds files is a "drive" whose name is its mount point.
// A folder tree of the catalog belongs to one volume, identified by its drive, drive type,
// serial number and volume name, so these must stay the same for the same medium across
// re-plugs and reboots:
//   drive type   2 removable (sysfs says so), 3 fixed, 4 network filesystem, 5 optical (iso9660,
//                udf or an sr device), 6 RAM (tmpfs, ramfs); 1 when there is no such volume;
//   serial       a FAT or exFAT volume's own serial ("ABCD-1234" is 0xABCD1234), the low 32 bits
//                of a 64-bit NTFS serial, a 32-bit fold of any other filesystem UUID, and for a
//                filesystem without UUID a hash of its type and source ("server:/export",
//                "tmpfs"), which unlike device numbers does not change with the USB port;
//                -1 when there is no such volume;
//   volume name  the filesystem label, empty when the volume has none; "Unknown" when there is no
//                such volume.
// Pseudo filesystems (proc, sysfs, cgroup, ...) and whatever is mounted below /proc, /sys and
// /dev are not volumes.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plb {

// One volume, in the order of the record.
struct TDriveInfoRec {
  int32_t DriveType = 0;
  int32_t VolumeSerial = 0;
  std::string VolumeName;
  std::string Drive;  // the mount point, without a trailing "/" ("/" for the root filesystem)

  bool operator==(const TDriveInfoRec&) const = default;
};

namespace platform {

constexpr int32_t kDriveNoRootDir = 1;
constexpr int32_t kDriveRemovable = 2;
constexpr int32_t kDriveFixed = 3;
constexpr int32_t kDriveRemote = 4;
constexpr int32_t kDriveOptical = 5;
constexpr int32_t kDriveRamDisk = 6;

// Fills info for a lookup that found no volume: type 1, serial -1, volume name "Unknown", no drive.
void SetNoVolume(TDriveInfoRec& info);

class IVolumeSource {
 public:
  virtual ~IVolumeSource() = default;

  // The volume that holds path: the mount point that is the longest match of the path, after
  // symbolic links of its existing part are resolved (for a path that does not exist, its nearest
  // existing ancestor decides). False, with SetNoVolume, for a relative or empty path or when no
  // volume holds it.
  virtual bool DriveInfoOf(const std::string& path, TDriveInfoRec& info) = 0;

  // Every volume, in mount order.
  virtual std::vector<TDriveInfoRec> List() = 0;

  // Bytes available to the user on the volume that holds path; 0 when that cannot be told.
  virtual uint64_t FreeBytes(const std::string& path) = 0;
};

// The volumes of this machine, read from the mount table. Every base path can be moved so tests
// can describe a machine of their own.
class SystemVolumeSource : public IVolumeSource {
 public:
  struct Paths {
    std::string mountinfo = "/proc/self/mountinfo";
    std::string dev_disk = "/dev/disk";  // by-label/ and by-uuid/ below it
    std::string sys = "/sys";            // dev/block/<major>:<minor> below it
  };
  SystemVolumeSource();
  explicit SystemVolumeSource(Paths paths);
  ~SystemVolumeSource() override;

  bool DriveInfoOf(const std::string& path, TDriveInfoRec& info) override;
  std::vector<TDriveInfoRec> List() override;
  uint64_t FreeBytes(const std::string& path) override;

  // Drops the cached table; the next lookup reads the mount table again. The table is also read
  // again when the kernel reports a change of the mount table, and at the latest after two
  // seconds (labels can change without a remount).
  void Refresh();

 private:
  struct Table;
  std::shared_ptr<const Table> CurrentTable();

  Paths paths_;
  std::mutex mutex_;
  std::shared_ptr<const Table> table_;
  int64_t table_time_ms_ = 0;
  int mountinfo_fd_ = -1;
};

// Volumes a test describes. Paths are matched as text (longest mount point), so nothing needs to
// exist on disk: two cards that take turns in one card reader are two Mount calls with the same
// drive.
class FakeVolumeSource : public IVolumeSource {
 public:
  void Mount(const TDriveInfoRec& info, uint64_t free_bytes = 0);
  void Unmount(const std::string& drive);

  bool DriveInfoOf(const std::string& path, TDriveInfoRec& info) override;
  std::vector<TDriveInfoRec> List() override;
  uint64_t FreeBytes(const std::string& path) override;

 private:
  struct Entry {
    TDriveInfoRec info;
    uint64_t free_bytes;
  };
  const Entry* Find(const std::string& path) const;
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The source the program uses: a SystemVolumeSource unless one is installed for a test.
IVolumeSource& Volumes();

// Installs source as Volumes() for the lifetime of the object.
class ScopedVolumeSource {
 public:
  explicit ScopedVolumeSource(IVolumeSource& source);
  ~ScopedVolumeSource();
  ScopedVolumeSource(const ScopedVolumeSource&) = delete;
  ScopedVolumeSource& operator=(const ScopedVolumeSource&) = delete;

 private:
  IVolumeSource* previous_;
};

// Pure helpers, shared by the sources and exposed for tests.
namespace volumes_detail {

struct MountEntry {
  std::string mount_point;  // unescaped
  std::string fs_type;
  std::string source;  // unescaped
  unsigned major = 0;
  unsigned minor = 0;
};

// The entries of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// True for filesystems that are not volumes.
bool IsPseudoFilesystem(const std::string& fs_type);

// True for mount points of the system's own trees (/proc, /sys, /dev and below), which are no
// volumes whatever their filesystem.
bool IsSystemMountPoint(const std::string& mount_point);

// The serial of a filesystem UUID as /dev/disk/by-uuid names it; false when it holds no hex.
bool SerialFromUuid(const std::string& uuid, int32_t& serial);

// The serial of a filesystem without UUID.
int32_t SerialFromSource(const std::string& fs_type, const std::string& source);

// "\x20" escapes of /dev/disk/by-label names undone.
std::string UnescapeUdevName(const std::string& name);

// The index of the entry whose mount point is the longest match of the absolute, normalised
// path, or -1.
int LongestMountMatch(const std::vector<std::string>& mount_points, const std::string& path);

}  // namespace volumes_detail

}  // namespace platform
}  // namespace plb
