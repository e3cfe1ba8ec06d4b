#include "service/upload/back_uploader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "host/ascii_case.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "host/log_file.h"
#include "platform/thread_stop.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "service/upload/service_path.h"
#include "service/upload/upload_image_folder.h"

namespace plb {
namespace fs = std::filesystem;

namespace {

constexpr int kSendHoldMs = 500;
constexpr int kEvictHoldMs = 1000;

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The long session folders, oldest last write first; folders of one second by path.
std::vector<std::string> FoldersByAge(const std::string& root) {
  struct Entry {
    int64_t seconds;
    std::string path;
  };
  std::vector<Entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
    struct stat st {};
    if (::stat(it->path().c_str(), &st) != 0) continue;
    entries.push_back({static_cast<int64_t>(st.st_mtim.tv_sec), it->path().string()});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    return AsciiLowered(a.path) < AsciiLowered(b.path);
  });
  std::vector<std::string> paths;
  for (auto& e : entries) paths.push_back(std::move(e.path));
  return paths;
}

struct CacheFile {
  std::string path;
  uint64_t size;
  int64_t mtime_ns;
};

std::vector<CacheFile> ListupCacheFiles(const std::string& root) {
  std::vector<CacheFile> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    files.push_back({it->path().string(), static_cast<uint64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
  }
  return files;
}

std::vector<TPlumoraBackUploadItem> LoadItems(const std::string& folder) {
  std::vector<TPlumoraBackUploadItem> items;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    if (!EndsWith(path, ".bu") || !it->is_regular_file(ec)) continue;
    TPlumoraBackUploadItem item;
    if (item.LoadFromFile(path)) {
      items.push_back(std::move(item));
    } else {
      ::unlink(path.c_str());  // an unreadable item is never going to be sent
    }
  }
  return items;
}

TPLApiCallOptions CancellableBy(const TPlumoraBackUploader& owner) {
  TPLApiCallOptions options;
  options.cancelled = [&owner] { return !owner.MayGoOn(); };
  return options;
}

}  // namespace

TPlumoraBackUploader::TPlumoraBackUploader(std::string backupload_root, std::string cache_root)
    : backupload_root_(std::move(backupload_root)),
      cache_root_(std::move(cache_root)),
      cancel_(platform::OpenNamedEvent(kBackUploaderCancelEvent)),
      pause_(platform::OpenNamedEvent(kBackUploaderResetEvent)) {
  cancel_->Reset();  // opening resets: a cancel of an earlier queue does not stop this one
}

TPlumoraBackUploader::~TPlumoraBackUploader() {
  Stop();
}

void TPlumoraBackUploader::Start(int wait_ms) {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread([this, wait_ms] { Execute(wait_ms); });
}

void TPlumoraBackUploader::Stop() {
  stopping_ = true;
  cancel_->Set();
  if (thread_.joinable()) thread_.join();
  cancel_->Reset();
}

bool TPlumoraBackUploader::MayGoOn() const {
  return !stopping_ && !cancel_->IsSet() && !pause_->IsSet();
}

bool TPlumoraBackUploader::HasPendingFolders() const {
  return !FoldersByAge(backupload_root_).empty();
}

