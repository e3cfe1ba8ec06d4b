#include "service/updater/update_info.h"

#include <cctype>
#include <charconv>
#include <pugixml.hpp>
#include <sstream>

#include "host/product_values.h"
#include "host/version_info.h"
#include "host/message_agent_config.h"
#include "service/commands/plumora_browser_command.h"
#include "service/http/http_client.h"

namespace plb {
namespace {

// The largest announcement window the question box is asked to open.
constexpr int kMaxDialogSide = 4096;

int Size(const pugi::xml_node& node, const char* name) {
  const std::string_view text = node.attribute(name).value();
  if (text.empty()) return 0;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > kMaxDialogSide)
    throw EUpdaterError(std::string("bad ") + name + " of the announcement: " + std::string(text));
  return value;
}

std::string CheckedMd5(std::string_view text) {
  if (text.empty()) return std::string();
  std::string lower;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw EUpdaterError("bad md5 in the update info");
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  if (lower.size() != 32) throw EUpdaterError("bad md5 in the update info");
  return lower;
}

}  // namespace

std::string BuildUpdateInfoRequest(const TUpdateRequestSources& sources) {
  // "plbids" and "installerInfos" come from the start-parameter file's one builder.
  TStartParamSources params;
  params.version = sources.version;
  params.machine_user_id_list = sources.machine_user_id_list;
  params.installer_history = sources.installer_history;
  params.installer_infos = sources.installer_infos;
  pugi::xml_document start_params;
  start_params.load_string(BuildPlumoraBrowserParams(params).c_str());

  pugi::xml_document document;
  pugi::xml_node root = document.append_child("getUpdateInfo_request");
  root.append_attribute("version") = sources.version.c_str();
  for (const char* name : {"plbids", "installerInfos"}) {
    const pugi::xml_node part = start_params.document_element().child(name);
    if (part) root.append_copy(part);
  }
  pugi::xml_node browser = root.append_child("IE");
  browser.append_attribute("version") = sources.browser_version.c_str();
  browser.append_attribute("emulation") = sources.emulation;
  std::ostringstream out;
  document.save(out, "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + out.str();
}

std::string BuildUpdateInfoRequest() {
  TUpdateRequestSources sources;
  sources.version = FileVersion();
  try {
    TMessageAgentConfig agent;
    sources.machine_user_id_list = agent.GetMachineUserIdList();
  } catch (const std::exception&) {
    // Logged by the agent; the request goes without "plbids".
  }
  sources.installer_history = LoadInstallerHistory();
  sources.installer_infos = LoadInstallerInfos();
  return BuildUpdateInfoRequest(sources);
}

TUpdateInfoAnswer ParseUpdateInfoAnswer(std::string_view text) {
  if (text.size() > kMaxUpdateInfoBytes) throw EUpdaterError("the update info is too large");
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
  if (!parsed) throw EUpdaterError(std::string("the update info is not XML: ") + parsed.description());
  const pugi::xml_node info = document.document_element().child("appupdateinfo");
  if (!info) throw EUpdaterError("the update info has no appupdateinfo");
  TUpdateInfoAnswer answer;
  answer.installer_url = info.attribute("installerurl").value();
  if (!answer.installer_url.empty() && !IsHttpUrl(answer.installer_url))
    throw EUpdaterError("the installer URL is not http or https: " + answer.installer_url);
  answer.md5 = CheckedMd5(info.attribute("md5").value());
  const pugi::xml_node dialog = info.child("updatemessages").child("dialog");
  answer.dialog_url = dialog.attribute("src").value();
  answer.dialog_width = Size(dialog, "width");
  answer.dialog_height = Size(dialog, "height");
  return answer;
}

}  // namespace plb
