#include "platform/volumes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_env.h"

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using namespace volumes_detail;
using plb::test::TestRoot;

TEST(MountInfo, ParsesFieldsEscapesAndOptionalFields) {
  const std::string text =
      "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "40 28 8:17 / /media/user/MY\\040CARD rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw,uid=1000\n"
      "garbage line\n"
      "41 28 0:50 / /net rw - nfs4 server:/export\\040x rw\n";
  std::vector<MountEntry> e = ParseMountInfo(text);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].mount_point, "/");
  EXPECT_EQ(e[0].fs_type, "ext4");
  EXPECT_EQ(e[1].mount_point, "/media/user/MY CARD");
  EXPECT_EQ(e[1].fs_type, "vfat");
  EXPECT_EQ(e[1].source, "/dev/sdb1");
  EXPECT_EQ(e[1].major, 8u);
  EXPECT_EQ(e[1].minor, 17u);
  EXPECT_EQ(e[2].source, "server:/export x");
}

TEST(VolumeSerial, FromUuid) {
  struct Case {
    const char* uuid;
    bool ok;
    uint32_t serial;
  };
  const Case cases[] = {
      {"ABCD-1234", true, 0xABCD1234u},         // FAT/exFAT: the serial itself
      {"0123456789ABCDEF", true, 0x89ABCDEFu},  // NTFS: the low half
      {"01234567-89ab-cdef-0011-223344556677", true, 0x01234567u ^ 0x89abcdefu ^ 0x00112233u ^ 0x44556677u},
      {"FFFF-FFFF", true, 0xFFFFFFFEu},  // never the "no information" value
      {"", false, 0},
      {"not-hex", false, 0},
  };
  for (const Case& c : cases) {
    int32_t serial = 0;
    EXPECT_EQ(SerialFromUuid(c.uuid, serial), c.ok) << c.uuid;
    if (c.ok) {
      EXPECT_EQ(static_cast<uint32_t>(serial), c.serial) << c.uuid;
    }
  }
}

TEST(VolumeSerial, WithoutUuidItIsStableForTheSameSourceAndDiffersOtherwise) {
  EXPECT_EQ(SerialFromSource("nfs4", "server:/export"), SerialFromSource("nfs4", "server:/export"));
  EXPECT_NE(SerialFromSource("nfs4", "server:/export"), SerialFromSource("nfs4", "server:/other"));
  EXPECT_NE(SerialFromSource("tmpfs", "tmpfs"), SerialFromSource("ramfs", "tmpfs"));
  EXPECT_NE(SerialFromSource("tmpfs", "tmpfs"), -1);
}

TEST(VolumeLookup, LongestMountPointMatchIsByWholeComponents) {
  const std::vector<std::string> points = {"/", "/media/card", "/media/card/inner", "/media/card"};
  struct Case {
    const char* path;
    int index;
  };
  const Case cases[] = {
      {"/", 0},
      {"/home/u", 0},
      {"/media/card", 3},  // the later of two mounts on one point
      {"/media/card/DCIM", 3},
      {"/media/card2/DCIM", 0},
      {"/media/card/inner/x", 2},
      {"relative", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(LongestMountMatch(points, c.path), c.index) << c.path;
  EXPECT_EQ(LongestMountMatch({"/media/card"}, "/home"), -1);
}

// A small machine: root disk, an SD card in a USB reader, a DVD, an NFS share, a tmpfs and
// /proc, described by files below the test folder.
class SystemVolumes : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = TestRoot() + "/machine";
    paths_.mountinfo = base_ + "/mountinfo";
    paths_.dev_disk = base_ + "/dev/disk";
    paths_.sys = base_ + "/sys";
    fs::create_directories(paths_.dev_disk + "/by-label");
    fs::create_directories(paths_.dev_disk + "/by-uuid");
    fs::create_directories(paths_.sys + "/dev/block");
    Disk("8:0", "vda", false, "root-label", "01234567-89ab-cdef-0011-223344556677");
    Disk("8:17", "sdb1", true, "MY\\x20CARD", "ABCD-1234");
    Disk("11:0", "sr0", true, "", "");
    WriteMountInfo(
        "1 0 8:0 / / rw - ext4 /dev/vda rw\n"
        "2 1 0:5 / /proc rw - proc proc rw\n"
        "3 1 8:17 / /media/user/MY\\040CARD rw - vfat /dev/sdb1 rw\n"
        "4 1 11:0 / /media/user/DVD ro - iso9660 /dev/sr0 ro\n"
        "5 1 0:50 / /net/share rw - nfs4 server:/export rw\n"
        "6 1 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        "7 1 0:41 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
        "8 1 0:42 / /dev/shm rw - tmpfs tmpfs rw\n");
  }

  // A block device: its sysfs node (with the removable flag on the parent disk, as the kernel
  // has it for partitions) and its udev links.
  void Disk(const std::string& dev, const std::string& name, bool removable, const std::string& label,
            const std::string& uuid) {
    std::string node = paths_.sys + "/devices/block/disk-" + name + "/" + name;
    fs::create_directories(node);
    std::ofstream(paths_.sys + "/devices/block/disk-" + name + "/removable") << (removable ? "1\n" : "0\n");
    fs::create_symlink("../../devices/block/disk-" + name + "/" + name, paths_.sys + "/dev/block/" + dev);
    if (!label.empty()) fs::create_symlink("../../" + name, paths_.dev_disk + "/by-label/" + label);
    if (!uuid.empty()) fs::create_symlink("../../" + name, paths_.dev_disk + "/by-uuid/" + uuid);
  }

  void WriteMountInfo(const std::string& text) { std::ofstream(paths_.mountinfo) << text; }

  TDriveInfoRec Lookup(SystemVolumeSource& source, const std::string& path, bool expect_found = true) {
    TDriveInfoRec info;
    EXPECT_EQ(source.DriveInfoOf(path, info), expect_found) << path;
    return info;
  }

  std::string base_;
  SystemVolumeSource::Paths paths_;
};

