#include "service/appinfo/check_app_info.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "host/log_file.h"
#include "host/message_agent_config.h"
#include "host/product_values.h"
#include "platform/error.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/file_url.h"
#include "service/appinfo/local_wakeup.h"
#include "service/logs/operation_log.h"
#include "service/logs/plb_log_item.h"

namespace plb {

namespace {

std::mutex applied_lock;
TAppInfoValues& Applied() {
  static TAppInfoValues values;
  return values;
}

// The identities the service gave become the message agent's current ones; the store then takes
// whatever the agent holds.
TMessageAgentCurrentData CurrentIdentities(const TAppInfoValues& values) {
  TMessageAgentConfig agent;
  try {
    if (!values.plbid_package_code.empty() && !values.plbid_machine_id.empty() &&
        !values.plbid_machine_user_id.empty()) {
      agent.SetCurrentData({values.plbid_package_code, values.plbid_machine_id, values.plbid_machine_user_id});
      agent.SaveCurrentIdData();
    } else {
      agent.LoadCurrentIdData();
    }
  } catch (const std::exception& e) {
    LogException("CurrentIdentities", e);
  }
  return agent.CurrentData();
}

void ApplySettings(const TAppInfoValues& values) {
  if (values.has_support_movie_type && !ReadIgnoreMovie()) WriteSupportMovieType(values.support_movie_type);
  if (!values.finish_uninstall_url.empty()) WriteUninstallerUrl(values.finish_uninstall_url);
}

// The service's error pages come with its document. Before any document was ever read (a first
// start without a connection) the table is empty: the page shipped with the program says what
// happened, rather than an empty window.
std::string ShippedStartErrorCommand() {
  const std::optional<std::string> path = MapFileUrlToPath("file://startup_error.html", FileUrlSource::kDocument);
  std::error_code ec;
  if (!path || !std::filesystem::is_regular_file(*path, ec)) return std::string();
  const std::string page = "file://" + *path;
  return QuotedCommandCSV({"command=startpage", "pageurl=" + page, "dispTabMode=ver1"});
}

void SetBootError(const std::string& kind_word, const std::string& reason) {
  std::string page = PlumoraErrorCommand().Lookup(kind_word, "");
  if (page.empty()) page = ShippedStartErrorCommand();
  WriteLog("PLApi_CheckAppInfoEx.SetBootError( " + reason + " )");
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    v.display_page = page;
    v.mode = pamDispPage;
  });
}

}  // namespace

void ApplyAppInfo(const TMVGetAppInfoItem& reader) {
  const TAppInfoValues values = reader.Values();
  const TMessageAgentCurrentData identities = CurrentIdentities(values);
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    v.set_mode_kind = values.set_mode_kind;
    v.first_command_url = values.first_command_url;
    v.uploading_command = values.uploading_command;
    v.wakeup_service_command = values.wakeup_service_command;
    if (!identities.machine_id.empty()) v.machine_id = identities.machine_id;
    if (!identities.user_id.empty()) v.machine_user_id = identities.user_id;
    if (v.mode == pamDontBoot) v.mode = pamDispPage;
    v.image_cache_limit = values.image_cache_limit_kb;
    v.uploading_message = values.uploading_message;
    v.eyefi_url = values.eyefi_url;
    v.help_url = values.help_url;
    // A document without its own address keeps the one it was loaded from, so the next load
    // still knows where to ask.
    if (!values.app_info_url.empty()) v.app_info_url = values.app_info_url;
    v.display_page = values.start_page;
    v.base_url = values.base_url;
    v.upload_api_version = values.upload_api_version;
    v.tab_shown = values.ui_tab == uidEnable;
    v.tray_shown = values.ui_tray == uidEnable;
    v.debug_menu_shown = values.ui_debug_menu == uidEnable;
    v.debug_info_shown = values.ui_debug_info == uidEnable;
  });
  ApplySettings(values);
  if (reader.LoadedFromService()) {
    TMessageAgentConfig agent;
    ApplyMessageAgentElement(reader.Root(), agent);
  }
  {
    std::lock_guard guard(applied_lock);
    Applied() = values;
  }
  // The usage counters take the reporting period (the URL first: a new period hands the old one
  // over with it), and the operation log its upload URL and whether it is used at all.
  PLBLogItem().SetLogUrl(values.log_url);
  PLBLogItem().SetLogLongSessionId(values.log_long_session_id);
  DAL_SetUrlAndProcessID(values.operation_log_url, values.operation_log_process_id, values.operation_log_no_use);
}

TAppInfoValues AppliedAppInfo() {
  std::lock_guard guard(applied_lock);
  return Applied();
}

bool PLApi_CheckAppInfoEx(bool offline) {
  try {
    TMVGetAppInfoItem reader;
    if (!reader.LoadInfoData(offline, PLBLogItem().LogLongSessionId())) {
      SetBootError(PlumoraErrorCommand().LastFailureKind(), "LoadInfoData Failed");
      return true;
    }
    const TLocalWakeup wakeup = EvaluateLocalWakeup(reader.Root(), FetchStartPage);
    reader.SetWakeup(wakeup.set_mode_kind, wakeup.start_page, wakeup.first_command_url, wakeup.uploading_command);
    ApplyAppInfo(reader);
    return true;
  } catch (const std::exception& e) {
    WriteLog("PLApi_CheckAppInfoEx:1");
    const auto* own = dynamic_cast<const Error*>(&e);
    SetBootError("exception", own != nullptr ? own->ClassName() : "std::exception");
    return false;
  }
}

}  // namespace plb
