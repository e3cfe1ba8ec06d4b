#include "service/appinfo/app_info_item.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "host/message_agent_config.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/file_url.h"
#include "service/crypto/encrypt_file.h"

namespace plb {

namespace {

// The local copy and every load from a file are serialised across the process.
std::mutex& FileLock() {
  static std::mutex lock;
  return lock;
}

// The whole file, or nothing when it is missing, empty or larger than any document.
std::string ReadBoundedFile(const std::string& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      static_cast<uint64_t>(info.st_size) > kMaxAppInfoBytes)
    return std::string();
  std::ifstream in(path, std::ios::binary);
  std::string text(static_cast<size_t>(info.st_size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

void LogStepError(const char* step, const std::exception& e) {
  LogException(step, e);
}

}  // namespace

bool IsAppInfoDocument(const pugi::xml_document& document) {
  const pugi::xml_node root = document.document_element();
  return root && AsciiLowered(root.name()).find("appinfo") != std::string::npos && root.attribute("ver");
}

std::string AppInfoLocalCopyPath() {
  return TPlumoraConfigItem().DataFolder() + "/Config";
}

void SaveAppInfoLocalCopy(const pugi::xml_node& root) {
  if (!root) return;
  std::ostringstream text;
  root.print(text, "", pugi::format_raw);
  const std::string plain = text.str();
  if (plain.empty()) return;
  std::lock_guard guard(FileLock());
  const std::string path = AppInfoLocalCopyPath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  // Written through a temporary file and renamed, readable by this user only.
  SaveEncryptedFile(plain, path, "XML", LocalCopyKey());
}

bool ComputeJustAfterUpdate() {
  const std::string stored = ReadSuccessedVersion();
  return !stored.empty() && !AsciiEqualsNoCase(stored, PLApiVersion());
}

TMVGetAppInfoItem::TMVGetAppInfoItem() : just_after_update_(ComputeJustAfterUpdate()) {}

bool TMVGetAppInfoItem::ReadDocument(std::string_view text) {
  if (text.empty() || text.size() > kMaxAppInfoBytes) return false;
  pugi::xml_document parsed;
  const pugi::xml_parse_result result = parsed.load_buffer(text.data(), text.size());
  if (!result) {
    const EMVGetAppInfoItemError error(std::string("EMVGetAppInfoItemError Raised ( ") + result.description() + " )");
    LogException("LoadInfoDataFromStream", error);
    return false;
  }
  if (!IsAppInfoDocument(parsed)) return false;
  std::lock_guard guard(lock_);
  document_.reset(parsed);
  return true;
}

bool TMVGetAppInfoItem::LoadFromText(std::string_view text) {
  if (!ReadDocument(text)) return false;
  ReadSettings();
  return true;
}

void TMVGetAppInfoItem::ReadSettings() {
  std::lock_guard guard(lock_);
  TAppInfoValues values;
  // For a service document "SuccessedVersion" was just written, so the error pages see it afresh.
  ReadAppInfoSettings(document_.document_element(), ComputeJustAfterUpdate(), values);
  for (TAppInfoHint& hint : values.hints) hint.enabled = !hint.version_up || just_after_update_;
  values_ = std::move(values);
}

bool TMVGetAppInfoItem::TryCommandLine() {
  try {
    const std::string url = PlumoraApiParams().AppInfoUrl();
    const std::optional<std::string> path = MapFileUrlToPath(url, FileUrlSource::kLocalUser);
    if (!path) return false;
    std::string text;
    {
      std::lock_guard guard(FileLock());
      text = ReadBoundedFile(*path);
    }
    if (!ReadDocument(text)) return false;
    SaveLocalCopy();
    WriteDefaultAppInfoUrl(url);
    WriteLog("GetAppInfo succeeded from Command Line Path.");
    from_shipped_file_ = true;
    return true;
  } catch (const std::exception& e) {
    LogStepError("LoadInfoDataFromDefault", e);
    return false;
  }
}

bool TMVGetAppInfoItem::TryService(const std::string& log_long_session_id) {
  try {
    TMessageAgentConfig agent;
    std::string machine_ids, user_ids, validma;
    try {
      machine_ids = agent.GetMachineIdList();
      user_ids = agent.GetMachineUserIdList();
      validma = agent.GetSocketErrorRaised() ? "disable" : "enable";
    } catch (const std::exception&) {
      // An agent that never ran has no lists and no flag: the request goes without them.
    }
    std::string answer;
    const TPLApiResult result = PLApi_GetAppInfo(log_long_session_id, machine_ids, user_ids, validma, answer);
    if (!result.Success) {
      PlumoraErrorCommand().SetLastFailure(std::string(PLApiResultKindWord(result.Kind)), result.ErrorCode);
      return false;
    }
    if (!ReadDocument(answer)) {
      PlumoraErrorCommand().SetLastFailure(std::string(PLApiResultKindWord(plrkException)), "EE0100");
      return false;
    }
    SaveLocalCopy();
    WriteSuccessedVersion(PLApiVersion());
    WriteLog("GetAppInfo succeeded from Internet.");
    from_service_ = true;
    return true;
  } catch (const std::exception& e) {
    LogStepError("LoadInfoDataFromInternet", e);
    return false;
  }
}

bool TMVGetAppInfoItem::TryLocalCopy() {
  try {
    const std::string path = AppInfoLocalCopyPath();
    TEncryptedFileContent content;
    {
      std::lock_guard guard(FileLock());
      struct stat info{};
      if (stat(path.c_str(), &info) != 0 || static_cast<uint64_t>(info.st_size) > kMaxAppInfoBytes + kEncryptedHeaderSize + 64)
        return false;
      content = LoadEncryptedFile(path, LocalCopyKey());
    }
    if (!content.loaded || content.type_tag != "XML" || content.plain.empty()) return false;
    if (!ReadDocument(content.plain)) return false;
    WriteLog("GetAppInfo succeeded from Local.");
    return true;
  } catch (const std::exception& e) {
    LogStepError("LoadInfoDataFromLocal", e);
    return false;
  }
}

bool TMVGetAppInfoItem::TryDefault() {
  try {
    std::string url = ReadDefaultAppInfoUrl();
    std::optional<std::string> path = MapFileUrlToPath(url, FileUrlSource::kLocalUser);
    if (!path || !std::filesystem::exists(*path)) path = MapFileUrlToPath("file://getAppInfo.xml", FileUrlSource::kDocument);
    if (!path) return false;
    std::string text;
    {
      std::lock_guard guard(FileLock());
      text = ReadBoundedFile(*path);
    }
    if (!ReadDocument(text)) return false;
    SaveLocalCopy();
    WriteLog("GetAppInfo succeeded from Local Default.");
    from_shipped_file_ = true;
    return true;
  } catch (const std::exception& e) {
    LogStepError("LoadInfoDataFromDefault", e);
    return false;
  }
}

void TMVGetAppInfoItem::SaveLocalCopy() const {
  try {
    std::lock_guard guard(lock_);
    SaveAppInfoLocalCopy(document_.document_element());
  } catch (const std::exception& e) {
    // A copy that cannot be written costs only the next offline start its document.
    LogException("SaveLocalCopy", e);
  }
}

bool TMVGetAppInfoItem::LoadInfoData(bool offline, const std::string& log_long_session_id) {
  {
    std::lock_guard guard(lock_);
    document_.reset();
    values_ = TAppInfoValues();
    from_service_ = from_shipped_file_ = false;
  }
  const bool loaded = TryCommandLine() || (!offline && TryService(log_long_session_id)) || TryLocalCopy() || TryDefault();
  if (!loaded) {
    WriteLog("GetAppInfo Failed.");
    return false;
  }
  ReadSettings();
  return true;
}

TAppInfoValues TMVGetAppInfoItem::Values() const {
  std::lock_guard guard(lock_);
  return values_;
}

bool TMVGetAppInfoItem::LoadedFromService() const {
  std::lock_guard guard(lock_);
  return from_service_;
}

bool TMVGetAppInfoItem::LoadedFromShippedFile() const {
  std::lock_guard guard(lock_);
  return from_shipped_file_;
}

void TMVGetAppInfoItem::SetWakeup(int kind, const std::string& start_page, const std::string& first_command_url,
                                  const std::string& uploading_command) {
  std::lock_guard guard(lock_);
  values_.set_mode_kind = kind;
  values_.start_page = start_page;
  values_.first_command_url = first_command_url;
  values_.uploading_command = uploading_command;
}

}  // namespace plb
