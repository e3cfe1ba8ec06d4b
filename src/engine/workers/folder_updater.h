#pragma once
// The background folder updater: the only way changes on disk reach the catalog. There is no
// change notification from the system; the updater runs a pass over the folder trees when one is
// requested and, between passes, looks at the Eye-Fi card folders about every eleven seconds.
//
// A pass rescans every folder whose effective calendar mode is 1 (its own, or the nearest
// ancestor's that is not 0), reads the image information of new items and of items without a
// shooting date, and lets them enter the calendar by switching their date-known flag on. Folders
// that are excluded (mode 2), hidden, or on a volume that is not there have their items
// withdrawn from the calendar; sub-folders that vanished leave the tree. The effective mode is
// passed down the walk and never written into a sub-folder's own flags, so withdrawing a parent
// later still withdraws everything below it that inherits.
//
// Requests from other threads only set flags; the updater looks at them before each step
// (CanContinue) and ends the running pass early on a new request, a cancel or termination.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/album_importer.h"
#include "engine/model/file_kinds.h"
#include "platform/error.h"
#include "platform/named_event.h"

namespace plb {

class TCatalogItem;
class TFolder;
class TFolderTreeList;

PLB_DECLARE_ERROR(EFileUpdaterException, Error);

// A root the updater knows and when it was last updated (a date-time; 0 never).
struct TUpdateFolderItem {
  TFolder* Folder = nullptr;
  double LastUpdated = 0;
};

// The kinds of notification: a pass started, progress during a pass or between passes, a pass
// ended.
enum TFileUpdaterNotifyKind : uint8_t { fnPassStarted = 0, fnProgress = 1, fnPassEnded = 2 };

class TFileUpdaterEx;
// Called on the UI thread (when the program has one) as (updater, kind, changes since the last
// notification).
using TFileUpdaterNotify = std::function<void(TFileUpdaterEx* updater, uint8_t kind, uint32_t changes)>;
// Asked on the UI thread whether Eye-Fi photo folders that are new to the configuration join the
// calendar; answers the calendar mode to give them (0: none).
using TConfirmEyeFiFolders = std::function<uint8_t(const std::vector<TFolder*>& folders)>;
// The Eye-Fi manager's photo folders.
using TEyeFiPhotoFolderSource = std::function<std::vector<std::string>()>;

class TFileUpdaterEx : public TZenmoaAlbumInporter {
 public:
  // The kinds a pass catalogues: bitmap, JPEG, RAW and movie (metafiles, side files and sound
  // are left to the views that list them).
  static constexpr TKindSet kScanKinds = 0x63;
  static constexpr int kPauseMs = 500;
  // Idle turns between two Eye-Fi card checks (the check runs on the turn after).
  static constexpr uint32_t kIdleTurns = 20;
  static constexpr int kProgressIntervalMs = 5000;

  // trees must outlive the updater.
  explicit TFileUpdaterEx(TFolderTreeList& trees);
  ~TFileUpdaterEx() override;

  uint8_t WorkerKind() const override { return wkFileUpdaterEx; }

  void SetOnNotify(TFileUpdaterNotify callback);
  void SetOnConfirmEyeFiFolders(TConfirmEyeFiFolders callback);
  void SetEyeFiPhotoFolderSource(TEyeFiPhotoFolderSource source);

  void RequestUpdate();
  void CancelUpdate();
  void SetIncludeHidden(bool on);
  bool UpdateRequested() const;
  bool CancelRequested() const;
  bool IncludeHidden() const;

  // Blocks while the worker gate is closed; false once termination, a new request or a cancel
  // is pending.
  bool CanContinue() override;

