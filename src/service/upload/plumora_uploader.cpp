#include "service/upload/plumora_uploader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/custom_folder.h"
#include "host/ascii_case.h"
#include "host/log_file.h"
#include "host/uploader_options.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/effects/image_effect.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "platform/thread_stop.h"
#include "platform/ui_dispatcher.h"
#include "service/api/plumora_api_params.h"
#include "service/logs/plb_log_item.h"
#include "service/upload/back_uploader.h"
#include "service/upload/next_page_command.h"
#include "service/upload/sound_file.h"
#include "service/upload/service_path.h"
#include "service/upload/upload_image_folder.h"

namespace plb {
namespace fs = std::filesystem;

namespace {

constexpr int kFileKindSound = 7;
constexpr int kResampleMethod = 4;
constexpr int kIconQuality = 98;

std::vector<std::string> TagNames(TCatalogItem* item) {
  std::vector<std::string> names;
  for (TCustomFolder* tag : item->Tags()) names.push_back(tag->GetName());
  return names;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A prepared file is new under its own name, so nobody reads it half-written.
bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out) return true;
  ::unlink(path.c_str());
  return false;
}

int ClampSide(int v) {
  return std::clamp(v, 0, kMaxUploadSide);
}

}  // namespace

void SetUploadStatus(TCatalogItem* item, uint8_t status) {
  if (item == nullptr || item->UploaderValue(0) == status) return;
  item->SetUploaderValue(0, status);
  RaiseCatalogUpdateEvent(item, cukUploadStatusChanged);
}

TPlumoraUploadItem::TPlumoraUploadItem(TCatalogItem* item)
    : catalog_item(item),
      path(item->FullPath()),
      kind(item->Kind()),
      item_class(item->ItemClass()),
      orientation(item->Orientation()),
      color(item->Color()),
      trimming(item->TrimmingInForce()),
      trim_rect(item->TrimRect()),
      comment(item->Comment()),
      title(item->Title()),
      tags(TagNames(item)) {}

TPlumoraUploadItem::State TPlumoraUploadItem::Get() const {
  std::lock_guard guard(lock_);
  return state_;
}

void TPlumoraUploadItem::Update(const std::function<void(State&)>& change) {
  std::lock_guard guard(lock_);
  change(state_);
}

// Names in the session's cache folder.
namespace {
std::string PreparedFull(const std::string& folder, const TPlumoraUploadItem::State& s) {
  return folder + "/" + ServicePathComponent(s.session.long_session_id) + "-" + std::to_string(s.photo_index) + ".jpg";
}
std::string PreparedThumb(const std::string& folder, const TPlumoraUploadItem::State& s, int slot) {
  return folder + "/" + ServicePathComponent(s.session.long_session_id) + "-" + std::to_string(s.photo_index) + "-" +
         std::to_string(slot) + ".jpg";
}
std::string UploadedFull(const std::string& folder, const TPlumoraUploadItem::State& s) {
  return folder + "/" + ServicePathComponent(s.res_uuid) + ".jpg";
}
std::string UploadedThumb(const std::string& folder, const TPlumoraUploadItem::State& s, int slot) {
  const ThumbSpec& t = s.thumbs[slot - 1];
  return folder + "/" + ServicePathComponent(s.res_uuid) + "_" + std::to_string(t.width) + "_" +
         std::to_string(t.height) + ".jpg";
}
std::string FolderOf(const TPlumoraUploadItem::State& s) {
  return ImageLibCacheFolder(s.session.host_name, s.session.plumora_id);
}
}  // namespace

TPlumoraUploader::TPlumoraUploader() = default;

TPlumoraUploader::~TPlumoraUploader() {
  Cancel();
  Wait();
}

void TPlumoraUploader::SetBodyIconSize(int width, int height) {
  icon_width_ = std::clamp(width, 1, kMaxBodyIconSide);
  icon_height_ = std::clamp(height, 1, kMaxBodyIconSide);
}

void TPlumoraUploader::AddItem(TCatalogItem* item) {
  items_.push_back(std::make_unique<TPlumoraUploadItem>(item));
}

void TPlumoraUploader::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TPlumoraUploader::Cancel() {
  cancelled_ = true;
  for (Queue* q : {&prepare_, &upload_}) {
    std::lock_guard guard(q->lock);
    q->signal.notify_all();
  }
}

void TPlumoraUploader::Wait() {
  if (thread_.joinable()) thread_.join();
}

