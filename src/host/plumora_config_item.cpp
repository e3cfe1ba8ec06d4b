#include "host/plumora_config_item.h"

#include <mutex>

namespace plb {
namespace {

const char* const kInportViewerPathKey = "InportViewerPath";
const char* const kInportBackupPathKey = "InportBackupPath";

}  // namespace

const std::vector<ConfigField>& TPlumoraConfigItem::Fields() {
  static const std::vector<ConfigField> fields = {
      {"ShortCutCreated", ConfigFieldKind::kBool, 0},     {"SampleTagAdded", ConfigFieldKind::kBool, 0},
      {"MyVideoFolderAdded", ConfigFieldKind::kBool, 0},  {"WindowPlacement", ConfigFieldKind::kPlacement},
      {"TargetPanelW", ConfigFieldKind::kInteger, 320},   {"ToolPanelW", ConfigFieldKind::kInteger, 320},
      {"TrayHeight", ConfigFieldKind::kInteger, 0},       {"CatalogSize2", ConfigFieldKind::kByte, 1},
      {"LastViewDate", ConfigFieldKind::kDateTime},       {"CursorMode", ConfigFieldKind::kByte, 0},
      {"ViewImageSize", ConfigFieldKind::kByte, 0},       {"AlwaysShowTitleRow2", ConfigFieldKind::kBool, 0},
      {"NeedBgmLibrarySetup", ConfigFieldKind::kBool, 1}, {"UseBackgroundUpload", ConfigFieldKind::kBool, 1},
      {"NeedHiddenDirectory", ConfigFieldKind::kBool, 0}, {"CloseAfterUpload", ConfigFieldKind::kBool, 0},
      {"OpenUrlInHome", ConfigFieldKind::kBool, 1},       {"ClearIdAfterUpload", ConfigFieldKind::kBool, 0},
      {"ShowAddrBar", ConfigFieldKind::kBool, 0},         {"ShowMainMenu", ConfigFieldKind::kBool, 0},
  };
  return fields;
}

TPlumoraConfigItem::TPlumoraConfigItem() : TOstraConfigItem(kVendorName, kProductName), values_(Fields()) {}

void TPlumoraConfigItem::SetDefaults() {
  TOstraConfigItem::SetDefaults();
  values_.SetDefaults();
  std::unique_lock lock(lists_mutex_);
  inport_viewer_path_.clear();
  inport_backup_path_.clear();
  lists_stored_ = false;
}

void TPlumoraConfigItem::SaveToRegistry() {
  std::lock_guard lock(SaveLock());
  Registry registry(Hive::kCurrentUser);
  SettingsStore::Batch batch(registry.Store());
  TOstraConfigItem::SaveToRegistry();
  if (!registry.OpenKey(SettingsKey(), true)) {
    throw ERegistryException("Failed to create key " + SettingsKey());
  }
  values_.Save(registry);
  std::vector<std::string> viewer, backup;
  {
    std::shared_lock lists(lists_mutex_);
    viewer = inport_viewer_path_;
    backup = inport_backup_path_;
  }
  SaveStringList(registry, SettingsKey() + "\\" + kInportViewerPathKey, viewer);
  SaveStringList(registry, SettingsKey() + "\\" + kInportBackupPathKey, backup);
  batch.Commit();
}

void TPlumoraConfigItem::LoadFromRegistry() {
  std::lock_guard lock(SaveLock());
  TOstraConfigItem::LoadFromRegistry();
  Registry registry(Hive::kCurrentUser);
  if (!registry.OpenKeyReadOnly(SettingsKey())) return;
  values_.Load(registry);
  auto viewer = LoadStringList(registry, SettingsKey() + "\\" + kInportViewerPathKey);
  auto backup = LoadStringList(registry, SettingsKey() + "\\" + kInportBackupPathKey);
  const bool stored = registry.KeyExists(SettingsKey() + "\\" + kInportViewerPathKey) ||
                      registry.KeyExists(SettingsKey() + "\\" + kInportBackupPathKey);
  std::unique_lock lists(lists_mutex_);
  inport_viewer_path_ = std::move(viewer);
  inport_backup_path_ = std::move(backup);
  lists_stored_ = stored;
}

std::vector<std::string> TPlumoraConfigItem::InportViewerPath() const {
  std::shared_lock lock(lists_mutex_);
  return inport_viewer_path_;
}

void TPlumoraConfigItem::SetInportViewerPath(const std::vector<std::string>& folders) {
  std::unique_lock lock(lists_mutex_);
  inport_viewer_path_ = folders;
}

std::vector<std::string> TPlumoraConfigItem::InportBackupPath() const {
  std::shared_lock lock(lists_mutex_);
  return inport_backup_path_;
}

void TPlumoraConfigItem::SetInportBackupPath(const std::vector<std::string>& folders) {
  std::unique_lock lock(lists_mutex_);
  inport_backup_path_ = folders;
}

std::vector<ConfigValueView> TPlumoraConfigItem::Describe() const {
  std::vector<ConfigValueView> views = TOstraConfigItem::Describe();
  for (auto& view : values_.Describe()) views.push_back(std::move(view));
  std::shared_lock lock(lists_mutex_);
  const auto join = [](const std::vector<std::string>& list) {
    std::string text;
    for (const auto& item : list) text += (text.empty() ? "" : ";") + item;
    return text;
  };
  const ConfigSource source = lists_stored_ ? ConfigSource::kStored : ConfigSource::kDefault;
  views.push_back({kInportViewerPathKey, join(inport_viewer_path_), source});
  views.push_back({kInportBackupPathKey, join(inport_backup_path_), source});
  return views;
}

}  // namespace plb
