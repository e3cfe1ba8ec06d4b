#include "host/uploader_options.h"

#include <filesystem>
#include <mutex>
#include <shared_mutex>

#include "host/ini_file.h"
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

// Each value read on its own, so one value of a wrong type does not hide the others.
void ReadRegistry(TUploaderOptions& options) {
  Registry registry(Hive::kCurrentUser);
  try {
    if (!registry.OpenKeyReadOnly(UploaderOptionsKey())) return;
  } catch (...) {
    return;
  }
  const auto read_bool = [&](const char* name, bool& into) {
    try {
      if (registry.ValueExists(name)) into = registry.ReadBool(name);
    } catch (...) {
    }
  };
  const auto read_int = [&](const char* name, int& into) {
    try {
      if (registry.ValueExists(name)) into = registry.ReadInteger(name);
    } catch (...) {
    }
  };
  read_bool("UseOption", options.use_option);
  read_bool("AllowParallel", options.allow_parallel);
  read_int("ConnectTimeout", options.connect_timeout);
  read_int("ReadTimeout", options.read_timeout);
  read_int("MaxUploaderCount", options.max_uploader_count);
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
  ReadRegistry(options);
  IniFile ini;
  const bool file = ini.Load(debug_ini_path);
  Registry registry(Hive::kCurrentUser);
  bool key = false;
  try {
    key = registry.OpenKeyReadOnly(UploaderOptionsKey());
  } catch (...) {
  }
  const auto view = [&](const char* name, const std::string& text) {
    ConfigSource source = file ? ConfigSource::kFile : ConfigSource::kDefault;
    try {
      if (key && registry.ValueExists(name)) source = ConfigSource::kStored;
    } catch (...) {
    }
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
