#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "host/browser_emulation.h"
#include "host/ini_file.h"
#include "support/test_env.h"

namespace plb {
namespace {

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  IniFile ini;
  ini.Parse(
      "\xEF\xBB\xBF; comment\n"
      "top=1\n"
      "[Browser]\r\n"
      "  MinimunVersion = 11  \r\n"
      "# another comment\n"
      "name=\"quoted value\"\n"
      "minimunversion=99\n"
      "[PLAPI]\n"
      "hex=0x1F\n"
      "dollar=$10\n"
      "negative=-7\n"
      "huge=99999999999\n"
      "yes=yes\n"
      "off=Off\n"
      "junk=maybe\n"
      "[browser]\n"
      "Extra=x\n"
      "no equals sign\n");
  EXPECT_TRUE(ini.SectionExists("BROWSER"));
  EXPECT_FALSE(ini.SectionExists("Missing"));
  EXPECT_EQ(ini.ReadInteger("browser", "MINIMUNVERSION", 0), 11);
  EXPECT_EQ(ini.ReadString("Browser", "name", ""), "quoted value");
  EXPECT_EQ(ini.ReadString("Browser", "extra", ""), "x");
  EXPECT_EQ(ini.ReadInteger("", "top", 0), 1);
  const std::vector<std::pair<const char*, int>> integers = {{"hex", 31}, {"dollar", 16}, {"negative", -7},
                                                             {"huge", 5}, {"junk", 5},    {"missing", 5}};
  for (const auto& [key, expected] : integers) EXPECT_EQ(ini.ReadInteger("PLAPI", key, 5), expected) << key;
  const std::vector<std::tuple<const char*, bool, bool>> bools = {{"hex", false, true},   {"yes", false, true},
                                                                  {"off", true, false},   {"junk", true, true},
                                                                  {"junk", false, false}, {"negative", false, true}};
  for (const auto& [key, fallback, expected] : bools) EXPECT_EQ(ini.ReadBool("PLAPI", key, fallback), expected) << key;
}

TEST(IniFile, MissingFileIsEmpty) {
  IniFile ini;
  EXPECT_FALSE(ini.Load(test::TestRoot() + "/none.ini"));
  EXPECT_FALSE(ini.SectionExists(""));
}

TEST(BrowserEmulation, PicksTheHighestInstalledVersionAtOrBelowTheRequest) {
  const std::vector<std::tuple<int, int, std::optional<int>>> cases = {
      {11, 9, 9000},         {11, 11, 11000},      {10, 11, 10000}, {7, 9, std::nullopt},
      {0, 11, std::nullopt}, {9, 7, std::nullopt}, {8, 8, 8000},    {11, 0, std::nullopt},
  };
  for (const auto& [requested, installed, expected] : cases) {
    EXPECT_EQ(PickBrowserEmulation(requested, installed), expected) << requested << " " << installed;
  }
  const std::vector<std::pair<const char*, int>> versions = {
      {"9.11.9600.18204", 9}, {"11.0", 11}, {"", 0}, {"abc", 0}, {"v8.1", 8}, {"99999999999.1", 0}};
  for (const auto& [text, major] : versions) EXPECT_EQ(InstalledBrowserMajorVersion(text), major) << text;
}

TEST(BrowserEmulation, RequestComesFromTheProgramsIniFile) {
  EXPECT_EQ(ProgramIniPath("/opt/plb/plumora-browser"), "/opt/plb/plumora-browser.ini");
  EXPECT_EQ(ProgramIniPath("/opt/plb/PlumoraBrowser.exe"), "/opt/plb/PlumoraBrowser.ini");
  const std::string ini = test::TestRoot() + "/plumora-browser.ini";
  EXPECT_EQ(RequestedBrowserVersion(ini), 0);
  std::ofstream(ini) << "[Browser]\nMinimunVersion=11\n";
  EXPECT_EQ(RequestedBrowserVersion(ini), 11);
  EXPECT_EQ(PickBrowserEmulation(RequestedBrowserVersion(ini), 9), 9000);
}

}  // namespace
}  // namespace plb
