#include "host/uploader_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/program_file.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace plb {
namespace {

TEST(UploaderOptions, DebugIniThenRegistry) {
  struct Case {
    const char* name;
    const char* ini;  // nullptr: no file
    std::function<void(Registry&)> stored;
    TUploaderOptions expected;
  };
  const auto none = [](Registry&) {};
  const std::vector<Case> cases = {
      {"nothing", nullptr, none, {false, true, 7000, 7000, 4}},
      {"only the section header", "[PLAPI]\n", none, {true, true, 0, 0, 0}},
      {"a file without the section", "[Other]\nUseOption=0\n", none, {true, true, 0, 0, 0}},
      {"keys in any case",
       "[plapi]\r\nuseoption=0\r\nMAXUPLOADERCOUNT=2\r\nConnectTimeout=abc\r\n",
       none,
       {false, true, 0, 0, 2}},
      {"registry wins",
       "[PLAPI]\nReadTimeout=100\n",
       [](Registry& r) {
         r.WriteInteger("ConnectTimeout", 5000);
         r.WriteBool("AllowParallel", false);
       },
       {true, false, 5000, 100, 0}},
      {"registry without a file",
       nullptr,
       [](Registry& r) {
         r.WriteBool("UseOption", true);
         r.WriteInteger("MaxUploaderCount", 1);
       },
       {true, true, 7000, 7000, 1}},
      {"a value of another type is passed over",
       nullptr,
       [](Registry& r) {
         r.WriteString("ReadTimeout", "9");
         r.WriteInteger("ConnectTimeout", 9);
       },
       {false, true, 9, 7000, 4}},
  };
  const std::string ini_path = test::TestRoot() + "/debug.ini";
  for (const auto& c : cases) {
    std::remove(ini_path.c_str());
    if (c.ini) std::ofstream(ini_path) << c.ini;
    Registry reg(Hive::kCurrentUser);
    reg.DeleteKey("SOFTWARE");
    reg.OpenKey(UploaderOptionsKey(), true);
    c.stored(reg);
    LoadUploaderOptions(ini_path);
    EXPECT_EQ(UploaderOptions(), c.expected) << c.name;
  }
}

TEST(UploaderOptions, DebugIniIsFoundBesideTheProgram) {
  const std::string folder = test::TestRoot() + "/program";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/debug.ini") << "[PLAPI]\nMaxUploaderCount=3\n";
  OverrideProgramFilePath(folder + "/plumora-browser");
  LoadUploaderOptions();
  OverrideProgramFilePath("");
  EXPECT_EQ(UploaderOptions().max_uploader_count, 3);
  EXPECT_TRUE(UploaderOptions().use_option);
}

TEST(UploaderOptions, SavingWritesAllFive) {
  const TUploaderOptions options{true, false, 1000, 2000, 2};
  SaveUploaderOptions(options);
  EXPECT_EQ(UploaderOptions(), options);
  Registry reg(Hive::kCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\Morvane\\PlumoraBrowser\\Config\\upload"));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"UseOption", "AllowParallel", "ConnectTimeout",
                                                           "ReadTimeout", "MaxUploaderCount"}));
  LoadUploaderOptions(test::TestRoot() + "/missing.ini");
  EXPECT_EQ(UploaderOptions(), options);
}

}  // namespace
}  // namespace plb
