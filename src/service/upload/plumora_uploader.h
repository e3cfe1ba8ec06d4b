#pragma once
// One upload session: opens the session on the service, prepares every photo as a set of JPEG
// files in the image cache (the full image within the service's "originalmax" and up to seven
// thumbnail sizes, with trimming, orientation and colour adjustment applied) on one preparation
// worker per processor, sends them on twice as many upload workers with the service's retry
// count, sends the background music, finishes the session and reports which items reached the
// service. With background upload on, only the smallest thumbnail is sent at once and the other
// files are registered with the re-upload queue. Edit mode 3 instead sends the first photo as the
// book's body icon.
//
// Upload status of the catalog items (event 21 on every change): 0 none, 1 queued, 2 preparing,
// 3 prepared, 4 uploading, 5 uploaded, 6 failed; 0 again when the session ends.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"
#include "platform/error.h"
#include "service/api/plumora_api.h"

namespace plb {

class TAlbumList;

PLB_DECLARE_ERROR(EPlumoraUploaderExError, Error);

enum TUploadStatus : uint8_t {
  usNone = 0,
  usQueued = 1,
  usPreparing = 2,
  usPrepared = 3,
  usUploading = 4,
  usUploaded = 5,
  usFailed = 6,
};

// Sets a catalog item's upload status; raises the item-changed event 21 only on a change.
void SetUploadStatus(TCatalogItem* item, uint8_t status);

// Sizes from the service are bounded before anything is made from them.
inline constexpr int kMaxUploadSide = 32768;
inline constexpr int kMaxBodyIconSide = 4096;

// One photo of the session. The fields the workers share are read and written under its lock.
class TPlumoraUploadItem {
 public:
  explicit TPlumoraUploadItem(TCatalogItem* item);

  // Taken from the catalog item at creation.
  TCatalogItem* const catalog_item;
  const std::string path;
  const int kind;
  const int item_class;
  const uint16_t orientation;
  const TColorAdjustment color;
  const bool trimming;
  const TTrimRect trim_rect;
  const std::string comment;
  const std::string title;
  const std::vector<std::string> tags;

  struct State {
    int photo_index = 0;
    std::string res_uuid;
    TPlumoraUploadInfoItem::Values session;  // ids and sizes of the session
    int edit_mode = 0;
    int full_width = 0, full_height = 0, full_quality = 90;
    ThumbSpec thumbs[kThumbSlots];
    bool uploaded = false;
    bool queued = false;  // the larger files wait in the re-upload queue
  };
  State Get() const;
  void Update(const std::function<void(State&)>& change);

 private:
  mutable std::mutex lock_;
  State state_;
};

// What the session tells its caller about each photo as it leaves the upload workers.
using TUploadItemDone = std::function<void(const TPlumoraUploadItem& item)>;

class TPlumoraUploader {
 public:
  TPlumoraUploader();
  ~TPlumoraUploader();  // cancels and waits
  TPlumoraUploader(const TPlumoraUploader&) = delete;
  TPlumoraUploader& operator=(const TPlumoraUploader&) = delete;

  // Inputs, set before Start().
  void SetPlumoraId(const std::string& id) { plumora_id_ = id; }
  void SetEditMode(int mode) { edit_mode_ = mode; }
  void SetBodyIconSize(int width, int height);
  void SetSourceType(int type) { source_type_ = type; }
  void SetCreateMode(int mode) { create_mode_ = mode; }
  void SetSourceName(const std::string& name) { source_name_ = name; }
  void SetBgmFile(const std::string& path) { bgm_file_ = path; }
  void SetLocalParamData(std::string data) { local_param_ = std::move(data); }
  void SetTabName(const std::string& name) { tab_name_ = name; }
  void SetBackgroundUpload(bool on) { background_ = on; }
  void SetProcessorCount(int n) { processors_override_ = n; }
  void SetItemDone(TUploadItemDone done) { item_done_ = std::move(done); }
  // The albums that keep the photo books: "アルバム"/<book id> receives the delivered photos.
  void SetAlbumList(TAlbumList* albums) { albums_ = albums; }
  // Runs when the session has ended: on the UI thread when a dispatcher is installed, else on
  // the session's thread.
  void SetCompletion(std::function<void()> completion) { completion_ = std::move(completion); }
  void AddItem(TCatalogItem* item);

  void Start();
  // The terminate request: nothing more is queued or sent, a transfer in flight is aborted and
  // the session is finished as incomplete.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  void Wait();
  bool Finished() const { return finished_; }
  int ProgressPercent() const;

  // Outputs, read after the end.
  bool Success() const { return success_; }
  bool BadSession() const { return bad_session_; }
  std::string PlumoraId() const;
  std::string NextCommand() const;
  std::vector<TCatalogItem*> UploadedItems() const;
  const std::vector<std::unique_ptr<TPlumoraUploadItem>>& Items() const { return items_; }
  int UploadWorkerCount() const { return upload_workers_; }
  int PrepareWorkerCount() const { return prepare_workers_; }

 private:
  struct Queue {
    std::mutex lock;
    std::condition_variable signal;
    std::deque<TPlumoraUploadItem*> items;
    bool closed = false;
  };

  void Execute();
  bool DoUpload();
  bool DoUploadBodyIcon();
  void RunWorkers(int prepare_count, int upload_count);
  void Put(Queue& queue, TPlumoraUploadItem* item);
  TPlumoraUploadItem* Next(Queue& queue, bool& stop);
  void Close(Queue& queue);
  void Step();
  void SaveCacheImage(TPlumoraUploadItem& item);
  void DoUploadItem(TPlumoraUploadItem& item, bool background);
  bool DoUploadImageFile(TPlumoraUploadItem& item, int thumb);
  void AddBackupLoadFile(TPlumoraUploadItem& item);
  bool FinishedUpload(bool complete);
  void DoCanceledWork();
  void DoCompletedWork();
  TPLApiCallOptions CallOptions() const;
  std::string CacheFolder() const;

  std::string plumora_id_;
  int edit_mode_ = 0;
  int icon_width_ = 240, icon_height_ = 240;
  int source_type_ = 0;
  int create_mode_ = 0;
  std::string source_name_;
  std::string bgm_file_;
  std::string local_param_;
  std::string tab_name_;
  bool background_ = false;
  int processors_override_ = 0;
  TUploadItemDone item_done_;
  TAlbumList* albums_ = nullptr;
  std::function<void()> completion_;

  std::vector<std::unique_ptr<TPlumoraUploadItem>> items_;
  TPlumoraUploadInfoItem info_;
  Queue prepare_, upload_;
  mutable std::mutex progress_lock_;
  int steps_ = 0;
  int upload_workers_ = 0, prepare_workers_ = 0;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> success_{false};
  std::atomic<bool> bad_session_{false};
  mutable std::mutex out_lock_;
  std::string next_command_;
  std::thread thread_;
};

}  // namespace plb
