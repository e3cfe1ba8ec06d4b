#include "engine/workers/folder_updater.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>

#include "engine/events/calendar_date_queue.h"
#include "engine/model/catalog_item.h"
#include "engine/model/eyefi_folder.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "engine/workers/moved_item_pairing.h"
#include "engine/workers/worker_control.h"
#include "host/date_time.h"
#include "host/error_forms.h"
#include "host/format.h"
#include "host/log_file.h"
#include "host/product_values.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {

constexpr int kGateSliceMs = 100;
constexpr int kDateEventSliceMs = 100;
constexpr int kDateEventSlices = 50;
constexpr int kPauseSliceMs = 50;

int64_t TickMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Only the disk saying so makes a folder gone: a folder that cannot be looked at just now (an
// I/O error, a network volume that does not answer, another volume mounted over it) is not.
bool GoneFromDisk(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  return !S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Runs work on the UI thread and waits, or runs it here in a program without one.
void OnUiThread(const std::function<void()>& work) {
  if (platform::UiDispatcher* ui = platform::CurrentUiDispatcher()) {
    ui->RunAndWait(work);
  } else {
    work();
  }
}

}  // namespace

TFileUpdaterEx::TFileUpdaterEx(TFolderTreeList& trees)
    : TZenmoaAlbumInporter("TFileUpdaterEx"),
      trees_(trees),
      dateEvent_(OpenNamedEvent(kExifDateChangingEventName)),
      gate_(WorkerControlEvent()) {
  table_.Build(kScanKinds);
}

TFileUpdaterEx::~TFileUpdaterEx() {
  Stop();
}

void TFileUpdaterEx::SetOnNotify(TFileUpdaterNotify callback) {
  std::lock_guard guard(callbackLock_);
  onNotify_ = std::move(callback);
}

void TFileUpdaterEx::SetOnConfirmEyeFiFolders(TConfirmEyeFiFolders callback) {
  std::lock_guard guard(callbackLock_);
  onConfirmEyeFi_ = std::move(callback);
}

void TFileUpdaterEx::SetEyeFiPhotoFolderSource(TEyeFiPhotoFolderSource source) {
  std::lock_guard guard(callbackLock_);
  eyeFiSource_ = std::move(source);
}

void TFileUpdaterEx::RequestUpdate() {
  // A request ends the pass under way by itself. A stop asked for before it is superseded: left
  // standing, it would end the very pass that takes this request, and the request would be lost
  // (the window stops the pass and asks for a new one when a folder joins the calendar).
  cancelRequested_ = false;
  updateRequested_ = true;
}

void TFileUpdaterEx::CancelUpdate() {
  cancelRequested_ = true;
}

void TFileUpdaterEx::SetIncludeHidden(bool on) {
  includeHidden_ = on;
}

bool TFileUpdaterEx::UpdateRequested() const {
  return updateRequested_;
}

bool TFileUpdaterEx::CancelRequested() const {
  return cancelRequested_;
}

bool TFileUpdaterEx::IncludeHidden() const {
  return includeHidden_;
}

bool TFileUpdaterEx::TakeUpdateRequest() {
  return updateRequested_.exchange(false);
}

bool TFileUpdaterEx::Interrupted() const {
  return IsTerminated() || UpdateRequested() || CancelRequested();
}

bool TFileUpdaterEx::CanContinue() {
  // A foreground operation that closed the gate holds the pass where it stands.
  while (gate_ && !gate_->IsSet()) {
    if (IsTerminated() || CancelRequested()) break;
    gate_->Wait(kGateSliceMs);
  }
  return !Interrupted();
}

std::vector<TUpdateFolderItem> TFileUpdaterEx::Roots() const {
  std::lock_guard guard(rootsLock_);
  return roots_;
}

void TFileUpdaterEx::CountChange(uint32_t n) {
  changeCount_ += n;
  totalChanges_ += n;
}

void TFileUpdaterEx::Execute() {
  RequestUpdate();
  while (!IsTerminated()) {
    // One failing turn is logged and the next one follows: an updater that ended here would
    // leave every later request silently unanswered.
    try {
      Turn();
    } catch (const std::exception& e) {
      LogFailure("TFileUpdaterEx.Execute", e);
    }
    if (!Pause()) break;
    cancelRequested_ = false;
  }
}

void TFileUpdaterEx::Turn() {
  if (TakeUpdateRequest()) {
    RunPass();
  } else if (idleCount_ <= kIdleTurns) {
    ++idleCount_;
  } else {
    lastNotifyTick_ = TickMs();
    CheckRemoteFolders();
    Notify(fnProgress);
  }
}

void TFileUpdaterEx::RunPass() {
  ++passesStarted_;
  lastNotifyTick_ = TickMs();
  bool complete = false;
  std::exception_ptr failure;
  try {
    Notify(fnPassStarted);
    CheckEyeFiLocal();
    PrepareImport();
    CheckRemoteFolders();
    RunImport();
    complete = FolderPass();
  } catch (...) {
    failure = std::current_exception();
  }
  // Whatever happened, the import is finished and the window hears that the pass ended.
  try {
    FinishImport();
    Notify(fnPassEnded);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (complete && !failure) ++passesCompleted_;
  ++passesEnded_;
  if (failure) std::rethrow_exception(failure);
}

bool TFileUpdaterEx::Pause() {
  for (int waited = 0; waited < kPauseMs; waited += kPauseSliceMs) {
    if (IsTerminated()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseSliceMs));
  }
  return !IsTerminated();
}

bool TFileUpdaterEx::NotificationUnwanted() {
  return !CancelRequested() && !CanContinue();
}

void TFileUpdaterEx::Notify(uint8_t kind) {
  if (kind == fnProgress && changeCount_ == 0) return;
  if (NotificationUnwanted()) return;
  // Placements still queued for the calendar are applied first, so the window that refreshes
  // on this notification finds the new days.
  for (int i = 0; i < kDateEventSlices && dateEvent_->IsSet() && CanContinue(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kDateEventSliceMs));
  }
  if (NotificationUnwanted()) return;
  bool installed;
  {
    std::lock_guard guard(callbackLock_);
    installed = static_cast<bool>(onNotify_);
  }
  if (installed) {
    const uint32_t changes = changeCount_;
    // No lock is held across the call: the UI thread may be detaching the callback right now.
    try {
      OnUiThread([this, kind, changes] {
        TFileUpdaterNotify callback;
        {
          std::lock_guard guard(callbackLock_);
          callback = onNotify_;
        }
        if (callback) callback(this, kind, changes);
      });
    } catch (const std::exception& e) {
      // A window that fails to take the news must not keep the catalog from the disk.
      LogFailure("TFileUpdaterEx.Notify", e);
    }
  }
  changeCount_ = 0;
}