int TPlumoraUploader::ProgressPercent() const {
  std::lock_guard guard(progress_lock_);
  const int total = static_cast<int>(items_.size()) * 2;
  return total == 0 ? 0 : steps_ * 100 / total;
}

std::string TPlumoraUploader::PlumoraId() const {
  return info_.Get().plumora_id;
}

std::string TPlumoraUploader::NextCommand() const {
  std::lock_guard guard(out_lock_);
  return next_command_;
}

std::vector<TCatalogItem*> TPlumoraUploader::UploadedItems() const {
  std::vector<TCatalogItem*> out;
  for (const auto& item : items_)
    if (item->Get().uploaded) out.push_back(item->catalog_item);
  return out;
}

TPLApiCallOptions TPlumoraUploader::CallOptions() const {
  TPLApiCallOptions options = UploadCallOptions();
  options.cancelled = [this] { return cancelled_.load(); };
  return options;
}

std::string TPlumoraUploader::CacheFolder() const {
  const auto v = info_.Get();
  return ImageLibCacheFolder(v.host_name, v.plumora_id);
}

void TPlumoraUploader::Execute() {
  platform::SetCurrentThreadName("PlumoraUploaderEx");
  success_ = false;
  bool paused = false;
  std::optional<std::chrono::steady_clock::time_point> started;
  try {
    if (items_.empty()) throw EPlumoraUploaderExError("TargetItems Count = 0");
    ResetPlumoraBackUploader();
    paused = true;
    info_.Update([&](TPlumoraUploadInfoItem::Values& v) {
      v.plumora_id = plumora_id_;
      v.photo_count = static_cast<int>(items_.size());
    });
    for (const auto& item : items_) SetUploadStatus(item->catalog_item, usQueued);
    started = std::chrono::steady_clock::now();
    success_ = edit_mode_ == 3 ? DoUploadBodyIcon() : DoUpload();
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploaderEx.Execute", e);
  }
  // The usage counters keep every session that began, also one that ended in an error.
  if (started) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - *started);
    PLBLogItem().Uploaded(static_cast<int>(items_.size()), static_cast<int>(elapsed.count()));
  }
  for (const auto& item : items_) SetUploadStatus(item->catalog_item, usNone);
  if (paused) ReStartPlumoraBackUploader();
  finished_ = true;
  if (completion_) {
    platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
    if (ui != nullptr) {
      ui->Post(completion_);
    } else {
      completion_();
    }
  }
}

bool TPlumoraUploader::DoUpload() {
  const TPLApiResult start = PLApi_StartUpload(info_, CallOptions());
  if (!start.Success) {
    if (AsciiEqualsNoCase(start.Code, "BadSessionid") || AsciiEqualsNoCase(start.Message, "SessionId is empty."))
      bad_session_ = true;
    return false;
  }
  const TPlumoraUploadInfoItem::Values v = info_.Get();
  const int n = processors_override_ > 0 ? processors_override_
                                         : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const TUploaderOptions options = UploaderOptions();
  int uploaders = 2 * n;
  int preparers = n;
  if (!v.allow_parallel || (options.use_option && !options.allow_parallel)) uploaders = 1;
  if (options.use_option && options.max_uploader_count > 0) {
    uploaders = std::min(uploaders, options.max_uploader_count);
    preparers = std::min(preparers, options.max_uploader_count);
  }
  // Beyond these, more threads only add memory and connections.
  uploaders = std::min(uploaders, 16);
  preparers = std::min(preparers, 8);
  try {
    RunWorkers(preparers, uploaders);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploaderEx.DoUpload", e);
  }
  if (!cancelled_ && !bgm_file_.empty() && create_mode_ == 3) {
    std::string bytes, next_page;
    if (const std::string why = ReadSoundFile(bgm_file_, bytes); !why.empty())
      WriteLog("TPlumoraUploaderEx.DoUploadBGMFile : " + bgm_file_ + " : " + why);
    else
      PLApi_UploadBGMStreamEx(v.plumora_id, bgm_file_, "", &bytes, next_page, CallOptions());
  }
  const bool ok = FinishedUpload(!cancelled_);
  if (ok) {
    DoCompletedWork();
  } else {
    DoCanceledWork();
  }
  return ok;
}

