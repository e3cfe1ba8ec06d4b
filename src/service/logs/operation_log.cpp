#include "service/logs/operation_log.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <vector>

#include "host/log_file.h"
#include "host/message_agent_config.h"
#include "platform/atomic_file.h"
#include "service/api/plumora_api.h"
#include "service/commands/command_csv.h"
#include "service/logs/log_files.h"
#include "service/logs/operation_log_uploader.h"

namespace plb {
namespace {

const char* const kSystemWords[] = {"unknown",        "boot",          "shutdown",      "uploadFailed",
                                    "uploadStarted",  "uploadFinished", "uploadAborted"};

const char* BoolText(bool value) { return value ? "True" : "False"; }

void AddParameters(pugi::xml_node record, const std::vector<std::string>& items) {
  for (const std::string& item : items) {
    pugi::xml_node parameter = record.append_child("parameter");
    const bool has_name = item.find('=') != std::string::npos;
    parameter.append_attribute("name") = has_name ? ItemName(item).c_str() : "";
    parameter.append_attribute("value") = has_name ? ItemValue(item).c_str() : item.c_str();
  }
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// "Raised in" form of the log's errors.
void LogStep(const std::string& step, const std::exception& e) {
  const auto* error = dynamic_cast<const Error*>(&e);
  WriteLog(std::string(error != nullptr ? error->ClassName() : "Exception") + " Raised in TPlumoraOperationLog." +
           step + " ( " + e.what() + " )");
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

}  // namespace

std::string POLSystemActionText(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kSystemWords))) return kSystemWords[0];
  return kSystemWords[index];
}

std::string POLVisibleTargetsText(uint8_t bits) {
  const char* const words[] = {"Calendar", "Folder", "Zenmoa", "Tag"};
  std::string text;
  for (int bit = 0; bit < 4; ++bit) {
    if ((bits & (1u << bit)) == 0) continue;
    if (!text.empty()) text += ",";
    text += words[bit];
  }
  return text;
}

std::string POLTargetText(uint8_t group, uint8_t kind) {
  if (group == 1) return "Folder";
  if (group == 2) return kind == 7 ? "Zenmoa" : kind == 8 ? "Tag" : "";
  if (group == 3) return "Calendar";
  return "";
}

std::string POLToolText(uint8_t tool) {
  const char* const words[] = {"none", "Info", "Effect", "Print", "Triming", "Collage"};
  return tool < std::size(words) ? words[tool] : "";
}

std::string POLTimeZoneText(int bias_minutes) {
  const int magnitude = bias_minutes < 0 ? -bias_minutes : bias_minutes;
  char text[16];
  std::snprintf(text, sizeof text, "%c%.2d:%.2d", bias_minutes < 0 ? '+' : '-', (magnitude / 60) % 100,
                magnitude % 60);
  return text;
}

int LocalTimeZoneBias() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  return static_cast<int>(-local.tm_gmtoff / 60);
}

TPlumoraOperationLog::TPlumoraOperationLog(Options options)
    : options_(std::move(options)),
      log_folder_(WithoutTrailingDelimiter(options_.log_folder)),
      start_time_(options_.clock()),
      time_zone_(POLTimeZoneText(options_.bias_minutes.value_or(LocalTimeZoneBias()))) {
  pugi::xml_node declaration = document_.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  root_ = document_.append_child(kOperationLogRoot);
  root_.append_attribute("ver") = options_.version.c_str();
  root_.append_attribute("plbprocessid") = "";
  root_.append_attribute("starttime") = TimeStamp(start_time_).c_str();
  ids_ = root_.append_child("plbids");
  records_ = root_.append_child("plblog_a");
}

TPlumoraOperationLog::~TPlumoraOperationLog() { StopUploader(); }

std::string TPlumoraOperationLog::TimeStamp(TDateTime time) const {
  return FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss", time) + time_zone_;
}

std::string TPlumoraOperationLog::FileName(int counter) const {
  char number[16];
  std::snprintf(number, sizeof number, "%.3d", counter);
  return "POL" + FormatDateTime("yyyymmddhhnnss", start_time_) + "(" + number + ").xml";
}

int TPlumoraOperationLog::PendingRecords() const {
  std::lock_guard guard(lock_);
  int count = 0;
  for (pugi::xml_node record = records_.first_child(); record; record = record.next_sibling()) ++count;
  return count;
}

bool TPlumoraOperationLog::NoUse() const {
  std::lock_guard guard(lock_);
  return no_use_;
}

void TPlumoraOperationLog::SetUrlAndProcessID(const std::string& url, const std::string& process_id, bool no_use) {
  std::unique_ptr<TPlumoraOperationLogUploader> stopped;
  {
    std::lock_guard guard(lock_);
    upload_url_ = url;
    root_.attribute("plbprocessid") = process_id.c_str();
    no_use_ = no_use;
    if (no_use) {
      stopped = std::move(uploader_);
    } else if (uploader_) {
      uploader_->SetUrl(url);
    } else {
      uploader_ = std::make_unique<TPlumoraOperationLogUploader>(log_folder_, url);
      uploader_->Start();
    }
  }
  // Stopped outside the lock: the wait runs pending UI work, which may add records.
  if (stopped) stopped->Stop();
}

