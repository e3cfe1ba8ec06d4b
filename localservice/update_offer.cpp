#include "localservice/update_offer.h"

#include <cstdio>
#include <cstdlib>

#include "localservice/digest.h"
#include "localservice/service_state.h"

namespace plb::localservice {
namespace {

// The largest padding a test may ask for.
constexpr size_t kMaxPad = 512u << 20;

// A shell word in single quotes.
std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out.append("'\\''");
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

}  // namespace

std::string UpdateOfferConfig::Get(const std::string& name, const std::string& fallback) const {
  const auto found = items.find(name);
  return found == items.end() ? fallback : found->second;
}

bool UpdateOffered(const UpdateOfferConfig& config) {
  return config.Get("update", "") == "offer";
}

std::string UpdateCheckUrl(const UpdateOfferConfig& config) {
  return UpdateOffered(config) ? config.base_url + "api/getUpdateInfo.php" : std::string();
}

std::string InstallerUrl(const UpdateOfferConfig& config) {
  return UpdateOffered(config) ? config.Get("installerurl", config.base_url + "api/installer.php") : std::string();
}

std::string UpdateInfoAnswer(const UpdateOfferConfig& config) {
  std::string info = "<appupdateinfo installerurl=\"" + XmlEscape(InstallerUrl(config)) + "\" md5=\"";
  if (UpdateOffered(config)) info += XmlEscape(config.Get("installermd5", Md5Hex(InstallerBytes(config))));
  info += "\">";
  const std::string page = config.Get("updatepage", "");
  if (UpdateOffered(config) && !page.empty())
    info += "<updatemessages><dialog src=\"" + XmlEscape(page) + "\" width=\"480\" height=\"320\"/></updatemessages>";
  info += "</appupdateinfo>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<getUpdateInfo_response>" + info + "</getUpdateInfo_response>";
}

std::string InstallerBytes(const UpdateOfferConfig& config) {
  std::string script = config.Get("installerscript", "");
  if (script.empty()) {
    const std::string marker = config.Get("installermarker", config.data_dir + "/installer-ran");
    script = "#!/bin/sh\n# A test installer: it only notes the arguments it was started with.\n";
    script.append("printf '%s\\n' \"$@\" > ");
    script.append(ShellQuoted(marker));
    script.push_back('\n');
  }
  const size_t pad = std::min<size_t>(std::strtoull(config.Get("installerpad", "0").c_str(), nullptr, 10), kMaxPad);
  if (pad > 0) {
    script.push_back('#');
    script.append(pad, 'x');
    script.push_back('\n');
  }
  return script;
}

}  // namespace plb::localservice