void TPlumoraUploader::RunWorkers(int prepare_count, int upload_count) {
  prepare_workers_ = prepare_count;
  upload_workers_ = upload_count;
  const TPlumoraUploadInfoItem::Values v = info_.Get();
  std::vector<std::thread> preparers, uploaders;
  for (int i = 0; i < upload_count; ++i)
    uploaders.emplace_back([this] {
      platform::SetCurrentThreadName("PlumoraFileUploader");
      for (bool stop = false; !stop;)
        if (TPlumoraUploadItem* item = Next(upload_, stop)) {
          DoUploadItem(*item, background_);
          Step();
          if (item_done_) item_done_(*item);
        }
    });
  for (int i = 0; i < prepare_count; ++i)
    preparers.emplace_back([this] {
      platform::SetCurrentThreadName("PlumoraFileUploader");
      for (bool stop = false; !stop;)
        if (TPlumoraUploadItem* item = Next(prepare_, stop)) {
          SaveCacheImage(*item);
          Put(upload_, item);
        }
    });
  try {
    std::error_code ec;
    const std::string folder = ImageLibCacheFolder(v.host_name, v.plumora_id);
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
      throw EPlumoraUploaderExError("キャッシュフォルダの作成に失敗しました。： " + folder);
    for (size_t p = 0; p < items_.size() && !cancelled_; ++p) {
      TPlumoraUploadItem& item = *items_[p];
      item.Update([&](TPlumoraUploadItem::State& s) {
        s.session = v;
        s.photo_index = static_cast<int>(p);
        s.full_width = ClampSide(v.original_max_width);
        s.full_height = ClampSide(v.original_max_height);
        s.full_quality = v.original_jpeg_quality;
        s.edit_mode = edit_mode_;
        for (int i = 0; i < kThumbSlots; ++i) {
          s.thumbs[i] = v.thumbs[i];
          s.thumbs[i].width = ClampSide(s.thumbs[i].width);
          s.thumbs[i].height = ClampSide(s.thumbs[i].height);
        }
      });
      if (item.kind == kFileKindSound || item.item_class == 1) {
        Put(upload_, &item);
      } else {
        Put(prepare_, &item);
      }
    }
  } catch (...) {
    Close(prepare_);
    for (auto& t : preparers) t.join();
    Close(upload_);
    for (auto& t : uploaders) t.join();
    throw;
  }
  Close(prepare_);
  for (auto& t : preparers) t.join();
  Close(upload_);
  for (auto& t : uploaders) t.join();
}

void TPlumoraUploader::Put(Queue& queue, TPlumoraUploadItem* item) {
  {
    std::lock_guard guard(queue.lock);
    queue.items.push_back(item);
    queue.signal.notify_one();
  }
  if (&queue == &upload_) Step();
}

TPlumoraUploadItem* TPlumoraUploader::Next(Queue& queue, bool& stop) {
  std::unique_lock guard(queue.lock);
  queue.signal.wait_for(guard, std::chrono::milliseconds(100),
                        [&] { return cancelled_ || queue.closed || !queue.items.empty(); });
  if (cancelled_ || queue.items.empty()) {
    stop = cancelled_ || queue.closed;
    return nullptr;
  }
  TPlumoraUploadItem* item = queue.items.front();
  queue.items.pop_front();
  return item;
}

void TPlumoraUploader::Close(Queue& queue) {
  std::lock_guard guard(queue.lock);
  queue.closed = true;
  queue.signal.notify_all();
}

void TPlumoraUploader::Step() {
  std::lock_guard guard(progress_lock_);
  ++steps_;
}