TEST_F(SystemVolumes, DescribesEachKindOfVolume) {
  SystemVolumeSource source(paths_);
  TDriveInfoRec card = Lookup(source, "/media/user/MY CARD/DCIM/100CANON/IMG_0001.JPG");
  EXPECT_EQ(card,
            (TDriveInfoRec{kDriveRemovable, static_cast<int32_t>(0xABCD1234u), "MY CARD", "/media/user/MY CARD"}));

  TDriveInfoRec root = Lookup(source, "/home/user/Pictures");
  EXPECT_EQ(root.DriveType, kDriveFixed);
  EXPECT_EQ(root.VolumeName, "root-label");
  EXPECT_EQ(root.Drive, "/");
  EXPECT_EQ(static_cast<uint32_t>(root.VolumeSerial), 0x01234567u ^ 0x89abcdefu ^ 0x00112233u ^ 0x44556677u);

  TDriveInfoRec dvd = Lookup(source, "/media/user/DVD/VIDEO_TS");
  EXPECT_EQ(dvd.DriveType, kDriveOptical);
  EXPECT_EQ(dvd.VolumeName, "");  // no label: an empty name, not "Unknown"

  TDriveInfoRec share = Lookup(source, "/net/share/photos");
  EXPECT_EQ(share.DriveType, kDriveRemote);
  EXPECT_EQ(share.VolumeSerial, SerialFromSource("nfs4", "server:/export"));

  EXPECT_EQ(Lookup(source, "/run/user/1000/x").DriveType, kDriveRamDisk);
  // /proc and what is mounted in the system's trees are no volumes.
  EXPECT_EQ(Lookup(source, "/proc/self").Drive, "/");
  EXPECT_EQ(Lookup(source, "/sys/fs/cgroup/x").Drive, "/");

  std::vector<std::string> drives;
  for (const TDriveInfoRec& v : source.List()) drives.push_back(v.Drive);
  EXPECT_EQ(drives,
            (std::vector<std::string>{"/", "/media/user/MY CARD", "/media/user/DVD", "/net/share", "/run/user/1000"}));
}

TEST_F(SystemVolumes, APathThatIsNoAbsolutePathHasNoVolume) {
  SystemVolumeSource source(paths_);
  for (const char* path : {"", "relative/x", "C:"}) {
    TDriveInfoRec info = Lookup(source, path, false);
    EXPECT_EQ(info, (TDriveInfoRec{kDriveNoRootDir, -1, "Unknown", ""})) << path;
  }
}

