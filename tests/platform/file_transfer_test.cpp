// Copies and moves of files and folder trees: nothing replaced unasked, nothing half-made, links
// copied as links, moves across volumes that delete only after a complete copy.
#include "platform/file_transfer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/atomic_file.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EFileTransferError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// Entries of a folder whose names start with a dot: what a failed copy could leave behind.
int HiddenEntries(const std::string& folder) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(folder)) n += e.path().filename().string()[0] == '.';
  return n;
}

class FileTransferTest : public ::testing::Test {
 protected:
  std::string root = test::TestRoot() + "/t";
  void SetUp() override { fs::create_directories(root); }
};

TEST_F(FileTransferTest, FileCopyKeepsBytesModeAndTimeAndReplacesOnlyWhenAsked) {
  const std::string src = root + "/a.jpg", dst = root + "/b.jpg";
  WriteFile(src, std::string(3 << 20, 'x') + "end");
  ::chmod(src.c_str(), 0640);
  const timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, src.c_str(), times, 0), 0);

  CopyFileTo(src, dst, false);
  struct stat a {
  }, b{};
  ::stat(src.c_str(), &a);
  ::stat(dst.c_str(), &b);
  EXPECT_EQ(ReadFile(dst), ReadFile(src));
  EXPECT_EQ(b.st_mode & 07777, 0640u);
  EXPECT_EQ(b.st_mtim.tv_sec, a.st_mtim.tv_sec);
  EXPECT_EQ(b.st_mtim.tv_nsec, a.st_mtim.tv_nsec);

  WriteFile(dst, "mine");
  EXPECT_EQ(ErrorOf([&] { CopyFileTo(src, dst, false); }), EEXIST);
  EXPECT_EQ(ReadFile(dst), "mine");
  EXPECT_EQ(HiddenEntries(root), 0);
  CopyFileTo(src, dst, true);
  EXPECT_EQ(ReadFile(dst), ReadFile(src));

  // The same file under a second name is never "replaced" by itself.
  const std::string link = root + "/hard.jpg";
  ASSERT_EQ(::link(src.c_str(), link.c_str()), 0);
  EXPECT_EQ(ErrorOf([&] { CopyFileTo(src, link, true); }), EEXIST);
  EXPECT_EQ(ErrorOf([&] { MovePath(src, link, true); }), EEXIST);
  EXPECT_TRUE(fs::exists(src));
}

TEST_F(FileTransferTest, TreeCopyCopiesLinksAsLinksAndNeverMerges) {
  const std::string src = root + "/src", dst = root + "/dst";
  WriteFile(src + "/one.jpg", "1");
  WriteFile(src + "/sub/deep/two.jpg", "22");
  fs::create_directories(root + "/outside");
  WriteFile(root + "/outside/big.jpg", std::string(1000, 'o'));
  fs::create_directory_symlink("../outside", src + "/loop");
  fs::create_symlink("one.jpg", src + "/alias.jpg");

  uint64_t last = 0, total = 0;
  CopyTree(src, dst, [&](uint64_t done, uint64_t all) {
    last = done;
    total = all;
    return true;
  });
  EXPECT_EQ(ReadFile(dst + "/one.jpg"), "1");
  EXPECT_EQ(ReadFile(dst + "/sub/deep/two.jpg"), "22");
  EXPECT_TRUE(fs::is_symlink(dst + "/loop"));
  EXPECT_EQ(fs::read_symlink(dst + "/loop"), "../outside");
  EXPECT_TRUE(fs::is_symlink(dst + "/alias.jpg"));
  EXPECT_EQ(total, 3u);  // the linked folder's bytes are not counted, nor copied
  EXPECT_EQ(last, 3u);

  EXPECT_EQ(ErrorOf([&] { CopyTree(src, dst); }), EEXIST);
  fs::remove_all(dst);
  fs::create_directory(dst);  // an empty folder is not replaced either
  EXPECT_EQ(ErrorOf([&] { CopyTree(src, dst); }), EEXIST);
  EXPECT_TRUE(fs::is_empty(dst));
}