void TFileUpdaterEx::ThrottledProgress() {
  const int64_t now = TickMs();
  if (now - lastNotifyTick_ <= kProgressIntervalMs) return;
  Notify(fnProgress);
  lastNotifyTick_ = now;
}

std::vector<TFolder*> TFileUpdaterEx::PrepareQueue() {
  std::vector<TFolder*> current;
  trees_.GetRoots(current);
  std::vector<TFolder*> sortedCurrent = current;
  std::sort(sortedCurrent.begin(), sortedCurrent.end());
  const auto isCurrent = [&](TFolder* f) {
    return std::binary_search(sortedCurrent.begin(), sortedCurrent.end(), f) && !f->IsRemoved();
  };
  const auto byFolder = [](const TUpdateFolderItem& a, const TUpdateFolderItem& b) { return a.Folder < b.Folder; };

  std::lock_guard guard(rootsLock_);
  // Entries of roots that left the tree list are dropped: a retired tree is never scanned again.
  // Every current root keeps its entry, so its last update still orders the next passes.
  std::erase_if(roots_, [&](const TUpdateFolderItem& e) { return !isCurrent(e.Folder); });
  std::erase_if(queue_, [&](TFolder* f) { return !isCurrent(f); });
  for (TFolder* root : current) {
    const TUpdateFolderItem key{root, 0};
    auto it = std::lower_bound(roots_.begin(), roots_.end(), key, byFolder);
    if (it == roots_.end() || it->Folder != root) roots_.insert(it, key);
  }
  for (const TUpdateFolderItem& e : roots_) {
    if (std::find(queue_.begin(), queue_.end(), e.Folder) == queue_.end()) queue_.push_back(e.Folder);
  }
  const auto lastUpdated = [&](TFolder* f) {
    auto it = std::lower_bound(roots_.begin(), roots_.end(), TUpdateFolderItem{f, 0}, byFolder);
    return (it != roots_.end() && it->Folder == f) ? it->LastUpdated : 0.0;
  };
  std::stable_sort(queue_.begin(), queue_.end(),
                   [&](TFolder* a, TFolder* b) { return lastUpdated(a) < lastUpdated(b); });
  return queue_;
}

