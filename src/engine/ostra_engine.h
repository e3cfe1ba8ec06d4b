#pragma once
// The catalog engine's life: start (each component under its own label), stop (watchers,
// saving, freeing) and the one engine lock that keeps start, load, watcher start and stop, save
// and free from overlapping. The engine owns the model; views only hold references.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/store/thumbnail_cache_interface.h"
#include "host/plumora_config_item.h"
#include "platform/instance_lock.h"

namespace plb {

class TAlbumList;
class TCalendarRoot;
class TEngineDataFiles;
class TFlashHintItems;
class TFolderTreeListEyeFi;
class TFolderMaster;
class TFolderUpdateMaster;
class THistoryList;
class TThreadMaster;

class TOstraEngine {
 public:
  // The process-wide lock of engine start, load, watcher start, watcher stop, save and free.
  static std::recursive_mutex& EngineLock();

  TOstraEngine();
  TOstraEngine(const TOstraEngine&) = delete;
  TOstraEngine& operator=(const TOstraEngine&) = delete;
  ~TOstraEngine();

  // Creates every component, each under its label; a failing component is logged and raised as
  // an engine start error with its label, wrapped once more with "OstraEngine". Then loads the
  // engine data: a load failure is logged, kept in LoadError() and the engine goes on with what
  // was read. While started, the engine holds the data folder's lock: a second engine on the same
  // data folder (another process) fails at "OstraDataFolder".
  void Start();

  // Starts the event masters, the thread registry and the catalog-update bus, each under its
  // label; a failure is logged and the start goes on with what exists.
  void StartWatchers();

  // Stops the watchers, saves the engine data and frees the model. Every part runs even when an
  // earlier one failed; the first failure is raised at the end. save false leaves the data files
  // as they are (a reader that changed nothing keeps the user's ".bak" copies). After a failed
  // load nothing is ever saved: what little was read must not replace the user's files, which
  // stay for a recovery to judge (see engine_data_recovery.h).
  void Stop(bool save = true);

  bool Started() const { return config_ != nullptr; }
  // The message of the last load failure; empty when everything was read.
  const std::string& LoadError() const { return loadError_; }
  // The copies that the failed load kept aside (the unreadable files and their ".bak").
  std::vector<std::string> KeptAside() const;
  TFolderTreeListEyeFi* Folders() const { return folders_.get(); }
  TFlashHintItems* Hints() const { return hints_.get(); }
  TPlumoraConfigItem& Config() { return *config_; }
  TAlbumList* Albums() const { return albums_.get(); }
  TCalendarRoot* Calendar() const { return calendar_.get(); }
  THistoryList* History() const { return history_.get(); }
  TFolderUpdateMaster* FolderUpdates() const { return folderUpdates_.get(); }
  TFolderUpdateMaster* AlbumUpdates() const { return albumUpdates_.get(); }
  TFolderUpdateMaster* CalendarUpdates() const { return calendarUpdates_.get(); }
  TThreadMaster* ThreadMaster() const { return threadMaster_.get(); }
  // The thumbnail cache, null when the images layer registered none.
  IImageCache* ImageCache() const { return imageCache_.get(); }

 private:
  void CreateConfiguration();
  void InitSupportExt();
  void CreateDataFolder();
  void OpenImageCache();
  void LoadData();
  void SaveData();
  void StopWatchers();
  void Free();

  std::unique_ptr<TPlumoraConfigItem> config_;
  std::unique_ptr<platform::LockFile> dataLock_;
  std::unique_ptr<TFolderTreeListEyeFi> folders_;
  std::unique_ptr<TFlashHintItems> hints_;
  std::string loadError_;
  std::unique_ptr<TEngineDataFiles> dataFiles_;  // from the load to the save of one run
  std::unique_ptr<TAlbumList> albums_;
  std::shared_ptr<TCalendarRoot> calendar_;  // the process's shared root, let go at free
  std::unique_ptr<THistoryList> history_;
  std::unique_ptr<TFolderMaster> folderEvents_;  // the "(Folder)" queue the folder trees post to
  std::unique_ptr<TFolderUpdateMaster> folderUpdates_;
  std::unique_ptr<TFolderUpdateMaster> albumUpdates_;
  std::unique_ptr<TFolderUpdateMaster> calendarUpdates_;
  std::unique_ptr<TThreadMaster> threadMaster_;
  std::unique_ptr<IImageCache> imageCache_;
};

}  // namespace plb