void TPlumoraOperationLog::StopUploader() {
  std::unique_ptr<TPlumoraOperationLogUploader> stopped;
  {
    std::lock_guard guard(lock_);
    stopped = std::move(uploader_);
  }
  if (stopped) stopped->Stop();
}

template <typename Fill>
void TPlumoraOperationLog::Add(const std::string& step, const Fill& fill) {
  try {
    std::lock_guard guard(lock_);
    if (no_use_) return;
    fill();
  } catch (const std::exception& e) {
    LogStep(step, e);
  }
}

pugi::xml_node TPlumoraOperationLog::AddRecordLocked(const char* kind) {
  if (record_counter_ > 0 && record_counter_ % kOperationLogRecordsPerFile == 0) SaveLogFileLocked();
  pugi::xml_node record = records_.append_child("plblog");
  record.append_attribute("seqno") = std::to_string(record_counter_).c_str();
  record.append_attribute("ts") = TimeStamp(options_.clock()).c_str();
  record.append_attribute("kind") = kind;
  ++record_counter_;
  return record;
}

void TPlumoraOperationLog::AddSystemLog(int index, const std::string& boot_csv) {
  Add("AddSystemLog", [&] {
    pugi::xml_node record = AddRecordLocked("system");
    record.append_attribute("systemactioncode") = POLSystemActionText(index).c_str();
    if (index == polBoot) AddParameters(record, ParseCommandCSV(boot_csv));
  });
}

void TPlumoraOperationLog::AddActionLog(const std::string& owner, const std::string& action,
                                        const std::string& caption) {
  Add("AddActionLog(" + owner + "," + action + ")", [&] {
    pugi::xml_node record = AddRecordLocked("action");
    record.append_attribute("name") = (owner + "." + action).c_str();
    record.append_attribute("caption") = caption.c_str();
  });
}

void TPlumoraOperationLog::AddCommandLog(const std::string& command_csv, const std::string& sender) {
  Add("AddCommandLog(" + command_csv + ")", [&] {
    const std::vector<std::string> items = ParseCommandCSV(command_csv);
    std::optional<std::string> command = FindItem(items, "command");
    if (!command) command = FindItem(items, "mode");
    // Checked before anything else: such a command leaves no trace, not even a file.
    if (!command) return;
    pugi::xml_node record = AddRecordLocked("plbcommand");
    record.append_attribute("command") = command->c_str();
    record.append_attribute("from") = sender.c_str();
    AddParameters(record, items);
  });
}

void TPlumoraOperationLog::AddViewLog(const TPOL_ViewStateRecord& view) {
  Add("AddViewLog", [&] {
    pugi::xml_node record = AddRecordLocked("view");
    pugi::xml_node target = record.append_child("TargetPanel");
    target.append_attribute("VisibleTargets") = POLVisibleTargetsText(view.visible_targets).c_str();
    target.append_attribute("SelectedTarget") =
        POLTargetText(view.selected_target_group, view.selected_target_kind).c_str();
    pugi::xml_node catalog = record.append_child("CatalogPanel");
    catalog.append_attribute("Target") = POLTargetText(view.catalog_target_group, view.catalog_target_kind).c_str();
    catalog.append_attribute("Path") = view.catalog_path.c_str();
    catalog.append_attribute("FileCount") = std::to_string(view.catalog_file_count).c_str();
    record.append_child("ToolPanel").append_attribute("Tool") = POLToolText(view.tool).c_str();
    pugi::xml_node tray = record.append_child("PlumoraTray");
    tray.append_attribute("Enabled") = BoolText(view.tray_enabled);
    tray.append_attribute("Visible") = BoolText(view.tray_visible);
    tray.append_attribute("FileCount") = std::to_string(view.tray_file_count).c_str();
  });
}

void TPlumoraOperationLog::RebuildIdsLocked() {
  ids_.remove_children();
  std::string list;
  if (options_.machine_user_ids) list = options_.machine_user_ids();
  for (const std::string& item : SplitAt(list, ',')) {
    if (item.empty()) continue;
    const std::vector<std::string> parts = SplitAt(item, ':');
    pugi::xml_node id = ids_.append_child("plbid");
    const char* const names[] = {"packagecode", "machineid", "machineuserid"};
    for (size_t i = 0; i < parts.size() && i < std::size(names); ++i) id.append_attribute(names[i]) = parts[i].c_str();
  }
}

