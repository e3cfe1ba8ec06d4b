#include "shell/library/library_session.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <system_error>

#include "engine/model/calendar.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/ostra_engine.h"
#include "engine/workers/folder_updater.h"
#include "engine/workers/thread_master.h"
#include "host/log_file.h"
#include "images/dates/exif_date_loader.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/library_page.h"
#include "shell/main_window.h"
#include "shell/start/bench_script.h"
#include "shell/start/first_start_steps.h"

namespace plb::shell {
namespace {

// The grid is refreshed at most this often while an updater pass brings photos in.
constexpr int kRefreshDelay = 1000;

}  // namespace

TLibrarySession::TLibrarySession(TOstraEngine& engine, TPlumoraMain2& window)
    : engine_(engine), page_(*window.Library()) {
  TLibraryPage& page = page_;
  connect(&window, &TPlumoraMain2::updateRequested, this, &TLibrarySession::Update);
  connect(&window, &TPlumoraMain2::historyRequested, this, &TLibrarySession::GoHistory);
  connect(page_.Catalog(), &TFrameCatalogDG::folderShown, this, [this](TCustomFolder* folder) {
    // Every folder shown after the start joins the history, unless the history itself chose it.
    if (historyEnabled_ && !walkingHistory_ && folder && engine_.History()) engine_.History()->Push(folder);
  });
  TLibrarySources sources;
  sources.folders = engine.Folders();
  sources.calendar = engine.Calendar();
  sources.albums = engine.Albums();
  sources.folderUpdates = engine.FolderUpdates();
  sources.albumUpdates = engine.AlbumUpdates();
  sources.calendarUpdates = engine.CalendarUpdates();
  sources.cache = CatalogCacheOf(engine.ImageCache());
  sources.history = engine.History();
  const int size = engine.Config().ThumbnailSize();
  if (sources.cache) {
    maker_ = std::make_unique<TCacheImageMaker>(sources.cache, size, true);
    maker_->Start();
    sources.maker = maker_.get();
  }
  page.Attach(sources);
  dateLoader_ = std::make_unique<TExifDateLoaderEx>();
  TFrameCatalogDG* grid = page.Catalog();
  dateLoader_->SetOnComplete([grid](TExifDateLoaderEx*, bool changed) {
    if (changed) grid->DatesLoaded();
  });
  if (dateLoader_->Start()) grid->SetDateLoader(dateLoader_.get());
  page.Catalog()->SetThumbnailSize(size);
  // The design's view, then the user's choices from the last run over it.
  page.Catalog()->SetGroupByDay(true);
  page.Catalog()->SetSortOrder(skShootingDate, true);
  window.UseSettings(&engine.Config());
}

TLibrarySession::~TLibrarySession() {
  Stop();
}

void TLibrarySession::Start() {
  TFolderTreeList* trees = engine_.Folders();
  if (trees) {
    try {
      RunFirstStartSteps(engine_.Config(), *trees, engine_.Albums(), UserFirstStartFolders());
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.FirstStart", e);
    }
    page_.FolderTree()->Reload();
  }
  TCustomFolder* start = StartFolder();
  page_.ShowFolder(start);
  historyEnabled_ = true;
  // The start folder is where back leads first (nothing is added when the history is there).
  if (engine_.History()) engine_.History()->Push(start);
  page_.Catalog()->Grid()->setFocus();  // the arrow keys move through the photos at once
  StartBenchScript(engine_, page_);
  if (TThreadMaster* master = engine_.ThreadMaster()) {
    QPointer<TFrameCatalogDG> grid(page_.Catalog());
    try {
      master->StartProgressWatcher("TPlumoraMain2", [grid](bool active, int percent) {
        if (grid) grid->SetProgress(active, percent);
      });
      progressWatcher_ = true;
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.StartProgressWatcher", e);
    }
  }
  if (!trees) return;
  QPointer<TLibrarySession> self(this);
  try {
    StartFileUpdater(
        *trees, engine_.Config().NeedHiddenDirectory(), [](const std::vector<TFolder*>&) -> uint8_t { return 0; },
        [self](TFileUpdaterEx*, uint8_t kind, uint32_t changes) {
          if (self) self->UpdaterNotified(kind, changes);
        },
        engine_.ThreadMaster() ? engine_.ThreadMaster()->GetProgressHandler() : TProgressHandler());
    updaterStarted_ = true;
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.StartFileUpdater", e);
  }
}

TCustomFolder* TLibrarySession::StartFolder() const {
  // Where the last run left off, when that is still there; else the calendar.
  TCustomFolder* node = engine_.History() ? engine_.History()->Current() : nullptr;
  if (node && FolderClassOfKind(node->Kind()) == kFolderClassFolder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(node->GetFullName(), ec)) node = nullptr;
  }
  return node ? node : engine_.Calendar();
}

void TLibrarySession::GoHistory(int step) {
  THistoryList* history = engine_.History();
  if (stopped_ || !history) return;
  TCustomFolder* node = nullptr;
  if (step < 0 && history->CanGoBack()) node = history->Back();
  if (step > 0 && history->CanGoForward()) node = history->Forward();
  if (!node) return;
  walkingHistory_ = true;
  page_.ShowFolder(node);
  walkingHistory_ = false;
}

void TLibrarySession::UpdaterNotified(uint8_t, uint32_t changes) {
  if (changes == 0 || catalogDirty_) return;
  catalogDirty_ = true;
  QTimer::singleShot(kRefreshDelay, this, &TLibrarySession::RefreshCatalog);
}

void TLibrarySession::RefreshCatalog() {
  catalogDirty_ = false;
  if (stopped_) return;
  TFrameCatalogDG* grid = page_.Catalog();
  grid->Refill();
  // The user's selection stays as it was (the updater reports while the user works); a grid left
  // without a current photo starts at the first.
  if (!grid->CurrentItem() && !grid->ShownItems().empty()) grid->SelectItem(grid->ShownItems().front());
  page_.FolderTree()->ApplyPendingEvents();
  page_.CalendarTree()->ApplyPendingEvents();
}

void TLibrarySession::Update() {
  if (stopped_) return;
  RefreshCatalog();
  if (!updaterStarted_) return;
  try {
    RequestUpdate();
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.RequestUpdate", e);
  }
}

void TLibrarySession::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (updaterStarted_) {
    try {
      StopFileUpdater();
    } catch (const std::exception& e) {
      // Errors of stopping the updater at close are ignored.
      LogFailure("TPlumoraMain2.StopFileUpdater", e);
    }
  }
  engine_.Config().SetThumbnailSize2(static_cast<uint16_t>(page_.Catalog()->ThumbnailSize()));
  if (progressWatcher_) engine_.ThreadMaster()->StopProgressWatcher();
  page_.Catalog()->SetDateLoader(nullptr);
  if (dateLoader_) dateLoader_->Stop();
  page_.Detach();
  if (maker_) maker_->Stop();
}

}  // namespace plb::shell
