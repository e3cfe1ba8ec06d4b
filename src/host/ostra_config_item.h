#pragma once
// The engine's configuration: the folders and file names derived from the vendor and product
// words, and the engine settings stored in the settings key of the per-user hive.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/config_values.h"

namespace plb {

class TOstraConfigItem {
 public:
  static constexpr const char* kVendorName = "Morvane";
  static constexpr const char* kProductName = "Ostra";
  // "SOFTWARE\\" + vendor + "\\" + product, and that followed by "\\Config".
  static std::string ProductKeyOf(const std::string& vendor, const std::string& product);
  static std::string SettingsKeyOf(const std::string& vendor, const std::string& product);
  static std::string ClassProductKey() { return ProductKeyOf(kVendorName, kProductName); }
  static std::string ClassSettingsKey() { return SettingsKeyOf(kVendorName, kProductName); }

  // The largest thumbnail cache, in megabytes.
  static constexpr int32_t kMaxCacheSizeMB = 16000;

  TOstraConfigItem();
  virtual ~TOstraConfigItem() = default;
  TOstraConfigItem(const TOstraConfigItem&) = delete;
  TOstraConfigItem& operator=(const TOstraConfigItem&) = delete;

  virtual void SetDefaults();
  // Writes every value to the settings key, creating it; registry errors pass on.
  virtual void SaveToRegistry();
  // Reads the values that exist in the settings key; a missing key keeps the defaults.
  virtual void LoadFromRegistry();
  virtual std::string VendorName() const { return kVendorName; }
  virtual std::string ProductName() const { return kProductName; }
  std::string ProductKey() const { return ProductKeyOf(VendorName(), ProductName()); }
  std::string SettingsKey() const { return SettingsKeyOf(VendorName(), ProductName()); }

  // "<application data>/<vendor>/<product>/", and "Data" and "Log" below it (without "/").
  const std::string& BaseFolder() const { return base_folder_; }
  const std::string& DataFolder() const { return data_folder_; }
  const std::string& LogFolder() const { return log_folder_; }
  std::string FolderTreeFile() const { return data_folder_ + "/OstraData.qdb"; }
  std::string AlbumFile() const { return data_folder_ + "/OstraGroup.qdb"; }
  std::string HistoryFile() const { return data_folder_ + "/OstraHistory.qdb"; }

  uint8_t SortType() const { return static_cast<uint8_t>(values_.Number(kSortType)); }
  void SetSortType(uint8_t v) { values_.SetNumber(kSortType, v); }
  bool SortUp() const { return values_.Number(kSortUp) != 0; }
  void SetSortUp(bool v) { values_.SetNumber(kSortUp, v); }
  int32_t CatalogSize() const { return static_cast<int32_t>(values_.Number(kCatalogSize)); }
  void SetCatalogSize(int32_t v) { values_.SetNumber(kCatalogSize, v); }
  // The stored thumbnail edge length, written back as it is.
  uint16_t ThumbnailSize2() const { return static_cast<uint16_t>(values_.Number(kThumbnailSize2)); }
  void SetThumbnailSize2(uint16_t v) { values_.SetNumber(kThumbnailSize2, v); }
  // The edge length to draw with: the stored one when it lies in 80 to 480, else 80.
  int ThumbnailSize() const;
  uint16_t InfoTypes() const { return static_cast<uint16_t>(values_.Number(kInfoTypes)); }
  void SetInfoTypes(uint16_t v) { values_.SetNumber(kInfoTypes, v); }
  uint8_t MakeCatalogOptions() const { return static_cast<uint8_t>(values_.Number(kMakeCatalogOptions)); }
  void SetMakeCatalogOptions(uint8_t v) { values_.SetNumber(kMakeCatalogOptions, v); }
  uint8_t CacheKind() const { return static_cast<uint8_t>(values_.Number(kCacheKind)); }
  void SetCacheKind(uint8_t v) { values_.SetNumber(kCacheKind, v); }
  int32_t CacheMaxSizeMB() const { return static_cast<int32_t>(values_.Number(kCacheMaxSizeMB)); }
  // Raises ERangeError "キャッシュサイズが範囲を超えています。( %d )" above 16000 or below 0.
  void SetCacheMaxSizeMB(int32_t v);
  bool DontCheckNetwork() const { return values_.Number(kDontCheckNetwork) != 0; }
  void SetDontCheckNetwork(bool v) { values_.SetNumber(kDontCheckNetwork, v); }
  // The stored JPEG quality (as loaded: the low byte of the stored number).
  int32_t CompressionQuality() const { return static_cast<int32_t>(values_.Number(kCompressionQuality)); }
  // Clamps to 1 to 100.
  void SetCompressionQuality(int32_t v);
  // The quality to encode with: the stored one brought into 1 to 100.
  int JpegQuality() const;

  // Every value with its current text and where it came from.
  virtual std::vector<ConfigValueView> Describe() const { return values_.Describe(); }

 protected:
  // For derived classes with their own words: the folders follow the words.
  TOstraConfigItem(const std::string& vendor, const std::string& product);
  // Held for the whole of a save or a load.
  std::recursive_mutex& SaveLock() const { return save_mutex_; }

 private:
  enum Field : size_t {
    kSortType,
    kSortUp,
    kCatalogSize,
    kThumbnailSize2,
    kInfoTypes,
    kMakeCatalogOptions,
    kCacheKind,
    kCacheMaxSizeMB,
    kDontCheckNetwork,
    kCompressionQuality,
  };
  static const std::vector<ConfigField>& Fields();
  void LoadLegacyThumbnailSize(Registry& registry);

  std::string base_folder_, data_folder_, log_folder_;
  mutable std::recursive_mutex save_mutex_;
  ConfigValues values_;
};

}  // namespace plb
