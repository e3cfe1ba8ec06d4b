#include "engine/ostra_engine.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <system_error>

#include "engine/model/album_list.h"
#include "engine/events/calendar_date_queue.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/store/engine_data_files.h"
#include "engine/model/file_kinds.h"
#include "engine/model/flash_hints.h"
#include "engine/events/folder_master.h"
#include "engine/model/folder_tree_list.h"
#include "engine/events/folder_update_master.h"
#include "engine/model/history_list.h"
#include "engine/workers/thread_master.h"
#include "host/engine_error.h"
#include "host/log_file.h"
#include "host/product_values.h"
#include "platform/mime_apps.h"

namespace plb {
namespace {

// Runs one start step; its failure becomes an engine start error carrying the step's label.
void StartStep(const char* label, const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    RaiseEngineInitializeError(e, label);
  }
}

// Runs one watcher step; a failure is logged and the engine goes on without that part.
void WatcherStep(const char* label, const std::function<void()>& step) {
  try {
    StartStep(label, step);
  } catch (const EOstraEngineInitializeError&) {
    // Logged as the start form when it was raised; the watchers are a convenience of the window.
  }
}

// Runs one watcher stop step; a failure is raised with the release form and the label.
void ReleaseStep(const char* label, const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    RaiseEngineReleaseError(e, label);
  }
}

}  // namespace

std::recursive_mutex& TOstraEngine::EngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

TOstraEngine::TOstraEngine() = default;

// A destructor cannot raise: what fails is logged, and the parts are freed all the same.
TOstraEngine::~TOstraEngine() {
  try {
    StopWatchers();
  } catch (const EOstraEngineError&) {
    // Logged as the release form when it was raised.
  } catch (const std::exception& e) {
    LogFailure("TOstraEngine.StopWatchers", e);
  }
  try {
    Free();
  } catch (const std::exception& e) {
    LogFailure("TOstraEngine.Free", e);
  }
}

void TOstraEngine::Start() {
  std::lock_guard guard(EngineLock());
  loadError_.clear();
  try {
    StartStep("OstraConfigItem", [this] { CreateConfiguration(); });
    StartStep("InitSupportExt", [this] { InitSupportExt(); });
    StartStep("OstraDataFolder", [this] { CreateDataFolder(); });
    StartStep("OstraFolders", [this] { folders_ = std::make_unique<TFolderTreeListEyeFi>(); });
    StartStep("OstraAlbums", [this] { albums_ = std::make_unique<TAlbumList>(); });
    StartStep("OstraCalendars", [this] { calendar_ = AcquireCalendarRoot(nullptr, nullptr, 0); });
    StartStep("OstraHistorys", [this] { history_ = std::make_unique<THistoryList>(kEngineHistoryCapacity); });
    StartStep("OstraImageCache", [this] { OpenImageCache(); });
    StartStep("InitOstraHintItems", [this] { hints_ = std::make_unique<TFlashHintItems>(); });
  } catch (const std::exception& e) {
    RaiseEngineInitializeError(e, "OstraEngine");
  }
  try {
    LoadData();
  } catch (const EOstraEngineError& e) {
    // Logged where it was raised; the engine goes on with what was read.
    loadError_ = e.what();
  }
}

void TOstraEngine::LoadData() {
  TEngineDataParts parts;
  parts.folder = config_->DataFolder();
  parts.folders = folders_.get();
  parts.albums = albums_.get();
  parts.calendar = calendar_.get();
  parts.history = history_.get();
  parts.cache = imageCache_.get();
  parts.hints = hints_.get();
  parts.saveConfiguration = [this] { config_->SaveToRegistry(); };
  dataFiles_ = std::make_unique<TEngineDataFiles>(std::move(parts));
  dataFiles_->LoadAll();
}

void TOstraEngine::CreateConfiguration() {
  auto config = std::make_unique<TPlumoraConfigItem>();
  config->LoadFromRegistry();
  config_ = std::move(config);
}

void TOstraEngine::InitSupportExt() {
  const MovieKinds movies =
      AssembleMovieKinds(*config_, [](const std::string& name) { return platform::IsProgramRegisteredFor(name); });
  SetMovieExtensions(movies.extensions);
  SetSoundExtensions(".MP3");
}

