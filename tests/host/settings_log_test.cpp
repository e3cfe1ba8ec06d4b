#include "host/settings_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace plb {
namespace {

TEST(SettingsLog, ACorruptSettingsFileIsNotedInTheLogAndTheDefaultsHold) {
  const std::string path = HiveFilePath(Hive::kCurrentUser);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "{ not json";
  TPlumoraConfigItem config;
  config.LoadFromRegistry();  // before the log is open: the note waits
  EXPECT_EQ(config.TargetPanelW(), 320);

  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder);
  SendSettingsProblemsToLog();
  CloseLog();
  SetSettingsProblemHandler(nullptr);
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream file(entry.path(), std::ios::binary);
    log.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  EXPECT_NE(log.find("The settings file \"" + path + "\" was not used because it is not valid JSON"), std::string::npos)
      << log;
  EXPECT_NE(log.find(path + ".corrupt-"), std::string::npos);
}

}  // namespace
}  // namespace plb
