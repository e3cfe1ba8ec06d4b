#include "host/file_functions.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "host/version_info.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << "x";
  return path;
}

TEST(PathUtilities, FollowTheirRulesWithSlashes) {
  const struct {
    const char* what;
    std::string got;
    const char* expected;
  } cases[] = {
      {"leading removed", ExcludeLeadingSeparators("///a/b/"), "a/b/"},
      {"leading of only separators", ExcludeLeadingSeparators("//"), ""},
      {"trailing removed", ExcludeTrailingSeparators("/a/b///"), "/a/b"},
      {"one leading", IncludeLeadingSeparator("//a"), "/a"},
      {"one leading added", IncludeLeadingSeparator("a"), "/a"},
      {"one trailing", IncludeTrailingSeparator("/a//"), "/a/"},
      {"one trailing added", IncludeTrailingSeparator("/a"), "/a/"},
      {"safe name", SafeFileName("a:b*c"), "a-b-c"},
      {"safe name, every character", SafeFileName("\"*?\\/:<>|"), "---------"},
      {"safe name keeps Japanese", SafeFileName("写真/2024:春"), "写真-2024-春"},
      {"safe name of a NUL", SafeFileName(std::string("a\0b", 3)), "a-b"},
      {"normalise", NormalizePath("/a/./b/../c"), "/a/c"},
      {"normalise keeps trailing", NormalizePath("/a/b/./"), "/a/b/"},
      {"normalise runs of separators", NormalizePath("//a///b"), "/a/b"},
      {"normalise above the root", NormalizePath("/../a/../../b"), "/b"},
      {"normalise to the root", NormalizePath("/a/.."), "/"},
      {"normalise relative", NormalizePath("../x/./y/../z"), "../x/z"},
      {"normalise relative to nothing", NormalizePath("a/.."), ""},
      {"normalise multibyte", NormalizePath("/写真/./旅行/"), "/写真/旅行/"},
      {"combine up", CombinePath("/x/y", "../z"), "/x/z/"},
      {"combine plain", CombinePath("/x/", "/y"), "/y/"},
      {"combine relative", CombinePath("/x//", "y//z"), "/x/y/z/"},
      {"combine empty", CombinePath("/x/y/..", ""), "/x/"},
      {"long path", LongPathName("/a/b/"), "/a/b"},
      {"short path of root", ShortPathName("/"), "/"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(PathUtilities, InsideMeansStrictlyBelowAndExact) {
  const struct {
    const char* folder;
    const char* path;
    bool inside;
  } cases[] = {
      {"/a", "/a/b", true},     {"/a/", "/a/b/c", true}, {"/a", "/a", false},   {"/a/", "/a", false},
      {"/a/b", "/a/bc", false}, {"/a/b", "/a", false},   {"/A", "/a/b", false},  // letter case tells files apart here
      {"/", "/x", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInsideFolder(c.folder, c.path), c.inside) << c.folder << " " << c.path;
}

TEST(PathUtilities, UniqueNamesCountUpFromOne) {
  const std::string a = test::TestRoot() + "/a";
  Touch(a + "/b.jpg");
  Touch(a + "/b(1).jpg");
  Touch(a + "/.profile");
  Touch(a + "/README");
  fs::create_symlink(a + "/gone", a + "/link.txt");  // a dangling link still takes the name
  EXPECT_EQ(UniqueFileName(a + "/b.jpg"), a + "/b(2).jpg");
  EXPECT_EQ(UniqueFileName(a + "/c.jpg"), a + "/c.jpg");
  EXPECT_EQ(UniqueFileName(a + "/.profile"), a + "/.profile(1)");
  EXPECT_EQ(UniqueFileName(a + "/README"), a + "/README(1)");
  EXPECT_EQ(UniqueFileName(a + "/link.txt"), a + "/link(1).txt");
}

class FileTimeTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
};

TEST_F(FileTimeTest, ModificationTimesRoundTripWithTheOffsetOfTheirDate) {
  const std::string file = Touch(test::TestRoot() + "/photo.jpg");
  const struct {
    DateTimeFields local;
    int64_t unix_seconds;
  } cases[] = {
      {{2024, 1, 15, 13, 0, 0, 250}, 1705320000},  // winter, UTC+1
      {{2024, 7, 15, 14, 0, 0, 999}, 1721044800},  // summer, UTC+2
      {{2024, 3, 31, 3, 30, 0, 0}, 1711848600},    // just after the change
  };
  for (const auto& c : cases) {
    const TDateTime wanted = EncodeDateTime(c.local);
    EXPECT_DOUBLE_EQ(SetFileUpdateDateTime(file, wanted), wanted);
    EXPECT_DOUBLE_EQ(GetFileUpdateDateTime(file), wanted);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, c.unix_seconds);
    EXPECT_EQ(st.st_mtim.tv_nsec, c.local.millisecond * 1000000L);
  }
  // A time of 0 or less changes nothing.
  const TDateTime before = GetFileUpdateDateTime(file);
  EXPECT_EQ(SetFileUpdateDateTime(file, 0), 0);
  EXPECT_EQ(SetFileUpdateDateTime(file, -5), 0);
  EXPECT_DOUBLE_EQ(GetFileUpdateDateTime(file), before);
}

TEST_F(FileTimeTest, ReadOnlyFilesStillTellTheirTime) {
  const std::string file = Touch(test::TestRoot() + "/card/DSC0001.JPG");
  SetFileUpdateDateTime(file, EncodeDateTime({2010, 6, 1, 8, 0, 0, 0}));
  chmod(file.c_str(), 0444);
  EXPECT_DOUBLE_EQ(GetFileUpdateDateTime(file), EncodeDateTime({2010, 6, 1, 8, 0, 0, 0}));
}

TEST_F(FileTimeTest, AFileThatCannotBeReachedRaisesTheFixedTexts) {
  const std::string missing = test::TestRoot() + "/missing.jpg";
  const struct {
    std::function<void()> call;
    std::string text;
  } cases[] = {
      {[&] { GetFileUpdateDateTime(missing); },
       "EFileFunctionsError Raised in GetFileUpdateDateTime. ( ファイルのオープンに失敗しました。( " + missing +
           " ) )"},
      {[&] { SetFileUpdateDateTime(missing, EncodeDate(2024, 1, 1)); },
       "EFileFunctionsError Raised in SetFileUpdateDateTime. ( ファイルのオープンに失敗しました。( " + missing +
           " ) )"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const EFileFunctionsError& e) {
      EXPECT_EQ(e.Message(), c.text);
    }
  }
  const std::string file = Touch(test::TestRoot() + "/x.jpg");
  try {
    SetFileUpdateDateTime(file, 1e9);  // beyond the year 9999
    ADD_FAILURE() << "no error";
  } catch (const EFileFunctionsError& e) {
    EXPECT_EQ(e.Message(), "EConvertError Raised in SetFileUpdateDateTime. ( Invalid argument to date encode )");
  }
}

TEST_F(FileTimeTest, FileTimesConvertWithTheirOwnDatesOffset) {
  timespec summer{1721044800, 5000000};
  EXPECT_EQ(DecodeDateTime(FileTimeToDateTimeEx(summer)), (DateTimeFields{2024, 7, 15, 14, 0, 0, 5}));
  timespec back{};
  ASSERT_TRUE(DateTimeToFileTimeEx(EncodeDateTime({2024, 12, 24, 18, 0, 0, 0}), back));
  EXPECT_EQ(back.tv_sec, 1735059600);
  EXPECT_EQ(back.tv_nsec, 0);
  EXPECT_FALSE(DateTimeToFileTimeEx(0, back));
}

TEST(ShellAttributes, FollowWhatTheFilesystemAllows) {
  const std::string root = test::TestRoot();
  const std::string file = Touch(root + "/open/a.jpg");
  const uint32_t all =
      kSfgaoFileSystem | kSfgaoFileSysAncestor | kSfgaoCanCopy | kSfgaoCanMove | kSfgaoCanRename | kSfgaoCanDelete;
  EXPECT_EQ(ShellAttributes(file), all);
  EXPECT_EQ(ShellAttributes(root + "/open"), all | kSfgaoFolder);
  EXPECT_EQ(ShellAttributes(root + "/nothing"), 0u);
  EXPECT_FALSE(CanCopyPath(root + "/nothing"));
  EXPECT_TRUE(CanCopyPath(file) && CanMovePath(file) && CanRenamePath(file) && CanDeletePath(file));

  if (geteuid() == 0) GTEST_SKIP() << "root may change any folder";
  const std::string locked = Touch(root + "/locked/b.jpg");
  chmod((root + "/locked").c_str(), 0555);
  EXPECT_TRUE(CanCopyPath(locked));
  EXPECT_FALSE(CanMovePath(locked));
  EXPECT_FALSE(CanRenamePath(locked));
  EXPECT_FALSE(CanDeletePath(locked));
  const std::string secret = Touch(root + "/secret.jpg");
  chmod(secret.c_str(), 0200);
  EXPECT_FALSE(CanCopyPath(secret));
  EXPECT_TRUE(CanDeletePath(secret));
  chmod((root + "/locked").c_str(), 0755);
}

TEST(ShellAttributes, AFolderNeverGoesIntoItself) {
  const std::string root = test::TestRoot();
  fs::create_directories(root + "/photos/2024");
  fs::create_directories(root + "/photos2");
  fs::create_directories(root + "/other");
  fs::create_directory_symlink(root + "/photos", root + "/alias");
  const struct {
    const char* source;
    const char* target;
    bool allowed;
  } cases[] = {
      {"/photos", "/other", true},       {"/photos", "/photos2", true},
      {"/photos/2024", "/photos", true},  // into its own parent: a no-op, but not endless
      {"/photos", "/photos", false},     {"/photos", "/photos/2024", false},
      {"/photos", "/alias", false},      {"/alias", "/photos/2024", false},
      {"/photos", "/missing", false},    {"/missing", "/other", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CanCopyInto(root + c.source, root + c.target), c.allowed) << c.source << " -> " << c.target;
    EXPECT_EQ(CanMoveInto(root + c.source, root + c.target), c.allowed) << c.source << " -> " << c.target;
  }
}

// A stand-in xdg-open that records its arguments, found first on PATH.
class ShellOpenTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string bin = test::TestRoot() + "/bin";
    fs::create_directories(bin);
    record_ = test::TestRoot() + "/opened.txt";
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" << record_ << "'\n";
    chmod((bin + "/xdg-open").c_str(), 0755);
    old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + old_path_).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", old_path_.c_str(), 1); }

  // The lines the stand-in wrote, once `lines` have arrived (or after five seconds).
  std::string Opened(size_t lines) {
    std::string text;
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(record_);
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
  }

  std::string record_;
  std::string old_path_;
};

