#pragma once
// The API parameter store: one process-wide set of start parameters, identities and service URLs
// written by every command CSV and by the application-information document, read by every online
// part of the program. Every read takes the shared lock, every write the exclusive lock.
#include <cstdint>
#include <functional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plb {

// The twenty-one command modes.
enum TPlumoraApiMode : int {
  pamDontBoot = 0,
  pamDispPage = 1,
  pamRemakePage = 2,
  pamCreatePlumora = 3,
  pamHiddenCreatePlumora = 4,
  pamAppendPlumora = 5,
  pamStartCreatePlumora = 6,
  pamStartAppendPlumora = 7,
  pamStartChangeJacket = 8,
  pamStartChangeLabel = 9,
  pamStartChangeBodyIcon = 10,
  pamStartMyBgmDialog = 11,
  pamStartAppendPlumoraBgm = 12,
  pamClose = 13,
  pamStartDialog = 14,
  pamStartPage = 15,
  pamUpdateCheck = 16,
  pamRestart = 17,
  pamCallJsFunc = 18,
  pamWakeupIe = 19,
  pamCancelUpload = 20,
};
inline constexpr int kPlumoraApiModeCount = 21;

// The word of a mode ("dontboot" for an unknown code) and the mode of a word (0 for an unknown one).
std::string_view PlumoraApiModeWord(int mode);
int PlumoraApiModeOf(std::string_view word);

// Tab flag bits.
inline constexpr int kTabBit1 = 1, kTabBit2 = 2, kTabBit4 = 4, kTabBit8 = 8;

struct TPlumoraApiParamValues {
  int mode = 0;
  std::string session_id;
  int renewal_counter = 0;
  std::string page_url;
  int page_counter = 0;
  std::string app_info_url;
  std::string base_url;
  std::string plumora_id;
  std::string preview_url;  // as it arrived; read it decoded through PreviewUrl()
  int photo_count = 0;
  int rest_photo_count = 0;
  std::string bgm_res_uuid;
  int bgm_dialog_counter = 0;
  std::string bgm_dialog_plumora_id;
  int body_icon_width = 240;
  int body_icon_height = 240;
  int tray_request = 0;
  int tab_flags = 7;
  std::string local_param_file;
  bool update_check = true;
  bool splash = true;
  std::string focus_count;
  std::string count_text;
  std::string dialog_url;
  int dialog_width = 0;
  int dialog_height = 0;
  bool main_page_shown = false;
  int main_page_width = 300;
  bool log_window_shown = false;
  std::string machine_id;
  std::string machine_user_id;
  std::string display_page;
  std::string help_url;
  std::string eyefi_url;
  std::string uploading_message;
  int upload_api_version = 0;
  int64_t image_cache_limit = 0;  // kilobytes; -1 for no limit
  int set_mode_kind = 0;
  std::string first_command_url;
  std::string uploading_command;
  std::string wakeup_service_command;
  bool tab_shown = true;
  bool tray_shown = true;
  bool debug_menu_shown = false;
  bool debug_info_shown = false;

  // Every value by its name in the store, as text, in the order above.
  std::vector<std::pair<std::string, std::string>> Named() const;
};

class TPlumoraApiParams {
 public:
  // Applies a command CSV under the exclusive lock. Never raises: an error is logged and gives
  // false, keeping what was applied before it.
  bool SetParamsFromCSV(std::string_view csv);

  // The locked entry point of the start-up and the dispatcher. With reset the reset values come
  // back first; without it only the tray request is cleared. An empty CSV applies nothing: false.
  bool SetParamsFromCSVLocked(std::string_view csv, bool reset);

  // Applies the program's arguments with reset. Throws EPlumoraApiParamsInitialzeError.
  bool InitializeFromCommandLine(const std::vector<std::string>& args);

  // Writes the parameter log lines under label. Throws EPlumoraApiParamsLogError.
  void LogParams(const std::string& label) const;

  // A copy of every value, read under the shared lock.
  TPlumoraApiParamValues Snapshot() const;
  // Changes values under the exclusive lock (the application-information document, tests).
  void Update(const std::function<void(TPlumoraApiParamValues&)>& change);

  int Mode() const;
  std::string SessionId() const;
  std::string BaseUrl() const;
  std::string AppInfoUrl() const;
  std::string MachineId() const;
  std::string MachineUserId() const;
  std::string EyeFiUrl() const;
  std::string LocalParamFile() const;
  std::string PreviewUrl() const;  // percent-decoded

  // Sets the session id by the command rule: a change (without regard to case) renews.
  void SetSessionId(const std::string& session_id);
  void SetLocalParamFile(const std::string& path);

 private:
  // The lock is not re-entrant: everything below runs with it already held.
  bool ApplyCSVHoldingLock(std::string_view csv);
  void ApplyItems(std::vector<std::string> items);
  void ApplyTabFlags(const std::vector<std::string>& items);
  void ApplyModeSideEffect(const std::vector<std::string>& items);

  mutable std::shared_mutex lock_;
  TPlumoraApiParamValues values_;
};

// The process-wide store.
TPlumoraApiParams& PlumoraApiParams();

}  // namespace plb
