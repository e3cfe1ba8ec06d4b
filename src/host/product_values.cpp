#include "host/product_values.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "platform/mime_apps.h"
#include "platform/settings_store.h"

namespace plb {
namespace {

std::string InstallerInfosKey() {
  return TPlumoraConfigItem::ClassProductKey() + "\\installerInfos";
}

// One access to the product's settings. These values are extras the program works without, and
// the machine-wide file is not the user's to write: a failure (a file that cannot be read or
// written, a value of another type) is logged with what was asked, and fallback is the answer.
template <typename T, typename Access>
T Quietly(std::string_view operation, const std::string& what, T fallback, Access&& access) {
  try {
    return access();
  } catch (const std::exception& e) {
    LogFailure(operation, what, e);
    return fallback;
  }
}

// Reads one string value; a missing one, and every failure, reads as the empty text.
std::string ReadQuietly(Hive hive, const std::string& key, const std::string& name) {
  return Quietly<std::string>("ReadSetting", key + "\\" + name, "", [&] {
    Registry registry(hive);
    return registry.OpenKeyReadOnly(key) ? registry.ReadString(name) : "";
  });
}

// Writes one string value; a failure writes nothing.
void WriteQuietly(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  Quietly<bool>("WriteSetting", key + "\\" + name, false, [&] {
    Registry registry(hive);
    if (!registry.OpenKey(key, true)) return false;
    registry.WriteString(name, value);
    return true;
  });
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string WithoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool ExistsQuietly(Hive hive, const std::string& key, const std::string& name) {
  return Quietly<bool>("ReadSetting", key + "\\" + name, false, [&] {
    Registry registry(hive);
    return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
  });
}

}  // namespace

std::vector<ConfigValueView> DescribeProductValues() {
  const std::string product = TPlumoraConfigItem::ClassProductKey();
  const std::string settings = TPlumoraConfigItem::ClassSettingsKey();
  const auto view = [](const std::string& name, const std::string& text, bool stored) {
    return ConfigValueView{name, text, stored ? ConfigSource::kStored : ConfigSource::kDefault};
  };
  std::vector<ConfigValueView> views = {
      view("machine:WindowTitle", ReadWindowTitle(), ExistsQuietly(Hive::kLocalMachine, product, "WindowTitle")),
      view("machine:DefaultAppInfoUrl", ReadDefaultAppInfoUrl(),
           ExistsQuietly(Hive::kLocalMachine, product, "DefaultAppInfoUrl")),
      view("machine:SupportMovieType", ReadMachineSupportMovieType(),
           ExistsQuietly(Hive::kLocalMachine, product, "SupportMovieType")),
      view("machine:installerInfos\\ignoreMovie", ReadIgnoreMovie() ? "true" : "false",
           ExistsQuietly(Hive::kLocalMachine, InstallerInfosKey(), "ignoreMovie")),
      view("machine:UninstallerInfos\\url", ReadUninstallerUrl(),
           ExistsQuietly(Hive::kLocalMachine, product + "\\UninstallerInfos", "url")),
      view("SuccessedVersion", ReadSuccessedVersion(), ExistsQuietly(Hive::kCurrentUser, product, "SuccessedVersion")),
      view("SupportMovieType", ReadSupportMovieType(), ExistsQuietly(Hive::kCurrentUser, settings, "SupportMovieType")),
      view("SupportMovieTypeUser", ReadSupportMovieTypeUser(),
           ExistsQuietly(Hive::kCurrentUser, settings, "SupportMovieTypeUser")),
      view("SupportMovieTypeExternal", ReadSupportMovieTypeExternal(),
           ExistsQuietly(Hive::kCurrentUser, settings, "SupportMovieTypeExternal")),
  };
  std::string eye_fi;
  bool eye_fi_stored = false;
  try {
    for (const auto& folder : LoadEyeFiFolders()) eye_fi += (eye_fi.empty() ? "" : ";") + folder;
    eye_fi_stored = Registry(Hive::kCurrentUser).KeyExists(settings + "\\Eye-Fi");
  } catch (const std::exception& e) {
    eye_fi = std::string("(unreadable: ") + e.what() + ")";
  }
  views.push_back(view("Eye-Fi", eye_fi, eye_fi_stored));
  return views;
}

std::string ReadWindowTitle() {
  const std::string title = ReadQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey(), "WindowTitle");
  return title.empty() ? kDefaultWindowTitle : title;
}

std::string ReadSuccessedVersion() {
  return ReadQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassProductKey(), "SuccessedVersion");
}

void WriteSuccessedVersion(const std::string& version) {
  WriteQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassProductKey(), "SuccessedVersion", version);
}

std::string ReadDefaultAppInfoUrl() {
  return ReadQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey(), "DefaultAppInfoUrl");
}

void WriteDefaultAppInfoUrl(const std::string& url) {
  WriteQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey(), "DefaultAppInfoUrl", url);
}

std::string ReadUninstallerUrl() {
  return ReadQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey() + "\\UninstallerInfos", "url");
}

