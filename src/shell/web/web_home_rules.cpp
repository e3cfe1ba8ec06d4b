#include "shell/web/web_home_rules.h"

#include "host/ascii_case.h"
#include "service/commands/command_csv.h"

namespace plb::shell {
namespace {

bool IsWebAddress(std::string_view url) {
  for (std::string_view scheme : {"http:", "https:", "file:", "about:", "data:", "blob:"})
    if (AsciiStartsWithNoCase(url, scheme)) return true;
  return false;
}

}  // namespace

TNavigationDecision ClassifyNavigation(std::string_view url, bool main_frame, bool service_origin) {
  const TPlumoraBrowserCommand wakeup = GetPlumoraBrowserCommandEx(url);
  if (wakeup.is_wakeup) return {TNavigationKind::kWakeup, false, wakeup.csv};
  if (!IsWebAddress(url)) return {TNavigationKind::kRefused, false, ""};
  if (main_frame) return {TNavigationKind::kTopLevel, true, ""};
  if (service_origin) {
    std::string command = GetPLBCommand(url);
    if (!command.empty()) return {TNavigationKind::kCommand, false, std::move(command)};
  }
  return {TNavigationKind::kOther, true, ""};
}

std::string WithVersionQuery(std::string_view url, std::string_view version) {
  if (url.empty()) return "about:blank";
  const size_t hash = url.find('#');
  const std::string_view base = url.substr(0, hash);
  const std::string_view fragment = hash == std::string_view::npos ? std::string_view() : url.substr(hash);
  std::string out(base);
  out += base.find('?') == std::string_view::npos ? "?version=" : "&version=";
  out += version;
  out += fragment;
  return out;
}

bool IsScriptAddress(std::string_view url) {
  return url.size() >= 12 && AsciiStartsWithNoCase(url, "javascript:");
}

bool IsDesktopBrowserUrl(std::string_view url) {
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7f || c == ' ') return false;
  for (std::string_view scheme : {"http://", "https://"})
    if (AsciiStartsWithNoCase(url, scheme) && url.size() > scheme.size()) return true;
  return false;
}

std::optional<std::string> TSessionIdTracker::Report(std::string_view url) {
  if (AsciiLowered(url).find("sessionid") == std::string::npos) return std::nullopt;
  const std::optional<std::string> id = FindItem(ParseCommandCSV(GetPLBCommand(url)), "sessionid");
  if (!id || id->empty() || *id == last_) return std::nullopt;
  last_ = *id;
  return last_;
}

std::string_view PageModeName(int page) { return page <= 0 ? "PlumoraDotNet" : "PhotoLibrary"; }

std::string_view PageModeSource(int source) {
  if (source <= 0) return "user";
  return source == 1 ? "plb_command" : "plbprocess";
}

}  // namespace plb::shell
