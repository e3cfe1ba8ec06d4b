#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/ostra_config_item.h"
#include "host/plumora_config_item.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace plb {
namespace {

const std::string kKey = "SOFTWARE\\Morvane\\PlumoraBrowser\\Config";

Registry SettingsKey() {
  Registry reg(Hive::kCurrentUser);
  reg.OpenKey(kKey, true);
  return reg;
}

std::map<std::string, ConfigValueView> ByName(const std::vector<ConfigValueView>& views) {
  std::map<std::string, ConfigValueView> map;
  for (const auto& v : views) map.emplace(v.name, v);
  return map;
}

TEST(ConfigItem, FoldersAndKeysFollowTheClassWords) {
  const std::string data = test::TestRoot() + "/data";
  EXPECT_EQ(TOstraConfigItem::ClassSettingsKey(), "SOFTWARE\\Morvane\\Ostra\\Config");
  EXPECT_EQ(TPlumoraConfigItem::ClassProductKey(), "SOFTWARE\\Morvane\\PlumoraBrowser");
  EXPECT_EQ(TPlumoraConfigItem::ClassSettingsKey(), kKey);
  TOstraConfigItem engine;
  EXPECT_EQ(engine.BaseFolder(), data + "/Morvane/Ostra/");
  EXPECT_EQ(engine.SettingsKey(), "SOFTWARE\\Morvane\\Ostra\\Config");
  TPlumoraConfigItem app;
  EXPECT_EQ(app.SettingsKey(), kKey);
  EXPECT_EQ(app.DataFolder(), data + "/Morvane/PlumoraBrowser/Data");
  EXPECT_EQ(app.LogFolder(), data + "/Morvane/PlumoraBrowser/Log");
  EXPECT_EQ(app.FolderTreeFile(), data + "/Morvane/PlumoraBrowser/Data/OstraData.qdb");
  EXPECT_EQ(app.AlbumFile(), data + "/Morvane/PlumoraBrowser/Data/OstraGroup.qdb");
  EXPECT_EQ(app.HistoryFile(), data + "/Morvane/PlumoraBrowser/Data/OstraHistory.qdb");
  EXPECT_EQ(app.BgmLibraryFile(), data + "/Morvane/PlumoraBrowser/Data/BgmLib.qdb");
}

// Every stored value: its name, type, size in bytes and default as text.
struct Expected {
  const char* name;
  ValueType type;
  int64_t size;
  const char* text;
};
const std::vector<Expected> kAll = {
    {"SortType", ValueType::kBinary, 1, "2"},
    {"SortUp", ValueType::kDword, 4, "true"},
    {"CatalogSize", ValueType::kDword, 4, "0"},
    {"ThumbnailSize2", ValueType::kBinary, 2, "80"},
    {"InfoTypes", ValueType::kBinary, 2, "3"},
    {"MakeCatalogOptions", ValueType::kBinary, 1, "5"},
    {"CacheKind", ValueType::kBinary, 1, "1"},
    {"CacheMaxSizeMB", ValueType::kDword, 4, "1000"},
    {"DontCheckNetwork", ValueType::kDword, 4, "false"},
    {"CompressionQuality", ValueType::kDword, 4, "90"},
    {"ShortCutCreated", ValueType::kDword, 4, "false"},
    {"SampleTagAdded", ValueType::kDword, 4, "false"},
    {"MyVideoFolderAdded", ValueType::kDword, 4, "false"},
    {"WindowPlacement", ValueType::kBinary, 44,
     "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"},
    {"TargetPanelW", ValueType::kDword, 4, "320"},
    {"ToolPanelW", ValueType::kDword, 4, "320"},
    {"TrayHeight", ValueType::kDword, 4, "0"},
    {"CatalogSize2", ValueType::kBinary, 1, "1"},
    {"LastViewDate", ValueType::kBinary, 8, "0"},
    {"CursorMode", ValueType::kBinary, 1, "0"},
    {"ViewImageSize", ValueType::kBinary, 1, "0"},
    {"AlwaysShowTitleRow2", ValueType::kDword, 4, "false"},
    {"NeedBgmLibrarySetup", ValueType::kDword, 4, "true"},
    {"UseBackgroundUpload", ValueType::kDword, 4, "true"},
    {"NeedHiddenDirectory", ValueType::kDword, 4, "false"},
    {"CloseAfterUpload", ValueType::kDword, 4, "false"},
    {"OpenUrlInHome", ValueType::kDword, 4, "true"},
    {"ClearIdAfterUpload", ValueType::kDword, 4, "false"},
    {"ShowAddrBar", ValueType::kDword, 4, "false"},
    {"ShowMainMenu", ValueType::kDword, 4, "false"},
};

TEST(ConfigItem, WithoutAKeyTheDefaultsHoldAndSaveWritesEveryValue) {
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  Registry reg(Hive::kCurrentUser);
  EXPECT_FALSE(reg.KeyExists(kKey));
  const auto views = ByName(config.Describe());
  for (const auto& e : kAll) {
    ASSERT_EQ(views.count(e.name), 1u) << e.name;
    EXPECT_EQ(views.at(e.name).text, e.text) << e.name;
    EXPECT_EQ(views.at(e.name).source, ConfigSource::kDefault) << e.name;
  }
  EXPECT_TRUE(config.InportViewerPath().empty());

  config.SaveToRegistry();
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  std::vector<std::string> names;
  for (const auto& e : kAll) {
    EXPECT_EQ(reg.GetDataType(e.name), e.type) << e.name;
    EXPECT_EQ(reg.GetDataSize(e.name), e.size) << e.name;
    names.push_back(e.name);
  }
  EXPECT_EQ(reg.GetValueNames(), names);
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"InportViewerPath", "InportBackupPath"}));
}

