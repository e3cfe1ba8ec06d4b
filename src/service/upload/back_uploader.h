#pragma once
// The background re-upload queue: one low-priority thread for the life of the program that, every
// ten seconds while the user is signed in and no upload session runs, sends the files registered
// as ".bu" items (oldest long session first), closes each long session once its last item is
// disposed of, keeps the image cache under its size limit and removes empty cache folders.
//
// Pass outcomes of one item:
//   sent                        item file deleted, target kept (the cache may evict it later)
//   failed (HTTP, network)      both kept; tried again next pass, without limit
//   target file gone            item file deleted without a request
//   "BadLongSessionid"          target and item deleted; every later item of that long session
//                               is dropped without a request for the life of the thread
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/named_event.h"
#include "service/api/plumora_api.h"
#include "service/upload/back_upload_item.h"

namespace plb {

class TAlbum;
class TAlbumList;

PLB_DECLARE_ERROR(EPlumoraBackUploaderError, Error);

inline constexpr const char* kBackUploaderCancelEvent = "PlumoraBackUploaderCancelEvent";
inline constexpr const char* kBackUploaderResetEvent = "PlumoraBackUploaderResetEvent";

// What one pass did, for callers that report it.
struct TBackUploadPassReport {
  int sent = 0;
  int dropped = 0;      // target gone or long session refused
  int kept = 0;         // left for a later pass
  int closed = 0;       // long sessions closed
  uint64_t evicted = 0;  // cache files deleted for the size limit
};

class TPlumoraBackUploader {
 public:
  TPlumoraBackUploader(std::string backupload_root, std::string cache_root);
  ~TPlumoraBackUploader();
  TPlumoraBackUploader(const TPlumoraBackUploader&) = delete;
  TPlumoraBackUploader& operator=(const TPlumoraBackUploader&) = delete;

  // Runs the thread: a pass, then ten seconds' rest (wait_ms), until Stop() or the cancel signal.
  void Start(int wait_ms = 10000);
  // Asks the thread to stop, aborts a request in flight and waits for it.
  void Stop();

  // The album list whose "アルバム" group holds one child album per photo book; without it the
  // local albums are left alone. Set before Start().
  void SetAlbumList(TAlbumList* albums) { albums_ = albums; }

  // One pass on the calling thread, as the thread runs it.
  TBackUploadPassReport RunPass();

  // The thread may go on: not stopping, neither cancel nor pause signalled.
  bool MayGoOn() const;
  // Long session folders waiting below the BackUpload root.
  bool HasPendingFolders() const;

  // Steps of a pass; public for the callers that run one on its own (and for tests).
  void CheckBackUploadItems(TBackUploadPassReport& report);
  void CheckCacheSize(int64_t limit_bytes, TBackUploadPassReport& report);
  void CheckEmptyCacheFolder();
  // The local albums of photo books against the service's list: the books it knows get their
  // title and preview; a book it no longer knows loses its cached files, or, when none are
  // cached, its album.
  void CleanupPlumoraAlbum();

 private:
  void Execute(int wait_ms);
  void DoBackUpload(const std::string& folder, TBackUploadPassReport& report);
  void UploadBuItems(std::vector<TPlumoraBackUploadItem>& items, bool delete_targets, TBackUploadPassReport& report);
  enum class Outcome { kSent, kDropped, kKept };
  Outcome UploadItem(const TPlumoraBackUploadItem& item);
  void DropTarget(const TPlumoraBackUploadItem& item);
  void CheckRestItems(const TPlumoraBackUploadItem& last);
  bool RetryUploadFile(const std::string& res_uuid, const std::string& host_name, const TPlumoraBackUploadItem& last);
  bool DeleteCacheFile(const std::string& path);
  bool SessionFailed(const std::string& long_session_id) const;
  bool ClearEmptyCacheDirectory(const std::string& folder);
  void CheckPlumoraAlbum(TAlbum* group, const std::vector<TPlumoraAlbum>& known, std::vector<TAlbum*>& local);
  void ClearLostAlbumData(TAlbum* album);
  void ClearCacheFolderFile(const std::string& folder);

  const std::string backupload_root_;
  const std::string cache_root_;
  std::shared_ptr<platform::NamedEvent> cancel_;
  std::shared_ptr<platform::NamedEvent> pause_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex lock_;
  std::set<std::string> failed_sessions_;  // lower-cased
  std::string last_session_id_;
  TAlbumList* albums_ = nullptr;
};

// The program's one queue, started and stopped with the program; albums as SetAlbumList.
void StartPlumoraBackUploader(int wait_ms = 10000, TAlbumList* albums = nullptr);
void AbortPlumoraBackUploader();
// True between StartPlumoraBackUploader and AbortPlumoraBackUploader.
bool PlumoraBackUploaderRunning();
// Pause for the length of an upload session, and go on afterwards.
void ResetPlumoraBackUploader();
void ReStartPlumoraBackUploader();
// True while the queue runs unpaused and some long session waits below the BackUpload root.
bool BackuploadFileExists();

// Registers one prepared file of an upload session; true when its item file was written. Thumb
// ids 1 to 7 are thumbnails, any other id the full image.
bool SaveBackUploadItem(const std::string& base_url, const std::string& long_session_id, const std::string& machine_id,
                        int thumb_id, const std::string& source_file, const std::string& target_file,
                        const std::string& res_uuid, const std::string& plumora_id, const std::string& host_name,
                        const std::string& machine_user_id);
// Forgets every registered file of a long session (an upload session that was cancelled).
void ClearBackUploadFolder(const std::string& long_session_id);

}  // namespace plb
