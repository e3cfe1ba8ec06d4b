#include "host/ostra_config_item.h"

#include <algorithm>

#include "host/format.h"
#include "platform/special_folders.h"

namespace plb {
namespace {

// The legacy "CatalogSize" steps 0 to 4.
constexpr int kLegacyThumbnailSizes[] = {80, 120, 160, 200, 240};
constexpr int kMinThumbnailSize = 80;
constexpr int kMaxThumbnailSize = 480;

std::optional<int64_t> NotNegative(int64_t v) {
  return v >= 0 ? std::optional(v) : std::nullopt;
}
std::optional<int64_t> CacheSizeInRange(int64_t v) {
  return v >= 0 && v <= TOstraConfigItem::kMaxCacheSizeMB ? std::optional(v) : std::nullopt;
}
std::optional<int64_t> LowByte(int64_t v) {
  return v & 0xff;
}

}  // namespace

const std::vector<ConfigField>& TOstraConfigItem::Fields() {
  static const std::vector<ConfigField> fields = {
      {"SortType", ConfigFieldKind::kByte, 2},
      {"SortUp", ConfigFieldKind::kBool, 1},
      {"CatalogSize", ConfigFieldKind::kInteger, 0, NotNegative},
      {"ThumbnailSize2", ConfigFieldKind::kWord, 80},
      {"InfoTypes", ConfigFieldKind::kWord, 3},
      {"MakeCatalogOptions", ConfigFieldKind::kByte, 5},
      {"CacheKind", ConfigFieldKind::kByte, 1},
      {"CacheMaxSizeMB", ConfigFieldKind::kInteger, 1000, CacheSizeInRange},
      {"DontCheckNetwork", ConfigFieldKind::kBool, 0},
      {"CompressionQuality", ConfigFieldKind::kInteger, 90, LowByte},
  };
  return fields;
}

std::string TOstraConfigItem::ProductKeyOf(const std::string& vendor, const std::string& product) {
  return "SOFTWARE\\" + vendor + "\\" + product;
}

std::string TOstraConfigItem::SettingsKeyOf(const std::string& vendor, const std::string& product) {
  return ProductKeyOf(vendor, product) + "\\Config";
}

TOstraConfigItem::TOstraConfigItem() : TOstraConfigItem(kVendorName, kProductName) {}

TOstraConfigItem::TOstraConfigItem(const std::string& vendor, const std::string& product) : values_(Fields()) {
  base_folder_ = platform::SpecialFolderPath(platform::SpecialFolder::kAppData) + "/" + vendor + "/" + product + "/";
  data_folder_ = base_folder_ + "Data";
  log_folder_ = base_folder_ + "Log";
}

void TOstraConfigItem::SetDefaults() {
  values_.SetDefaults();
}

void TOstraConfigItem::SaveToRegistry() {
  std::lock_guard lock(save_mutex_);
  Registry registry(Hive::kCurrentUser);
  SettingsStore::Batch batch(registry.Store());
  if (!registry.OpenKey(SettingsKey(), true)) {
    throw ERegistryException("Failed to create key " + SettingsKey());
  }
  values_.Save(registry);
  batch.Commit();
}

void TOstraConfigItem::LoadFromRegistry() {
  std::lock_guard lock(save_mutex_);
  Registry registry(Hive::kCurrentUser);
  if (!registry.OpenKeyReadOnly(SettingsKey())) return;
  values_.Load(registry);
  LoadLegacyThumbnailSize(registry);
}

// Older versions stored a size step in "CatalogSize"; it fills the thumbnail size only when no
// "ThumbnailSize2" was ever stored.
void TOstraConfigItem::LoadLegacyThumbnailSize(Registry& registry) {
  if (registry.ValueExists("ThumbnailSize2")) return;
  const int32_t legacy = CatalogSize();
  const int size = legacy >= 0 && legacy <= 4 ? kLegacyThumbnailSizes[legacy] : legacy;
  if (size >= kMinThumbnailSize && size <= kMaxThumbnailSize) SetThumbnailSize2(static_cast<uint16_t>(size));
}

int TOstraConfigItem::ThumbnailSize() const {
  const int stored = ThumbnailSize2();
  return stored >= kMinThumbnailSize && stored <= kMaxThumbnailSize ? stored : kMinThumbnailSize;
}

void TOstraConfigItem::SetCacheMaxSizeMB(int32_t v) {
  if (v > kMaxCacheSizeMB || v < 0) throw ERangeError(Format("キャッシュサイズが範囲を超えています。( %d )", v));
  values_.SetNumber(kCacheMaxSizeMB, v);
}

void TOstraConfigItem::SetCompressionQuality(int32_t v) {
  values_.SetNumber(kCompressionQuality, std::clamp(v, 1, 100));
}

int TOstraConfigItem::JpegQuality() const {
  return std::clamp(CompressionQuality(), 1, 100);
}

}  // namespace plb
