#pragma once
// The small XML exchange before a download: the request that tells the service who asks, and the
// answer that names the installer and the announcement to show.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EUpdaterError, Error);

// An update-info answer larger than this is no answer.
inline constexpr uint64_t kMaxUpdateInfoBytes = 1u << 20;

struct TUpdateRequestSources {
  std::string version;               // the program's file version
  std::string machine_user_id_list;  // "packagecode:machineid:machineuserid,..."
  std::vector<std::string> installer_history;
  std::vector<std::string> installer_infos;
  std::string browser_version;  // the web engine's version text
  int emulation = 0;
};

// "UpdaterInfo_Request.xml": root "getUpdateInfo_request" (version), "plbids" and
// "installerInfos" as in the start-parameter file, "IE" (version, emulation). UTF-8.
std::string BuildUpdateInfoRequest(const TUpdateRequestSources& sources);
// The same from the program's own values.
std::string BuildUpdateInfoRequest();

struct TUpdateInfoAnswer {
  std::string installer_url;
  std::string md5;  // lower-case hex, or empty when the answer gave none
  std::string dialog_url;
  int dialog_width = 0, dialog_height = 0;
};

// Reads "appupdateinfo" among the root's children. Absent elements give an empty page and sizes
// of 0. Raises EUpdaterError for text that is not such an answer, an installer URL that is not
// http or https, a checksum that is not 32 hexadecimal digits, or sizes out of range.
TUpdateInfoAnswer ParseUpdateInfoAnswer(std::string_view text);

}  // namespace plb