void TFileUpdaterEx::SetLastUpdated(TFolder* root, double when) {
  std::lock_guard guard(rootsLock_);
  for (TUpdateFolderItem& e : roots_) {
    if (e.Folder == root) e.LastUpdated = when;
  }
}

bool TFileUpdaterEx::FolderPass() {
  if (!CanContinue()) return false;
  // Items found gone wait for the end of the pass: a file renamed or moved outside the program
  // turns up elsewhere in the same pass, and its item goes there with everything it had.
  TGoneItems gone;
  fresh_.clear();
  struct Settle {
    TGoneItems& gone;
    std::vector<TCatalogItem*>& fresh;
    ~Settle() {
      try {
        for (TCatalogItem* item : PairMovedItems(gone.Take(), fresh)) item->SetState(cisDeleted);
      } catch (const std::exception& e) {
        LogFailure("TFileUpdaterEx.PairMovedItems", e);
      }
      fresh.clear();
    }
  } settle{gone, fresh_};
  try {
    PrepareQueue();
    for (;;) {
      TFolder* root;
      {
        std::lock_guard guard(rootsLock_);
        if (queue_.empty()) break;
      }
      if (!CanContinue()) return false;
      {
        std::lock_guard guard(rootsLock_);
        if (queue_.empty()) break;
        root = queue_.front();
        queue_.erase(queue_.begin());
      }
      if (!dynamic_cast<TFolderRoot*>(root)) continue;  // Eye-Fi roots have their own check
      UpdateRoot(root);
    }
    // The last root may have been left half done.
    return !Interrupted();
  } catch (const std::exception& e) {
    LogFailure("TFileUpdaterEx.InportNormalFolder", e);
  }
  return false;
}

void TFileUpdaterEx::UpdateRoot(TFolder* root) {
  root->CheckDrive(false, false);
  if (root->Missing()) {
    // An unplugged volume: its items leave the calendar, its folders stay for its return.
    WithdrawSubtree(root);
    return;
  }
  SetLastUpdated(root, Now());
  root->SetMissing(false);
  try {
    UpdateFolder(root, root->GetCalendarMode());
  } catch (const std::exception& e) {
    LogFailure("TFileUpdaterEx.InportNormalFolder", root->GetFullName(), e);
  }
}

void TFileUpdaterEx::UpdateFolder(TFolder* folder, int mode) {
  // Depth first with an explicit stack: a deep tree never exhausts the thread's stack.
  std::vector<PendingFolder> pending{{folder, mode, false}};
  while (!pending.empty() && CanContinue()) {
    const PendingFolder f = pending.back();
    pending.pop_back();
    // A hidden folder hides what lies below it as well: a registered home folder must not bring
    // every cache and configuration folder into the calendar.
    const bool hidden = HiddenFromPasses(f.folder, f.hidden, IncludeHidden());
    const bool scanned = f.mode == 1 && !hidden;
    try {
      if (scanned) {
        UpdateFolderItems(f.folder);
      } else {
        WithdrawOwnItems(f.folder);
      }
      ++foldersUpdated_;
      ThrottledProgress();
      if (!CanContinue()) break;
      // A folder that vanished while the pass ran says nothing about its sub-folders.
      if (f.folder->Missing()) continue;
      if (scanned) f.folder->ScanSubFolders(nullptr);
    } catch (const std::exception& e) {
      // A folder that cannot be listed keeps what the catalog knows about it and below it.
      CountError();
      LogFailure("TFileUpdaterEx.UpdateFolder", f.folder->GetFullName(), e);
      continue;
    }
    const std::vector<TFolder*> children = f.folder->SubFolders();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      TFolder* child = *it;
      if (!scanned) child->CheckDrive(false, false);
      if (child->Missing()) {
        if (GoneFromDisk(child->GetFullName())) {
          child->RemoveFolder();
          CountChange();
        } else {
          // Its photos wait outside the calendar, with their tags, until it can be seen again.
          WithdrawSubtree(child);
        }
        continue;
      }
      const int own = child->GetCalendarMode();
      pending.push_back({child, own != 0 ? own : f.mode, hidden});
    }
  }
}

