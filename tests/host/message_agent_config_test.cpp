#include "host/message_agent_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "host/program_file.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace plb {
namespace {

const std::string kRoot = "SOFTWARE\\Morvane\\MessageAgent";

std::string LogText() {
  std::ifstream in(LogFilePath(), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class MessageAgentConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string folder = test::TestRoot() + "/log";
    std::filesystem::create_directories(folder);
    OpenLog(folder);
  }
  void TearDown() override { CloseLog(); }

  // The message of the error an operation raised; empty when it raised none.
  static std::string ErrorOf(const std::function<void()>& operation) {
    try {
      operation();
    } catch (const EMessageAgentConfigError& e) {
      return e.Message();
    }
    return "";
  }

  static std::vector<std::string> Values(Hive hive, const std::string& key) {
    Registry reg(hive);
    std::vector<std::string> values;
    if (!reg.OpenKeyReadOnly(kRoot + "\\" + key)) return values;
    for (const auto& name : reg.GetValueNames()) values.push_back(name + "=" + reg.ReadString(name));
    return values;
  }

  TMessageAgentConfig agent_;
};

TEST_F(MessageAgentConfig, RefusesToSaveAnEmptyIdentifierAndLogsIt) {
  const std::vector<std::pair<TMessageAgentCurrentData, std::string>> cases = {
      {{"", "m", "u"}, "PackageId is Empty."},
      {{"p", "", "u"}, "MachineId is Empty."},
      {{"p", "m", ""}, "UserId is Empty."},
  };
  for (const auto& [data, message] : cases) {
    agent_.SetCurrentData(data);
    EXPECT_EQ(ErrorOf([&] { agent_.SaveCurrentIdData(); }), message);
    EXPECT_NE(LogText().find("EMessageAgentConfigError Raised. ( " + message + " )"), std::string::npos) << message;
  }
  EXPECT_FALSE(Registry(Hive::kCurrentUser).KeyExists(kRoot));
}

TEST_F(MessageAgentConfig, SavingIdentifiersRecordsEachHistoryEntryOnce) {
  agent_.SetCurrentData({"pkg", "mach", "user"});
  agent_.SaveCurrentIdData();
  agent_.SaveCurrentIdData();
  agent_.SetCurrentData({"pkg", "mach2", "user"});
  agent_.SaveCurrentIdData();

  EXPECT_EQ(Values(Hive::kLocalMachine, "MachineId"), (std::vector<std::string>{"0=pkg:mach", "1=pkg:mach2"}));
  EXPECT_TRUE(Values(Hive::kCurrentUser, "MachineId").empty());
  EXPECT_EQ(Values(Hive::kCurrentUser, "UserId"), std::vector<std::string>{"0=pkg:user"});
  EXPECT_EQ(Values(Hive::kCurrentUser, "MachineUserId"),
            (std::vector<std::string>{"0=pkg:mach:user", "1=pkg:mach2:user"}));
  EXPECT_EQ(Values(Hive::kCurrentUser, "CurrentData"),
            (std::vector<std::string>{"PackageId=pkg", "MachineId=mach2", "UserId=user"}));

  TMessageAgentConfig other;
  other.LoadCurrentIdData();
  EXPECT_EQ(other.CurrentData(), (TMessageAgentCurrentData{"pkg", "mach2", "user"}));
}

TEST_F(MessageAgentConfig, MachineIdsFallBackToTheUserHive) {
  const std::string plain = test::TestRoot() + "/etc/plain";
  std::ofstream(plain) << "x";
  setenv("PLB_MACHINE_REGISTRY", (plain + "/registry.json").c_str(), 1);
  agent_.SetCurrentData({"pkg", "mach", "user"});
  agent_.SaveCurrentIdData();
  EXPECT_EQ(Values(Hive::kCurrentUser, "MachineId"), std::vector<std::string>{"0=pkg:mach"});
}

TEST_F(MessageAgentConfig, ANewEntryNeverReusesTheNameOfAnother) {
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey(kRoot + "\\UserId", true);
  reg.WriteString("0", "a:1");
  reg.WriteString("2", "a:2");  // "1" was removed at some time
  agent_.SetCurrentData({"b", "m", "3"});
  agent_.SaveCurrentIdData();
  EXPECT_EQ(Values(Hive::kCurrentUser, "UserId"), (std::vector<std::string>{"0=a:1", "2=a:2", "3=b:3"}));
}

TEST_F(MessageAgentConfig, ListsMergeDropDuplicatesAndEmptyEntries) {
  Registry machine(Hive::kLocalMachine);
  machine.OpenKey(kRoot + "\\MachineId", true);
  machine.WriteString("0", "p:m1");
  machine.WriteString("1", "");
  Registry user(Hive::kCurrentUser);
  user.OpenKey(kRoot + "\\MachineId", true);
  user.WriteString("0", "p:m2");
  user.WriteString("1", "p:m1");
  user.OpenKey(kRoot + "\\MachineUserId", true);
  user.WriteString("0", "p:m1:u");
  EXPECT_EQ(agent_.GetMachineIdList(), "p:m1,p:m2");
  EXPECT_EQ(agent_.GetUserIdList(), "");
  EXPECT_EQ(agent_.GetMachineUserIdList(), "p:m1:u");

  user.WriteInteger("1", 5);
  EXPECT_EQ(ErrorOf([&] { agent_.GetMachineUserIdList(); }),
            "ERegistryException Raised in TMessageAgentConfig.GetSimpleCommaText ( Invalid data type for '1' )");
}

TEST_F(MessageAgentConfig, SocketErrorFlag) {
  EXPECT_EQ(ErrorOf([&] { agent_.GetSocketErrorRaised(); }), "openKey failed.");
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey(kRoot + "\\Flag", true);
  EXPECT_EQ(ErrorOf([&] { agent_.GetSocketErrorRaised(); }), "value is not exists.");
  reg.WriteBool("SocketError", true);
  EXPECT_TRUE(agent_.GetSocketErrorRaised());
  reg.WriteString("SocketError", "1");
  const std::string wrapped =
      "ERegistryException Raised in TMessageAgentConfig.GetSocketErrorRaised ( Invalid data type for 'SocketError' )";
  EXPECT_EQ(ErrorOf([&] { agent_.GetSocketErrorRaised(); }), wrapped);
  EXPECT_NE(LogText().find("EMessageAgentConfigError Raised. ( " + wrapped + " )"), std::string::npos);
}

TEST_F(MessageAgentConfig, SettingsRoundTripWithTheProgramPath) {
  TMessageAgentConfig fresh;
  fresh.LoadConfigData();
  EXPECT_EQ(fresh.Settings(), TMessageAgentSettings{});
  EXPECT_EQ(fresh.Settings().query_interval, 3600);

  TMessageAgentSettings s;
  s.machine_id = "m";
  s.user_id = "u";
  s.base_url = "http://127.0.0.1:1/";
  s.params = "a=b";
  s.start_delay = 1;
  s.retry_delay = 2;
  s.query_interval = 3;
  s.balloon_time = 4;
  s.first_wakeup_shown = true;
  s.first_wakeup_url = "http://127.0.0.1:1/first";
  s.first_wakeup_width = 640;
  s.first_wakeup_height = 480;
  s.short_cut_is_created = true;
  agent_.SetSettings(s);
  OverrideProgramFilePath("/opt/plb/plumora-browser");
  agent_.SaveConfigData();
  OverrideProgramFilePath("");
  s.plb_path = "/opt/plb/plumora-browser";

  TMessageAgentConfig loaded;
  loaded.LoadConfigData();
  EXPECT_EQ(loaded.Settings(), s);
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey(kRoot + "\\Config", false);
  EXPECT_EQ(reg.GetValueNames().size(), 14u);
}

TEST_F(MessageAgentConfig, FirstWakeupIsReplacedOnlyWhenEverythingDiffers) {
  agent_.SetFirstWakeup("http://h/a", 100, 200);
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey(kRoot + "\\Config", false);
  reg.WriteBool("FirstWakeupShown", true);
  struct Case {
    std::string url;
    int width, height;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"http://h/b", 100, 300, false},
      {"http://h/b", 300, 200, false},
      {"http://h/a", 300, 400, false},
      {"http://h/b", 300, 400, true},
  };
  for (const auto& c : cases) {
    agent_.SetFirstWakeup(c.url, c.width, c.height);
    TMessageAgentConfig loaded;
    loaded.LoadConfigData();
    const auto s = loaded.Settings();
    EXPECT_EQ(s.first_wakeup_url, c.replaced ? c.url : "http://h/a") << c.url << c.width << c.height;
    EXPECT_EQ(s.first_wakeup_width, c.replaced ? 300 : 100);
    EXPECT_EQ(s.first_wakeup_shown, !c.replaced);
  }
  EXPECT_EQ(agent_.Settings().first_wakeup_url, "http://h/b");
}

}  // namespace
}  // namespace plb
