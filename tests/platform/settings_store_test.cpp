#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kKey = "SOFTWARE\\Morvane\\PlumoraBrowser\\Config";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ValueName(const std::string& prefix, int i) {
  std::string name = prefix;
  name.append(std::to_string(i));
  return name;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(SettingsStore, HiveFilesFollowTheEnvironment) {
  EXPECT_EQ(HiveFilePath(Hive::kCurrentUser), test::TestRoot() + "/config/Morvane/registry.json");
  EXPECT_EQ(HiveFilePath(Hive::kLocalMachine), test::TestRoot() + "/etc/registry.json");
  unsetenv("PLB_MACHINE_REGISTRY");
  EXPECT_EQ(HiveFilePath(Hive::kLocalMachine), "/etc/xdg/Morvane/registry.json");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(HiveFilePath(Hive::kCurrentUser), test::TestRoot() + "/home/.config/Morvane/registry.json");
}

TEST(SettingsStore, TheUsersFileIsPrivateTheMachineFileReadable) {
  const mode_t old_umask = umask(022);
  for (Hive hive : {Hive::kCurrentUser, Hive::kLocalMachine}) {
    Registry reg(hive);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    struct stat st {};
    ASSERT_EQ(stat(HiveFilePath(hive).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, hive == Hive::kCurrentUser ? 0600u : 0644u);
  }
  umask(old_umask);
}

TEST(SettingsStore, ValuesKeepTheirTypeAndReadsOfAnotherTypeFail) {
  Registry reg;
  ASSERT_FALSE(reg.OpenKey(kKey, false));
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteInteger("Count", -5);
  reg.WriteBool("Flag", true);
  reg.WriteString("Text", "プルモラ");
  const uint16_t size = 480;
  reg.WriteBinaryData("Size", &size, sizeof size);
  reg.WriteDateTime("When", 45000.75);

  Registry again;  // a fresh object sees what the file holds
  ASSERT_TRUE(again.OpenKeyReadOnly(kKey));
  EXPECT_EQ(again.ReadInteger("Count"), -5);
  EXPECT_TRUE(again.ReadBool("Flag"));
  EXPECT_EQ(again.ReadString("Text"), "プルモラ");
  EXPECT_EQ(again.ReadString("Missing"), "");
  EXPECT_EQ(again.ReadDateTime("When"), 45000.75);
  EXPECT_EQ(again.GetDataType("Size"), ValueType::kBinary);
  EXPECT_EQ(again.GetDataSize("Size"), 2);
  EXPECT_EQ(again.GetDataSize("Count"), 4);
  EXPECT_EQ(again.GetDataSize("Missing"), -1);

  uint32_t wide = 0;
  EXPECT_EQ(again.ReadBinaryData("Size", &wide, sizeof wide), 2u);
  EXPECT_EQ(wide, 480u);
  uint8_t narrow = 0;
  const std::vector<std::pair<const char*, std::function<void()>>> refused = {
      {"binary longer than the buffer", [&] { again.ReadBinaryData("Size", &narrow, 1); }},
      {"string read as integer", [&] { again.ReadInteger("Text"); }},
      {"integer read as string", [&] { again.ReadString("Count"); }},
      {"integer read as binary", [&] { again.ReadBinary("Count"); }},
      {"missing integer", [&] { again.ReadInteger("Missing"); }},
      {"short date-time", [&] { again.ReadDateTime("Size"); }},
  };
  for (const auto& [name, read] : refused) EXPECT_THROW(read(), ERegistryException) << name;
}

// Every optional read, by the kind of value it asks for; each answers whether it found one.
struct OptionalRead {
  const char* kind;
  std::function<bool(Registry&, const std::string& name)> found;
};

const std::vector<OptionalRead>& OptionalReads() {
  static const std::vector<OptionalRead> reads = {
      {"integer", [](Registry& r, const std::string& n) { return r.TryReadInteger(n).has_value(); }},
      {"bool", [](Registry& r, const std::string& n) { return r.TryReadBool(n).has_value(); }},
      {"string", [](Registry& r, const std::string& n) { return r.TryReadString(n).has_value(); }},
      {"binary", [](Registry& r, const std::string& n) { return r.TryReadBinary(n).has_value(); }},
      {"binary data",
       [](Registry& r, const std::string& n) {
         char buffer[8];
         return r.TryReadBinaryData(n, buffer, sizeof buffer).has_value();
       }},
      {"date-time", [](Registry& r, const std::string& n) { return r.TryReadDateTime(n).has_value(); }},
  };
  return reads;
}

TEST(SettingsStore, OptionalReadsAnswerNothingForWhatIsMissingAndRefuseOtherTypes) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteInteger("Count", -5);
  reg.WriteBool("Flag", true);
  reg.WriteString("Text", "");
  reg.WriteBinaryData("Size", "\x01\x02", 2);
  reg.WriteDateTime("When", 45000.75);

  Registry again;
  ASSERT_TRUE(again.OpenKeyReadOnly(kKey));
  EXPECT_EQ(again.TryReadInteger("count"), -5);
  EXPECT_EQ(again.TryReadBool("FLAG"), true);
  EXPECT_EQ(again.TryReadString("Text"), "");  // an empty text is there all the same
  EXPECT_EQ(again.TryReadBinary("Size"), "\x01\x02");
  EXPECT_EQ(again.TryReadDateTime("When"), 45000.75);
  uint32_t wide = 0;
  EXPECT_EQ(again.TryReadBinaryData("Size", &wide, sizeof wide), 2u);
  EXPECT_EQ(wide, 0x0201u);

  for (const auto& read : OptionalReads()) EXPECT_FALSE(read.found(again, "Missing")) << read.kind;

  // A value of another type is no missing value: the reads refuse it as the plain ones do.
  uint8_t narrow = 0;
  const std::vector<std::pair<const char*, std::function<void()>>> refused = {
      {"string read as integer", [&] { again.TryReadInteger("Text"); }},
      {"binary read as bool", [&] { again.TryReadBool("Size"); }},
      {"integer read as string", [&] { again.TryReadString("Count"); }},
      {"string read as binary", [&] { again.TryReadBinary("Text"); }},
      {"binary longer than the buffer", [&] { again.TryReadBinaryData("Size", &narrow, 1); }},
      {"2-byte binary read as date-time", [&] { again.TryReadDateTime("Size"); }},
      {"integer read as date-time", [&] { again.TryReadDateTime("Count"); }},
  };
  for (const auto& [name, read] : refused) EXPECT_THROW(read(), ERegistryException) << name;

  // The open key removed by another writer: its values are missing, not an error.
  Registry other;
  ASSERT_TRUE(other.DeleteKey(kKey));
  for (const auto& read : OptionalReads()) EXPECT_FALSE(read.found(again, "Count")) << read.kind;
  EXPECT_THROW(again.ReadInteger("Count"), ERegistryException);

  Registry closed;  // no key open: a mistake of the caller, not an absent value
  for (const auto& read : OptionalReads()) EXPECT_THROW(read.found(closed, "Count"), ERegistryException) << read.kind;
}

