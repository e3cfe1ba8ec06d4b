#include "service/api/plumora_api_params.h"

#include <array>
#include <charconv>
#include <mutex>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "service/commands/command_csv.h"
#include "service/commands/plumora_browser_command.h"
#include "service/api/service_errors.h"

namespace plb {
namespace {

constexpr std::array<std::string_view, kPlumoraApiModeCount> kModeWords = {"dontboot",
                                                                           "disppage",
                                                                           "remakepage",
                                                                           "createplumora",
                                                                           "hiddencreateplumora",
                                                                           "appendplumora",
                                                                           "startcreateplumora",
                                                                           "startappendplumora",
                                                                           "startchangejacket",
                                                                           "startchangelabel",
                                                                           "startchangebodyicon",
                                                                           "startmybgmdialog",
                                                                           "startappendplumorabgm",
                                                                           "close",
                                                                           "startdialog",
                                                                           "startpage",
                                                                           "updatecheck",
                                                                           "restart",
                                                                           "calljsfunc",
                                                                           "wakeupie",
                                                                           "cancelupload"};

// A decimal integer, or 0 for anything else (also for one that does not fit).
int IntOrZero(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

bool IsInt(std::string_view text) {
  return IntOrZero(text) != 0 || text == "0" || text == "+0" || text == "-0";
}

int TrayRequestOf(std::string_view word) {
  if (AsciiEqualsNoCase(word, "enable")) return 5;
  if (AsciiEqualsNoCase(word, "fold")) return 9;
  if (AsciiEqualsNoCase(word, "disable")) return 10;
  return 0;
}

std::string BoolText(bool value) {
  return value ? "true" : "false";
}

// Every item "urlencodedparam=" + a wake-up URL is replaced, at its place, by the wake-up URL's
// decoded items.
std::vector<std::string> ExpandWakeupItems(std::vector<std::string> items) {
  static const std::string prefix = "urlencodedparam=" + std::string(kWakeupPrefix);
  for (size_t i = items.size(); i-- > 0;) {
    if (!AsciiStartsWithNoCase(items[i], prefix)) continue;
    std::vector<std::string> pieces =
        ParseCommandCSV(PLBCommandToCSV('&', std::string_view(items[i]).substr(prefix.size()), true));
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(i), pieces.begin(), pieces.end());
  }
  return items;
}

}  // namespace

std::string_view PlumoraApiModeWord(int mode) {
  if (mode < 0 || mode >= kPlumoraApiModeCount) return kModeWords[0];
  return kModeWords[static_cast<size_t>(mode)];
}

int PlumoraApiModeOf(std::string_view word) {
  for (size_t i = 0; i < kModeWords.size(); ++i)
    if (AsciiEqualsNoCase(word, kModeWords[i])) return static_cast<int>(i);
  return 0;
}

std::vector<std::pair<std::string, std::string>> TPlumoraApiParamValues::Named() const {
  return {
      {"mode", std::to_string(mode)},
      {"sessionid", session_id},
      {"renewalcounter", std::to_string(renewal_counter)},
      {"pageurl", page_url},
      {"pagecounter", std::to_string(page_counter)},
      {"appinfourl", app_info_url},
      {"baseurl", base_url},
      {"plumoraid", plumora_id},
      {"plumorapreviewurl", preview_url},
      {"plumoraphotonum", std::to_string(photo_count)},
      {"plumorarestphotonum", std::to_string(rest_photo_count)},
      {"plumorabgmresuuid", bgm_res_uuid},
      {"bgmdialogcounter", std::to_string(bgm_dialog_counter)},
      {"bgmdialogplumoraid", bgm_dialog_plumora_id},
      {"bodyiconwidth", std::to_string(body_icon_width)},
      {"bodyiconheight", std::to_string(body_icon_height)},
      {"trayrequest", std::to_string(tray_request)},
      {"tabflags", std::to_string(tab_flags)},
      {"localparamfile", local_param_file},
      {"updatecheck", BoolText(update_check)},
      {"dispsplash", BoolText(splash)},
      {"focuscount", focus_count},
      {"plumoradotnetcount", count_text},
      {"dialogurl", dialog_url},
      {"width", std::to_string(dialog_width)},
      {"height", std::to_string(dialog_height)},
      {"dispmainpage", BoolText(main_page_shown)},
      {"dispmainpagewidth", std::to_string(main_page_width)},
      {"displogwindow", BoolText(log_window_shown)},
      {"machineid", machine_id},
      {"machineuserid", machine_user_id},
      {"disppage", display_page},
      {"helpurl", help_url},
      {"eyefiurl", eyefi_url},
      {"uploadingmessage", uploading_message},
      {"uploadapiversion", std::to_string(upload_api_version)},
      {"imagecachelimit", std::to_string(image_cache_limit)},
      {"setmodekind", std::to_string(set_mode_kind)},
      {"firstcommandurl", first_command_url},
      {"uploadingcommand", uploading_command},
      {"wakeupservicecommand", wakeup_service_command},
      {"tabshown", BoolText(tab_shown)},
      {"trayshown", BoolText(tray_shown)},
      {"debugmenushown", BoolText(debug_menu_shown)},
      {"debuginfoshown", BoolText(debug_info_shown)},
  };
}

bool TPlumoraApiParams::SetParamsFromCSV(std::string_view csv) {
  std::unique_lock guard(lock_);
  return ApplyCSVHoldingLock(csv);
}

bool TPlumoraApiParams::ApplyCSVHoldingLock(std::string_view csv) {
  try {
    ApplyItems(ExpandWakeupItems(ParseCommandCSV(csv)));
    return true;
  } catch (const std::exception& e) {
    LogException("SetParamsFromCSV", e);
    return false;
  }
}

void TPlumoraApiParams::ApplyItems(std::vector<std::string> items) {
  TPlumoraApiParamValues& v = values_;
  auto find = [&](std::string_view name) { return FindItem(items, name); };

  if (auto word = find("command"); word)
    v.mode = PlumoraApiModeOf(*word);
  else if (auto mode = find("mode"); mode)
    v.mode = PlumoraApiModeOf(*mode);
  if (auto id = find("sessionid")) {
    if (!AsciiEqualsNoCase(*id, v.session_id)) ++v.renewal_counter;
    v.session_id = *id;
  }
  if (auto renew = find("renewappinfo"); renew && AsciiEqualsNoCase(*renew, "true")) ++v.renewal_counter;
  if (auto page = find("pageurl"); page) {
    v.page_url = *page;
    ++v.page_counter;
  } else if (auto url = find("url"); url) {
    v.page_url = *url;
    ++v.page_counter;
  }
  if (auto url = find("getappinfourl"); url)
    v.app_info_url = *url;
  else if (auto other = find("appinfourl"); other)
    v.app_info_url = *other;
  if (auto id = find("plumoraid")) v.plumora_id = *id;
  if (auto url = find("plumorapreviewurl")) v.preview_url = *url;
  if (auto n = find("plumoraphotonum")) v.photo_count = IntOrZero(*n);
  if (auto n = find("plumorarestphotonum")) v.rest_photo_count = IntOrZero(*n);
  if (auto id = find("plumorabgmresuuid")) v.bgm_res_uuid = *id;
  if (auto n = find("bodyiconwidth")) v.body_icon_width = IntOrZero(*n);
  if (auto n = find("bodyiconheight")) v.body_icon_height = IntOrZero(*n);
  if (auto tray = find("dispplumoratray")) v.tray_request = TrayRequestOf(*tray);
  ApplyTabFlags(items);
  if (auto path = find("localparamfile")) v.local_param_file = *path;
  auto update = find("updatecheck");
  v.update_check = !(update && AsciiEqualsNoCase(*update, "disable"));
  auto splash = find("dispsplash");
  v.splash = !(splash && AsciiEqualsNoCase(*splash, "disable"));
  if (auto count = find("focuscount")) v.focus_count = *count;
  if (auto text = find("plumoradotnetcount")) v.count_text = *text;
  if (auto main = find("dispmainpage")) {
    v.main_page_shown = AsciiEqualsNoCase(*main, "enable");
    if (auto width = find("dispmainpagewidth"); width && IsInt(*width)) v.main_page_width = IntOrZero(*width);
  }
  if (auto log = find("displogwindow")) v.log_window_shown = AsciiEqualsNoCase(*log, "enable");
  ApplyModeSideEffect(items);
}

void TPlumoraApiParams::ApplyTabFlags(const std::vector<std::string>& items) {
  int& flags = values_.tab_flags;
  if (auto mode = FindItem(items, "disptabmode")) {
    if (AsciiEqualsNoCase(*mode, "ver1"))
      flags = 6;
    else if (AsciiEqualsNoCase(*mode, "ver2"))
      flags = 5;
    else if (AsciiEqualsNoCase(*mode, "none"))
      flags = 8;
    else
      flags = 0;
    return;
  }
  if (auto frame = FindItem(items, "dispframe")) {
    if (AsciiEqualsNoCase(*frame, "disable") || AsciiEqualsNoCase(*frame, "hidden"))
      flags |= kTabBit8;
    else
      flags &= ~kTabBit8;
  }
  if (auto tab = FindItem(items, "disptab")) {
    flags &= ~kTabBit1;
    if (AsciiEqualsNoCase(*tab, "hidden")) {
      flags |= kTabBit8;
    } else if (AsciiEqualsNoCase(*tab, "disable")) {
      flags &= ~(kTabBit2 | kTabBit4 | kTabBit8);
    } else {
      flags &= ~kTabBit8;
      flags |= kTabBit2 | kTabBit4;
    }
  }
}

void TPlumoraApiParams::ApplyModeSideEffect(const std::vector<std::string>& items) {
  TPlumoraApiParamValues& v = values_;
  auto default_tray = [&] {
    if (v.tray_request == 0) v.tray_request = 5;
  };
  switch (v.mode) {
    case pamStartMyBgmDialog:
      v.mode = pamStartCreatePlumora;
      ++v.bgm_dialog_counter;
      v.bgm_dialog_plumora_id = v.plumora_id;
      [[fallthrough]];
    case pamStartCreatePlumora:
      v.plumora_id.clear();
      v.bgm_res_uuid.clear();
      default_tray();
      break;
    case pamCreatePlumora:
      v.plumora_id.clear();
      v.bgm_res_uuid.clear();
      break;
    case pamAppendPlumora:
      v.page_url.clear();
      break;
    case pamStartAppendPlumora:
    case pamStartChangeJacket:
    case pamStartChangeLabel:
    case pamStartChangeBodyIcon:
      default_tray();
      break;
    case pamStartDialog:
      v.dialog_url = FindItem(items, "dialogurl").value_or("");
      v.dialog_width = IntOrZero(FindItem(items, "width").value_or(""));
      v.dialog_height = IntOrZero(FindItem(items, "height").value_or(""));
      break;
    default:
      break;
  }
}

bool TPlumoraApiParams::SetParamsFromCSVLocked(std::string_view csv, bool reset) {
  if (csv.empty()) return false;
  std::unique_lock guard(lock_);
  if (reset) {
    values_.mode = 0;
    values_.tab_shown = true;
    values_.body_icon_width = 240;
    values_.body_icon_height = 240;
  }
  values_.tray_request = 0;
  return ApplyCSVHoldingLock(csv);
}

bool TPlumoraApiParams::InitializeFromCommandLine(const std::vector<std::string>& args) {
  try {
    SetCommandLineArguments(args);
    return SetParamsFromCSVLocked(CommandLineCSV(args), true);
  } catch (const std::exception& e) {
    throw EPlumoraApiParamsInitialzeError("起動パラメータの取得中にエラーが発生しました。\r\n\r\n" + ClassNameOf(e) +
                                          "\r\n" + MessageOf(e) + "\r\n");
  }
}

void TPlumoraApiParams::LogParams(const std::string& label) const {
  try {
    const TPlumoraApiParamValues v = Snapshot();
    WriteLog(label + " Params( Mode=" + std::string(PlumoraApiModeWord(v.mode)) + " : SessionID=" + v.session_id +
             " : AppInfoUrl=" + v.app_info_url + " : BaseUrl=" + v.base_url + " : PlumoraID=" + v.plumora_id +
             " : PreviewUrl=" + PercentDecode(v.preview_url) + " )");
    WriteLog("LocalParamFile=" + v.local_param_file);
  } catch (const std::exception& e) {
    throw EPlumoraApiParamsLogError(label + " Param のログへの書込に失敗しました。\r\n\r\n" + ClassNameOf(e) + "\r\n" +
                                    MessageOf(e) + "\r\n");
  }
}

TPlumoraApiParamValues TPlumoraApiParams::Snapshot() const {
  std::shared_lock guard(lock_);
  return values_;
}

void TPlumoraApiParams::Update(const std::function<void(TPlumoraApiParamValues&)>& change) {
  std::unique_lock guard(lock_);
  change(values_);
}

#define PLB_PARAM_GETTER(Type, Name, field) \
  Type TPlumoraApiParams::Name() const {    \
    std::shared_lock guard(lock_);          \
    return values_.field;                   \
  }
PLB_PARAM_GETTER(int, Mode, mode)
PLB_PARAM_GETTER(std::string, SessionId, session_id)
PLB_PARAM_GETTER(std::string, BaseUrl, base_url)
PLB_PARAM_GETTER(std::string, AppInfoUrl, app_info_url)
PLB_PARAM_GETTER(std::string, MachineId, machine_id)
PLB_PARAM_GETTER(std::string, MachineUserId, machine_user_id)
PLB_PARAM_GETTER(std::string, EyeFiUrl, eyefi_url)
PLB_PARAM_GETTER(std::string, LocalParamFile, local_param_file)
#undef PLB_PARAM_GETTER

std::string TPlumoraApiParams::PreviewUrl() const {
  std::shared_lock guard(lock_);
  return PercentDecode(values_.preview_url);
}

void TPlumoraApiParams::SetSessionId(const std::string& session_id) {
  std::unique_lock guard(lock_);
  if (!AsciiEqualsNoCase(session_id, values_.session_id)) ++values_.renewal_counter;
  values_.session_id = session_id;
}

void TPlumoraApiParams::SetLocalParamFile(const std::string& path) {
  std::unique_lock guard(lock_);
  values_.local_param_file = path;
}

TPlumoraApiParams& PlumoraApiParams() {
  static TPlumoraApiParams store;
  return store;
}

}  // namespace plb
