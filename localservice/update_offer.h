#pragma once
// The update the local service offers when a test asks for one: the update-info answer and the
// installer it points at. Test installers are harmless shell scripts that write their arguments
// to a marker file.
//
// Configuration (POST /test/config or --config):
//   update=offer              the application information names the update-check and installer URLs
//   updatepage=URL            the announcement page of the update-info answer (default none)
//   installerurl=URL          the installer URL the answer gives (default BASE/api/installer.php)
//   installermd5=HEX          the checksum the answer gives (default the installer's own)
//   installermarker=PATH      where the installer writes its arguments (default DATA/installer-ran)
//   installerscript=TEXT      the installer's whole text instead of the marker script
//   installerpad=N            N more bytes of comment at the end of the installer (a large download)
#include <map>
#include <string>

namespace plb::localservice {

struct UpdateOfferConfig {
  std::map<std::string, std::string> items;
  std::string base_url;
  std::string data_dir;
  std::string Get(const std::string& name, const std::string& fallback) const;
};

bool UpdateOffered(const UpdateOfferConfig& config);
// The two URLs of the application information: update check and installer (empty: none offered).
std::string UpdateCheckUrl(const UpdateOfferConfig& config);
std::string InstallerUrl(const UpdateOfferConfig& config);
// The getUpdateInfo answer.
std::string UpdateInfoAnswer(const UpdateOfferConfig& config);
// The installer's bytes.
std::string InstallerBytes(const UpdateOfferConfig& config);

}  // namespace plb::localservice
