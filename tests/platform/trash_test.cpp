#include "platform/trash.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using plb::test::TestRoot;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string MakeFile(const std::string& path, const std::string& text = "photo") {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
  return path;
}

TEST(Trash, AFileGoesToTheHomeTrashWithItsInfo) {
  std::string original = MakeFile(TestRoot() + "/home/写真 2024/IMG 0001.JPG");
  std::string trashed = MoveToTrash(original);
  std::string trash = TestRoot() + "/data/Trash";
  EXPECT_EQ(HomeTrashFolder(), trash);
  EXPECT_EQ(trashed, trash + "/files/IMG 0001.JPG");
  EXPECT_FALSE(fs::exists(original));
  EXPECT_EQ(Slurp(trashed), "photo");
  std::string info = Slurp(trash + "/info/IMG 0001.JPG.trashinfo");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(info, m, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(.*)\n"))) << info;
  EXPECT_EQ(m[1].str(), PercentEncodePath(original));
  EXPECT_TRUE(std::regex_match(m[2].str(), std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"))) << m[2];
}

TEST(Trash, AMissingDataFolderIsCreated) {
  setenv("XDG_DATA_HOME", (TestRoot() + "/fresh/share").c_str(), 1);
  std::string trashed = MoveToTrash(MakeFile(TestRoot() + "/x.jpg"));
  EXPECT_EQ(trashed, TestRoot() + "/fresh/share/Trash/files/x.jpg");
  EXPECT_TRUE(fs::exists(trashed));
}

TEST(Trash, PercentEncoding) {
  EXPECT_EQ(PercentEncodePath("/home/u/a b/写.jpg"), "/home/u/a%20b/%E5%86%99.jpg");
  EXPECT_EQ(PercentEncodePath("/x/100%_~-.y"), "/x/100%25_~-.y");
  EXPECT_EQ(PercentEncodePath("/a\nb"), "/a%0Ab");  // an info file line cannot be broken by a name
}

TEST(Trash, SameNamesGetNumberedAndFoldersAndLinksMoveAsTheyAre) {
  std::string trash = TestRoot() + "/data/Trash";
  MoveToTrash(MakeFile(TestRoot() + "/a/IMG.JPG", "first"));
  MoveToTrash(MakeFile(TestRoot() + "/b/IMG.JPG", "second"));
  // A name taken in files/ without an info file (another program's leftovers) is not touched.
  MakeFile(trash + "/files/IMG.3.JPG", "leftover");
  MoveToTrash(MakeFile(TestRoot() + "/c/IMG.JPG", "third"));
  EXPECT_EQ(Slurp(trash + "/files/IMG.JPG"), "first");
  EXPECT_EQ(Slurp(trash + "/files/IMG.2.JPG"), "second");
  EXPECT_EQ(Slurp(trash + "/files/IMG.3.JPG"), "leftover");
  EXPECT_EQ(Slurp(trash + "/files/IMG.4.JPG"), "third");
  EXPECT_FALSE(fs::exists(trash + "/info/IMG.3.JPG.trashinfo"));
  EXPECT_TRUE(fs::exists(trash + "/info/IMG.4.JPG.trashinfo"));

  MakeFile(TestRoot() + "/album/x.jpg");
  EXPECT_EQ(MoveToTrash(TestRoot() + "/album/"), trash + "/files/album");
  EXPECT_TRUE(fs::exists(trash + "/files/album/x.jpg"));

  fs::create_symlink(TestRoot() + "/c", TestRoot() + "/link");
  MoveToTrash(TestRoot() + "/link");
  EXPECT_TRUE(fs::is_symlink(trash + "/files/link"));
  EXPECT_TRUE(fs::exists(TestRoot() + "/c")) << "the link moves, not what it points at";
}

TEST(Trash, RefusalsLeaveEverythingInPlace) {
  std::string trash = TestRoot() + "/data/Trash";
  MoveToTrash(MakeFile(TestRoot() + "/x.jpg"));
  struct Case {
    const char* name;
    std::string path;
  };
  const Case cases[] = {
      {"missing", TestRoot() + "/nothing.jpg"},
      {"the trash itself", trash},
      {"inside the trash", trash + "/files/x.jpg"},
      {"a folder holding the trash", TestRoot() + "/data"},
  };
  for (const Case& c : cases) {
    bool existed = fs::exists(c.path);
    EXPECT_THROW(MoveToTrash(c.path), ETrashError) << c.name;
    EXPECT_EQ(fs::exists(c.path), existed) << c.name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(trash + "/info"), fs::directory_iterator()), 1);
}

TEST(Trash, AnotherVolumeUsesItsOwnTrashWithPathsRelativeToItsTop) {
  FakeVolumeSource fake;
  fake.Mount({kDriveFixed, 1, "", "/"});
  std::string card = TestRoot() + "/media/card";
  fake.Mount({kDriveRemovable, 2, "CARD", card});
  ScopedVolumeSource installed(fake);
  std::string photo = MakeFile(card + "/DCIM/IMG 1.JPG");
  std::string trash = card + "/.Trash-" + std::to_string(::geteuid());
  EXPECT_EQ(MoveToTrash(photo), trash + "/files/IMG 1.JPG");
  EXPECT_NE(Slurp(trash + "/info/IMG 1.JPG.trashinfo").find("\nPath=DCIM/IMG%201.JPG\n"), std::string::npos);
  EXPECT_EQ(fs::status(trash).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(Trash, ATrashOnAnotherFilesystemIsAClearErrorAndTheFileStays) {
  std::string shm = "/dev/shm";
  if (!fs::is_directory(shm) || ::access(shm.c_str(), W_OK) != 0) GTEST_SKIP() << "no second filesystem at hand";
  std::string file = shm + "/plb-trash-test-" + std::to_string(::getpid());
  MakeFile(file);
  try {
    MoveToTrashFolder(file, TestRoot() + "/data/Trash");
    ADD_FAILURE() << "moved across filesystems";
  } catch (const ETrashError& e) {
    EXPECT_NE(e.Message().find("another volume"), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(fs::is_empty(TestRoot() + "/data/Trash/info"));
  fs::remove(file);
}

}  // namespace
}  // namespace plb::platform
