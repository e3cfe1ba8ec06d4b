// Reading the settings of an application-information document. Every value is optional: an absent
// element or attribute leaves the default, and no value can make the program misbehave.
#include <charconv>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "host/message_agent_config.h"
#include "service/appinfo/app_info_item.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/file_url.h"
#include "service/api/plumora_api.h"

namespace plb {

namespace {

// Bounds on the lists a hostile document could make as long as it likes.
constexpr size_t kMaxCollageTypes = 11;  // positions 0 to 10
constexpr size_t kMaxCollageWays = 64;
constexpr size_t kMaxHints = 256;

template <typename T>
T Number(const pugi::xml_node& node, const char* name, T fallback) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return fallback;
  const std::string_view text = attribute.value();
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return fallback;
  return value;
}

std::string Src(const pugi::xml_node& root, const char* element) {
  return root.child(element).attribute("src").value();
}

bool BooleanText(std::string_view text) {
  return AsciiEqualsNoCase(text, "true") || text == "1";
}

void ReadImageCache(const pugi::xml_node& params, TAppInfoValues& values) {
  const pugi::xml_node cache = params.child("imagelibcashmax");
  if (!cache) return;
  const std::string_view text = cache.attribute("kbyes").value();
  if (AsciiEqualsNoCase(text, "infinity")) {
    values.image_cache_limit_kb = -1;
    return;
  }
  // A negative count of kilobytes is no limit the queue could keep: read as 0 like any non-number.
  const int64_t kb = Number<int64_t>(cache, "kbyes", 0);
  values.image_cache_limit_kb = kb < 0 ? 0 : kb;
}

TCollageWay ReadWay(const pugi::xml_node& way, int kind) {
  TCollageWay out;
  out.kind = kind;
  out.vertical = AsciiEqualsNoCase(way.attribute("value").value(), "vertical");
  const pugi::xml_node size = way.child("photosize");
  out.photo_width = Number<int>(size, "width", 0);
  out.photo_height = Number<int>(size, "photoheight", 0);
  const pugi::xml_node span = way.child("span");
  out.span_left = Number<int>(span, "left", 0);
  out.span_top = Number<int>(span, "top", 0);
  out.span_right = Number<int>(span, "right", 0);
  out.span_bottom = Number<int>(span, "bottom", 0);
  return out;
}

void ReadCollage(const pugi::xml_node& params, TAppInfoValues& values) {
  const pugi::xml_node collage = params.child("collage");
  if (!collage) return;
  int position = 0;
  for (pugi::xml_node type = collage.child("sizesetting").child("type"); type; type = type.next_sibling("type")) {
    const int this_position = position++;
    if (this_position > 10) break;  // only positions 0 to 10 exist in the collage menu
    const std::string id = type.attribute("id").value();
    const int kind = CollageKindOf(id);
    if (kind < 0) {
      WriteLog("SetupCollageSpanData : Unknown Collage Type id = " + id);
      continue;
    }
    TCollageType entry;
    entry.kind = kind;
    entry.name = type.attribute("name").value();
    entry.position = this_position;
    const pugi::xml_node before = type.previous_sibling();
    entry.separator = before && before.type() == pugi::node_element && std::string_view(before.name()) == "separator";
    for (pugi::xml_node way = type.child("way"); way && entry.ways.size() < kMaxCollageWays;
         way = way.next_sibling("way"))
      entry.ways.push_back(ReadWay(way, kind));
    if (values.collage_types.size() < kMaxCollageTypes) values.collage_types.push_back(std::move(entry));
  }
  if (const pugi::xml_node fallback = collage.child("default")) {
    const std::string id = fallback.attribute("id").value();
    values.collage_default_kind = CollageKindOf(id);
    if (values.collage_default_kind < 0) WriteLog("SetCollageDefaultSize : Unknown Collage Type id = " + id);
  }
}

void ReadInitialParams(const pugi::xml_node& root, TAppInfoValues& values) {
  const pugi::xml_node params = root.child("initialparams");
  ReadImageCache(params, values);
  if (const pugi::xml_node movie = params.child("supportmovietype")) {
    values.support_movie_type = movie.attribute("value").value();
    values.has_support_movie_type = true;
  }
  ReadCollage(params, values);
}

void ReadErrorMessages(const pugi::xml_node& root, bool just_after_update) {
  size_t count = 0;
  for (const pugi::xml_node& type : root.child("errormessages").children("type")) {
    if (++count > kMaxErrorEntries) break;
    PlumoraErrorCommand().Add(type.attribute("value").value(), type.attribute("code").value(),
                              ErrorEntryCommand(type, just_after_update));
  }
}

void ReadSwitch(const pugi::xml_node& uis, const char* element, const char* name, int& target) {
  for (const pugi::xml_node& node : uis.children(element)) {
    if (std::string_view(node.attribute("name").value()) != name) continue;
    const std::string_view disp = node.attribute("disp").value();
    if (AsciiEqualsNoCase(disp, "enable")) target = uidEnable;
    else if (AsciiEqualsNoCase(disp, "disable")) target = uidDisable;
    else if (AsciiEqualsNoCase(disp, "hidden")) target = uidHidden;
    else if (AsciiEqualsNoCase(disp, "dialog")) target = uidDialog;
    return;  // the first switch of that name; any other word leaves it as it was
  }
}

void ReadUpdateMessages(const pugi::xml_node& root, TAppInfoValues& values) {
  const pugi::xml_node messages = root.child("updatemessages");
  const pugi::xml_node dialog = messages.child("dialog");
  values.update_dialog_url = dialog.attribute("src").value();
  values.update_dialog_width = Number<int>(dialog, "width", 0);
  values.update_dialog_height = Number<int>(dialog, "height", 0);
  values.update_vista_only = BooleanText(messages.child("vistaonly").text().get());
  if (const pugi::xml_node button = messages.child("button")) {
    const std::string type = AsciiLowered(button.attribute("type").value());
    values.update_buttons = (type.find("yes") != std::string::npos ? 1 : 0) |
                            (type.find("no") != std::string::npos ? 2 : 0) |
                            (type.find("ok") != std::string::npos ? 4 : 0) |
                            (type.find("cancel") != std::string::npos ? 8 : 0);
  }
}

void ReadHints(const pugi::xml_node& root, bool just_after_update, TAppInfoValues& values) {
  for (const pugi::xml_node& node : root.child("hints").children("hint")) {
    if (values.hints.size() >= kMaxHints) break;
    TAppInfoHint hint;
    hint.hint_id = Number<int>(node, "hintid", -1);
    hint.gui_id = node.attribute("guiid").value();
    hint.url = node.attribute("url").value();
    hint.width = Number<int>(node, "width", 0);
    hint.height = Number<int>(node, "height", -1);
    hint.anchor_x = Number<int>(node, "anchorx", 0);
    hint.anchor_y = Number<int>(node, "anchory", 0);
    hint.bg_color = Number<int64_t>(node, "bgcolor", 0);
    hint.version_up = AsciiEqualsNoCase(node.child("condition").attribute("kind").value(), "versionup");
    hint.enabled = !hint.version_up || just_after_update;
    values.hints.push_back(std::move(hint));
  }
}

std::string WakeupServiceCommand(const pugi::xml_node& root) {
  const pugi::xml_node node = root.child("wakeupserviceCommand");
  if (!node) return std::string();
  std::vector<std::string> items;
  if (const char* command = node.child("command").text().get(); *command != '\0')
    items.push_back(std::string("command=") + command);
  for (const pugi::xml_node& parameter : node.children("parameter")) {
    const pugi::xml_attribute name = parameter.attribute("name");
    if (name) items.push_back(std::string(name.value()) + "=" + parameter.attribute("value").value());
  }
  return QuotedCommandCSV(items);
}

}  // namespace

