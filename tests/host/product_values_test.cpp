#include "host/product_values.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "platform/settings_store.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

const std::string kProduct = "SOFTWARE\\Morvane\\PlumoraBrowser";
const std::string kSettings = kProduct + "\\Config";

void Put(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  Registry reg(hive);
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteString(name, value);
}

std::string Get(Hive hive, const std::string& key, const std::string& name) {
  Registry reg(hive);
  return reg.OpenKeyReadOnly(key) ? reg.ReadString(name) : "<no key>";
}

// Points the machine-wide hive at a file inside a plain file: it can be neither read nor written.
void BreakMachineHive() {
  const std::string plain = test::TestRoot() + "/etc/plain";
  std::ofstream(plain) << "x";
  setenv("PLB_MACHINE_REGISTRY", (plain + "/registry.json").c_str(), 1);
}

TEST(ProductValues, WindowTitle) {
  EXPECT_EQ(ReadWindowTitle(), "Plumora Browser");
  Put(Hive::kLocalMachine, kProduct, "WindowTitle", "");
  EXPECT_EQ(ReadWindowTitle(), "Plumora Browser");
  Put(Hive::kLocalMachine, kProduct, "WindowTitle", "プルモラ ブラウザ");
  EXPECT_EQ(ReadWindowTitle(), "プルモラ ブラウザ");
  Registry reg(Hive::kLocalMachine);
  reg.OpenKey(kProduct, false);
  reg.WriteInteger("WindowTitle", 5);
  EXPECT_EQ(ReadWindowTitle(), "Plumora Browser");
  BreakMachineHive();
  EXPECT_EQ(ReadWindowTitle(), "Plumora Browser");
}

TEST(ProductValues, SingleValuesLiveInTheirHivesAndNeverRaise) {
  WriteSuccessedVersion("1.0.0.1");
  WriteDefaultAppInfoUrl("file:///opt/getAppInfo.xml");
  WriteUninstallerUrl("https://example.invalid/bye");
  WriteSupportMovieType("avi");
  WriteSupportMovieTypeUser("mp4");
  WriteSupportMovieTypeExternal("mkv");
  EXPECT_EQ(Get(Hive::kCurrentUser, kProduct, "SuccessedVersion"), "1.0.0.1");
  EXPECT_EQ(Get(Hive::kLocalMachine, kProduct, "DefaultAppInfoUrl"), "file:///opt/getAppInfo.xml");
  EXPECT_EQ(Get(Hive::kLocalMachine, kProduct + "\\UninstallerInfos", "url"), "https://example.invalid/bye");
  EXPECT_EQ(Get(Hive::kCurrentUser, kSettings, "SupportMovieType"), "avi");
  EXPECT_EQ(ReadSupportMovieTypeUser(), "mp4");
  EXPECT_EQ(ReadSupportMovieTypeExternal(), "mkv");
  EXPECT_EQ(ReadSuccessedVersion(), "1.0.0.1");

  BreakMachineHive();
  EXPECT_NO_THROW(WriteDefaultAppInfoUrl("x"));
  EXPECT_NO_THROW(WriteUninstallerUrl("x"));
  EXPECT_EQ(ReadDefaultAppInfoUrl(), "");
  EXPECT_EQ(ReadUninstallerUrl(), "");
  EXPECT_FALSE(ReadIgnoreMovie());
  Registry user(Hive::kCurrentUser);
  user.OpenKey(kProduct, false);
  user.WriteInteger("SuccessedVersion", 1);
  EXPECT_EQ(ReadSuccessedVersion(), "");
}

TEST(ProductValues, FailuresAreLoggedWithTheValueAsked) {
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "product.log");
  Put(Hive::kLocalMachine, kProduct, "WindowTitle", "");
  Registry reg(Hive::kLocalMachine);
  ASSERT_TRUE(reg.OpenKey(kProduct, false));
  reg.WriteInteger("WindowTitle", 5);
  EXPECT_EQ(ReadWindowTitle(), "Plumora Browser");
  BreakMachineHive();
  EXPECT_NO_THROW(WriteUninstallerUrl("https://example.invalid/bye"));
  CloseLog();
  const std::string log = test::ReadFile(folder + "/product.log");
  EXPECT_NE(log.find("ReadSetting : ERegistryException Raised ( Invalid data type for 'WindowTitle' ; " + kProduct +
                     "\\WindowTitle )"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("WriteSetting : ERegistryException Raised ("), std::string::npos) << log;
  EXPECT_NE(log.find(kProduct + "\\UninstallerInfos\\url )"), std::string::npos) << log;
}

TEST(ProductValues, IgnoreMovie) {
  const std::string key = kProduct + "\\installerInfos";
  const std::vector<std::pair<std::function<void(Registry&)>, bool>> cases = {
      {[](Registry& r) { r.WriteString("ignoreMovie", "1"); }, true},
      {[](Registry& r) { r.WriteInteger("IGNOREMOVIE", 1); }, true},
      {[](Registry& r) { r.WriteString("ignoreMovie", "0"); }, false},
      {[](Registry& r) { r.WriteString("ignoreMovie", "true"); }, false},
      {[](Registry& r) { r.WriteInteger("ignoreMovie", 2); }, false},
      {[](Registry& r) { r.WriteBinaryData("ignoreMovie", "\x01", 1); }, false},
      {[](Registry&) {}, false},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Registry reg(Hive::kLocalMachine);
    reg.DeleteKey("SOFTWARE");
    reg.OpenKey(key, true);
    cases[i].first(reg);
    EXPECT_EQ(ReadIgnoreMovie(), cases[i].second) << i;
  }
}

