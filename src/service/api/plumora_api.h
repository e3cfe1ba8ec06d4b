#pragma once
// The requests of the Plumora service. Each operation checks its arguments, posts one
// multipart/form-data body, and turns whatever happens into a TPLApiResult: no operation raises.
#include <functional>
#include <mutex>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

enum TPLApiResultKind : int {
  plrkUnKnown = 0,
  plrkSuccessed = 1,
  plrkSocketError = 2,
  plrkRequestFailed = 3,
  plrkException = 4,
  plrkNotModified = 5,
};

// The key word of a kind; part of the application-information document's error keys.
std::string_view PLApiResultKindWord(TPLApiResultKind kind);

struct TPLApiResult {
  bool Success = false;
  std::string Code;
  std::string Message;
  TPLApiResultKind Kind = plrkUnKnown;
  std::string ErrorCode;
  std::string Command;
};

// What a caller may set on a request beyond its fields.
struct TPLApiCallOptions {
  long connect_timeout_ms = 0;                                  // 0: the default of every request
  long read_timeout_ms = 0;                                     // 0: the default of every request
  std::function<bool()> cancelled;                              // true aborts the request in flight
  std::function<void(uint64_t sent, uint64_t total)> progress;  // bytes of the body sent so far
};

// The options of an image upload: the uploader options' time-outs when "UseOption" is on (each
// only when greater than 0), otherwise the defaults of every request.
TPLApiCallOptions UploadCallOptions();

struct TPlumoraAlbum {
  std::string plumora_id;
  std::string title;
  std::string preview_url;
};

struct TPlumoraRestItem {
  std::string host_name;
  std::string res_uuid;
};

struct ThumbSpec {
  int thumbid = 0;
  int width = 0;
  int height = 0;
  int jpeg_quality = 0;
  bool operator==(const ThumbSpec&) const = default;
};

inline constexpr int kThumbSlots = 7;
inline constexpr int kMaxRetryCount = 100;

// The state of one upload session. The uploader's workers read it while the uploader thread
// writes it, so every access goes through the item's lock.
class TPlumoraUploadInfoItem {
 public:
  struct Values {
    std::string session_id;
    std::string base_url;
    std::string plumora_id;
    std::string host_name;
    std::string long_session_id;
    std::string machine_id;
    std::string machine_user_id;
    bool allow_parallel = false;
    int original_max_width = 0;
    int original_max_height = 0;
    int original_jpeg_quality = 90;
    int retry_count = 0;
    ThumbSpec thumbs[kThumbSlots];
    int photo_count = 0;
  };

  Values Get() const {
    std::lock_guard guard(lock_);
    return values_;
  }
  void Update(const std::function<void(Values&)>& change) {
    std::lock_guard guard(lock_);
    change(values_);
  }

 private:
  mutable std::mutex lock_;
  Values values_;
};

// Words sent for the create mode ("createmode"), the source type ("direct_type") and the edit
// mode ("editmode"). The first two raise EPlumoraApiError for values out of range.
std::string PlumoraCreateModeWord(int mode);
std::string PlumoraApiSourceTypeWord(int type);
std::string PlumoraEditModeWord(int mode);

// The command CSV of a "plumoraBrowserCommand" element: "command=" and the attribute, then each
// "parameter" child's name=value, every item quoted. With require_command the parameters are
// taken only when the element has the attribute.
std::string CommandCSVFromElement(const pugi::xml_node& element, bool require_command);

// The program's file version, sent as "version".
const std::string& PLApiVersion();

TPLApiResult PLApi_GetFirstDisplayUrl(const std::string& url, const std::string& local_file, std::string& display_url,
                                      const TPLApiCallOptions& options = {});
TPLApiResult PLApi_GetFirstCommandCSV(const std::string& url, const std::string& local_file,
                                      pugi::xml_document& app_info, std::string& command_csv,
                                      const TPLApiCallOptions& options = {});
TPLApiResult PLApi_GetAppInfo(const std::string& log_long_session_id, const std::string& machine_id_list,
                              const std::string& machine_user_id_list, const std::string& validma, std::string& answer,
                              const TPLApiCallOptions& options = {});
TPLApiResult PLApi_GetPlumoraAlbums(const std::vector<std::string>& plumora_ids, std::vector<TPlumoraAlbum>* albums,
                                    const TPLApiCallOptions& options = {});
TPLApiResult PLApi_StartUpload(TPlumoraUploadInfoItem& item, const TPLApiCallOptions& options = {});
// url is the base URL of the session; the endpoint is appended.
TPLApiResult PLApi_FinishedUpload(const std::string& url, const std::string& session_id, const std::string& machine_id,
                                  const std::string& machine_user_id, const std::string& plumora_id, bool is_complete,
                                  int create_mode, int source_type, const std::string& source_name,
                                  const std::string& tab_name, const std::string& local_file, std::string& next_page,
                                  const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadEx(const std::string& url, const std::string& session_id, const std::string& machine_id,
                            const std::string& machine_user_id, const std::string& plumora_id, int edit_mode,
                            int photo_index, std::string& res_uuid, const std::string& comment, int thumb_id,
                            int source_width, int source_height, const std::vector<std::string>& tags,
                            const std::string& source_file_name, const std::string& data_file,
                            const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadBodyIcon(const std::string& file_name, const std::string* icon_stream, std::string& next_page,
                                  const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadBGMStream(const std::string& plumora_id, const std::string& file_name,
                                   const std::string& title, const std::string* stream, std::string& res_uuid,
                                   const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadBGMStreamEx(const std::string& plumora_id, const std::string& file_name,
                                     const std::string& title, const std::string* stream, std::string& next_page,
                                     const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadBack(const std::string& long_session_id, const std::string& machine_id,
                              const std::string& machine_user_id, int thumb_id, const std::string& source_file_name,
                              const std::string& data_file, const std::string& res_uuid,
                              const TPLApiCallOptions& options = {});
TPLApiResult PLApi_GetRestUploadBack(const std::string& long_session_id, const std::string& machine_id,
                                     const std::string& machine_user_id, std::vector<TPlumoraRestItem>* items,
                                     const TPLApiCallOptions& options = {});
TPLApiResult PLApi_UploadFailBack(const std::string& long_session_id, const std::string& machine_id,
                                  const std::string& machine_user_id, const std::string& res_uuid,
                                  const TPLApiCallOptions& options = {});
TPLApiResult PLApi_FinishedUploadBack(const std::string& long_session_id, const std::string& machine_id,
                                      const std::string& machine_user_id, bool is_complete,
                                      const TPLApiCallOptions& options = {});
TPLApiResult PLApi_SaveLog(const std::string& url, const std::string& long_session_id, const std::string* log_data,
                           const TPLApiCallOptions& options = {});
TPLApiResult PLApi_LogOut(const TPLApiCallOptions& options = {});
TPLApiResult EyeFi_GetDirectoryResources(const std::string& dir_id, int revision, std::string& answer,
                                         const TPLApiCallOptions& options = {});
TPLApiResult EyeFi_loadThumbnail(const std::string& res_id, int width, int height, std::string& answer,
                                 const TPLApiCallOptions& options = {});
TPLApiResult EyeFi_loadResource(const std::string& res_id, int revision, std::string& answer,
                                const TPLApiCallOptions& options = {});
TPLApiResult EyeFi_Upload(const std::string& plumora_id, const std::string& res_id, int photo_index,
                          const TPLApiCallOptions& options = {});

}  // namespace plb