void TOstraEngine::CreateDataFolder() {
  const std::string& folder = config_->DataFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder)) {
    throw EOstraEngineError("データフォルダの作成に失敗しました。\r\n( " + folder + " )");
  }
  // Two engines on one data folder would each save over the other's changes.
  auto lock = std::make_unique<platform::LockFile>(folder + "/" + kDataFolderLockName);
  if (lock->TryAcquire() != platform::LockResult::kAcquired) {
    throw EOstraEngineError("The data folder is in use by another process.\r\n( " + folder + " )");
  }
  dataLock_ = std::move(lock);
}

void TOstraEngine::OpenImageCache() {
  DeleteOldCacheFiles(config_->DataFolder());
  imageCache_ = CreateImageCache();
  if (imageCache_) {
    imageCache_->Open(config_->CacheKind(), config_->DataFolder(), int64_t{config_->CacheMaxSizeMB()} * 1048576);
  }
}

void TOstraEngine::StartWatchers() {
  std::lock_guard guard(EngineLock());
  WatcherStep("OstraFolderUpdateMaster", [this] {
    if (!folderEvents_) folderEvents_ = std::make_unique<TFolderMaster>(kFolderMasterName);
    folderUpdates_ = std::make_unique<TFolderUpdateMaster>();
    if (folders_) folders_->SetUpdateHandler(folderUpdates_->Handler());
  });
  WatcherStep("OstraAlbumUpdateMaster", [this] {
    albumUpdates_ = std::make_unique<TFolderUpdateMaster>();
    if (albums_) albums_->SetAlbumUpdatedProc(albumUpdates_->Handler());
  });
  WatcherStep("OstraCalendarUpdateMaster", [this] {
    calendarUpdates_ = std::make_unique<TFolderUpdateMaster>();
    if (calendar_) calendar_->SetUpdateHandler(calendarUpdates_->Handler());
  });
  WatcherStep("OstraThreadMaster", [this] { threadMaster_ = std::make_unique<TThreadMaster>(); });
  WatcherStep("InitCatalogUpdater", [] { InitializeCatalogUpdater(); });
}

void TOstraEngine::StopWatchers() {
  std::lock_guard guard(EngineLock());
  try {
    ReleaseStep("FFolderUpdateMaster", [this] {
      if (folders_) folders_->SetUpdateHandler(nullptr);
      folderEvents_.reset();
      folderUpdates_.reset();
    });
    ReleaseStep("FAlbumUpdateMaster", [this] {
      if (albums_) albums_->SetAlbumUpdatedProc(nullptr);
      albumUpdates_.reset();
    });
    ReleaseStep("FCalendarUpdateMaster", [this] {
      if (calendar_) calendar_->SetUpdateHandler(nullptr);
      calendarUpdates_.reset();
    });
    ReleaseStep("OstraThreadMaster", [this] {
      if (threadMaster_) threadMaster_->Shutdown();
      threadMaster_.reset();
    });
    ReleaseStep("FinalCatalogUpdater", [] { FinalizeCatalogUpdater(); });
  } catch (const std::exception& e) {
    RaiseEngineReleaseError(e, "OstraEngine");
  }
}

void TOstraEngine::Stop(bool save) {
  std::exception_ptr first_failure;
  auto run = [&first_failure](const std::function<void()>& part) {
    try {
      part();
    } catch (...) {
      if (!first_failure) first_failure = std::current_exception();
    }
  };
  run([this] { StopWatchers(); });
  if (save) {
    run([this] {
      std::lock_guard guard(EngineLock());
      SaveData();
    });
  }
  run([this] {
    std::lock_guard guard(EngineLock());
    Free();
  });
  if (first_failure) std::rethrow_exception(first_failure);
}

std::vector<std::string> TOstraEngine::KeptAside() const {
  return dataFiles_ ? dataFiles_->KeptAside() : std::vector<std::string>{};
}

void TOstraEngine::SaveData() {
  if (!dataFiles_) return;
  if (!loadError_.empty()) {
    WriteLog("OstraEngine : the catalog was not saved: it was read only in part, and its files stay as they are");
    return;
  }
  try {
    dataFiles_->SaveAll();
  } catch (const std::exception& e) {
    RaiseEngineSaveDataError(e, "OstraEngine");
  }
}

void TOstraEngine::Free() {
  dataFiles_.reset();
  hints_.reset();
  imageCache_.reset();
  history_.reset();
  calendar_.reset();
  albums_.reset();
  folders_.reset();
  config_.reset();
  dataLock_.reset();
}

}  // namespace plb