void TFileUpdaterEx::UpdateFolderItems(TFolder* folder) {
  const size_t removedBefore = folder->RemovedItems().size();
  std::vector<TCatalogItem*> found;
  SearchFilesInPass(folder, table_, found, fresh_);
  // Files deleted on disk left the calendar and their albums with the scan: changes as well.
  const size_t removedAfter = folder->RemovedItems().size();
  if (removedAfter > removedBefore) CountChange(static_cast<uint32_t>(removedAfter - removedBefore));
  if (found.empty() || !CanContinue()) return;
  ProgressStart(static_cast<uint32_t>(found.size()));
  try {
    for (TCatalogItem* item : found) {
      if (!CanContinue()) break;
      try {
        EnsureDate(item);
        CountSuccess();
      } catch (const std::exception& e) {
        CountError();
        LogFailure("TFileUpdaterEx.EnsureDate", item->FullPath(), e);
      }
      ++itemsChecked_;
      ProgressStep(1);
    }
    ProgressEnd(IsTerminated() ? psCancelled : psCompleted);
  } catch (...) {
    ProgressEnd(psFailed);
    throw;
  }
}

void TFileUpdaterEx::EnsureDate(TCatalogItem* item) {
  // One look at the item for the common case of a rescan: nothing to read, the date known.
  const TCatalogItemBlock block = item->Block();
  if (block.exifState != 0 && block.shootingDate != 0 && block.dateKnown) return;
  if (item->ItemClass() == 0 && (block.exifState == 0 || block.shootingDate == 0)) {
    ReadImageInfo(item);
    CountChange();
  }
  if (!item->DateKnown()) {
    item->SetDateKnown(true);
    if (item->DateKnown()) CountChange();
  }
}

void TFileUpdaterEx::ReadImageInfo(TCatalogItem* item) {
  const TImageHeaderReader reader = CurrentImageHeaderReader();
  if (!reader) {
    // A program without image readers still places its items, by the file's date.
    if (item->ShootingDate() == 0) item->SetShootingDate(item->FileDate());
    return;
  }
  // A reader that finds no picture information (a movie, a bitmap without a size) leaves the
  // defaults, and the file's date stands for the shooting date; one that fails raises.
  TItemImageInfo info;
  if (!reader(*item, item->FullPath(), info)) info = TItemImageInfo{};
  item->ApplyImageInfo(info, true);
}

void TFileUpdaterEx::WithdrawOwnItems(TFolder* folder) {
  std::vector<TCatalogItem*> items;
  folder->GetItems(items);
  for (TCatalogItem* item : items) {
    if (!item->DateKnown()) continue;
    item->SetDateKnown(false);
    CountChange();
  }
}