TEST_F(ShellOpenTest, OpensWebAddressesAndLocalFilesOnly) {
  const std::string file = Touch(test::TestRoot() + "/My Photos/a b.jpg");
  const std::string folder = test::TestRoot() + "/My Photos";
  EXPECT_TRUE(ShellOpen("https://example.com/ja/plb/error/?a=1&b=$(x)"));
  EXPECT_EQ(Opened(1), "1|https://example.com/ja/plb/error/?a=1&b=$(x)\n");
  EXPECT_TRUE(ShellOpen(file));
  EXPECT_TRUE(OpenInFileManager(folder));
  EXPECT_TRUE(ShowProperties(file));
  const std::string expected =
      "1|https://example.com/ja/plb/error/?a=1&b=$(x)\n1|" + file + "\n1|" + folder + "\n1|" + folder + "\n";
  const std::string opened = Opened(4);
  // The three local opens may finish in any order.
  EXPECT_EQ(opened.size(), expected.size()) << opened;
  for (const std::string& line : std::vector<std::string>{"1|" + file + "\n", "1|" + folder + "\n"})
    EXPECT_NE(opened.find(line), std::string::npos) << opened;

  for (const std::string& refused :
       std::vector<std::string>{"file:///etc/passwd", "ftp://example.com/", "javascript:alert(1)", "relative/a.jpg",
                                "-h", test::TestRoot() + "/missing.jpg", "https://example.com/\nsecond", ""})
    EXPECT_FALSE(ShellOpen(refused)) << refused;
  EXPECT_FALSE(OpenInFileManager(file));  // a file is no folder
}