  // Passes that have started and ended since the start, and how many went through every root.
  // Passes run one after the other, so the pass that takes a request made when PassesStarted
  // answered n has ended once PassesEnded reaches n + 1.
  uint32_t PassesStarted() const { return passesStarted_.load(); }
  uint32_t PassesEnded() const { return passesEnded_.load(); }
  uint32_t PassesCompleted() const { return passesCompleted_.load(); }
  // Folders updated and items looked at since the start.
  uint64_t FoldersUpdated() const { return foldersUpdated_.load(); }
  uint64_t ItemsChecked() const { return itemsChecked_.load(); }
  // Changes counted since the start (the notifications count them since the last one).
  uint64_t TotalChanges() const { return totalChanges_.load(); }
  std::vector<TUpdateFolderItem> Roots() const;

 protected:
  void Execute() override;

 private:
  struct PendingFolder {
    TFolder* folder;
    int mode;     // the effective calendar mode
    bool hidden;  // below a hidden folder that is excluded
  };

  void Turn();
  void RunPass();
  // Waits up to the pause; false when termination was asked.
  bool Pause();
  bool TakeUpdateRequest();
  void Notify(uint8_t kind);
  bool NotificationUnwanted();
  // Termination, a new request or a cancel is pending (without waiting at the gate).
  bool Interrupted() const;
  void CountChange(uint32_t n = 1);

  // The pass over the file-system roots; true when every root was taken.
  bool FolderPass();
  std::vector<TFolder*> PrepareQueue();
  void UpdateRoot(TFolder* root);
  // Updates a folder and every folder below it.
  void UpdateFolder(TFolder* folder, int mode);
  void UpdateFolderItems(TFolder* folder);
  void EnsureDate(TCatalogItem* item);
  void ReadImageInfo(TCatalogItem* item);
  void WithdrawOwnItems(TFolder* folder);
  void WithdrawSubtree(TFolder* folder);
  void CheckRemoteFolders();
  void CheckEyeFiLocal();
  void ThrottledProgress();
  void SetLastUpdated(TFolder* root, double when);

  TFolderTreeList& trees_;
  TExtItems table_;

  mutable std::mutex callbackLock_;
  TFileUpdaterNotify onNotify_;
  TConfirmEyeFiFolders onConfirmEyeFi_;
  TEyeFiPhotoFolderSource eyeFiSource_;

  // Asked before every step of a pass: flags of their own, without a lock to take each time.
  std::atomic<bool> updateRequested_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> includeHidden_{false};
  mutable std::mutex rootsLock_;
  std::vector<TUpdateFolderItem> roots_;  // ordered by folder identity
  std::vector<TFolder*> queue_;
  std::vector<TCatalogItem*> fresh_;  // items the running pass made for files new to the catalog

  int64_t lastNotifyTick_ = 0;  // steady clock, ms
  std::atomic<uint32_t> changeCount_{0};
  uint32_t idleCount_ = 0;
  std::shared_ptr<platform::NamedEvent> dateEvent_;
  std::shared_ptr<platform::NamedEvent> gate_;

  std::atomic<uint32_t> passesStarted_{0};
  std::atomic<uint32_t> passesEnded_{0};
  std::atomic<uint32_t> passesCompleted_{0};
  std::atomic<uint64_t> foldersUpdated_{0};
  std::atomic<uint64_t> itemsChecked_{0};
  std::atomic<uint64_t> totalChanges_{0};
};

// The process's one updater. Each function is serialised with the others; every failure is
// raised as EFileUpdaterException in the "... でエラーが発生しました。" form with the
// operation's title, and every function but the start fails without a running updater.
//
// Starts the updater over trees unless one runs; progressHandler receives its progress (the
// thread master's handler, which aggregates every worker).
void StartFileUpdater(TFolderTreeList& trees, bool includeHidden, TConfirmEyeFiFolders onConfirmEyeFi,
                      TFileUpdaterNotify onNotify, TProgressHandler progressHandler);
// Ends the updater and waits for it, letting the UI thread work meanwhile.
void StopFileUpdater();
void RequestUpdate();
void CancelUpdate();
// With request, a new pass is requested as well.
void SetIncludeHidden(bool value, bool request);
bool FileUpdaterRunning();

}  // namespace plb
