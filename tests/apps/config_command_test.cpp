#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/settings_store.h"
#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

using PlbRun = test::CommandRun;
using test::RunPlb;

TEST(ConfigCommand, ListsEveryValueWithItsSource) {
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\Config", true);
  reg.WriteInteger("TrayHeight", 180);
  reg.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser\\Config\\upload", true);
  reg.WriteInteger("MaxUploaderCount", 2);
  Registry machine(Hive::kLocalMachine);
  machine.OpenKey("SOFTWARE\\Morvane\\PlumoraBrowser", true);
  machine.WriteString("WindowTitle", "Title \"quoted\"");

  const PlbRun run = RunPlb("config --json");
  ASSERT_EQ(run.status, 0) << run.out;
  std::map<std::string, nlohmann::json> rows;
  for (const auto& row : test::JsonLines(run.out)) {
    rows[row["group"].get<std::string>() + "/" + row["name"].get<std::string>()] = row;
  }
  const std::vector<std::tuple<std::string, std::string, std::string>> expected = {
      {"settings/TrayHeight", "180", "stored"},
      {"settings/TargetPanelW", "320", "default"},
      {"settings/CacheMaxSizeMB", "1000", "default"},
      {"settings/InportBackupPath", "", "default"},
      {"product/machine:WindowTitle", "Title \"quoted\"", "stored"},
      {"product/SuccessedVersion", "", "default"},
      {"upload/upload\\MaxUploaderCount", "2", "stored"},
      {"upload/upload\\UseOption", "false", "default"},
      {"folders/DataFolder", test::TestRoot() + "/data/Morvane/PlumoraBrowser/Data", "default"},
      {"folders/LogFolder", test::TestRoot() + "/data/Morvane/PlumoraBrowser/Log", "default"},
  };
  for (const auto& [key, value, source] : expected) {
    ASSERT_EQ(rows.count(key), 1u) << key << "\n" << run.out;
    EXPECT_EQ(rows[key]["value"], value) << key;
    EXPECT_EQ(rows[key]["source"], source) << key;
  }
  EXPECT_EQ(rows.count("folders/TempFolder"), 1u);

  const PlbRun text = RunPlb("config");
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("TrayHeight"), std::string::npos);
  EXPECT_EQ(RunPlb("config --bogus").status, 2);
}

}  // namespace
}  // namespace plb
