#pragma once
// The operation log: an XML journal of what the user and the service did (actions, browser
// commands, system events, view states), each record with a sequence number and a time stamp.
// Records are kept in memory and written every 100 records, and once more at shut-down, to
// numbered files "POL<start time>(<nnn>).xml" in the log folder, which the operation-log
// uploader sends while the service allows it. Nothing here reaches the user: every error is
// written to the diagnostic log.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pugixml.hpp>
#include <string>

#include "host/date_time.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EPlumoraOperationLogError, Error);

class TPlumoraOperationLogUploader;

inline constexpr int kOperationLogRecordsPerFile = 100;
inline constexpr const char* kOperationLogRoot = "plumoraBrowserOperationLog";

// The system events ("systemactioncode").
enum TPOL_SystemAction : int {
  polUnknown = 0,
  polBoot = 1,
  polShutdown = 2,
  polUploadFailed = 3,
  polUploadStarted = 4,
  polUploadFinished = 5,
  polUploadAborted = 6,
};

// Visible-target bits.
inline constexpr uint8_t kPOLTargetCalendar = 1, kPOLTargetFolder = 2, kPOLTargetZenmoa = 4, kPOLTargetTag = 8;

// What the main window reports for a view record.
struct TPOL_ViewStateRecord {
  uint8_t visible_targets = 0;
  uint8_t selected_target_group = 0;
  uint8_t selected_target_kind = 0;
  uint8_t catalog_target_group = 0;
  uint8_t catalog_target_kind = 0;
  std::string catalog_path;
  int32_t catalog_file_count = 0;
  uint8_t tool = 0;  // 0 none, 1 Info, 2 Effect, 3 Print, 4 Triming, 5 Collage
  bool tray_enabled = false;
  bool tray_visible = false;
  int32_t tray_file_count = 0;
};

// The words of a view record.
std::string POLVisibleTargetsText(uint8_t bits);
std::string POLTargetText(uint8_t group, uint8_t kind);
std::string POLToolText(uint8_t tool);
std::string POLSystemActionText(int index);

// The time-zone text of a bias in minutes (UTC = local time + bias): "+" when the bias is
// negative, else "-", then hh:mm of its magnitude. UTC+9 gives "+09:00", UTC "-00:00".
std::string POLTimeZoneText(int bias_minutes);
// The bias of this machine now.
int LocalTimeZoneBias();

class TPlumoraOperationLog {
 public:
  struct Options {
    std::string log_folder;
    std::string version;                             // the program's file version
    std::function<std::string()> machine_user_ids;  // "packagecode:machineid:machineuserid,..."
    std::function<TDateTime()> clock = Now;
    std::optional<int> bias_minutes;  // unset: this machine's
  };

  explicit TPlumoraOperationLog(Options options);
  // Stops the uploader; unsaved records are not written (the shut-down record saves them).
  ~TPlumoraOperationLog();
  TPlumoraOperationLog(const TPlumoraOperationLog&) = delete;
  TPlumoraOperationLog& operator=(const TPlumoraOperationLog&) = delete;

  // Stores the upload URL and the process id; no_use stops the uploader and the log, otherwise
  // the uploader starts when it does not run.
  void SetUrlAndProcessID(const std::string& url, const std::string& process_id, bool no_use);

  // boot_csv: the command-line CSV, written as parameters of a boot record.
  void AddSystemLog(int index, const std::string& boot_csv = "");
  void AddActionLog(const std::string& owner, const std::string& action, const std::string& caption);
  // A CSV without a "command" and a "mode" item adds nothing.
  void AddCommandLog(const std::string& command_csv, const std::string& sender);
  void AddViewLog(const TPOL_ViewStateRecord& view);

  // Writes the records kept so far to the next numbered file (nothing without records).
  void SaveLogFile();

  // The file of a file counter: "POL<yyyymmddhhnnss>(<nnn>).xml".
  std::string FileName(int counter) const;
  std::string LogFolder() const { return log_folder_; }
  std::string TimeZoneText() const { return time_zone_; }
  // Records kept in memory, not yet written.
  int PendingRecords() const;
  bool NoUse() const;
  void StopUploader();

 private:
  pugi::xml_node AddRecordLocked(const char* kind);
  void SaveLogFileLocked();
  void RebuildIdsLocked();
  std::string TimeStamp(TDateTime time) const;
  template <typename Fill>
  void Add(const std::string& step, const Fill& fill);

  const Options options_;
  const std::string log_folder_;
  const TDateTime start_time_;
  const std::string time_zone_;
  mutable std::mutex lock_;
  pugi::xml_document document_;
  pugi::xml_node root_, ids_, records_;
  int64_t record_counter_ = 0;
  int file_counter_ = 0;
  std::string upload_url_;
  bool no_use_ = false;
  std::unique_ptr<TPlumoraOperationLogUploader> uploader_;
};

// The program's one log, as plain functions; none raises except as said.
// Raises EPlumoraOperationLogError "already initialized." on a second call.
void DAL_Initialize(const std::string& log_folder);
// For tests and tools: the same with the options given.
void DAL_InitializeWith(TPlumoraOperationLog::Options options);
// Raises EPlumoraOperationLogError "not initialized." without a log.
void DAL_Finalize();
// The boot record (after initialising) with the command-line CSV.
void DAL_AddBootLog(const std::string& command_line_csv);
// The shut-down record, then the last file.
void DAL_AddShutdownLog();
void DAL_SetUrlAndProcessID(const std::string& url, const std::string& process_id, bool no_use);
void DAL_AddSystemLog(int index);
void DAL_AddViewLog(const TPOL_ViewStateRecord& view);
void DAL_AddCommandLog(const std::string& command_csv, const std::string& sender);
void DAL_AddActionLog(const std::string& owner, const std::string& action, const std::string& caption);

}  // namespace plb