int CollageKindOf(std::string_view word) {
  static const std::pair<const char*, int> kKinds[] = {
      {"_FreeSize", 0}, {"Movie", 1},  {"Square", 2},  {"Panorama", 3},      {"Basic", 4},   {"PhotoS", 5},
      {"PhotoL", 6},    {"Wedding", 7}, {"Race", 7},   {"PrintL", 8},        {"PrintPostCard", 9}, {"PrintA4", 10}};
  for (const auto& [name, code] : kKinds)
    if (AsciiEqualsNoCase(word, name)) return code;
  return -1;
}

void ReadAppInfoSettings(const pugi::xml_node& root, bool just_after_update, TAppInfoValues& values) {
  const pugi::xml_node base = root.child("baseurl");
  values.base_url = base.attribute("src").value();
  values.upload_api_version = Number<int>(base, "uploadapiver", 1);
  values.app_info_url = Src(root, "getappinfourl");
  values.installer_url = Src(root, "getinstallerurl");
  values.update_url = Src(root, "getupdateurl");
  const pugi::xml_node network = root.child("networkcheck");
  values.network_check = !AsciiEqualsNoCase(network.attribute("value").value(), "disable");
  values.offline_announce_url = network.attribute("offlineannounceurl").value();
  PlumoraErrorCommand().SetNetworkCheck(values.network_check);
  if (network.attribute("offlineannounceurl"))
    PlumoraErrorCommand().SetOfflineCommand(
        QuotedCommandCSV({"command=startpage", "pageurl=" + values.offline_announce_url, "disptabmode=none"}));
  values.help_url = MapFileUrl(Src(root, "helpurl"));
  values.log_url = Src(root, "logurl");
  values.log_long_session_id = root.child("logurl").attribute("longsessionid").value();
  values.eyefi_url = Src(root, "remotephotourl");
  ReadInitialParams(root, values);
  ReadErrorMessages(root, just_after_update);
  values.uploading_message = root.child("shutdown").child("procs").child("uploading").child("message").text().get();
  const pugi::xml_node uis = root.child("uis");
  ReadSwitch(uis, "menu", "debug", values.ui_debug_menu);
  ReadSwitch(uis, "dialog", "debugInfo", values.ui_debug_info);
  ReadSwitch(uis, "toolbar", "tab", values.ui_tab);
  ReadSwitch(uis, "toolbar", "plumoratray", values.ui_tray);
  ReadUpdateMessages(root, values);
  values.finish_uninstall_url = Src(root, "finishuninstallurl");
  if (const pugi::xml_node notice = root.child("copyright")) {
    // The service has filled either attribute over time; the element's text is the last resort.
    if (notice.attribute("copyright")) values.copyright = notice.attribute("copyright").value();
    else if (notice.attribute("text")) values.copyright = notice.attribute("text").value();
    else values.copyright = notice.text().get();
  }
  ReadHints(root, just_after_update, values);
  const pugi::xml_node plbid = root.child("plbid");
  values.plbid_package_code = plbid.attribute("packagecode").value();
  values.plbid_machine_id = plbid.attribute("machineid").value();
  values.plbid_machine_user_id = plbid.attribute("machineuserid").value();
  values.wakeup_service_command = WakeupServiceCommand(root);
  const pugi::xml_node operation_log = root.child("operationlogurl");
  values.operation_log_url = operation_log.attribute("src").value();
  values.operation_log_process_id = operation_log.attribute("plbprocessid").value();
  values.operation_log_no_use = BooleanText(operation_log.attribute("nouse").value());
}