TEST(SettingsStore, NamesIgnoreCaseKeepTheirSpellingAndOrder) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  for (const char* name : {"Zeta", "alpha", "Mid"}) reg.WriteInteger(name, 1);
  reg.WriteString("ZETA", "now a string");
  ASSERT_TRUE(reg.OpenKey("software\\MORVANE\\plumorabrowser\\config", false));
  EXPECT_EQ(reg.GetValueNames(), (Names{"Zeta", "alpha", "Mid"}));
  EXPECT_EQ(reg.ReadString("zeta"), "now a string");
  EXPECT_TRUE(reg.ValueExists("ALPHA"));
  EXPECT_TRUE(reg.DeleteValue("aLpHa"));
  EXPECT_FALSE(reg.DeleteValue("alpha"));
  EXPECT_EQ(reg.GetValueNames(), (Names{"Zeta", "Mid"}));
  EXPECT_NE(ReadAll(HiveFilePath(Hive::kCurrentUser)).find("SOFTWARE\\\\Morvane\\\\PlumoraBrowser\\\\Config"),
            std::string::npos);
}

TEST(SettingsStore, KeysNestAndDeleteWithEverythingBelow) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\installerInfos\\history", true));
  reg.WriteString("v", "1");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Morvane\\PlumoraBrowser\\Config\\", true));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\config\\upload", true));
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\Morvane"));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser", false));
  EXPECT_EQ(reg.GetKeyNames(), (Names{"installerInfos", "Config"}));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\Config", false));
  EXPECT_EQ(reg.GetKeyNames(), (Names{"upload"}));

  EXPECT_TRUE(reg.DeleteKey("software\\morvane\\plumorabrowser\\INSTALLERINFOS"));
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\Morvane\\PlumoraBrowser\\installerInfos\\history"));
  EXPECT_FALSE(reg.DeleteKey("SOFTWARE\\Morvane\\PlumoraBrowser\\installerInfos"));
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\Morvane\\PlumoraBrowser\\Config\\upload"));
}