TEST(Volumes, QuestionsAboutDrivesGoToTheVolumeSource) {
  platform::FakeVolumeSource fake;
  fake.Mount({3, 0x1234, "system", "/"}, 1000);
  fake.Mount({2, 0x0ABCD123, "CARD", "/media/card"}, 5000);
  platform::ScopedVolumeSource installed(fake);
  TDriveInfoRec info;
  ASSERT_TRUE(GetDriveInfo("/media/card/DCIM/100/a.jpg", info));
  EXPECT_EQ(info, (TDriveInfoRec{2, 0x0ABCD123, "CARD", "/media/card"}));
  EXPECT_EQ(DiskFreeSpace("/media/card/DCIM"), 5000u);
  EXPECT_TRUE(IsOnSystemDrive("/home/user"));
  EXPECT_FALSE(IsOnSystemDrive("/media/card/DCIM"));
  EXPECT_FALSE(IsFloppyDrive("/media/card"));

  fake.Unmount("/");
  EXPECT_FALSE(GetDriveInfo("/home/user", info));
  EXPECT_EQ(info.VolumeSerial, -1);
  EXPECT_EQ(info.VolumeName, "Unknown");
  EXPECT_EQ(DiskFreeSpace("/home/user"), 0u);
}

TEST(Folders, TemporaryFolderIsPrivateAndFolderTestsAreQuiet) {
  const std::string temp = TemporaryFolder();
  ASSERT_FALSE(temp.empty());
  struct stat st {};
  ASSERT_EQ(lstat(temp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_NE(temp.back(), '/');
  EXPECT_TRUE(FolderExistsQuietly(temp));
  EXPECT_FALSE(FolderExistsQuietly(Touch(temp + "/file")));
  EXPECT_FALSE(FolderExistsQuietly(temp + "/none"));
}

TEST(VersionInfo, FileVersionIsFourDottedNumbers) {
  EXPECT_TRUE(std::regex_match(FileVersion(), std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << FileVersion();
  EXPECT_EQ(VersionInfoValue(kFileVersion), FileVersion());
  EXPECT_EQ(VersionInfoValue(kProductName), "Plumora Browser");
  EXPECT_EQ(VersionInfoValue(kLegalTrademarks), "");
  EXPECT_EQ(VersionInfoValue(-1), "");
  EXPECT_EQ(VersionInfoValue(10), "");
}

}  // namespace
}  // namespace plb
