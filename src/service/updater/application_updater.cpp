#include "service/updater/application_updater.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/program_file.h"
#include "host/relaunch.h"
#include "host/version_info.h"
#include "platform/atomic_file.h"
#include "service/crypto/md5.h"
#include "service/http/http_client.h"
#include "service/updater/update_info.h"

namespace plb {
namespace fs = std::filesystem;
namespace {

constexpr const char* kClassName = "TApplicationUpdater";
const std::vector<std::string> kInstallerParameters = {"/VERYSILENT", "/autoupdate"};

struct UpdaterState {
  std::mutex lock;
  std::string folder;
  bool folder_set = false;
  TUpdaterValues values;
  uint64_t max_installer_bytes = kMaxInstallerBytes;
  std::string updater_path;
  std::vector<std::string> parameters;
  bool pending = false;
};

UpdaterState& State() {
  static UpdaterState state;
  return state;
}

[[noreturn]] void Raise(const char* step, const std::exception& e) {
  throw EUpdaterError(ClassNameOf(e) + " is raised in " + kClassName + "." + step + ". (" + MessageOf(e) + ")");
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// Removes path; false when it is still there afterwards.
bool Remove(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
  return !Exists(path);
}

std::string InFolder(const char* name) {
  const std::string folder = TApplicationUpdater::UpdaterFolder();
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return std::string();
  return folder + "/" + name;
}

std::string PercentEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string WithQuery(const std::string& url, const std::string& query) {
  return url + (url.find('?') == std::string::npos ? "?" : "&") + query;
}

void SaveRequestXML(const std::string& path) {
  try {
    if (path.empty()) throw EUpdaterError("SavePath is empty.");
    if (!Remove(path)) throw EUpdaterError("can not delete old request file.");
    WriteFileAtomically(path, BuildUpdateInfoRequest(), 0600);
  } catch (const std::exception& e) {
    Raise("SaveRequestXML", e);
  }
}

// The answer's body, or empty when the service gave none.
std::string DoRequestUpdaterInfo(const std::string& url, const std::string& request_path) {
  try {
    if (!Exists(request_path)) throw EUpdaterError("request file is not exists.");
    TMultipartForm form;
    form.AddFile("infile", request_path, request_path, ContentTypeForFile(request_path));
    THttpRequest request;
    request.url = url;
    request.user_agent = kUpdaterUserAgent;
    request.form = &form;
    request.max_answer = kMaxUpdateInfoBytes;
    const THttpResponse response = HttpSend(request);
    return response.status == 200 ? response.body : std::string();
  } catch (const std::exception& e) {
    Raise("DoRequestUpdaterInfo", e);
  }
}

// An "update.log" of the installer stays until the version it reported has been seen running.
void DeleteUpdateLogFile() {
  try {
    if (strcasecmp(ReadSuccessedVersion().c_str(), FileVersion().c_str()) == 0) return;
    const std::string path = ProgramFolder() + "/update.log";
    if (!Exists(path)) return;
    WriteLog(std::string(Remove(path) ? "successed" : "failed") + " delete updatelog. ( " + path + " )");
  } catch (const std::exception& e) {
    LogException(std::string(kClassName) + ".DeleteUpdateLogFile", e);
  }
}

bool IsElfProgram(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  const bool elf = ::read(fd, magic, sizeof magic) == 4 && std::string_view(magic, 4) == "\x7f" "ELF";
  ::close(fd);
  return elf;
}

}  // namespace

void TApplicationUpdater::SetUpdaterFolder(const std::string& folder) {
  std::lock_guard guard(State().lock);
  State().folder = folder;
  State().folder_set = true;
}

std::string TApplicationUpdater::UpdaterFolder() {
  {
    std::lock_guard guard(State().lock);
    if (State().folder_set) return State().folder;
  }
  return TPlumoraConfigItem().DataFolder();
}

void TApplicationUpdater::SetUpdaterValues(const TUpdaterValues& values) {
  std::lock_guard guard(State().lock);
  State().values = values;
}

void TApplicationUpdater::SetUpdateCheckUrl(const std::string& url) {
  std::lock_guard guard(State().lock);
  State().values.update_check_url = url;
}

TUpdaterValues TApplicationUpdater::Values() {
  std::lock_guard guard(State().lock);
  return State().values;
}

void TApplicationUpdater::SetMaxInstallerBytes(uint64_t bytes) {
  std::lock_guard guard(State().lock);
  State().max_installer_bytes = bytes;
}

bool TApplicationUpdater::GetUpdaterInfo(const std::string& response_path) {
  const std::string url = Values().update_check_url;
  if (url.empty()) return false;
  const std::string request_path = InFolder(kUpdaterRequestFileName);
  try {
    try {
      if (request_path.empty()) throw EUpdaterError("ARequestPath is empty.");
      if (response_path.empty()) throw EUpdaterError("AResponsePath is empty.");
      if (!Remove(response_path)) throw EUpdaterError("can not delete old updaterInfofile.");
    } catch (const EUpdaterError& e) {
      Raise("GetUpdaterInfo", e);
    }
    SaveRequestXML(request_path);
    const std::string body = DoRequestUpdaterInfo(url, request_path);
    if (!body.empty()) WriteFileAtomically(response_path, body, 0600);
  } catch (const std::exception& e) {
    LogException(std::string(kClassName) + ".GetUpdaterInfo", e);
  }
  if (!request_path.empty()) Remove(request_path);
  return !response_path.empty() && Exists(response_path);
}

void TApplicationUpdater::AnalizeUpdaterInfo(const std::string& response_path) {
  try {
    if (response_path.empty()) throw EUpdaterError("AUpdaterInfoFilePath is empty.");
    if (!Exists(response_path)) throw EUpdaterError("AUpdaterInfoFilePath is not exists.");
    std::error_code ec;
    const uintmax_t size = fs::file_size(response_path, ec);
    if (ec || size > kMaxUpdateInfoBytes) throw EUpdaterError("the update info is too large");
    std::string text(size, '\0');
    const int fd = ::open(response_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EUpdaterError("can not read " + response_path);
    const ssize_t got = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const TUpdateInfoAnswer answer = ParseUpdateInfoAnswer(text);
    std::lock_guard guard(State().lock);
    TUpdaterValues& values = State().values;
    values.installer_url = answer.installer_url;
    values.installer_md5 = answer.md5;
    values.dialog_url = answer.dialog_url;
    values.dialog_width = answer.dialog_width;
    values.dialog_height = answer.dialog_height;
    values.buttons = kUpdateButtonsOkOnly;
  } catch (const std::exception& e) {
    LogException(std::string(kClassName) + ".AnalizeUpdaterInfo", e);
  }
}

bool TApplicationUpdater::CheckNeedUpdate(IUpdaterUi& ui) {
  bool update = false;
  try {
    {
      std::lock_guard guard(State().lock);
      State().pending = false;
      State().updater_path.clear();
      State().parameters.clear();
    }
    const std::string path = InFolder(kUpdaterFileName);
    if (path.empty()) return false;
    {
      std::lock_guard guard(State().lock);
      State().updater_path = path;
    }
    if (Exists(path)) {
      // Left by an earlier check that was declined or failed: cleared now, offered afresh next time.
      if (!Remove(path)) WriteLog("旧アップデータが削除できません。");
    } else {
      const TUpdaterValues values = Values();
      const std::string url =
          InstallerDownloadUrl(values.installer_url, FileVersion(), values.machine_id, values.machine_user_id);
      uint64_t max_bytes;
      {
        std::lock_guard guard(State().lock);
        State().parameters = kInstallerParameters;
        max_bytes = State().max_installer_bytes;
      }
      const bool downloaded = !url.empty() && ui.RunDownload([&](const IUpdaterUi::Progress& progress) {
        try {
          DownloadInstaller(url, path, values.installer_md5, max_bytes, progress);
          return Exists(path);
        } catch (const std::exception& e) {
          LogException("DownloadFileEx", e);
          return false;
        }
      });
      if (!downloaded) {
        WriteLog("Updater is not Exists.");
      } else if (values.dialog_url.empty() ||
                 ui.AskUpdate(values.dialog_url, values.dialog_width, values.dialog_height, values.buttons)) {
        std::lock_guard guard(State().lock);
        State().pending = true;
        update = true;
      } else {
        WriteLog("Update is Aborted.");
      }
      if (update) {
        // No message agent runs beside this program; the log says what it would have been told.
        WriteLog("Start Updater.");
        WriteLog("      Updater Path : " + path);
        WriteLog("      Updater Param: /VERYSILENT /autoupdate");
      }
    }
  } catch (const std::exception& e) {
    LogException("CheckNeedUpdate", e);
    update = false;
  }
  if (!update) DeleteUpdateLogFile();
  return update;
}

bool TApplicationUpdater::CheckUpdate(IUpdaterUi& ui) {
  const std::string response_path = InFolder(kUpdaterResponseFileName);
  if (!response_path.empty() && Remove(response_path) && GetUpdaterInfo(response_path))
    AnalizeUpdaterInfo(response_path);
  return CheckNeedUpdate(ui);
}

bool TApplicationUpdater::RunPendingUpdater() {
  std::string path;
  std::vector<std::string> parameters;
  {
    std::lock_guard guard(State().lock);
    if (!State().pending) return false;
    State().pending = false;  // consumed: a second call starts nothing
    path = State().updater_path;
    parameters = State().parameters;
  }
  if (path.empty() || !Exists(path)) return false;
  const std::vector<std::string> command = InstallerCommand(path, parameters);
  return SpawnDetached(command.front(), std::vector<std::string>(command.begin() + 1, command.end()));
}

bool TApplicationUpdater::Pending() {
  std::lock_guard guard(State().lock);
  return State().pending;
}

std::string TApplicationUpdater::UpdaterPath() {
  std::lock_guard guard(State().lock);
  return State().updater_path;
}

std::vector<std::string> TApplicationUpdater::UpdaterParameters() {
  std::lock_guard guard(State().lock);
  return State().parameters;
}

void TApplicationUpdater::Reset() {
  std::lock_guard guard(State().lock);
  State().values = TUpdaterValues();
  State().folder.clear();
  State().folder_set = false;
  State().max_installer_bytes = kMaxInstallerBytes;
  State().updater_path.clear();
  State().parameters.clear();
  State().pending = false;
}

std::string InstallerDownloadUrl(const std::string& installer_url, const std::string& version,
                                 const std::string& machine_id, const std::string& machine_user_id) {
  if (installer_url.empty()) return std::string();
  const std::string with_version = WithQuery(installer_url, "version=" + PercentEncode(version));
  return WithQuery(with_version,
                   "machineid=" + PercentEncode(machine_id) + "&machineuserid=" + PercentEncode(machine_user_id));
}

void DownloadInstaller(const std::string& url, const std::string& target, const std::string& md5, uint64_t max_bytes,
                       const IUpdaterUi::Progress& progress) {
  THttpRequest request;
  request.url = url;
  request.get = true;
  request.user_agent = kUpdaterUserAgent;
  request.follow_redirects = true;
  request.max_answer = max_bytes;
  request.download_progress = progress;
  // A status of 400 or above raises: an error page never becomes the installer.
  const THttpResponse response = HttpSend(request);
  if (response.status != 200)
    throw EUpdaterError("the installer download answered " + response.status_text);
  if (response.body.empty()) throw EUpdaterError("the installer download was empty");
  if (!md5.empty() && Md5Hex(response.body) != md5)
    throw EUpdaterError("the installer does not match its checksum");
  WriteFileAtomically(target, response.body, 0700);
}

std::vector<std::string> InstallerCommand(const std::string& installer, const std::vector<std::string>& parameters) {
  std::vector<std::string> command;
  if (!IsElfProgram(installer)) command.push_back("/bin/sh");
  command.push_back(installer);
  command.insert(command.end(), parameters.begin(), parameters.end());
  return command;
}

}  // namespace plb