TEST(SettingsStore, StringListsAndNameValueLists) {
  Registry reg;
  const std::string key = kKey + "\\InportViewerPath";
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteString("Old", "gone");
  reg.WriteString("Data_05", "gone too");
  SaveStringList(reg, key, {"/a", "/b", ""});
  ASSERT_TRUE(reg.OpenKey(key, false));
  EXPECT_EQ(reg.GetValueNames(), (Names{"Data_00", "Data_01", "Data_02"}));
  EXPECT_EQ(LoadStringList(reg, key), (Names{"/a", "/b", ""}));
  EXPECT_EQ(LoadStringList(reg, kKey + "\\Missing"), Names{});

  // Loading takes every value in stored order, whatever its name.
  ASSERT_TRUE(reg.OpenKey(kKey + "\\Eye-Fi", true));
  for (const char* name : {"Data_100", "Data_11", "other"}) reg.WriteString(name, name);
  EXPECT_EQ(LoadStringList(reg, kKey + "\\Eye-Fi"), (Names{"Data_100", "Data_11", "other"}));
  reg.WriteInteger("number", 3);
  EXPECT_THROW(LoadStringList(reg, kKey + "\\Eye-Fi"), ERegistryException);

  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\installerInfos", true));
  reg.WriteString("partner", "abc");
  reg.WriteInteger("ignoreMovie", 1);
  reg.WriteBinaryData("blob", "xy", 2);
  reg.WriteString("empty", "");
  EXPECT_EQ(LoadNameValueList(reg, "SOFTWARE\\Morvane\\PlumoraBrowser\\installerInfos"),
            (Names{"partner=abc", "ignoreMovie=1", "empty="}));
}

TEST(SettingsStore, TextsThatAreNotUtf8SurviveUnchanged) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  const std::string shift_jis_name = "/media/card/\x83\x76\x83\x8b";
  reg.WriteString("Folder", shift_jis_name);
  Registry fresh(std::make_shared<SettingsStore>(HiveFilePath(Hive::kCurrentUser)));
  ASSERT_TRUE(fresh.OpenKey(kKey, false));
  EXPECT_EQ(fresh.ReadString("Folder"), shift_jis_name);
}

TEST(SettingsStore, ABatchWritesTheFileOnceAndOnlyOnCommit) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  const std::string path = HiveFilePath(Hive::kCurrentUser);
  const ino_t before = InodeOf(path);
  {
    SettingsStore::Batch batch(reg.Store());
    for (int i = 0; i < 20; ++i) reg.WriteInteger(ValueName("V", i), i);
    EXPECT_EQ(InodeOf(path), before);
    EXPECT_EQ(reg.ReadInteger("V19"), 19);
    batch.Commit();
  }
  EXPECT_NE(InodeOf(path), before);
  {
    SettingsStore::Batch batch(reg.Store());
    reg.WriteInteger("Dropped", 1);
  }
  EXPECT_FALSE(reg.ValueExists("Dropped"));
  EXPECT_EQ(reg.ReadInteger("V7"), 7);
}

// Each child process writes its own values one by one through its own store object; with
// read-modify-write under the file lock none of them may be lost.
TEST(SettingsStore, WritersInTwoProcessesLoseNothing) {
  const std::string path = HiveFilePath(Hive::kCurrentUser);
  constexpr int kPerProcess = 60;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      Registry reg(std::make_shared<SettingsStore>(path));
      int failures = 0;
      for (int i = 0; i < kPerProcess; ++i) {
        try {
          reg.OpenKey(kKey, true);
          reg.WriteInteger(ValueName(p == 0 ? "P0-" : "P1-", i), i);
        } catch (...) {
          ++failures;
        }
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_EQ(reg.GetValueNames().size(), 2u * kPerProcess);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kPerProcess; ++i) {
      EXPECT_EQ(reg.ReadInteger(ValueName(p == 0 ? "P0-" : "P1-", i)), i);
    }
  }
}