TEST(ProductValues, MovieKinds) {
  struct Case {
    const char* name;
    std::string machine, user, added, external;
    bool ignore, has_program;
    std::string extensions, external_after;
  };
  const std::vector<Case> cases = {
      {"union in order, case-insensitive", "avi,MPG", "mpg,mp4", " MP4 ,wmv,,", "", false, true, "avi;MPG;mp4;wmv", ""},
      {"mov gains an external player", "mov", "", "", "", false, true, "mov", "mov"},
      {"appended after a comma", "avi,mov", "", "", "mkv", false, true, "avi;mov", "mkv,mov"},
      {"never twice", "mov", "", "", "mkv,mov", false, true, "mov", "mkv,mov"},
      {"no program for mov", "mov", "", "", "mkv", false, false, "mov", "mkv"},
      {"upper-case MOV is not looked at", "MOV", "", "", "", false, true, "MOV", ""},
      {"ignoreMovie empties the list", "avi,mov", "mp4", "", "", true, true, "", ""},
      {"nothing configured", "", "", "", "", false, true, "", ""},
  };
  for (const auto& c : cases) {
    for (Hive hive : {Hive::kCurrentUser, Hive::kLocalMachine}) Registry(hive).DeleteKey("SOFTWARE");
    Put(Hive::kLocalMachine, kProduct, "SupportMovieType", c.machine);
    if (c.ignore) Put(Hive::kLocalMachine, kProduct + "\\installerInfos", "ignoreMovie", "1");
    WriteSupportMovieType(c.user);
    WriteSupportMovieTypeUser(c.added);
    WriteSupportMovieTypeExternal(c.external);
    std::vector<std::string> asked;
    TPlumoraConfigItem config;
    const MovieKinds kinds = AssembleMovieKinds(config, [&](const std::string& name) {
      asked.push_back(name);
      return c.has_program;
    });
    EXPECT_EQ(kinds.extensions, c.extensions) << c.name;
    EXPECT_EQ(kinds.supported, !c.extensions.empty()) << c.name;
    EXPECT_EQ(ReadSupportMovieTypeExternal(), c.external_after) << c.name;
    for (const auto& name : asked) EXPECT_EQ(name, "dummy.mov");
  }

  TOstraConfigItem engine_only;
  const MovieKinds fixed = AssembleMovieKinds(engine_only, nullptr);
  EXPECT_EQ(fixed.extensions, ".avi;.mpg;.mpeg;.wmv");
  EXPECT_TRUE(fixed.supported);

  // A failing check leaves the list as it is.
  Put(Hive::kLocalMachine, kProduct, "SupportMovieType", "mov");
  WriteSupportMovieTypeExternal("");
  TPlumoraConfigItem config;
  const MovieKinds kinds =
      AssembleMovieKinds(config, [](const std::string&) -> bool { throw std::runtime_error("x"); });
  EXPECT_EQ(kinds.extensions, "mov");
  EXPECT_EQ(ReadSupportMovieTypeExternal(), "");
}

TEST(ProductValues, SystemMovieTypesJoinMachineAndUser) {
  Put(Hive::kLocalMachine, kProduct, "SupportMovieType", "avi,mov");
  WriteSupportMovieType("MOV,mp4");
  EXPECT_EQ(SystemMovieTypes(), "avi,mov,mp4");
}

TEST(ProductValues, EyeFiFoldersAreAppendedOnce) {
  EXPECT_TRUE(LoadEyeFiFolders().empty());
  EXPECT_TRUE(AddEyeFiFolders({"/media/card/DCIM/", "/home/u/Eye-Fi", "/media/card/DCIM"}));
  EXPECT_EQ(LoadEyeFiFolders(), (std::vector<std::string>{"/media/card/DCIM", "/home/u/Eye-Fi"}));

  struct stat before {};
  stat(HiveFilePath(Hive::kCurrentUser).c_str(), &before);
  EXPECT_FALSE(AddEyeFiFolders({"/home/u/Eye-Fi/", ""}));
  struct stat after {};
  stat(HiveFilePath(Hive::kCurrentUser).c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);

  // Folder names are told apart by exact bytes.
  EXPECT_TRUE(AddEyeFiFolders({"/home/u/eye-fi"}));
  EXPECT_EQ(LoadEyeFiFolders().size(), 3u);
}

TEST(ProductValues, InstallerLists) {
  Registry reg(Hive::kLocalMachine);
  reg.OpenKey(kProduct + "\\installerInfos", true);
  reg.WriteString("edition", "standard");
  reg.WriteInteger("ignoreMovie", 0);
  reg.WriteBinaryData("blob", "ab", 2);
  reg.OpenKey(kProduct + "\\installerInfos\\history", true);
  reg.WriteString("1.0.0.1", "2024/05/17");
  EXPECT_EQ(LoadInstallerInfos(), (std::vector<std::string>{"edition=standard", "ignoreMovie=0"}));
  EXPECT_EQ(LoadInstallerHistory(), (std::vector<std::string>{"1.0.0.1=2024/05/17"}));
  reg.WriteString("bad\\name", "x");
  reg.DeleteKey(kProduct + "\\installerInfos");
  EXPECT_TRUE(LoadInstallerInfos().empty());
}

}  // namespace
}  // namespace plb
