#include "host/uploader_options.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>
#include <shared_mutex>

#include "host/ascii_case.h"
#include "host/ini_file.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "host/program_file.h"
#include "platform/settings_store.h"

namespace plb {
namespace {

std::shared_mutex& OptionsMutex() {
  static std::shared_mutex mutex;
  return mutex;
}
TUploaderOptions& Options() {
  static TUploaderOptions options;
  return options;
}

void ReadDebugIni(const std::string& path, TUploaderOptions& options) {
  IniFile ini;
  if (!ini.Load(path)) return;
  options.use_option = ini.ReadBool("PLAPI", "UseOption", true);
  options.allow_parallel = ini.ReadBool("PLAPI", "AllowParallel", true);
  options.connect_timeout = ini.ReadInteger("PLAPI", "ConnectTimeout", 0);
  options.read_timeout = ini.ReadInteger("PLAPI", "ReadTimeout", 0);
  options.max_uploader_count = ini.ReadInteger("PLAPI", "MaxUploaderCount", 0);
}

// Overlays the values stored in the settings, each read on its own: a value of another type is
// passed over, so that it does not hide the others. Answers the names of the values the key holds.
// Settings that cannot be read at all leave the options as they were: uploads work with those.
std::vector<std::string> ReadRegistry(TUploaderOptions& options) {
  try {
    Registry registry(Hive::kCurrentUser);
    if (!registry.OpenKeyReadOnly(UploaderOptionsKey())) return {};
    const auto dword = [&](const char* name) -> std::optional<int32_t> {
      const auto value = registry.Store().Read(registry.CurrentPath(), name);
      if (!value || value->type != ValueType::kDword) return std::nullopt;
      return static_cast<int32_t>(value->dword);
    };
    if (const auto v = dword("UseOption")) options.use_option = *v != 0;
    if (const auto v = dword("AllowParallel")) options.allow_parallel = *v != 0;
    if (const auto v = dword("ConnectTimeout")) options.connect_timeout = *v;
    if (const auto v = dword("ReadTimeout")) options.read_timeout = *v;
    if (const auto v = dword("MaxUploaderCount")) options.max_uploader_count = *v;
    return registry.GetValueNames();
  } catch (const std::exception& e) {
    LogFailure("ReadUploaderOptions", e);
    return {};
  }
}

}  // namespace

std::string UploaderOptionsKey() {
  return TPlumoraConfigItem::ClassSettingsKey() + "\\upload";
}

void LoadUploaderOptions(const std::string& debug_ini_path) {
  TUploaderOptions options;
  ReadDebugIni(debug_ini_path, options);
  ReadRegistry(options);
  std::unique_lock lock(OptionsMutex());
  Options() = options;
}

std::vector<ConfigValueView> DescribeUploaderOptions(const std::string& debug_ini_path) {
  TUploaderOptions options;
  ReadDebugIni(debug_ini_path, options);
  const std::vector<std::string> stored = ReadRegistry(options);
  IniFile ini;
  const bool file = ini.Load(debug_ini_path);
  const auto view = [&](const char* name, const std::string& text) {
    ConfigSource source = file ? ConfigSource::kFile : ConfigSource::kDefault;
    if (std::any_of(stored.begin(), stored.end(), [&](const std::string& s) { return AsciiEqualsNoCase(s, name); }))
      source = ConfigSource::kStored;
    return ConfigValueView{std::string("upload\\") + name, text, source};
  };
  return {
      view("UseOption", options.use_option ? "true" : "false"),
      view("AllowParallel", options.allow_parallel ? "true" : "false"),
      view("ConnectTimeout", std::to_string(options.connect_timeout)),
      view("ReadTimeout", std::to_string(options.read_timeout)),
      view("MaxUploaderCount", std::to_string(options.max_uploader_count)),
  };
}

void LoadUploaderOptions() {
  LoadUploaderOptions(ProgramFolder() + "/debug.ini");
}

TUploaderOptions UploaderOptions() {
  std::shared_lock lock(OptionsMutex());
  return Options();
}

void SaveUploaderOptions(const TUploaderOptions& options) {
  {
    std::unique_lock lock(OptionsMutex());
    Options() = options;
  }
  Registry registry(Hive::kCurrentUser);
  SettingsStore::Batch batch(registry.Store());
  if (!registry.OpenKey(UploaderOptionsKey(), true))
    throw ERegistryException("Failed to create key " + UploaderOptionsKey());
  registry.WriteBool("UseOption", options.use_option);
  registry.WriteBool("AllowParallel", options.allow_parallel);
  registry.WriteInteger("ConnectTimeout", options.connect_timeout);
  registry.WriteInteger("ReadTimeout", options.read_timeout);
  registry.WriteInteger("MaxUploaderCount", options.max_uploader_count);
  batch.Commit();
}

}  // namespace plb
