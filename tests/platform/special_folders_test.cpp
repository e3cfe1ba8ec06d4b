#include "platform/special_folders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_env.h"

namespace plb::platform {
namespace {

using plb::test::TestRoot;

std::string Home() {
  return TestRoot() + "/home";
}

void WriteUserDirs(const std::string& text) {
  std::ofstream(TestRoot() + "/config/user-dirs.dirs") << text;
}

TEST(SpecialFolders, UserDirectoriesComeFromUserDirsDirs) {
  WriteUserDirs(
      "# written by xdg-user-dirs-update\n"
      "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
      "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n"
      "XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"\n"
      "XDG_PICTURES_DIR=\"$HOME/写真\"\n"  // the last line wins, as in a shell
      "  XDG_VIDEOS_DIR=\"$HOME\"\n");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), Home() + "/Schreibtisch");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDocuments), "/srv/docs");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kPictures), Home() + "/写真");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kVideos), Home());
}

TEST(SpecialFolders, MissingOrUnusableEntriesFallBackToTheUsualNames) {
  WriteUserDirs(
      "XDG_DESKTOP_DIR=relative/path\n"
      "XDG_DOCUMENTS_DIR=\"relative\"\n"
      "XDG_PICTURES_DIR_EXTRA=\"/nope\"\n");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), Home() + "/Desktop");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDocuments), Home() + "/Documents");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kPictures), Home() + "/Pictures");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kVideos), Home() + "/Videos");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kMusic), Home() + "/Music");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kCommonPictures), "");
}

TEST(SpecialFolders, ConfigHomeDefaultsToDotConfig) {
  unsetenv("XDG_CONFIG_HOME");
  std::filesystem::create_directories(Home() + "/.config");
  std::ofstream(Home() + "/.config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kPictures), Home() + "/Fotos");
}

TEST(SpecialFolders, ApplicationDataIsXdgDataHomeOrLocalShare) {
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kAppData), TestRoot() + "/data");
  setenv("XDG_DATA_HOME", "not/absolute", 1);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kAppData), Home() + "/.local/share");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kAppData), Home() + "/.local/share");
}

TEST(SpecialFolders, WithoutHomeTheUserDatabaseDecides) {
  unsetenv("HOME");
  struct passwd* pw = ::getpwuid(::geteuid());
  ASSERT_NE(pw, nullptr);
  std::string home = pw->pw_dir;
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  EXPECT_EQ(HomeFolder(), home);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kAppData), (home == "/" ? "" : home) + "/.local/share");
}

TEST(MachineNames, ComputerNameIsTheHostNameCutTo15Bytes) {
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  std::string expected(host);
  if (expected.size() > 15) expected.resize(15);
  EXPECT_EQ(ComputerName(), expected);
}

TEST(MachineNames, UserNameIsTheLoginName) {
  struct passwd* pw = ::getpwuid(::geteuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(UserName(), pw->pw_name);
}

}  // namespace
}  // namespace plb::platform
