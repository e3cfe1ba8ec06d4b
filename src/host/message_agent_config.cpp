#include "host/message_agent_config.h"

#include <algorithm>
#include <utility>

#include "host/error_forms.h"
#include "host/log_file.h"
#include "host/program_file.h"

namespace plb {
namespace {

const std::string kCurrentDataKey = std::string(TMessageAgentConfig::kRootKey) + "\\CurrentData";
const std::string kConfigKey = std::string(TMessageAgentConfig::kRootKey) + "\\Config";
const std::string kFlagKey = std::string(TMessageAgentConfig::kRootKey) + "\\Flag";

// Logged first, then raised: the agent's own refusals.
[[noreturn]] void Raise(const std::string& message) {
  EMessageAgentConfigError error(message);
  LogException(error);
  throw error;
}

std::string ListKey(const std::string& key_name) {
  return std::string(TMessageAgentConfig::kRootKey) + "\\" + key_name;
}

}  // namespace

// Runs body; an error of the store inside it is logged and raised again wrapped as
// "%s Raised in TMessageAgentConfig.<operation> ( %s )".
template <typename F>
auto TMessageAgentConfig::Guarded(const char* operation, F&& body) {
  std::lock_guard lock(mutex_);
  try {
    return body();
  } catch (const EMessageAgentConfigError&) {
    throw;
  } catch (const std::exception& e) {
    EMessageAgentConfigError wrapped(RaisedInMemberText("TMessageAgentConfig", operation, e));
    LogException(wrapped);
    throw wrapped;
  }
}

void TMessageAgentConfig::SetDefaults() {
  std::lock_guard lock(mutex_);
  current_ = {};
  settings_ = {};
}

TMessageAgentCurrentData TMessageAgentConfig::CurrentData() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void TMessageAgentConfig::SetCurrentData(const TMessageAgentCurrentData& data) {
  std::lock_guard lock(mutex_);
  current_ = data;
}

TMessageAgentSettings TMessageAgentConfig::Settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

void TMessageAgentConfig::SetSettings(const TMessageAgentSettings& settings) {
  std::lock_guard lock(mutex_);
  settings_ = settings;
}

void TMessageAgentConfig::LoadCurrentIdData() {
  Guarded("LoadCurrentIdData", [&] {
    Registry registry(Hive::kCurrentUser);
    if (!registry.OpenKeyReadOnly(kCurrentDataKey)) return;
    // Only the three together are current data.
    auto package_id = registry.TryReadString("PackageId");
    auto machine_id = registry.TryReadString("MachineId");
    auto user_id = registry.TryReadString("UserId");
    if (!package_id || !machine_id || !user_id) return;
    current_ = {std::move(*package_id), std::move(*machine_id), std::move(*user_id)};
  });
}

void TMessageAgentConfig::SaveCurrentIdData() {
  Guarded("SaveCurrentIdData", [&] {
    const TMessageAgentCurrentData data = current_;
    if (data.package_id.empty()) Raise("PackageId is Empty.");
    if (data.machine_id.empty()) Raise("MachineId is Empty.");
    if (data.user_id.empty()) Raise("UserId is Empty.");
    const std::string machine = data.package_id + ":" + data.machine_id;
    try {
      SaveIdList(Hive::kLocalMachine, "MachineId", machine);
    } catch (const EMessageAgentConfigError&) {
      SaveIdList(Hive::kCurrentUser, "MachineId", machine);
    }
    SaveIdList(Hive::kCurrentUser, "UserId", data.package_id + ":" + data.user_id);
    SaveIdList(Hive::kCurrentUser, "MachineUserId", data.package_id + ":" + data.machine_id + ":" + data.user_id);

    Registry registry(Hive::kCurrentUser);
    SettingsStore::Batch batch(registry.Store());
    if (!registry.OpenKey(kCurrentDataKey, true)) Raise("openKey failed.");
    registry.WriteString("PackageId", data.package_id);
    registry.WriteString("MachineId", data.machine_id);
    registry.WriteString("UserId", data.user_id);
    batch.Commit();
  });
}

void TMessageAgentConfig::LoadConfigData() {
  Guarded("LoadConfigData", [&] {
    Registry registry(Hive::kCurrentUser);
    if (!registry.OpenKeyReadOnly(kConfigKey)) return;
    TMessageAgentSettings s = settings_;
    const auto text = [&](const char* name, std::string& into) {
      if (auto value = registry.TryReadString(name)) into = std::move(*value);
    };
    const auto number = [&](const char* name, int& into) {
      if (const auto value = registry.TryReadInteger(name)) into = *value;
    };
    const auto flag = [&](const char* name, bool& into) {
      if (const auto value = registry.TryReadBool(name)) into = *value;
    };
    text("MachineId", s.machine_id);
    text("UserId", s.user_id);
    text("BaseUrl", s.base_url);
    text("Params", s.params);
    number("StartDelay", s.start_delay);
    number("RetryDelay", s.retry_delay);
    number("QueryInterval", s.query_interval);
    number("BalloonTime", s.balloon_time);
    text("PLBPath", s.plb_path);
    flag("FirstWakeupShown", s.first_wakeup_shown);
    text("FirstWakeupUrl", s.first_wakeup_url);
    number("FirstWakeupWidth", s.first_wakeup_width);
    number("FirstWakeupHeight", s.first_wakeup_height);
    flag("ShortCutIsCreated", s.short_cut_is_created);
    settings_ = s;
  });
}

void TMessageAgentConfig::SaveConfigData() {
  Guarded("SaveConfigData", [&] {
    settings_.plb_path = ProgramFilePath();
    const TMessageAgentSettings& s = settings_;
    Registry registry(Hive::kCurrentUser);
    SettingsStore::Batch batch(registry.Store());
    if (!registry.OpenKey(kConfigKey, true)) Raise("openKey failed.");
    registry.WriteString("MachineId", s.machine_id);
    registry.WriteString("UserId", s.user_id);
    registry.WriteString("BaseUrl", s.base_url);
    registry.WriteString("Params", s.params);
    registry.WriteInteger("StartDelay", s.start_delay);
    registry.WriteInteger("RetryDelay", s.retry_delay);
    registry.WriteInteger("QueryInterval", s.query_interval);
    registry.WriteInteger("BalloonTime", s.balloon_time);
    registry.WriteString("PLBPath", s.plb_path);
    registry.WriteBool("FirstWakeupShown", s.first_wakeup_shown);
    registry.WriteString("FirstWakeupUrl", s.first_wakeup_url);
    registry.WriteInteger("FirstWakeupWidth", s.first_wakeup_width);
    registry.WriteInteger("FirstWakeupHeight", s.first_wakeup_height);
    registry.WriteBool("ShortCutIsCreated", s.short_cut_is_created);
    batch.Commit();
  });
}

bool TMessageAgentConfig::GetSocketErrorRaised() {
  return Guarded("GetSocketErrorRaised", [&] {
    Registry registry(Hive::kCurrentUser);
    if (!registry.OpenKeyReadOnly(kFlagKey)) Raise("openKey failed.");
    const auto raised = registry.TryReadBool("SocketError");
    if (!raised) Raise("value is not exists.");
    return *raised;
  });
}

// Adds text to the list key_name unless a value equals it already. The new value is named by the
// first free number from the count of values on, so that a list with a removed entry never loses
// another one by reusing its name.
void TMessageAgentConfig::SaveIdList(Hive hive, const std::string& key_name, const std::string& text) {
  Guarded("SaveIdList", [&] {
    if (key_name.empty()) Raise("KeyName is Empty.");
    Registry registry(hive);
    SettingsStore::Batch batch(registry.Store());
    if (!registry.OpenKey(ListKey(key_name), true)) Raise("openKey failed.");
    const std::vector<std::string> names = registry.GetValueNames();
    for (const auto& name : names) {
      if (registry.GetDataType(name) == ValueType::kString && registry.ReadString(name) == text) return;
    }
    size_t number = names.size();
    while (registry.ValueExists(std::to_string(number))) ++number;
    registry.WriteString(std::to_string(number), text);
    batch.Commit();
  });
}

void TMessageAgentConfig::GetSimpleCommaText(Hive hive, const std::string& key_name,
                                             std::vector<std::string>* strings) {
  Guarded("GetSimpleCommaText", [&] {
    if (key_name.empty()) Raise("KeyName is Empty.");
    if (!strings) Raise("AStrings is nil.");
    Registry registry(hive);
    if (!registry.OpenKeyReadOnly(ListKey(key_name))) return;
    for (const auto& name : registry.GetValueNames()) strings->push_back(registry.ReadString(name));
  });
}

std::string TMessageAgentConfig::JoinedList(const std::vector<Hive>& hives, const std::string& key_name) {
  std::vector<std::string> entries;
  for (Hive hive : hives) GetSimpleCommaText(hive, key_name, &entries);
  std::vector<std::string> unique;
  std::string joined;
  for (const auto& entry : entries) {
    if (entry.empty() || std::find(unique.begin(), unique.end(), entry) != unique.end()) continue;
    unique.push_back(entry);
    joined += (joined.empty() ? "" : ",") + entry;
  }
  return joined;
}

std::string TMessageAgentConfig::GetMachineIdList() {
  return Guarded("GetMachineIdList", [&] {
    return JoinedList({Hive::kLocalMachine, Hive::kCurrentUser}, "MachineId");
  });
}

std::string TMessageAgentConfig::GetUserIdList() {
  return Guarded("GetUserIdList", [&] { return JoinedList({Hive::kCurrentUser}, "UserId"); });
}

std::string TMessageAgentConfig::GetMachineUserIdList() {
  return Guarded("GetMachineUserIdList", [&] { return JoinedList({Hive::kCurrentUser}, "MachineUserId"); });
}

void TMessageAgentConfig::SetFirstWakeup(const std::string& url, int width, int height) {
  Guarded("SetFirstWakeup", [&] {
    Registry registry(Hive::kCurrentUser);
    SettingsStore::Batch batch(registry.Store());
    std::string stored_url;
    int stored_width = 0, stored_height = 0;
    if (registry.OpenKeyReadOnly(kConfigKey)) {
      stored_url = registry.ReadString("FirstWakeupUrl");
      stored_width = registry.TryReadInteger("FirstWakeupWidth").value_or(0);
      stored_height = registry.TryReadInteger("FirstWakeupHeight").value_or(0);
    }
    if (url == stored_url || width == stored_width || height == stored_height) return;
    if (!registry.OpenKey(kConfigKey, true)) Raise("openKey failed.");
    registry.WriteString("FirstWakeupUrl", url);
    registry.WriteInteger("FirstWakeupWidth", width);
    registry.WriteInteger("FirstWakeupHeight", height);
    registry.WriteBool("FirstWakeupShown", false);
    batch.Commit();
    settings_.first_wakeup_url = url;
    settings_.first_wakeup_width = width;
    settings_.first_wakeup_height = height;
    settings_.first_wakeup_shown = false;
  });
}

}  // namespace plb