void WriteUninstallerUrl(const std::string& url) {
  WriteQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey() + "\\UninstallerInfos", "url", url);
}

std::string ReadMachineSupportMovieType() {
  return ReadQuietly(Hive::kLocalMachine, TPlumoraConfigItem::ClassProductKey(), "SupportMovieType");
}

std::string ReadSupportMovieType() {
  return ReadQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieType");
}

void WriteSupportMovieType(const std::string& types) {
  WriteQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieType", types);
}

std::string ReadSupportMovieTypeUser() {
  return ReadQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieTypeUser");
}

void WriteSupportMovieTypeUser(const std::string& types) {
  WriteQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieTypeUser", types);
}

std::string ReadSupportMovieTypeExternal() {
  return ReadQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieTypeExternal");
}

void WriteSupportMovieTypeExternal(const std::string& types) {
  WriteQuietly(Hive::kCurrentUser, TPlumoraConfigItem::ClassSettingsKey(), "SupportMovieTypeExternal", types);
}

std::string SystemMovieTypes() {
  return UnionOfTypeLists({ReadMachineSupportMovieType(), ReadSupportMovieType()});
}

bool ReadIgnoreMovie() {
  return Quietly<bool>("ReadSetting", InstallerInfosKey() + "\\ignoreMovie", false, [] {
    Registry registry(Hive::kLocalMachine);
    if (!registry.OpenKeyReadOnly(InstallerInfosKey())) return false;
    switch (registry.GetDataType("ignoreMovie")) {
      case ValueType::kString:
        return AsciiLowered(registry.ReadString("ignoreMovie")) == "1";
      case ValueType::kDword:
        return registry.ReadInteger("ignoreMovie") == 1;
      default:
        return false;
    }
  });
}

std::vector<std::string> LoadInstallerInfos() {
  Registry registry(Hive::kLocalMachine);
  return LoadNameValueList(registry, InstallerInfosKey());
}

std::vector<std::string> LoadInstallerHistory() {
  Registry registry(Hive::kLocalMachine);
  return LoadNameValueList(registry, InstallerInfosKey() + "\\history");
}

std::vector<std::string> LoadEyeFiFolders() {
  Registry registry(Hive::kCurrentUser);
  return LoadStringList(registry, TPlumoraConfigItem::ClassSettingsKey() + "\\Eye-Fi");
}

bool AddEyeFiFolders(const std::vector<std::string>& folders) {
  Registry registry(Hive::kCurrentUser);
  SettingsStore::Batch batch(registry.Store());
  const std::string key = TPlumoraConfigItem::ClassSettingsKey() + "\\Eye-Fi";
  std::vector<std::string> list = LoadStringList(registry, key);
  bool added = false;
  for (const auto& folder : folders) {
    const std::string clean = WithoutTrailingSlashes(folder);
    if (clean.empty() || std::find(list.begin(), list.end(), clean) != list.end()) continue;
    list.push_back(clean);
    added = true;
  }
  if (!added) return false;
  SaveStringList(registry, key, list);
  batch.Commit();
  return true;
}

std::string UnionOfTypeLists(const std::vector<std::string>& lists) {
  std::vector<std::string> seen;
  std::string joined;
  for (const auto& list : lists) {
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      const std::string item = Trim(list.substr(start, end - start));
      start = end + 1;
      if (item.empty() || std::find(seen.begin(), seen.end(), AsciiLowered(item)) != seen.end()) continue;
      seen.push_back(AsciiLowered(item));
      joined += (joined.empty() ? "" : ",") + item;
    }
  }
  return joined;
}

MovieKinds AssembleMovieKinds(const TOstraConfigItem& config, const HasRegisteredProgram& has_program) {
  MovieKinds kinds;
  if (!dynamic_cast<const TPlumoraConfigItem*>(&config)) {
    kinds.extensions = ".avi;.mpg;.mpeg;.wmv";
  } else if (!ReadIgnoreMovie()) {
    kinds.extensions =
        UnionOfTypeLists({ReadMachineSupportMovieType(), ReadSupportMovieType(), ReadSupportMovieTypeUser()});
    if (kinds.extensions.find("mov") != std::string::npos) {
      // Whether a player is registered only adds to a list; a failed look leaves it as it is.
      Quietly<bool>("AssembleMovieKinds", "mov", false, [&] {
        std::string external = ReadSupportMovieTypeExternal();
        if (external.find("mov") != std::string::npos || !has_program || !has_program("dummy.mov")) return false;
        external += external.empty() ? "mov" : ",mov";
        WriteSupportMovieTypeExternal(external);
        return true;
      });
    }
  }
  std::replace(kinds.extensions.begin(), kinds.extensions.end(), ',', ';');
  kinds.supported = !kinds.extensions.empty();
  return kinds;
}

MovieKinds AssembleMovieKinds(const TOstraConfigItem& config) {
  return AssembleMovieKinds(config, [](const std::string& name) { return platform::IsProgramRegisteredFor(name); });
}

}  // namespace plb
