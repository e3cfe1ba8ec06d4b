#pragma once
// The settings shared with the companion notification program (the message agent), below
// "SOFTWARE\\Morvane\\MessageAgent": the identifiers last given by the service, the agent's own
// settings, its socket-error flag and the identifier history lists. Every operation is serialised
// by the object's lock; failures are logged and raised as EMessageAgentConfigError.
#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/settings_store.h"

namespace plb {

PLB_DECLARE_ERROR(EMessageAgentConfigError, Error);

struct TMessageAgentCurrentData {
  std::string package_id;
  std::string machine_id;
  std::string user_id;
  bool operator==(const TMessageAgentCurrentData&) const = default;
};

struct TMessageAgentSettings {
  std::string machine_id;
  std::string user_id;
  std::string base_url;
  std::string params;
  int start_delay = 30;       // seconds
  int retry_delay = 300;      // seconds
  int query_interval = 3600;  // seconds
  int balloon_time = 30;      // seconds
  std::string plb_path;       // this program's file, written on every save
  bool first_wakeup_shown = false;
  std::string first_wakeup_url;
  int first_wakeup_width = 0;
  int first_wakeup_height = 0;
  bool short_cut_is_created = false;
  bool operator==(const TMessageAgentSettings&) const = default;
};

class TMessageAgentConfig {
 public:
  static constexpr const char* kRootKey = "SOFTWARE\\Morvane\\MessageAgent";

  TMessageAgentConfig() = default;

  // Back to the defaults of both parts.
  void SetDefaults();

  TMessageAgentCurrentData CurrentData() const;
  void SetCurrentData(const TMessageAgentCurrentData& data);
  TMessageAgentSettings Settings() const;
  void SetSettings(const TMessageAgentSettings& settings);

  // "CurrentData": taken only when all three identifiers are stored.
  void LoadCurrentIdData();
  // Records the identifiers in the history lists, then stores them. Each must be non-empty
  // ("PackageId is Empty.", "MachineId is Empty.", "UserId is Empty.").
  void SaveCurrentIdData();

  // "Config": each stored value is taken, a missing one keeps its current content.
  void LoadConfigData();
  // Writes every value of "Config", with "PLBPath" set to this program's file.
  void SaveConfigData();

  // "SocketError" of "Flag" ("openKey failed." without the key, "value is not exists." without the
  // value).
  bool GetSocketErrorRaised();

  // The identifier histories as comma-separated texts: machine ids (machine-wide, then per-user),
  // user ids, and machine-user ids; duplicates and empty entries dropped.
  std::string GetMachineIdList();
  std::string GetUserIdList();
  std::string GetMachineUserIdList();

  // Stores a new first wake-up page, marked as not yet shown, only when its address, width and
  // height all differ from the stored ones.
  void SetFirstWakeup(const std::string& url, int width, int height);

 private:
  template <typename F>
  auto Guarded(const char* operation, F&& body);
  void SaveIdList(Hive hive, const std::string& key_name, const std::string& text);
  void GetSimpleCommaText(Hive hive, const std::string& key_name, std::vector<std::string>* strings);
  std::string JoinedList(const std::vector<Hive>& hives, const std::string& key_name);

  mutable std::recursive_mutex mutex_;
  TMessageAgentCurrentData current_;
  TMessageAgentSettings settings_;
};

}  // namespace plb
