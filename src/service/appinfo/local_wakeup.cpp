#include "service/appinfo/local_wakeup.h"

#include <unistd.h>

#include <string_view>
#include <vector>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "service/api/plumora_api.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/file_url.h"
#include "service/commands/plumora_browser_command.h"

namespace plb {

namespace {

constexpr std::string_view kUploadingParamPrefix = "setuploadingparam_";

void EvaluateCommandMode(const pugi::xml_node& setmode, TLocalWakeup& out) {
  out.set_mode_kind = 2;
  std::vector<std::string> items;
  for (const pugi::xml_node& parameter : setmode.children("parameter")) {
    const pugi::xml_attribute name_attribute = parameter.attribute("name");
    const pugi::xml_attribute value_attribute = parameter.attribute("value");
    if (!name_attribute || !value_attribute) continue;
    const std::string_view name = name_attribute.value();
    const std::string value = MapFileUrl(value_attribute.value());
    if (AsciiEqualsNoCase(name, "getfirstcommandurl")) {
      out.first_command_url = value;
    } else if (AsciiEqualsNoCase(name, "setuploadingcommand")) {
      items.push_back("command=" + value);
    } else if (name.size() > kUploadingParamPrefix.size() &&
               AsciiEqualsNoCase(name.substr(0, kUploadingParamPrefix.size()), kUploadingParamPrefix)) {
      items.push_back(std::string(name.substr(kUploadingParamPrefix.size())) + "=" + value);
    }
  }
  out.uploading_command = QuotedCommandCSV(items);
}

void EvaluatePageMode(const pugi::xml_node& setmode, const StartPageFetcher& fetch, TLocalWakeup& out) {
  for (const pugi::xml_node& parameter : setmode.children("parameter")) {
    const std::string_view name = parameter.attribute("name").value();
    const std::string value = parameter.attribute("value").value();
    if (AsciiEqualsNoCase(name, "geturl_url")) {
      out.set_mode_kind = 1;
      if (fetch) fetch(value, out.start_page);
      return;
    }
    if (AsciiEqualsNoCase(name, "url")) {
      out.set_mode_kind = 0;
      out.start_page = value;
      return;
    }
  }
}

}  // namespace

TLocalWakeup EvaluateLocalWakeup(const pugi::xml_node& root, const StartPageFetcher& fetch) {
  TLocalWakeup out;
  for (const pugi::xml_node& procs : root.child("localwakeup").children("procs")) {
    for (const pugi::xml_node& check : procs.children("networkcheck")) {
      for (const pugi::xml_node& online : check.children("online")) {
        out = TLocalWakeup();
        const pugi::xml_node setmode = online.child("setmode");
        if (!setmode.attribute("value") || !setmode.first_child()) continue;
        if (AsciiEqualsNoCase(setmode.attribute("value").value(), "plumorabrowsercommand"))
          EvaluateCommandMode(setmode, out);
        else
          EvaluatePageMode(setmode, fetch, out);
      }
    }
  }
  return out;
}

bool FetchStartPage(const std::string& url, std::string& page) {
  std::string file;
  try {
    file = SavePlumoraBrowserParams();
  } catch (const std::exception& e) {
    LogException("FetchStartPage", e);
  }
  if (file.empty()) return false;  // nothing is sent without the start parameters
  const TPLApiResult result = PLApi_GetFirstDisplayUrl(url, file, page);
  unlink(file.c_str());
  if (result.Success) return true;
  const std::string kind(PLApiResultKindWord(result.Kind));
  PlumoraErrorCommand().SetLastFailure(kind, result.ErrorCode);
  page = PlumoraErrorCommand().Lookup(kind, result.ErrorCode);
  return false;
}

}  // namespace plb