TEST(ConfigItem, SavedValuesComeBack) {
  TPlumoraConfigItem config;
  config.SetSortType(0);
  config.SetSortUp(false);
  config.SetCatalogSize(3);
  config.SetThumbnailSize2(300);
  config.SetInfoTypes(0x1234);
  config.SetMakeCatalogOptions(7);
  config.SetCacheKind(0);
  config.SetCacheMaxSizeMB(16000);
  config.SetDontCheckNetwork(true);
  config.SetCompressionQuality(75);
  config.SetShortCutCreated(true);
  config.SetSampleTagAdded(true);
  config.SetMyVideoFolderAdded(true);
  std::string placement(44, '\0');
  for (size_t i = 0; i < placement.size(); ++i) placement[i] = static_cast<char>(i + 1);
  config.SetWindowPlacement(placement);
  config.SetTargetPanelW(250);
  config.SetToolPanelW(-1);
  config.SetTrayHeight(170);
  config.SetCatalogSize2(4);
  config.SetLastViewDate(45123.5);
  config.SetCursorMode(3);
  config.SetViewImageSize(7);
  config.SetAlwaysShowTitleRow2(true);
  config.SetNeedBgmLibrarySetup(false);
  config.SetUseBackgroundUpload(false);
  config.SetNeedHiddenDirectory(true);
  config.SetCloseAfterUpload(true);
  config.SetOpenUrlInHome(false);
  config.SetClearIdAfterUpload(true);
  config.SetShowAddrBar(true);
  config.SetShowMainMenu(true);
  config.SetInportViewerPath({"/v1", "/v2"});
  config.SetInportBackupPath({"/b1"});
  config.SaveToRegistry();

  TPlumoraConfigItem loaded;
  loaded.LoadFromRegistry();
  const auto saved = config.Describe();
  const auto again = loaded.Describe();
  ASSERT_EQ(saved.size(), again.size());
  for (size_t i = 0; i < saved.size(); ++i) {
    EXPECT_EQ(again[i].name, saved[i].name);
    EXPECT_EQ(again[i].text, saved[i].text) << saved[i].name;
    EXPECT_EQ(again[i].source, ConfigSource::kStored) << saved[i].name;
  }
  EXPECT_EQ(loaded.WindowPlacement(), placement);
  EXPECT_EQ(loaded.LastViewDate(), 45123.5);
  EXPECT_EQ(loaded.InportViewerPath(), (std::vector<std::string>{"/v1", "/v2"}));
  EXPECT_EQ(loaded.InportBackupPath(), (std::vector<std::string>{"/b1"}));
}

void Bytes(Registry& reg, const char* name, std::vector<uint8_t> bytes) {
  reg.WriteBinaryData(name, bytes.data(), bytes.size());
}