TEST(SettingsStore, SeesWhatAnotherProcessWrote) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteString("Title", "before");
  EXPECT_EQ(reg.ReadString("Title"), "before");
  if (fork() == 0) {
    Registry other(std::make_shared<SettingsStore>(HiveFilePath(Hive::kCurrentUser)));
    other.OpenKey(kKey, false);
    other.WriteString("Title", "after");
    _exit(0);
  }
  wait(nullptr);
  EXPECT_EQ(reg.ReadString("Title"), "after");
}

TEST(SettingsStore, AFileThatIsNotAStoreIsSetAsideAndReported) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"not JSON", "{\"SOFTWARE\": {"},
      {"not an object", "[1, 2]"},
      {"value without type", R"({"K": {"V": {"data": 1}}})"},
      {"dword too large", R"({"K": {"V": {"type": "dword", "data": 4294967296}}})"},
      {"bad hex", R"({"K": {"V": {"type": "binary", "data": "0g"}}})"},
  };
  std::vector<std::string> notes;
  SetSettingsProblemHandler([&](const std::string& note) { notes.push_back(note); });
  for (const auto& [name, text] : cases) {
    const std::string folder = test::TestRoot() + "/corrupt-" + std::to_string(notes.size());
    fs::create_directories(folder);
    const std::string path = folder + "/registry.json";
    std::ofstream(path) << text;
    Registry reg(std::make_shared<SettingsStore>(path));
    EXPECT_FALSE(reg.OpenKey("K", false)) << name;
    EXPECT_FALSE(fs::exists(path)) << name;
    std::vector<std::string> kept;
    for (const auto& e : fs::directory_iterator(folder)) {
      if (e.path().filename().string().rfind("registry.json.corrupt-", 0) == 0) kept.push_back(e.path().string());
    }
    ASSERT_EQ(kept.size(), 1u) << name;
    EXPECT_EQ(ReadAll(kept[0]), text) << name;
    ASSERT_FALSE(notes.empty()) << name;
    EXPECT_NE(notes.back().find(kept[0]), std::string::npos) << notes.back();

    ASSERT_TRUE(reg.OpenKey("K", true));
    reg.WriteInteger("V", 7);
    Registry fresh(std::make_shared<SettingsStore>(path));
    ASSERT_TRUE(fresh.OpenKey("K", false));
    EXPECT_EQ(fresh.ReadInteger("V"), 7) << name;
  }
  EXPECT_EQ(notes.size(), cases.size());
  SetSettingsProblemHandler(nullptr);
}

TEST(SettingsStore, NotesBeforeAHandlerAreKept) {
  const std::string path = test::TestRoot() + "/registry.json";
  std::ofstream(path) << "garbage";
  Registry reg(std::make_shared<SettingsStore>(path));
  EXPECT_FALSE(reg.KeyExists("K"));
  std::vector<std::string> notes;
  SetSettingsProblemHandler([&](const std::string& note) { notes.push_back(note); });
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find(path), std::string::npos);
  SetSettingsProblemHandler(nullptr);
}

TEST(SettingsStore, AnUnwritableHiveFailsWritesButReads) {
  const std::string folder = test::TestRoot() + "/etc";
  std::ofstream(folder + "/registry.json")
      << R"({"SOFTWARE\\Morvane\\PlumoraBrowser": {"WindowTitle": {"type": "string", "data": "T"}}})";
  setenv("PLB_MACHINE_REGISTRY", (folder + "/plain-file/registry.json").c_str(), 1);
  std::ofstream(folder + "/plain-file") << "x";
  Registry broken(Hive::kLocalMachine);
  EXPECT_FALSE(broken.KeyExists("SOFTWARE"));
  EXPECT_THROW(broken.OpenKey("SOFTWARE\\Morvane", true), ERegistryException);

  setenv("PLB_MACHINE_REGISTRY", (folder + "/registry.json").c_str(), 1);
  Registry machine(Hive::kLocalMachine);
  ASSERT_TRUE(machine.OpenKeyReadOnly("SOFTWARE\\Morvane\\PlumoraBrowser"));
  EXPECT_EQ(machine.ReadString("WindowTitle"), "T");
}

}  // namespace
}  // namespace plb