void TPlumoraBackUploader::Execute(int wait_ms) {
  platform::SetCurrentThreadName("PlumoraBackUploader");
  platform::SetCurrentThreadPriority(platform::ThreadPriority::kLowest);
  try {
    while (!stopping_) {
      if (cancel_->Wait(wait_ms)) break;
      if (!MayGoOn()) continue;
      RunPass();
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.Execute", e);
  }
}

TBackUploadPassReport TPlumoraBackUploader::RunPass() {
  TBackUploadPassReport report;
  const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
  if (params.session_id.empty()) return report;  // signed out: nothing is sent
  bool new_session = false;
  {
    std::lock_guard guard(lock_);
    new_session = last_session_id_ != params.session_id;
    last_session_id_ = params.session_id;
  }
  if (new_session) CleanupPlumoraAlbum();
  CheckBackUploadItems(report);
  // The limit is kept in 64 bits: kilobytes times 1024 overflow 32 bits from 2 GiB on.
  const int64_t limit =
      params.image_cache_limit < 0 ? -1 : static_cast<int64_t>(params.image_cache_limit) * 1024;
  CheckCacheSize(limit, report);
  CheckEmptyCacheFolder();
  return report;
}

void TPlumoraBackUploader::CheckBackUploadItems(TBackUploadPassReport& report) {
  try {
    for (const std::string& folder : FoldersByAge(backupload_root_)) {
      if (!MayGoOn()) break;
      DoBackUpload(folder, report);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.CheckBackUploadItems", e);
  }
}

void TPlumoraBackUploader::DoBackUpload(const std::string& folder, TBackUploadPassReport& report) {
  try {
    std::vector<TPlumoraBackUploadItem> items = LoadItems(folder);
    if (items.empty()) {
      std::error_code ec;
      fs::remove_all(folder, ec);
      return;
    }
    UploadBuItems(items, false, report);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.DoBackUpload", folder, e);
  }
}

void TPlumoraBackUploader::UploadBuItems(std::vector<TPlumoraBackUploadItem>& items, bool delete_targets,
                                         TBackUploadPassReport& report) {
  // Thumbnails of a photo ("_1".."_7") come before its full image ("_org").
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
    return AsciiLowered(a.item_file) < AsciiLowered(b.item_file);
  });
  size_t handled = 0;
  const TPlumoraBackUploadItem* last = nullptr;
  try {
    for (const TPlumoraBackUploadItem& item : items) {
      if (!MayGoOn()) break;
      last = &item;
      const Outcome outcome = UploadItem(item);
      if (outcome == Outcome::kKept && FileExists(item.target_file)) {
        ++report.kept;
        continue;
      }
      ++handled;
      ++(outcome == Outcome::kSent ? report.sent : report.dropped);
      item.Remove(delete_targets);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.UploadBuItems", e);
  }
  if (handled != items.size() || last == nullptr) return;
  // The last item of the long session is disposed of: close it, once.
  try {
    CheckRestItems(*last);
  } catch (const std::exception& e) {
    LogFailure("CheckRestItems", e);
  }
  const TPLApiResult r =
      PLApi_FinishedUploadBack(last->long_session_id, last->machine_id, last->machine_user_id,
                               !SessionFailed(last->long_session_id), CancellableBy(*this));
  if (r.Success) ++report.closed;
}

bool TPlumoraBackUploader::SessionFailed(const std::string& long_session_id) const {
  std::lock_guard guard(lock_);
  return failed_sessions_.count(AsciiLowered(long_session_id)) != 0;
}

TPlumoraBackUploader::Outcome TPlumoraBackUploader::UploadItem(const TPlumoraBackUploadItem& item) {
  try {
    if (!FileExists(item.target_file)) return Outcome::kDropped;
    if (!MayGoOn()) return Outcome::kKept;
    if (SessionFailed(item.long_session_id)) {
      DropTarget(item);
      return Outcome::kDropped;
    }
    const int thumb = item.full_image ? -1 : item.thumb_id;
    if (!ImageLibBeginRead(item.host_name, item.plumora_id, item.res_uuid, kSendHoldMs)) return Outcome::kKept;
    TPLApiResult r;
    try {
      r = PLApi_UploadBack(item.long_session_id, item.machine_id, item.machine_user_id, thumb, item.source_file,
                           item.target_file, item.res_uuid, CancellableBy(*this));
    } catch (...) {
      ImageLibEndRead(item.host_name, item.plumora_id, item.res_uuid);
      throw;
    }
    ImageLibEndRead(item.host_name, item.plumora_id, item.res_uuid);
    if (r.Success) return Outcome::kSent;
    if (AsciiEqualsNoCase(r.Code, "BadLongSessionid")) {
      {
        std::lock_guard guard(lock_);
        failed_sessions_.insert(AsciiLowered(item.long_session_id));
      }
      DropTarget(item);
      return Outcome::kDropped;
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.UploadItem", item.item_file, e);
  }
  return Outcome::kKept;
}

void TPlumoraBackUploader::DropTarget(const TPlumoraBackUploadItem& item) {
  if (!ImageLibBeginWrite(item.host_name, item.plumora_id, item.res_uuid, kSendHoldMs)) return;
  ::unlink(item.target_file.c_str());
  ImageLibEndWrite(item.host_name, item.plumora_id, item.res_uuid);
}

void TPlumoraBackUploader::CheckRestItems(const TPlumoraBackUploadItem& last) {
  std::vector<TPlumoraRestItem> rest;
  const TPLApiResult r = PLApi_GetRestUploadBack(last.long_session_id, last.machine_id, last.machine_user_id, &rest,
                                                 CancellableBy(*this));
  if (!r.Success) return;
  // A service that lists more than it could hold is not followed for ever.
  constexpr size_t kMaxRestItems = 10000;
  if (rest.size() > kMaxRestItems) rest.resize(kMaxRestItems);
  for (const TPlumoraRestItem& item : rest) {
    if (!MayGoOn()) return;
    try {
      if (!RetryUploadFile(item.res_uuid, item.host_name, last))
        PLApi_UploadFailBack(last.long_session_id, last.machine_id, last.machine_user_id, item.res_uuid,
                             CancellableBy(*this));
    } catch (const std::exception& e) {
      LogFailure("TPlumoraBackUploader.RetryRestItem", item.res_uuid, e);
    }
  }
}

bool TPlumoraBackUploader::RetryUploadFile(const std::string& res_uuid, const std::string& host_name,
                                           const TPlumoraBackUploadItem& last) {
  const std::string host_folder = cache_root_ + "/" + ServicePathComponent(host_name);
  const std::string file_name = ServicePathComponent(res_uuid) + ".jpg";
  std::error_code ec;
  for (fs::directory_iterator it(host_folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec)) continue;
    const std::string file = (it->path() / file_name).string();
    if (!FileExists(file)) continue;
    const std::string book = it->path().filename().string();
    // The same shared hold as every other send, so the cache does not evict the file meanwhile.
    if (!ImageLibBeginRead(host_name, book, res_uuid, kSendHoldMs)) continue;
    const TPLApiResult r = PLApi_UploadBack(last.long_session_id, last.machine_id, last.machine_user_id, -1, "", file,
                                            res_uuid, CancellableBy(*this));
    ImageLibEndRead(host_name, book, res_uuid);
    if (r.Success) return true;
  }
  return false;
}

void TPlumoraBackUploader::CleanupPlumoraAlbum() {
  try {
    if (albums_ == nullptr) return;
    TAlbum* group = albums_->Root(atAlbum);
    if (group == nullptr) return;
    std::vector<TAlbum*> local = group->Children();
    if (local.empty()) return;
    std::vector<std::string> ids;
    for (const TAlbum* album : local) ids.push_back(album->Name());
    std::vector<TPlumoraAlbum> known;
    if (!PLApi_GetPlumoraAlbums(ids, &known, CancellableBy(*this)).Success || !MayGoOn()) return;
    CheckPlumoraAlbum(group, known, local);
    // What is left is unknown to the service now.
    for (TAlbum* album : local) {
      if (!MayGoOn()) break;
      ClearLostAlbumData(album);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.CleanupPlumoraAlbum", e);
  }
}

void TPlumoraBackUploader::CheckPlumoraAlbum(TAlbum* group, const std::vector<TPlumoraAlbum>& known,
                                             std::vector<TAlbum*>& local) {
  try {
    for (const TPlumoraAlbum& book : known) {
      if (book.plumora_id.empty()) continue;
      TAlbum* album = group->FindOrAddChild(book.plumora_id, true);
      if (album == nullptr) continue;
      local.erase(std::remove(local.begin(), local.end(), album), local.end());
      album->SetCaption(book.title);
      album->SetSourceText(book.preview_url);
    }
  } catch (const std::exception& e) {
    LogFailure("CheckPlumoraAlbum", e);
    throw;
  }
}

void TPlumoraBackUploader::ClearLostAlbumData(TAlbum* album) {
  const std::string name = album->Name();
  try {
    const std::string folder =
        cache_root_ + "/" + ServicePathComponent(album->HostName()) + "/" + ServicePathComponent(name);
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(folder, ec))) {
      ClearCacheFolderFile(folder);
    } else {
      album->Delete();
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.ClearLostAlbumData( " + name + " )", e);
  }
}

void TPlumoraBackUploader::ClearCacheFolderFile(const std::string& folder) {
  try {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (!MayGoOn()) break;
      if (it->is_regular_file(ec) && !it->is_symlink(ec)) DeleteCacheFile(it->path().string());
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.ClearCacheFolderFile( " + folder + " )", e);
  }
}

bool TPlumoraBackUploader::DeleteCacheFile(const std::string& path) {
  if (!FileExists(path) || !MayGoOn()) return false;
  const fs::path p(path);
  std::string name = p.stem().string();
  name = name.substr(0, name.find('_'));
  const std::string subgroup = p.parent_path().filename().string();
  const std::string group = p.parent_path().parent_path().filename().string();
  if (!ImageLibBeginWrite(group, subgroup, name, kEvictHoldMs)) return false;
  const bool deleted = ::unlink(path.c_str()) == 0;
  ImageLibEndWrite(group, subgroup, name);
  return deleted;
}

void TPlumoraBackUploader::CheckCacheSize(int64_t limit_bytes, TBackUploadPassReport& report) {
  if (limit_bytes < 0) return;
  try {
    std::vector<CacheFile> files = ListupCacheFiles(cache_root_);
    uint64_t total = 0;
    for (const CacheFile& f : files) total += f.size;
    const uint64_t limit = static_cast<uint64_t>(limit_bytes);
    if (total <= limit) return;
    // Files still waiting to be sent are never evicted.
    std::unordered_set<std::string> reserved;
    for (const std::string& folder : FoldersByAge(backupload_root_))
      for (const TPlumoraBackUploadItem& item : LoadItems(folder)) reserved.insert(item.target_file);
    std::sort(files.begin(), files.end(), [](const CacheFile& a, const CacheFile& b) {
      return a.mtime_ns != b.mtime_ns ? a.mtime_ns < b.mtime_ns : a.path < b.path;
    });
    // Thumbnails (named with "_") go before full images. The test is on the file's name: the
    // folders above may hold "_" too.
    for (const bool thumbnails : {true, false}) {
      for (const CacheFile& f : files) {
        if (total <= limit || !MayGoOn()) return;
        const bool is_thumbnail = fs::path(f.path).filename().string().find('_') != std::string::npos;
        if (is_thumbnail != thumbnails || reserved.count(f.path) != 0) continue;
        if (DeleteCacheFile(f.path)) {
          total -= f.size;
          ++report.evicted;
        }
      }
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.CheckCacheSize", e);
  }
}

bool TPlumoraBackUploader::ClearEmptyCacheDirectory(const std::string& folder) {
  std::error_code ec;
  bool empty = true;
  std::vector<std::string> children;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) children.push_back(it->path());
  for (const std::string& child : children) {
    if (!MayGoOn()) return false;
    std::error_code child_ec;
    if (fs::is_directory(child, child_ec) && !fs::is_symlink(child, child_ec)) {
      if (!ClearEmptyCacheDirectory(child)) empty = false;
    } else {
      empty = false;
    }
  }
  return empty && ::rmdir(folder.c_str()) == 0;
}

void TPlumoraBackUploader::CheckEmptyCacheFolder() {
  try {
    std::error_code ec;
    std::vector<std::string> hosts;
    for (fs::directory_iterator it(cache_root_, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) hosts.push_back(it->path());
    for (const std::string& host : hosts) {
      if (!MayGoOn()) return;
      ClearEmptyCacheDirectory(host);
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploader.CheckEmptyCacheFolder", e);
  }
}

// The program's queue.

namespace {
std::mutex& GlobalLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
std::unique_ptr<TPlumoraBackUploader>& TheQueue() {
  static auto* queue = new std::unique_ptr<TPlumoraBackUploader>;
  return *queue;
}
}  // namespace

void StartPlumoraBackUploader(int wait_ms, TAlbumList* albums) {
  std::lock_guard guard(GlobalLock());
  if (TheQueue()) return;
  try {
    TheQueue() = std::make_unique<TPlumoraBackUploader>(ImageLibBackUploadFolder(), ImageLibCacheRoot());
    TheQueue()->SetAlbumList(albums);
    TheQueue()->Start(wait_ms);
  } catch (const std::exception& e) {
    LogFailure("StartPlumoraBackUploader", e);
  }
}

void AbortPlumoraBackUploader() {
  std::lock_guard guard(GlobalLock());
  if (TheQueue()) TheQueue()->Stop();
  TheQueue().reset();
}

bool PlumoraBackUploaderRunning() {
  std::lock_guard guard(GlobalLock());
  return TheQueue() != nullptr;
}

void ResetPlumoraBackUploader() {
  platform::OpenNamedEvent(kBackUploaderResetEvent)->Set();
}

void ReStartPlumoraBackUploader() {
  platform::OpenNamedEvent(kBackUploaderResetEvent)->Reset();
}

bool BackuploadFileExists() {
  std::lock_guard guard(GlobalLock());
  try {
    return TheQueue() && TheQueue()->MayGoOn() && TheQueue()->HasPendingFolders();
  } catch (const std::exception& e) {
    LogFailure("BackuploadFileExists", e);
    return false;
  }
}

bool SaveBackUploadItem(const std::string& base_url, const std::string& long_session_id, const std::string& machine_id,
                        int thumb_id, const std::string& source_file, const std::string& target_file,
                        const std::string& res_uuid, const std::string& plumora_id, const std::string& host_name,
                        const std::string& machine_user_id) {
  try {
    // An empty id would make the BackUpload root itself the session's folder.
    if (long_session_id.empty()) throw EPlumoraBackUploadItemError("No long session id");
    const std::string folder = ImageLibBackUploadFolder(long_session_id);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) throw EPlumoraBackUploadItemError("Directory not Exists : " + folder);
    TPlumoraBackUploadItem item;
    item.base_url = base_url;
    item.long_session_id = long_session_id;
    item.machine_id = machine_id;
    item.machine_user_id = machine_user_id;
    item.host_name = host_name;
    item.plumora_id = plumora_id;
    item.res_uuid = res_uuid;
    const bool thumbnail = thumb_id >= 1 && thumb_id <= 7;
    item.full_image = thumbnail ? 0 : 1;
    item.thumb_id = thumbnail ? static_cast<uint8_t>(thumb_id) : 0;
    item.target_file = target_file;
    item.source_file = source_file;
    item.SaveToFile(folder + "/" + BackUploadItemFileName(res_uuid, thumb_id));
    return true;
  } catch (const std::exception& e) {
    LogFailure("SaveBackUploadItem( LongSessionId=" + long_session_id + " : ResUuid=" + res_uuid +
                   " : ThumbId=" + std::to_string(thumb_id) + " : TargetFile=" + target_file +
                   " : OrgFilePath=" + source_file + " )",
               e);
    return false;
  }
}

void ClearBackUploadFolder(const std::string& long_session_id) {
  try {
    if (long_session_id.empty()) return;
    std::error_code ec;
    fs::remove_all(ImageLibBackUploadFolder(long_session_id), ec);
  } catch (const std::exception& e) {
    LogFailure("ClearBackUploadFolder( LongSessionId=" + long_session_id + " )", e);
  }
}

}  // namespace plb