TEST(ConfigItem, LoadRules) {
  struct Case {
    const char* name;
    std::function<void(Registry&)> store;
    std::function<int64_t(const TPlumoraConfigItem&)> read;
    int64_t expected;
  };
  const auto thumbnail = [](const TPlumoraConfigItem& c) { return c.ThumbnailSize2(); };
  const auto cache = [](const TPlumoraConfigItem& c) { return c.CacheMaxSizeMB(); };
  const auto quality = [](const TPlumoraConfigItem& c) { return c.CompressionQuality(); };
  const std::vector<Case> cases = {
      {"legacy step 3", [](Registry& r) { r.WriteInteger("CatalogSize", 3); }, thumbnail, 200},
      {"legacy step 0", [](Registry& r) { r.WriteInteger("CatalogSize", 0); }, thumbnail, 80},
      {"legacy pixels 300", [](Registry& r) { r.WriteInteger("CatalogSize", 300); }, thumbnail, 300},
      {"legacy pixels 500", [](Registry& r) { r.WriteInteger("CatalogSize", 500); }, thumbnail, 80},
      {"legacy pixels 79", [](Registry& r) { r.WriteInteger("CatalogSize", 79); }, thumbnail, 80},
      {"negative catalog size ignored", [](Registry& r) { r.WriteInteger("CatalogSize", -1); },
       [](const TPlumoraConfigItem& c) { return c.CatalogSize(); }, 0},
      {"stored size beats legacy",
       [](Registry& r) {
         r.WriteInteger("CatalogSize", 3);
         Bytes(r, "ThumbnailSize2", {160, 0});
       },
       thumbnail, 160},
      {"one-byte size ignored, no legacy",
       [](Registry& r) {
         r.WriteInteger("CatalogSize", 3);
         Bytes(r, "ThumbnailSize2", {200});
       },
       thumbnail, 80},
      {"16-bit size little-endian",
       [](Registry& r) {
         Bytes(r, "ThumbnailSize2", {0xe0, 0x01});
       },
       thumbnail, 480},
      {"cache above the limit", [](Registry& r) { r.WriteInteger("CacheMaxSizeMB", 16001); }, cache, 1000},
      {"cache at the limit", [](Registry& r) { r.WriteInteger("CacheMaxSizeMB", 16000); }, cache, 16000},
      {"negative cache", [](Registry& r) { r.WriteInteger("CacheMaxSizeMB", -5); }, cache, 1000},
      {"zero cache", [](Registry& r) { r.WriteInteger("CacheMaxSizeMB", 0); }, cache, 0},
      {"quality low byte", [](Registry& r) { r.WriteInteger("CompressionQuality", 0x1234); }, quality, 0x34},
      {"quality 0 as stored", [](Registry& r) { r.WriteInteger("CompressionQuality", 0); }, quality, 0},
      {"sort type byte", [](Registry& r) { Bytes(r, "SortType", {0}); },
       [](const TPlumoraConfigItem& c) { return c.SortType(); }, 0},
      {"empty sort type ignored", [](Registry& r) { Bytes(r, "SortType", {}); },
       [](const TPlumoraConfigItem& c) { return c.SortType(); }, 2},
      {"short date-time ignored",
       [](Registry& r) {
         Bytes(r, "LastViewDate", {1, 2, 3, 4});
       },
       [](const TPlumoraConfigItem& c) { return static_cast<int64_t>(c.LastViewDate()); }, 0},
      {"boolean not 0 is true", [](Registry& r) { r.WriteInteger("ShowAddrBar", 7); },
       [](const TPlumoraConfigItem& c) { return c.ShowAddrBar(); }, 1},
  };
  for (const auto& c : cases) {
    Registry reg(Hive::kCurrentUser);
    reg.DeleteKey("SOFTWARE");
    reg.OpenKey(kKey, true);
    c.store(reg);
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    EXPECT_EQ(c.read(config), c.expected) << c.name;
  }
}

TEST(ConfigItem, ValuesTooLongOrOfAnotherTypeFailTheLoad) {
  const std::vector<std::pair<const char*, std::function<void(Registry&)>>> cases = {
      {"4-byte thumbnail size",
       [](Registry& r) {
         Bytes(r, "ThumbnailSize2", {80, 0, 0, 0});
       }},
      {"2-byte sort type",
       [](Registry& r) {
         Bytes(r, "SortType", {0, 0});
       }},
      {"dword where a byte is stored", [](Registry& r) { r.WriteInteger("CacheKind", 1); }},
      {"string where a boolean is stored", [](Registry& r) { r.WriteString("SortUp", "1"); }},
      {"binary where an integer is stored",
       [](Registry& r) {
         Bytes(r, "TrayHeight", {1, 0, 0, 0});
       }},
      {"45-byte placement", [](Registry& r) { Bytes(r, "WindowPlacement", std::vector<uint8_t>(45)); }},
      {"integer in an import list",
       [](Registry& r) {
         r.OpenKey(kKey + "\\InportBackupPath", true);
         r.WriteInteger("Data_00", 1);
       }},
  };
  for (const auto& [name, store] : cases) {
    Registry reg(Hive::kCurrentUser);
    reg.DeleteKey("SOFTWARE");
    reg.OpenKey(kKey, true);
    store(reg);
    TPlumoraConfigItem config;
    EXPECT_THROW(config.LoadFromRegistry(), ERegistryException) << name;
  }
}