void ApplyMessageAgentElement(const pugi::xml_node& root, TMessageAgentConfig& agent) {
  const pugi::xml_node element = root.child("messageagent");
  if (!element) return;
  try {
    try {
      agent.LoadConfigData();
    } catch (const std::exception&) {
      // A first start has no agent settings yet: the defaults stand.
    }
    TMessageAgentSettings settings = agent.Settings();
    const pugi::xml_node base = element.child("baseurl");
    if (base.attribute("src")) settings.base_url = base.attribute("src").value();
    for (const pugi::xml_node& param : base.children("param")) {
      const std::string_view name = param.attribute("name").value();
      if (name == "plbid_machineid") settings.machine_id = param.attribute("value").value();
      if (name == "plbid_machineuserid") settings.user_id = param.attribute("value").value();
    }
    settings.start_delay = Number<int>(element.child("startdelaysec"), "value", settings.start_delay);
    settings.retry_delay = Number<int>(element.child("retrydelaysec"), "value", settings.retry_delay);
    settings.query_interval = Number<int>(element.child("nextquerysec"), "value", settings.query_interval);
    settings.balloon_time = Number<int>(element.child("balloontimedoutsec"), "value", settings.balloon_time);
    agent.SetSettings(settings);
    const pugi::xml_node content = element.child("firstwakeup").child("content");
    if (content.attribute("src") && content.attribute("width") && content.attribute("height"))
      agent.SetFirstWakeup(content.attribute("src").value(), Number<int>(content, "width", 0),
                           Number<int>(content, "height", 0));
  } catch (const std::exception& e) {
    LogException("messageagent", e);
  }
  // Saved even after a failure part-way, so the agent at least learns where this program is.
  try {
    agent.SaveConfigData();
  } catch (const std::exception& e) {
    LogException("messageagent", e);
  }
}

}  // namespace plb