void TPlumoraUploader::SaveCacheImage(TPlumoraUploadItem& item) {
  if (cancelled_) return;
  TPlumoraUploadItem::State s = item.Get();
  const std::string folder = FolderOf(s);
  SetUploadStatus(item.catalog_item, usPreparing);
  try {
    int box_w = s.full_width, box_h = s.full_height;
    if (item.orientation >= 5 && item.orientation <= 8) std::swap(box_w, box_h);
    Bitmap master;
    // Decode at the smallest DCT scale that still covers the box: the same sizes, far less work.
    int scale = dsFull;
    if (item.kind == 1 && !item.trimming && box_w > 0 && box_h > 0) {
      const TImageInfoRec info = GetImageInfo(item.path, item.kind);
      if (info.width > 0 && info.height > 0) {
        const TSize fit = FitInside(box_w, box_h, info.width, info.height);
        scale = std::min(DecodeScaleFor(info.width, fit.cx), DecodeScaleFor(info.height, fit.cy));
      }
    }
    LoadImageFile(master, item.kind, item.path, nullptr, scale);
    if (item.trimming) {
      const TTrimRect& r = item.trim_rect;
      CropBitmap(master, TRect{r.left, r.top, r.right, r.bottom});
    }
    if (box_w > 0 && box_h > 0 && (master.Width() > box_w || master.Height() > box_h)) {
      const TSize fit = FitInside(box_w, box_h, master.Width(), master.Height());
      ResizeBitmapTo(master, fit.cx, fit.cy, nullptr, kResampleMethod);
    }
    ApplyOrientation(master, item.orientation);
    ApplyItemEffect(master, item.color);
    if (cancelled_ || master.Width() <= 0 || master.Height() <= 0) {
      SetUploadStatus(item.catalog_item, usPrepared);
      return;
    }
    if (WriteFile(PreparedFull(folder, s), EncodeJpeg(master, s.full_quality))) {
      item.Update([&](TPlumoraUploadItem::State& st) {
        st.full_width = master.Width();
        st.full_height = master.Height();
      });
    }
    for (int slot = 1; slot <= kThumbSlots && !cancelled_; ++slot) {
      const ThumbSpec t = s.thumbs[slot - 1];
      if (t.width < 1 || t.height < 1 || (t.width >= master.Width() && t.height >= master.Height())) continue;
      try {
        const TSize size = FitInside(t.width, t.height, master.Width(), master.Height());
        Bitmap thumb(size.cx, size.cy);
        ResizeBitmap(master, thumb, kResampleMethod);
        if (!WriteFile(PreparedThumb(folder, s, slot), EncodeJpeg(thumb, t.jpeg_quality)))
          throw EPlumoraUploaderExError("cannot write " + PreparedThumb(folder, s, slot));
        item.Update([&](TPlumoraUploadItem::State& st) {
          st.thumbs[slot - 1].width = size.cx;
          st.thumbs[slot - 1].height = size.cy;
        });
      } catch (const std::exception& e) {
        LogFailure("TPlumoraUploadWorker.SaveCacheThumbImage( CachePath=" + folder + " : Source=" + item.path + " )", e);
        break;
      }
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploadWorker.SaveCacheImage( CachePath=" + folder + " : Source=" + item.path + " )", e);
  }
  SetUploadStatus(item.catalog_item, usPrepared);
}

void TPlumoraUploader::DoUploadItem(TPlumoraUploadItem& item, bool background) {
  if (cancelled_) return;
  SetUploadStatus(item.catalog_item, usUploading);
  const TPlumoraUploadItem::State s = item.Get();
  try {
    if (item.item_class == 1) {
      if (!s.session.plumora_id.empty() &&
          EyeFi_Upload(s.session.plumora_id, item.catalog_item->RemoteRef(), s.photo_index, CallOptions()).Success)
        item.Update([](TPlumoraUploadItem::State& st) {
          st.uploaded = true;
          st.res_uuid.clear();
        });
    } else if (item.kind == kFileKindSound) {
      std::string bytes, uuid;
      if (!s.session.plumora_id.empty() && ReadSoundFile(item.path, bytes).empty() &&
          PLApi_UploadBGMStream(s.session.plumora_id, item.path, item.title, &bytes, uuid, CallOptions()).Success)
        item.Update([&](TPlumoraUploadItem::State& st) {
          st.uploaded = true;
          st.res_uuid = uuid;
        });
    } else if (background && !s.session.long_session_id.empty() && DoUploadImageFile(item, 1)) {
      AddBackupLoadFile(item);
    } else {
      for (int slot = 1; slot <= kThumbSlots; ++slot)
        if (!DoUploadImageFile(item, slot)) ::unlink(PreparedThumb(FolderOf(s), item.Get(), slot).c_str());
      if (DoUploadImageFile(item, -1)) {
        item.Update([](TPlumoraUploadItem::State& st) { st.uploaded = true; });
      } else {
        ::unlink(PreparedFull(FolderOf(s), item.Get()).c_str());
      }
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploadWorker.DoUploadItem( PlumoraId=" + s.session.plumora_id +
                   " : PhotoIndex=" + std::to_string(s.photo_index) + " )",
               e);
  }
  SetUploadStatus(item.catalog_item, item.Get().uploaded ? usUploaded : usFailed);
}

bool TPlumoraUploader::DoUploadImageFile(TPlumoraUploadItem& item, int thumb) {
  TPlumoraUploadItem::State s = item.Get();
  const std::string folder = FolderOf(s);
  const std::string source = thumb > 0 ? PreparedThumb(folder, s, thumb) : PreparedFull(folder, s);
  if (!FileExists(source)) return false;
  try {
    const int attempts = 1 + std::clamp(s.session.retry_count, 0, kMaxRetryCount);
    for (int n = 1; n <= attempts && !cancelled_; ++n) {
      if (n > 1) {
        char line[64];
        std::snprintf(line, sizeof line, "retrycount=%d : Source=", n - 1);
        WriteLog(std::string("Retry Upload.( ") + line + item.path +
                 (thumb > 0 ? " : thumbsid=" + std::to_string(thumb) : std::string()) + " : resuuid=" + s.res_uuid +
                 " )");
      }
      std::string uuid = s.res_uuid;
      const TPLApiResult r =
          PLApi_UploadEx(s.session.base_url, s.session.session_id, s.session.machine_id, s.session.machine_user_id,
                         s.session.plumora_id, s.edit_mode, s.photo_index, uuid, item.comment, thumb, s.full_width,
                         s.full_height, item.tags, item.path, source, CallOptions());
      if (!r.Success || uuid.empty()) continue;
      item.Update([&](TPlumoraUploadItem::State& st) { st.res_uuid = uuid; });
      s.res_uuid = uuid;
      const std::string uploaded = thumb > 0 ? UploadedThumb(folder, s, thumb) : UploadedFull(folder, s);
      // The file reached the service: a failed rename only costs the cache copy.
      if (std::rename(source.c_str(), uploaded.c_str()) != 0) WriteLog("Rename failed: " + source + " -> " + uploaded);
      return true;
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraItemUploader.DoUploadImageFile( FileName=" + source + " )", e);
  }
  return false;
}

void TPlumoraUploader::AddBackupLoadFile(TPlumoraUploadItem& item) {
  const TPlumoraUploadItem::State s = item.Get();
  if (s.session.long_session_id.empty() || cancelled_) return;
  const std::string folder = FolderOf(s);
  const auto& v = s.session;
  ImageLibBeginWrite(v.host_name, v.plumora_id, s.res_uuid, -1);
  for (int slot = 2; slot <= kThumbSlots; ++slot) {
    const std::string prepared = PreparedThumb(folder, s, slot);
    if (!FileExists(prepared)) continue;
    const std::string target = UploadedThumb(folder, s, slot);
    if (std::rename(prepared.c_str(), target.c_str()) == 0) {
      SaveBackUploadItem(v.base_url, v.long_session_id, v.machine_id, slot, item.path, target, s.res_uuid,
                         v.plumora_id, v.host_name, v.machine_user_id);
    } else {
      ::unlink(prepared.c_str());
    }
  }
  const std::string prepared = PreparedFull(folder, s);
  const std::string target = UploadedFull(folder, s);
  bool registered = false;
  if (std::rename(prepared.c_str(), target.c_str()) == 0) {
    registered = SaveBackUploadItem(v.base_url, v.long_session_id, v.machine_id, 0, item.path, target, s.res_uuid,
                                    v.plumora_id, v.host_name, v.machine_user_id);
  } else {
    ::unlink(prepared.c_str());
  }
  ImageLibEndWrite(v.host_name, v.plumora_id, s.res_uuid);
  item.Update([&](TPlumoraUploadItem::State& st) {
    st.uploaded = registered;
    st.queued = registered;
  });
}

bool TPlumoraUploader::FinishedUpload(bool complete) {
  const TPlumoraUploadInfoItem::Values v = info_.Get();
  std::string saved;
  bool ok = false;
  try {
    if (!local_param_.empty()) {
      const std::string folder = CacheFolder();
      std::error_code ec;
      fs::create_directories(folder, ec);
      for (int n = 0; saved.empty(); ++n) {
        const std::string name = folder + "/LocalParam_" + std::to_string(n) + ".xml";
        if (!fs::exists(name, ec)) saved = name;
      }
      if (!WriteFile(saved, local_param_)) throw EPlumoraUploaderExError("cannot write " + saved);
    }
    std::string next_page;
    TPLApiCallOptions options = UploadCallOptions();  // the finish is sent also after a cancel
    const TPLApiResult r = PLApi_FinishedUpload(v.base_url, v.session_id, v.machine_id, v.machine_user_id, v.plumora_id,
                                                complete, create_mode_, source_type_, source_name_, tab_name_, saved,
                                                next_page, options);
    ok = complete && r.Success;
    if (ok) {
      std::lock_guard guard(out_lock_);
      next_command_ = NextPageCommand(r, next_page);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploaderEx.FinishedUpload", e);
    ok = false;
  }
  if (!saved.empty()) ::unlink(saved.c_str());
  return ok;
}

void TPlumoraUploader::DoCompletedWork() {
  try {
    const TPlumoraUploadInfoItem::Values v = info_.Get();
    if (albums_ == nullptr || v.plumora_id.empty()) return;
    TAlbum* root = albums_->Root(atAlbum);
    if (root == nullptr) return;
    TAlbum* book = root->FindOrAddChild(v.plumora_id, true);
    if (book == nullptr) return;
    book->SetHostName(v.host_name);
    for (const auto& item : items_) {
      const TPlumoraUploadItem::State s = item->Get();
      if (!s.uploaded) continue;
      {
        std::lock_guard guard(book->Lock());
        TAlbumItem* entry = book->AddItem(item->catalog_item, 0);
        if (entry == nullptr) continue;
        entry->ResourceUuid = s.res_uuid;
        entry->Orientation = item->orientation;
        entry->ColorAdjustment = item->color;
        entry->Comment = item->comment;
      }
      RaiseCatalogUpdateEvent(item->catalog_item, cukTagsChanged);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploader.DoCompletedWork", e);
  }
}

void TPlumoraUploader::DoCanceledWork() {
  try {
    const TPlumoraUploadInfoItem::Values v = info_.Get();
    ClearBackUploadFolder(v.long_session_id);
    const std::string folder = CacheFolder();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    for (const auto& item : items_) {
      const TPlumoraUploadItem::State s = item->Get();
      ::unlink(PreparedFull(folder, s).c_str());
      for (int slot = 1; slot <= kThumbSlots; ++slot) ::unlink(PreparedThumb(folder, s, slot).c_str());
      if (s.res_uuid.empty()) continue;  // no uploaded names without an id
      ::unlink(UploadedFull(folder, s).c_str());
      for (int slot = 1; slot <= kThumbSlots; ++slot) ::unlink(UploadedThumb(folder, s, slot).c_str());
    }
    ::rmdir(folder.c_str());
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploader.DoCanceledWork", e);
  }
}

bool TPlumoraUploader::DoUploadBodyIcon() {
  TPlumoraUploadItem& item = *items_.front();
  try {
    SetUploadStatus(item.catalog_item, usPreparing);
    int box_w = icon_width_, box_h = icon_height_;
    if (item.orientation >= 5 && item.orientation <= 8) std::swap(box_w, box_h);
    Bitmap icon;
    LoadImageFile(icon, item.kind, item.path);
    if (item.trimming) {
      const TTrimRect& r = item.trim_rect;
      CropBitmap(icon, TRect{r.left, r.top, r.right, r.bottom});
    }
    ResizeToCover(icon, box_w, box_h, nullptr, 5);
    ApplyOrientation(icon, item.orientation);
    ApplyItemEffect(icon, item.color);
    std::string bytes = icon.Width() > 0 ? EncodeJpeg(icon, kIconQuality) : std::string();
    if (bytes.empty()) {
      SetUploadStatus(item.catalog_item, usFailed);
      return false;
    }
    SetUploadStatus(item.catalog_item, usPrepared);
    SetUploadStatus(item.catalog_item, usUploading);
    std::string next_page;
    const std::string name = fs::path(item.path).stem().string() + ".jpg";
    const TPLApiResult r = PLApi_UploadBodyIcon(name, &bytes, next_page, CallOptions());
    SetUploadStatus(item.catalog_item, r.Success ? usUploaded : usFailed);
    if (r.Success) {
      item.Update([](TPlumoraUploadItem::State& st) { st.uploaded = true; });
      std::lock_guard guard(out_lock_);
      next_command_ = NextPageCommand(r, next_page);
    }
    return r.Success;
  } catch (const std::exception& e) {
    LogFailure("TPlumoraUploaderEx.DoUploadBodyIcon", e);
    SetUploadStatus(item.catalog_item, usFailed);
    return false;
  }
}

}  // namespace plb
