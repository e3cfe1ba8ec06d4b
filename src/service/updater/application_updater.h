#pragma once
// The application updater: asks the service whether a newer version exists, downloads its
// installer into the data folder and, when the user agrees, leaves it pending so that the very
// end of the process starts it. The state is process-wide under one lock; the windows (splash,
// download progress, announcement question) are the shell's, behind IUpdaterUi.
//
// A downloaded installer reaches its name only whole: the answer must have status 200, fit the
// size limit, and match the checksum the update info gave; it is written under a temporary name
// and renamed. An HTTP error page is never kept.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plb {

inline constexpr const char* kUpdaterFileName = "PLBUpdater.exe";
inline constexpr const char* kUpdaterRequestFileName = "UpdaterInfo_Request.xml";
inline constexpr const char* kUpdaterResponseFileName = "UpdaterInfo_Response.xml";
inline constexpr const char* kUpdaterUserAgent = "PlumoraUpdater";
inline constexpr uint64_t kMaxInstallerBytes = 256u << 20;
// The button flags of the question after an update-info answer: OK only.
inline constexpr int kUpdateButtonsOkOnly = 4;

// What the application information gives the updater (and an update-info answer replaces).
struct TUpdaterValues {
  std::string update_check_url;
  std::string installer_url;
  std::string installer_md5;  // from an update-info answer only
  std::string dialog_url;
  int dialog_width = 0, dialog_height = 0;
  bool vista_only = false;
  int buttons = 0;
  std::string machine_id, machine_user_id;
};

// The windows of a check; the shell shows them, tests answer directly.
class IUpdaterUi {
 public:
  using Progress = std::function<void(uint64_t received, uint64_t total)>;
  virtual ~IUpdaterUi() = default;
  // Runs the download while the progress strip shows it; true when work answered true.
  virtual bool RunDownload(const std::function<bool(const Progress&)>& work) = 0;
  // The announcement question; true for yes.
  virtual bool AskUpdate(const std::string& page, int width, int height, int buttons) = 0;
};

// Runs the download on the calling thread and answers every question yes.
class THeadlessUpdaterUi : public IUpdaterUi {
 public:
  bool RunDownload(const std::function<bool(const Progress&)>& work) override { return work([](uint64_t, uint64_t) {}); }
  bool AskUpdate(const std::string&, int, int, int) override { return true; }
};

// The process's one updater; every operation is class-wide.
class TApplicationUpdater {
 public:
  // The folder the installer and the exchange files go to (the data folder at start).
  static void SetUpdaterFolder(const std::string& folder);
  static std::string UpdaterFolder();
  // From the application information.
  static void SetUpdaterValues(const TUpdaterValues& values);
  static void SetUpdateCheckUrl(const std::string& url);
  static TUpdaterValues Values();
  // The largest installer accepted (tests make it small).
  static void SetMaxInstallerBytes(uint64_t bytes);

  // The exchange: posts the request document, keeps the answer at response_path. False (logged)
  // when it failed; the values are then those of the application information.
  static bool GetUpdaterInfo(const std::string& response_path);
  // Takes the installer, checksum and announcement of a kept answer.
  static void AnalizeUpdaterInfo(const std::string& response_path);

  // An installer left by an earlier check is removed (and no download made); otherwise the
  // installer is downloaded and, after the user's yes, made pending. True when an update will run.
  static bool CheckNeedUpdate(IUpdaterUi& ui);

  // The whole check without the splash: the exchange (when it has a URL), then CheckNeedUpdate.
  static bool CheckUpdate(IUpdaterUi& ui);

  // At the very end of the process: starts the pending installer, not waited for. True when it
  // was started.
  static bool RunPendingUpdater();

  static bool Pending();
  static std::string UpdaterPath();
  static std::vector<std::string> UpdaterParameters();
  // Forgets the pending installer and every value (tests).
  static void Reset();
};

// The download address: the installer URL with "version=" and the machine ids appended after "?"
// or "&", the values percent-encoded. Empty for an empty installer URL.
std::string InstallerDownloadUrl(const std::string& installer_url, const std::string& version,
                                 const std::string& machine_id, const std::string& machine_user_id);

// Downloads url into target: status 200 only, at most max_bytes, the checksum (when not empty)
// must match; written under a temporary name, renamed only then, executable. Raises EUpdaterError
// or an HTTP error; target is then left as it was.
void DownloadInstaller(const std::string& url, const std::string& target, const std::string& md5, uint64_t max_bytes,
                       const IUpdaterUi::Progress& progress);

// The argument vector that starts an installer: a shell script through /bin/sh, a program
// directly, followed by the parameters.
std::vector<std::string> InstallerCommand(const std::string& installer, const std::vector<std::string>& parameters);

}  // namespace plb