TEST_F(FileTransferTest, StoppedTreeCopyLeavesNothing) {
  const std::string src = root + "/src";
  WriteFile(src + "/a.jpg", std::string(2 << 20, 'a'));
  WriteFile(src + "/b.jpg", std::string(2 << 20, 'b'));
  fs::create_directories(root + "/into");
  EXPECT_EQ(
      ErrorOf([&] { CopyTree(src, root + "/into/src", [](uint64_t done, uint64_t) { return done < (1 << 20); }); }),
      ECANCELED);
  EXPECT_TRUE(fs::is_empty(root + "/into"));
}

// A copy killed after its last byte but before its folder took the final name leaves a hidden,
// complete second copy: the next pass over the folder must know it for debris and clear it,
// while the source stays whole.
TEST_F(FileTransferTest, TreeCopyKilledBeforeItsRenameIsClearedByTheNextSweep) {
  const std::string src = root + "/src";
  WriteFile(src + "/a.jpg", std::string(300000, 'a'));
  WriteFile(src + "/sub/b.jpg", std::string(300000, 'b'));
  fs::create_directories(root + "/into");
  const pid_t child = fork();
  if (child == 0) {
    CopyTree(src, root + "/into/src", [](uint64_t done, uint64_t total) {
      if (done == total) ::kill(::getpid(), SIGKILL);
      return true;
    });
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(HiddenEntries(root + "/into"), 1);
  const std::string staging = fs::directory_iterator(root + "/into")->path().filename().string();
  EXPECT_TRUE(IsAbandonedTemporaryName(staging)) << staging;

  RemoveAbandonedTemporaryFiles(root + "/into");
  EXPECT_TRUE(fs::is_empty(root + "/into"));
  EXPECT_EQ(fs::file_size(src + "/sub/b.jpg"), 300000u);
}

TEST_F(FileTransferTest, SameFileSystemTellsWhetherAMoveIsARename) {
  WriteFile(root + "/a/x.jpg", "x");
  fs::create_directories(root + "/b");
  EXPECT_TRUE(SameFileSystem(root + "/a/x.jpg", root + "/b"));
  // /proc is a file system of its own everywhere; a missing path is on none.
  EXPECT_FALSE(SameFileSystem(root + "/a/x.jpg", "/proc/self"));
  EXPECT_FALSE(SameFileSystem(root + "/a/gone.jpg", root + "/b"));
}

TEST_F(FileTransferTest, RenameNeverReplaces) {
  WriteFile(root + "/a/x.jpg", "x");
  fs::create_directories(root + "/empty");
  WriteFile(root + "/file.jpg", "f");
  struct Case {
    std::string from, to;
  } cases[] = {{"/a", "/empty"}, {"/a", "/file.jpg"}, {"/file.jpg", "/a/x.jpg"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    EXPECT_EQ(ErrorOf([&] { RenameNoReplace(root + c.from, root + c.to); }), EEXIST);
  }
  EXPECT_EQ(ReadFile(root + "/a/x.jpg"), "x");
  EXPECT_EQ(ReadFile(root + "/file.jpg"), "f");
  RenameNoReplace(root + "/a", root + "/b");
  EXPECT_EQ(ReadFile(root + "/b/x.jpg"), "x");
}

TEST_F(FileTransferTest, MoveReplacesAFileOnlyWhenAskedAndNeverAFolder) {
  WriteFile(root + "/a.jpg", "new");
  WriteFile(root + "/b.jpg", "old");
  EXPECT_EQ(ErrorOf([&] { MovePath(root + "/a.jpg", root + "/b.jpg", false); }), EEXIST);
  EXPECT_EQ(ReadFile(root + "/b.jpg"), "old");
  MovePath(root + "/a.jpg", root + "/b.jpg", true);
  EXPECT_EQ(ReadFile(root + "/b.jpg"), "new");
  EXPECT_FALSE(fs::exists(root + "/a.jpg"));

  WriteFile(root + "/d1/x.jpg", "1");
  fs::create_directories(root + "/d2");
  EXPECT_EQ(ErrorOf([&] { MovePath(root + "/d1", root + "/d2", true); }), EEXIST);
  EXPECT_TRUE(fs::exists(root + "/d1/x.jpg"));
}

// /dev/shm is a memory filesystem on most systems: a second volume without a mount of our own.
std::string OtherVolumeFolder() {
  struct stat here {
  }, shm{};
  if (::stat(test::TestRoot().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0) return "";
  if (here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0) return "";
  std::string folder = "/dev/shm/plb-transfer-XXXXXX";
  return ::mkdtemp(folder.data()) ? folder : "";
}

TEST_F(FileTransferTest, MoveAcrossVolumesCopiesCompletelyBeforeDeleting) {
  const std::string other = OtherVolumeFolder();
  if (other.empty()) GTEST_SKIP() << "no second volume to move to";
  WriteFile(root + "/tree/a.jpg", "a");
  WriteFile(root + "/tree/sub/b.jpg", "bb");
  WriteFile(root + "/single.jpg", "s");

  MovePath(root + "/tree", other + "/tree", false);
  MovePath(root + "/single.jpg", other + "/single.jpg", false);
  EXPECT_EQ(ReadFile(other + "/tree/sub/b.jpg"), "bb");
  EXPECT_EQ(ReadFile(other + "/single.jpg"), "s");
  EXPECT_FALSE(fs::exists(root + "/tree"));
  EXPECT_FALSE(fs::exists(root + "/single.jpg"));

  // A stopped copy keeps the source whole and leaves nothing on the other volume.
  WriteFile(root + "/big/a.jpg", std::string(3 << 20, 'a'));
  EXPECT_EQ(
      ErrorOf([&] { MovePath(root + "/big", other + "/big", false, [](uint64_t d, uint64_t) { return d == 0; }); }),
      ECANCELED);
  EXPECT_EQ(ReadFile(root + "/big/a.jpg").size(), 3u << 20);
  EXPECT_FALSE(fs::exists(other + "/big"));
  EXPECT_EQ(HiddenEntries(other), 0);
  fs::remove_all(other);
}

// The copy is flushed to disk before the source is deleted: a flush that fails (a pulled card, a
// failing disk) stops the move with the source whole, for a folder and for a single file.
TEST_F(FileTransferTest, MoveAcrossVolumesWhoseFlushFailsKeepsTheSource) {
  const std::string other = OtherVolumeFolder();
  if (other.empty()) GTEST_SKIP() << "no second volume to move to";
  WriteFile(root + "/tree/a.jpg", "a");
  WriteFile(root + "/tree/sub/b.jpg", "bb");
  WriteFile(root + "/single.jpg", "s");
  SetAtomicWriteFaultForTesting([](AtomicWriteStep step, const std::string& path) {
    return step == AtomicWriteStep::kSyncFile && (path.ends_with("b.jpg") || path.ends_with("single.jpg")) ? EIO : 0;
  });
  EXPECT_NE(ErrorOf([&] { MovePath(root + "/tree", other + "/tree", false); }), 0);
  EXPECT_NE(ErrorOf([&] { MovePath(root + "/single.jpg", other + "/single.jpg", false); }), 0);
  SetAtomicWriteFaultForTesting(nullptr);
  EXPECT_EQ(ReadFile(root + "/tree/sub/b.jpg"), "bb");
  EXPECT_EQ(ReadFile(root + "/single.jpg"), "s");
  EXPECT_TRUE(fs::is_empty(other));
  fs::remove_all(other);
}

}  // namespace
}  // namespace plb::platform