TEST(ConfigItem, SettersClampRefuseAndIgnoreEqualValues) {
  TPlumoraConfigItem config;
  const std::vector<std::pair<int, int>> qualities = {{0, 1}, {150, 100}, {-3, 1}, {1, 1}, {100, 100}, {55, 55}};
  for (const auto& [set, expected] : qualities) {
    config.SetCompressionQuality(set);
    EXPECT_EQ(config.CompressionQuality(), expected) << set;
  }
  for (int bad : {16001, -1}) {
    try {
      config.SetCacheMaxSizeMB(bad);
      ADD_FAILURE() << bad;
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), "キャッシュサイズが範囲を超えています。( " + std::to_string(bad) + " )");
    }
  }
  EXPECT_EQ(config.CacheMaxSizeMB(), 1000);
  config.SetCacheMaxSizeMB(16000);
  EXPECT_EQ(config.CacheMaxSizeMB(), 16000);

  // Setting the value a field already has leaves it a default.
  TPlumoraConfigItem fresh;
  fresh.SetTargetPanelW(320);
  fresh.SetSortUp(true);
  fresh.SetTrayHeight(10);
  const auto views = ByName(fresh.Describe());
  EXPECT_EQ(views.at("TargetPanelW").source, ConfigSource::kDefault);
  EXPECT_EQ(views.at("SortUp").source, ConfigSource::kDefault);
  EXPECT_EQ(views.at("TrayHeight").source, ConfigSource::kSet);
  fresh.SetDefaults();
  EXPECT_EQ(fresh.TrayHeight(), 0);
}

TEST(ConfigItem, StoredValuesOutsideTheirUseAreAppliedSafely) {
  struct Case {
    int stored_size, size_used;
    int stored_quality, quality_used;
  };
  for (const Case& c : std::vector<Case>{{0, 80, 0, 1}, {481, 80, 255, 100}, {200, 200, 75, 75}, {80, 80, 1, 1}}) {
    Registry reg = SettingsKey();
    const uint8_t size[2] = {static_cast<uint8_t>(c.stored_size & 0xff), static_cast<uint8_t>(c.stored_size >> 8)};
    reg.WriteBinaryData("ThumbnailSize2", size, 2);
    reg.WriteInteger("CompressionQuality", c.stored_quality);
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    EXPECT_EQ(config.ThumbnailSize2(), c.stored_size);
    EXPECT_EQ(config.ThumbnailSize(), c.size_used) << c.stored_size;
    EXPECT_EQ(config.CompressionQuality(), c.stored_quality);
    EXPECT_EQ(config.JpegQuality(), c.quality_used) << c.stored_quality;
  }
}

TEST(ConfigItem, ImportListsReplaceWhatTheKeyHeld) {
  Registry reg = SettingsKey();
  reg.OpenKey(kKey + "\\InportViewerPath", true);
  for (const char* name : {"Data_00", "Data_01", "Data_02", "stray"}) reg.WriteString(name, name);
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  EXPECT_EQ(config.InportViewerPath(), (std::vector<std::string>{"Data_00", "Data_01", "Data_02", "stray"}));
  config.SetInportViewerPath({"/only"});
  config.SaveToRegistry();
  reg.OpenKey(kKey + "\\InportViewerPath", false);
  EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"Data_00"});
  EXPECT_EQ(reg.ReadString("Data_00"), "/only");
}

TEST(ConfigItem, TheEngineConfigurationKeepsToItsOwnKey) {
  TOstraConfigItem engine;
  engine.SetCacheKind(0);
  engine.SaveToRegistry();
  Registry reg(Hive::kCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\Morvane\\Ostra\\Config"));
  EXPECT_EQ(reg.GetValueNames().size(), 10u);
  EXPECT_FALSE(reg.KeyExists(kKey));
  TPlumoraConfigItem app;
  app.LoadFromRegistry();
  EXPECT_EQ(app.CacheKind(), 1);
}

}  // namespace
}  // namespace plb