TEST_F(SystemVolumes, AnotherCardInTheSameReaderIsAnotherVolumeAfterTheTableChanged) {
  SystemVolumeSource source(paths_);
  EXPECT_EQ(Lookup(source, "/media/user/MY CARD").VolumeSerial, static_cast<int32_t>(0xABCD1234u));
  fs::remove(paths_.dev_disk + "/by-uuid/ABCD-1234");
  fs::remove(paths_.dev_disk + "/by-label/MY\\x20CARD");
  fs::create_symlink("../../sdb1", paths_.dev_disk + "/by-uuid/1111-2222");
  source.Refresh();
  TDriveInfoRec second = Lookup(source, "/media/user/MY CARD");
  EXPECT_EQ(second.VolumeSerial, 0x11112222);
  EXPECT_EQ(second.VolumeName, "");

  WriteMountInfo("1 0 8:0 / / rw - ext4 /dev/vda rw\n");  // card pulled
  source.Refresh();
  EXPECT_EQ(Lookup(source, "/media/user/MY CARD/DCIM").Drive, "/");
}

TEST_F(SystemVolumes, SymbolicLinksOfTheExistingPartDecideTheVolume) {
  // A link on the root disk that points into the card, followed by a part that does not exist.
  // The card's mount point must exist for the link to resolve, so mount it below the test folder.
  std::string card = base_ + "/mnt/card";
  fs::create_directories(card);
  WriteMountInfo("1 0 8:0 / / rw - ext4 /dev/vda rw\n3 1 8:17 / " + card + " rw - vfat /dev/sdb1 rw\n");
  fs::create_directory_symlink(card, base_ + "/shortcut");
  SystemVolumeSource source(paths_);
  EXPECT_EQ(Lookup(source, base_ + "/shortcut/not/yet/there").Drive, card);
  EXPECT_EQ(Lookup(source, base_ + "/mnt/card/../card/./x").Drive, card);
  EXPECT_EQ(Lookup(source, base_ + "/mnt/cardboard").Drive, "/");
}

TEST(RealVolumes, TheRootFilesystemAndFreeSpace) {
  TDriveInfoRec root, here, missing;
  ASSERT_TRUE(Volumes().DriveInfoOf("/", root));
  EXPECT_EQ(root.Drive, "/");
  EXPECT_NE(root.VolumeSerial, -1);
  ASSERT_TRUE(Volumes().DriveInfoOf(TestRoot(), here));
  ASSERT_TRUE(Volumes().DriveInfoOf(TestRoot() + "/does/not/exist", missing));
  EXPECT_EQ(missing, here);
  EXPECT_GT(Volumes().FreeBytes(TestRoot()), 0u);
  // The same filesystem answers for a path not made yet; other programs write meanwhile, so the
  // two readings may differ by what they wrote in between.
  const uint64_t forMissing = Volumes().FreeBytes(TestRoot() + "/does/not/exist");
  const uint64_t forHere = Volumes().FreeBytes(TestRoot());
  const uint64_t apart = forMissing > forHere ? forMissing - forHere : forHere - forMissing;
  EXPECT_GT(forMissing, 0u);
  EXPECT_LT(apart, uint64_t{256} << 20);
  EXPECT_EQ(Volumes().FreeBytes("relative"), 0u);
}

TEST(FakeVolumes, TwoCardsTakingTurnsInOneReaderAndTheInstalledSource) {
  FakeVolumeSource fake;
  fake.Mount({kDriveFixed, 0x1000, "", "/"}, 500);
  fake.Mount({kDriveRemovable, 0x2000, "CARD A", "/media/card"}, 100);
  ScopedVolumeSource installed(fake);
  TDriveInfoRec info;
  ASSERT_TRUE(Volumes().DriveInfoOf("/media/card/DCIM", info));
  EXPECT_EQ(info.VolumeName, "CARD A");
  EXPECT_EQ(Volumes().FreeBytes("/media/card/DCIM"), 100u);
  fake.Mount({kDriveRemovable, 0x3000, "CARD B", "/media/card"}, 200);
  ASSERT_TRUE(Volumes().DriveInfoOf("/media/card/DCIM", info));
  EXPECT_EQ(info, (TDriveInfoRec{kDriveRemovable, 0x3000, "CARD B", "/media/card"}));
  fake.Unmount("/media/card");
  ASSERT_TRUE(Volumes().DriveInfoOf("/media/card/DCIM", info));
  EXPECT_EQ(info.Drive, "/");
  fake.Unmount("/");
  EXPECT_FALSE(Volumes().DriveInfoOf("/media/card/DCIM", info));
  EXPECT_EQ(info, (TDriveInfoRec{kDriveNoRootDir, -1, "Unknown", ""}));
}

}  // namespace
}  // namespace plb::platform
