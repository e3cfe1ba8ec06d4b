#include "platform/private_temp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_env.h"

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using plb::test::TestRoot;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PrivateTempFolder, LivesInTheRuntimeFolderAndIsPrivate) {
  std::string folder = PrivateTempFolder();
  EXPECT_EQ(folder, TestRoot() + "/runtime/PlumoraBrowser");
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(RuntimeFolder(), folder);
}

TEST(PrivateTempFolder, FallsBackToAPerUserFolderInTmpdirWithoutARuntimeFolder) {
  for (const char* runtime : {"", "/nonexistent/runtime"}) {
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    std::string expected = TestRoot() + "/tmp/PlumoraBrowser-" + std::to_string(::geteuid());
    EXPECT_EQ(PrivateTempFolder(), expected) << runtime;
    EXPECT_EQ(ModeOf(expected), 0700u);
  }
}

// Two starts of the same user whose TMPDIR differ must still find each other's locks and socket:
// otherwise the second one takes itself for the first, fails on the catalog and its command is lost.
TEST(RuntimeFolder, WithoutARuntimeDirectoryItDoesNotFollowTmpdir) {
  setenv("XDG_RUNTIME_DIR", "", 1);
  const std::string expected = "/tmp/PlumoraBrowser-" + std::to_string(::geteuid());
  for (const std::string& tmp : {TestRoot() + "/tmp", TestRoot() + "/other-tmp"}) {
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    EXPECT_EQ(RuntimeFolder(), expected) << tmp;
    EXPECT_EQ(ModeOf(expected), 0700u);
    EXPECT_EQ(RuntimeFolderFor("", ::geteuid()), expected);
  }
  const std::string runtime = TestRoot() + "/runtime";
  EXPECT_EQ(RuntimeFolderFor(runtime + "/", 1234), runtime + "/PlumoraBrowser");
  EXPECT_EQ(RuntimeFolderFor(TestRoot() + "/no-such-runtime", 1234), "/tmp/PlumoraBrowser-1234");
}

TEST(PrivateTempFolder, TakesAwayLoosePermissionsOfItsOwnFolder) {
  std::string folder = TestRoot() + "/runtime/PlumoraBrowser";
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_EQ(PrivateTempFolder(), folder);
  EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST(PrivateTempFolder, RefusesWhatIsNotARealFolderOfTheUser) {
  std::string folder = TestRoot() + "/runtime/PlumoraBrowser";
  std::string elsewhere = TestRoot() + "/elsewhere";
  fs::create_directories(elsewhere);
  struct Case {
    const char* name;
    std::function<void()> plant;
  };
  const Case cases[] = {
      {"link to a folder", [&] { fs::create_directory_symlink(elsewhere, folder); }},
      {"dangling link", [&] { fs::create_symlink(TestRoot() + "/missing", folder); }},
      {"plain file", [&] { std::ofstream(folder) << "x"; }},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder);
    c.plant();
    EXPECT_THROW(PrivateTempFolder(), EPrivateFolderError) << c.name;
  }
  if (::geteuid() == 0) {  // only root can give a folder away
    fs::remove_all(folder);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_THROW(PrivateTempFolder(), EPrivateFolderError) << "folder of another user";
  }
}

TEST(ExchangeFile, CreateNeverReusesANameNorFollowsALink) {
  std::string folder = PrivateTempFolder();
  std::string path = folder + "/PlumoraBrowserParams(1).xml";
  int fd = CreateExchangeFile(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(ModeOf(path) & 0777, 0600u);
  errno = 0;
  EXPECT_EQ(CreateExchangeFile(path), -1);
  EXPECT_EQ(errno, EEXIST);

  std::string victim = TestRoot() + "/victim";
  std::string link = folder + "/link.xml";
  fs::create_symlink(victim, link);  // dangling: O_CREAT alone would create the victim
  EXPECT_EQ(CreateExchangeFile(link), -1);
  EXPECT_FALSE(fs::exists(victim));
}

TEST(ExchangeFile, WriteReplacesARegularFileButNeverWritesThroughALink) {
  std::string folder = PrivateTempFolder();
  std::string path = folder + "/RebootPLBParam.xml";
  WriteExchangeFile(path, "first, longer content", true);
  WriteExchangeFile(path, "second", true);
  EXPECT_EQ(Slurp(path), "second");
  EXPECT_EQ(ModeOf(path) & 0777, 0600u);
  EXPECT_THROW(WriteExchangeFile(path, "third", false), EWriteError);
  EXPECT_EQ(Slurp(path), "second");

  std::string victim = TestRoot() + "/victim";
  std::ofstream(victim) << "keep";
  std::string link = folder + "/link.xml";
  fs::create_symlink(victim, link);
  EXPECT_THROW(WriteExchangeFile(link, "evil", true), EWriteError);
  EXPECT_EQ(Slurp(victim), "keep");

  std::string fifo = folder + "/fifo.xml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(WriteExchangeFile(fifo, "x", true), EWriteError);  // and does not hang
}

}  // namespace
}  // namespace plb::platform