void TFileUpdaterEx::WithdrawSubtree(TFolder* folder) {
  std::vector<TFolder*> pending{folder};
  while (!pending.empty() && CanContinue()) {
    TFolder* f = pending.back();
    pending.pop_back();
    try {
      WithdrawOwnItems(f);
    } catch (const std::exception& e) {
      LogFailure(Format("FileUpdaterEx.RemoveNoExistsDriveFromCalendar( %s )", f->GetFullName()), e);
    }
    const std::vector<TFolder*> children = f->SubFolders();
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

void TFileUpdaterEx::CheckRemoteFolders() {
  idleCount_ = 0;
  if (!CanContinue()) return;
  try {
    // The current account's root is the only Eye-Fi tree that can be listed; the others wait,
    // missing, for their account to log in again.
    auto* eyeFiTrees = dynamic_cast<TFolderTreeListEyeFi*>(&trees_);
    TFolder* current = eyeFiTrees ? eyeFiTrees->CurrentEyeFiRoot() : nullptr;
    std::vector<TFolder*> roots;
    trees_.GetRoots(roots);
    for (TFolder* root : roots) {
      if (!dynamic_cast<TEyeFiRootFolder*>(root)) continue;
      if (!CanContinue()) break;
      try {
        if (root != current) root->SetMissing(true);
        if (root->Missing()) {
          WithdrawSubtree(root);
          continue;
        }
        root->SetCalendarMode(1);
        UpdateFolder(root, 1);
        if (root->Missing()) WithdrawSubtree(root);
      } catch (const std::exception& e) {
        LogFailure("TFileUpdaterEx.CheckRemoteFolder", root->GetFullName(), e);
      }
    }
  } catch (const std::exception& e) {
    LogFailure("TFileUpdaterEx.CheckRemoteFolder", e);
  }
}

void TFileUpdaterEx::CheckEyeFiLocal() {
  try {
    TEyeFiPhotoFolderSource source;
    TConfirmEyeFiFolders confirm;
    {
      std::lock_guard guard(callbackLock_);
      source = eyeFiSource_;
      confirm = onConfirmEyeFi_;
    }
    if (!source || !confirm) return;
    const std::vector<std::string> configured = LoadEyeFiFolders();
    std::vector<TFolder*> folders;
    std::vector<std::string> paths;
    for (const std::string& given : source()) {
      const std::string path = WithoutTrailingSlash(given);
      if (path.empty() || std::find(configured.begin(), configured.end(), path) != configured.end()) continue;
      if (!IsDirectory(path)) continue;
      TFolder* folder = trees_.FindFolderOf(path);
      if (!folder) continue;
      folders.push_back(folder);
      paths.push_back(path);
    }
    if (folders.empty() || !CanContinue()) return;
    uint8_t mode = 0;
    OnUiThread([&] { mode = confirm(folders); });
    if (mode == 0) return;
    for (TFolder* folder : folders) {
      std::vector<TFolder*> pending{folder};
      while (!pending.empty()) {
        TFolder* f = pending.back();
        pending.pop_back();
        f->SetCalendarMode(mode);
        const std::vector<TFolder*> children = f->SubFolders();
        pending.insert(pending.end(), children.begin(), children.end());
      }
    }
    AddEyeFiFolders(paths);
  } catch (const std::exception& e) {
    LogFailure("TFileUpdaterEx.CheckEyeFiLocal", e);
  }
}

// The process functions.

namespace {

std::recursive_mutex& ProcessLock() {
  static std::recursive_mutex lock;
  return lock;
}

std::unique_ptr<TFileUpdaterEx>& Slot() {
  static std::unique_ptr<TFileUpdaterEx> slot;
  return slot;
}

constexpr char kNotInitialized[] = "アップデータが初期化されていません。";

template <class F>
void Guarded(const char* title, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    throw EFileUpdaterException(ErrorOccurredText(title, e));
  }
}

TFileUpdaterEx& RunningUpdater() {
  if (!Slot()) throw EFileUpdaterException(kNotInitialized);
  return *Slot();
}

}  // namespace

void StartFileUpdater(TFolderTreeList& trees, bool includeHidden, TConfirmEyeFiFolders onConfirmEyeFi,
                      TFileUpdaterNotify onNotify, TProgressHandler progressHandler) {
  std::lock_guard guard(ProcessLock());
  Guarded("アップデータの初期化", [&] {
    if (Slot()) return;
    auto updater = std::make_unique<TFileUpdaterEx>(trees);
    updater->SetProgressHandler(std::move(progressHandler));
    updater->SetOnConfirmEyeFiFolders(std::move(onConfirmEyeFi));
    updater->SetOnNotify(std::move(onNotify));
    updater->SetIncludeHidden(includeHidden);
    if (!updater->Start(platform::ThreadPriority::kNormal)) throw EFileUpdaterException("Thread not started");
    Slot() = std::move(updater);
  });
}

void StopFileUpdater() {
  std::unique_ptr<TFileUpdaterEx> updater;
  {
    std::lock_guard guard(ProcessLock());
    Guarded("アップデータの終了", [&] {
      RunningUpdater();
      // Out of the slot before the wait: work the UI thread runs meanwhile may ask for the
      // updater again (a second close), and must find none rather than one being destroyed.
      updater = std::move(Slot());
    });
  }
  Guarded("アップデータの終了", [&] {
    updater->Stop();
    updater.reset();
  });
}

void RequestUpdate() {
  std::lock_guard guard(ProcessLock());
  Guarded("アップデータのリセット", [] { RunningUpdater().RequestUpdate(); });
}

void CancelUpdate() {
  std::lock_guard guard(ProcessLock());
  Guarded("アップデータのキャンセル", [] { RunningUpdater().CancelUpdate(); });
}

void SetIncludeHidden(bool value, bool request) {
  std::lock_guard guard(ProcessLock());
  Guarded("アップデータのリセット", [&] {
    TFileUpdaterEx& updater = RunningUpdater();
    updater.SetIncludeHidden(value);
    if (request) updater.RequestUpdate();
  });
}

bool FileUpdaterRunning() {
  std::lock_guard guard(ProcessLock());
  return Slot() != nullptr;
}

}  // namespace plb
