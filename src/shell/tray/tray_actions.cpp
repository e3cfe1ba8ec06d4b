#include "shell/tray/tray_actions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <exception>
#include <vector>

#include "engine/model/catalog_item.h"
#include "host/date_time.h"
#include "host/log_file.h"
#include "service/api/plumora_api_params.h"
#include "service/logs/operation_log.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/grid_drag_drop.h"
#include "shell/library/library_page.h"
#include "shell/main/item_drops.h"
#include "shell/main/main_actions.h"
#include "shell/main_window.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/tray/tray_rules.h"
#include "shell/viewer/photo_viewer.h"

namespace plb::shell {
namespace {

// System entries of the operation log for an upload's start and its end.
constexpr int kUploadStartedLog = 4;
constexpr int kUploadSucceededLog = 5;
constexpr int kUploadFailedLog = 6;

}  // namespace

TTrayActions::TTrayActions(TPlumoraMain2& window, TFramePlumoraTray& panel)
    : QObject(&window), window_(window), panel_(panel) {
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key) {
    auto* action = new QAction(caption, &window_);
    action->setObjectName(name);
    if (!key.isEmpty()) action->setShortcut(key);
    menu->addAction(action);
    window_.addAction(action);
    return action;
  };
  // Before the help menu, which stays last.
  auto* menu = new QMenu(QStringLiteral("トレイ"), window_.menuBar());
  menu->setObjectName("TrayMenu");
  if (QMenu* help = window_.menuBar()->findChild<QMenu*>("MenuHelp"))
    window_.menuBar()->insertMenu(help->menuAction(), menu);
  else
    window_.menuBar()->addMenu(menu);
  in_ = add(menu, "AcTrayIn", QStringLiteral("トレイに入れる"), QKeySequence(Qt::Key_F9));
  out_ = add(menu, "AcTrayOut", QStringLiteral("トレイから出す"), QKeySequence(Qt::Key_F10));
  in_view_ = add(menu, "AcTrayInViewItem", QStringLiteral("表示中の写真をトレイに入れる"), QKeySequence());
  out_view_ = add(menu, "AcTrayOutViewItem", QStringLiteral("表示中の写真をトレイから出す"), QKeySequence());
  menu->addSeparator();
  clear_ = add(menu, "AcTrayClear", QStringLiteral("トレイをクリア"), QKeySequence());
  upload_ = add(menu, "AcTrayUpload", QStringLiteral("アップロード"), QKeySequence());

  TLibraryPage* library = window_.Library();
  connect(in_, &QAction::triggered, this, [this, library] {
    panel_.AddItemsToTray(library->Catalog()->SelectedItems());
  });
  connect(out_, &QAction::triggered, this, [this, library] {
    panel_.TakeItemsOutOfTray(library->Catalog()->SelectedItems());
  });
  connect(in_view_, &QAction::triggered, this, [this, library] {
    if (TCatalogItem* item = library->Viewer()->Item()) panel_.AddItemsToTray({item});
  });
  connect(out_view_, &QAction::triggered, this, [this, library] {
    if (TCatalogItem* item = library->Viewer()->Item()) panel_.TakeItemsOutOfTray({item});
  });
  connect(clear_, &QAction::triggered, this, [this] {
    if (panel_.Tray()) panel_.Tray()->ClearTray();
  });
  connect(upload_, &QAction::triggered, this, [this] {
    if (!panel_.Tray()) return;
    try {
      panel_.Tray()->StartUpload();
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.AcTrayUpload", e);
    }
  });

  // The catalog's context menu (the window's) offers the two that work on its selection.
  TCatalogGridView* grid = library->Catalog()->Grid();
  grid->addAction(in_);
  grid->addAction(out_);
  // The catalog's selection can be dragged onto the tray.
  library->CatalogDrags()->SetDragEnabled(true);
  connect(library->Catalog(), &TFrameCatalogDG::selectionChanged, this, &TTrayActions::Refresh);
  connect(library->Catalog(), &TFrameCatalogDG::bandButtonPressed, this, &TTrayActions::GroupUpload);
  Refresh();
}

void TTrayActions::TrayStarted() {
  TFrameTray* tray = panel_.Tray();
  if (!tray) return;
  TFrameTray::TCallbacks callbacks;
  callbacks.started = [this](const std::string&) {
    DAL_AddSystemLog(kUploadStartedLog);
    window_.UploadStarted(panel_.Tray() ? panel_.Tray()->Uploader() : nullptr);
    Refresh();
  };
  callbacks.ended = [this](const std::string&, const std::string& next_command, bool success) {
    DAL_AddSystemLog(success ? kUploadSucceededLog : kUploadFailedLog);
    window_.UploadEnded(success, next_command);
    Refresh();
  };
  callbacks.login_required = [this] { window_.RequestServicePage(); };
  callbacks.progress = [this](int percent) { window_.UploadProgress(percent); };
  tray->SetCallbacks(std::move(callbacks));
  // Files of other programs dropped on the tray: the catalog's photos among them join it.
  if (window_.Actions()) window_.Actions()->Drops().AttachTray(*tray);
  connect(tray, &TFrameTray::countChanged, this, &TTrayActions::Refresh, Qt::UniqueConnection);
  Refresh();
}

bool TTrayActions::UploadAllowed() {
  const TPlumoraApiParamValues values = PlumoraApiParams().Snapshot();
  return !values.session_id.empty() && values.rest_photo_count > 0;
}

void TTrayActions::Refresh() {
  TFrameTray* tray = panel_.Tray();
  const bool idle = tray && panel_.Active() && !tray->IsUploading();
  TLibraryPage* library = window_.Library();
  const std::vector<TCatalogItem*> selected = library->Catalog()->SelectedItems();
  bool anyInTray = false;
  if (idle) {
    for (TCatalogItem* item : selected) {
      if (tray->IsInTray(item)) {
        anyInTray = true;
        break;
      }
    }
  }
  TCatalogItem* viewed = library->ViewerShown() ? library->Viewer()->Item() : nullptr;
  in_->setEnabled(idle && !selected.empty());
  out_->setEnabled(anyInTray);
  in_view_->setEnabled(idle && viewed && !tray->IsInTray(viewed));
  out_view_->setEnabled(idle && viewed && tray->IsInTray(viewed));
  clear_->setEnabled(idle && !tray->Items().empty());
  const bool allowed = UploadAllowed();
  upload_->setEnabled(idle && allowed);
  if (tray) tray->SetUploadEnabled(allowed);
}

void TTrayActions::GroupUpload(const std::vector<TCatalogItem*>& items, const QString& label, int label_kind,
                               int button) {
  TFrameTray* tray = panel_.Tray();
  if (!upload_mode_ || !tray) return;
  // The tray comes into view first: the user sees what goes.
  panel_.show();
  panel_.SetFolded(false);
  std::string name = label.toStdString();
  if (label_kind == 1 && !items.empty()) name = FormatDateTime("yyyy-mm-dd", items.front()->ShootingDate());
  try {
    tray->StartGroupUpload(items, button == 0, name, TraySourceTypeOfLabel(label_kind));
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.StartGroupUpload", e);
  }
}

}  // namespace plb::shell
