#pragma once
// The application-information document: the service's steering of the program (service base URL,
// pages, error pages, UI switches, collage sizes, hints). TMVGetAppInfoItem loads it through the
// fallback chain (command-line file, service, enciphered local copy "Config", shipped default)
// and reads every setting of the document that loaded.
#include <cstdint>
#include <mutex>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EMVGetAppInfoItemError, Error);

// A document larger than this is not an application-information document.
inline constexpr size_t kMaxAppInfoBytes = 4 * 1024 * 1024;

enum TUiSwitchDisp : int { uidEnable = 0, uidDisable = 1, uidHidden = 2, uidDialog = 3 };

struct TCollageWay {
  int kind = 0;
  bool vertical = false;
  int span_left = 0, span_top = 0, span_right = 0, span_bottom = 0;
  int photo_width = 0, photo_height = 0;
};

struct TCollageType {
  int kind = 0;
  std::string name;
  int position = 0;
  bool separator = false;
  std::vector<TCollageWay> ways;
};

struct TAppInfoHint {
  int hint_id = -1;
  std::string gui_id;
  std::string url;
  int width = 0, height = -1, anchor_x = 0, anchor_y = 0;
  int64_t bg_color = 0;
  bool version_up = false;
  bool enabled = true;
};

struct TAppInfoValues {
  std::string base_url;
  int upload_api_version = 1;
  std::string app_info_url;
  std::string installer_url;
  std::string update_url;
  bool network_check = true;
  std::string offline_announce_url;
  std::string help_url;
  std::string log_url;
  std::string log_long_session_id;
  std::string eyefi_url;
  int64_t image_cache_limit_kb = 0;  // -1: no limit
  std::string support_movie_type;
  bool has_support_movie_type = false;
  std::vector<TCollageType> collage_types;
  int collage_default_kind = -1;
  std::string uploading_message;
  int ui_debug_menu = uidHidden;
  int ui_debug_info = uidHidden;
  int ui_tab = uidEnable;
  int ui_tray = uidEnable;
  std::string update_dialog_url;
  int update_dialog_width = 0, update_dialog_height = 0;
  bool update_vista_only = false;
  int update_buttons = 0;
  std::string finish_uninstall_url;
  std::string copyright;
  std::vector<TAppInfoHint> hints;
  std::string plbid_package_code, plbid_machine_id, plbid_machine_user_id;
  std::string wakeup_service_command;
  std::string operation_log_url, operation_log_process_id;
  bool operation_log_no_use = false;
  // The "localwakeup" evaluation.
  int set_mode_kind = 0;  // 0 start page URL, 1 start page fetched from a URL, 2 command mode
  std::string start_page;
  std::string first_command_url;
  std::string uploading_command;
};

class TMVGetAppInfoItem {
 public:
  TMVGetAppInfoItem();

  // Runs the load chain and reads the settings of the document that loaded; false when nothing
  // loaded ("GetAppInfo Failed.").
  bool LoadInfoData(bool offline, const std::string& log_long_session_id);
  // Reads the settings of a document given as text (the chain's reading step); false when it is
  // not an application-information document.
  bool LoadFromText(std::string_view text);

  TAppInfoValues Values() const;
  bool LoadedFromService() const;
  bool LoadedFromShippedFile() const;
  bool JustAfterUpdate() const { return just_after_update_; }
  // Sets the "localwakeup" results (the evaluation runs outside the reader).
  void SetWakeup(int kind, const std::string& start_page, const std::string& first_command_url,
                 const std::string& uploading_command);
  // The root of the loaded document (empty when none).
  pugi::xml_node Root() const { return document_.document_element(); }

 private:
  bool TryCommandLine();
  bool TryService(const std::string& log_long_session_id);
  bool TryLocalCopy();
  bool TryDefault();
  // Parses into the document; false for text that is not an application-information document.
  bool ReadDocument(std::string_view text);
  void SaveLocalCopy() const;
  void ReadSettings();

  mutable std::mutex lock_;
  pugi::xml_document document_;
  TAppInfoValues values_;
  bool from_service_ = false;
  bool from_shipped_file_ = false;
  bool just_after_update_ = false;
};

// Whether a parsed document is an application-information document: a root whose name contains
// "appinfo" (any case) carrying "ver".
bool IsAppInfoDocument(const pugi::xml_document& document);

// The settings of a root element, read in the order of the document's schema.
void ReadAppInfoSettings(const pugi::xml_node& root, bool just_after_update, TAppInfoValues& values);

// The message agent's settings from "messageagent", saved with this program's path; only a
// document from the service may change them.
class TMessageAgentConfig;
void ApplyMessageAgentElement(const pugi::xml_node& root, TMessageAgentConfig& agent);

// The local copy "Config" in the data folder, and its enciphered write (atomic, mode 0600).
std::string AppInfoLocalCopyPath();
void SaveAppInfoLocalCopy(const pugi::xml_node& root);

// True when the stored "SuccessedVersion" is set and differs from this program's version.
bool ComputeJustAfterUpdate();

// Kind code of a collage kind word (any case); -1 for an unknown word.
int CollageKindOf(std::string_view word);

}  // namespace plb
