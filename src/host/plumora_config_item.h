#pragma once
// The application's configuration: the engine settings of TOstraConfigItem under the product word
// "PlumoraBrowser", plus the window, panel, viewer and option values and the two import lists.
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <vector>

#include "host/config_values.h"
#include "host/ostra_config_item.h"

namespace plb {

class TPlumoraConfigItem : public TOstraConfigItem {
 public:
  static constexpr const char* kProductName = "PlumoraBrowser";
  static std::string ClassProductKey() { return ProductKeyOf(kVendorName, kProductName); }
  static std::string ClassSettingsKey() { return SettingsKeyOf(kVendorName, kProductName); }

  TPlumoraConfigItem();

  void SetDefaults() override;
  void SaveToRegistry() override;
  void LoadFromRegistry() override;
  std::string ProductName() const override { return kProductName; }

  std::string BgmLibraryFile() const { return DataFolder() + "/BgmLib.qdb"; }

  bool ShortCutCreated() const { return Bool(kShortCutCreated); }
  void SetShortCutCreated(bool v) { values_.SetNumber(kShortCutCreated, v); }
  bool SampleTagAdded() const { return Bool(kSampleTagAdded); }
  void SetSampleTagAdded(bool v) { values_.SetNumber(kSampleTagAdded, v); }
  bool MyVideoFolderAdded() const { return Bool(kMyVideoFolderAdded); }
  void SetMyVideoFolderAdded(bool v) { values_.SetNumber(kMyVideoFolderAdded, v); }
  // The 44-byte placement record of the main window (eleven little-endian 32-bit fields).
  std::string WindowPlacement() const { return values_.Placement(kWindowPlacement); }
  // A shorter record is padded with zeros, a longer one cut.
  void SetWindowPlacement(const std::string& record) { values_.SetPlacement(kWindowPlacement, record); }
  int32_t TargetPanelW() const { return Int(kTargetPanelW); }
  void SetTargetPanelW(int32_t v) { values_.SetNumber(kTargetPanelW, v); }
  int32_t ToolPanelW() const { return Int(kToolPanelW); }
  void SetToolPanelW(int32_t v) { values_.SetNumber(kToolPanelW, v); }
  int32_t TrayHeight() const { return Int(kTrayHeight); }
  void SetTrayHeight(int32_t v) { values_.SetNumber(kTrayHeight, v); }
  uint8_t CatalogSize2() const { return static_cast<uint8_t>(Int(kCatalogSize2)); }
  void SetCatalogSize2(uint8_t v) { values_.SetNumber(kCatalogSize2, v); }
  double LastViewDate() const { return values_.DateTime(kLastViewDate); }
  void SetLastViewDate(double v) { values_.SetDateTime(kLastViewDate, v); }
  uint8_t CursorMode() const { return static_cast<uint8_t>(Int(kCursorMode)); }
  void SetCursorMode(uint8_t v) { values_.SetNumber(kCursorMode, v); }
  uint8_t ViewImageSize() const { return static_cast<uint8_t>(Int(kViewImageSize)); }
  void SetViewImageSize(uint8_t v) { values_.SetNumber(kViewImageSize, v); }
  bool AlwaysShowTitleRow2() const { return Bool(kAlwaysShowTitleRow2); }
  void SetAlwaysShowTitleRow2(bool v) { values_.SetNumber(kAlwaysShowTitleRow2, v); }
  bool NeedBgmLibrarySetup() const { return Bool(kNeedBgmLibrarySetup); }
  void SetNeedBgmLibrarySetup(bool v) { values_.SetNumber(kNeedBgmLibrarySetup, v); }
  bool UseBackgroundUpload() const { return Bool(kUseBackgroundUpload); }
  void SetUseBackgroundUpload(bool v) { values_.SetNumber(kUseBackgroundUpload, v); }
  bool NeedHiddenDirectory() const { return Bool(kNeedHiddenDirectory); }
  void SetNeedHiddenDirectory(bool v) { values_.SetNumber(kNeedHiddenDirectory, v); }
  bool CloseAfterUpload() const { return Bool(kCloseAfterUpload); }
  void SetCloseAfterUpload(bool v) { values_.SetNumber(kCloseAfterUpload, v); }
  bool OpenUrlInHome() const { return Bool(kOpenUrlInHome); }
  void SetOpenUrlInHome(bool v) { values_.SetNumber(kOpenUrlInHome, v); }
  bool ClearIdAfterUpload() const { return Bool(kClearIdAfterUpload); }
  void SetClearIdAfterUpload(bool v) { values_.SetNumber(kClearIdAfterUpload, v); }
  bool ShowAddrBar() const { return Bool(kShowAddrBar); }
  void SetShowAddrBar(bool v) { values_.SetNumber(kShowAddrBar, v); }
  bool ShowMainMenu() const { return Bool(kShowMainMenu); }
  void SetShowMainMenu(bool v) { values_.SetNumber(kShowMainMenu, v); }

  // The folders of the sibling product's viewer data and backups (subkeys "InportViewerPath" and
  // "InportBackupPath").
  std::vector<std::string> InportViewerPath() const;
  void SetInportViewerPath(const std::vector<std::string>& folders);
  std::vector<std::string> InportBackupPath() const;
  void SetInportBackupPath(const std::vector<std::string>& folders);

  std::vector<ConfigValueView> Describe() const override;

 private:
  enum Field : size_t {
    kShortCutCreated,
    kSampleTagAdded,
    kMyVideoFolderAdded,
    kWindowPlacement,
    kTargetPanelW,
    kToolPanelW,
    kTrayHeight,
    kCatalogSize2,
    kLastViewDate,
    kCursorMode,
    kViewImageSize,
    kAlwaysShowTitleRow2,
    kNeedBgmLibrarySetup,
    kUseBackgroundUpload,
    kNeedHiddenDirectory,
    kCloseAfterUpload,
    kOpenUrlInHome,
    kClearIdAfterUpload,
    kShowAddrBar,
    kShowMainMenu,
  };
  static const std::vector<ConfigField>& Fields();
  bool Bool(Field f) const { return values_.Number(f) != 0; }
  int32_t Int(Field f) const { return static_cast<int32_t>(values_.Number(f)); }

  ConfigValues values_;
  mutable std::shared_mutex lists_mutex_;
  std::vector<std::string> inport_viewer_path_, inport_backup_path_;
  bool lists_stored_ = false;
};

}  // namespace plb