void TPlumoraOperationLog::SaveLogFile() {
  try {
    std::lock_guard guard(lock_);
    if (no_use_) return;
    SaveLogFileLocked();
  } catch (const std::exception& e) {
    LogStep("SaveLogFile(" + log_folder_ + ")", e);
  }
}

void TPlumoraOperationLog::SaveLogFileLocked() {
  if (::mkdir(log_folder_.c_str(), 0755) != 0 && errno != EEXIST)
    throw EPlumoraOperationLogError("can not create LogFolderPath.(" + log_folder_ + ")");
  RebuildIdsLocked();
  if (!records_.first_child()) return;
  // A run started within the same second as an earlier one (a relaunch) would otherwise replace
  // that run's file before it was sent.
  struct stat info {};
  while (::lstat((log_folder_ + "/" + FileName(file_counter_)).c_str(), &info) == 0) ++file_counter_;
  StringWriter out;
  document_.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  // Written under a hidden name and renamed: the uploader lists "POL*.xml" and must never send
  // or remove a file that is still being written.
  WriteFileAtomically(log_folder_ + "/" + FileName(file_counter_), out.text);
  records_.remove_children();
  ++file_counter_;
  TPlumoraOperationLogUploader::Trigger();
}

namespace {

std::mutex& LogLock() {
  static std::mutex lock;
  return lock;
}

std::unique_ptr<TPlumoraOperationLog>& LogSlot() {
  static std::unique_ptr<TPlumoraOperationLog> log;
  return log;
}

// Runs action on the program's log, if there is one; its errors go to the diagnostic log.
template <typename Action>
void WithLog(const char* name, const Action& action) {
  try {
    std::lock_guard guard(LogLock());
    if (LogSlot()) action(*LogSlot());
  } catch (const std::exception& e) {
    LogFailure(name, e);
  }
}

std::string MachineUserIdList() {
  try {
    TMessageAgentConfig agent;
    return agent.GetMachineUserIdList();
  } catch (const std::exception&) {
    // An agent that never ran has no list: the log goes without identifiers.
    return "";
  }
}

}  // namespace

void DAL_InitializeWith(TPlumoraOperationLog::Options options) {
  std::lock_guard guard(LogLock());
  if (LogSlot()) throw EPlumoraOperationLogError("already initialized.");
  try {
    LogSlot() = std::make_unique<TPlumoraOperationLog>(std::move(options));
  } catch (const std::exception& e) {
    LogStep("Initialize", e);
    throw;
  }
}

void DAL_Initialize(const std::string& log_folder) {
  TPlumoraOperationLog::Options options;
  options.log_folder = log_folder;
  options.version = PLApiVersion();
  options.machine_user_ids = MachineUserIdList;
  DAL_InitializeWith(std::move(options));
}

void DAL_Finalize() {
  std::unique_ptr<TPlumoraOperationLog> log;
  {
    std::lock_guard guard(LogLock());
    if (!LogSlot()) throw EPlumoraOperationLogError("not initialized.");
    log = std::move(LogSlot());
  }
  log->StopUploader();
}

void DAL_AddBootLog(const std::string& command_line_csv) {
  WithLog("DAL_AddBootLog", [&](TPlumoraOperationLog& log) { log.AddSystemLog(polBoot, command_line_csv); });
}

void DAL_AddShutdownLog() {
  WithLog("DAL_AddShutdownLog", [](TPlumoraOperationLog& log) {
    log.AddSystemLog(polShutdown);
    log.SaveLogFile();
  });
}

void DAL_SetUrlAndProcessID(const std::string& url, const std::string& process_id, bool no_use) {
  // Not under the global lock: stopping the uploader waits, and the wait runs UI work that may
  // add records. The log itself lives until DAL_Finalize, which runs on the same thread.
  TPlumoraOperationLog* log = nullptr;
  {
    std::lock_guard guard(LogLock());
    log = LogSlot().get();
  }
  try {
    if (log != nullptr) log->SetUrlAndProcessID(url, process_id, no_use);
  } catch (const std::exception& e) {
    LogFailure("DAL_SetUrlAndProcessID", e);
  }
}

void DAL_AddSystemLog(int index) {
  WithLog("DAL_AddSystemLog", [&](TPlumoraOperationLog& log) { log.AddSystemLog(index); });
}

void DAL_AddViewLog(const TPOL_ViewStateRecord& view) {
  WithLog("DAL_AddViewLog", [&](TPlumoraOperationLog& log) { log.AddViewLog(view); });
}

void DAL_AddCommandLog(const std::string& command_csv, const std::string& sender) {
  WithLog("DAL_AddCommandLog", [&](TPlumoraOperationLog& log) { log.AddCommandLog(command_csv, sender); });
}

void DAL_AddActionLog(const std::string& owner, const std::string& action, const std::string& caption) {
  WithLog("DAL_AddActionLog", [&](TPlumoraOperationLog& log) { log.AddActionLog(owner, action, caption); });
}

}  // namespace plb
