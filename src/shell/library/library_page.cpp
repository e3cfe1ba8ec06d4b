#include "shell/library/library_page.h"

#include <QMetaObject>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QThread>
#include <exception>

#include "engine/events/folder_update_master.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/folder_tree_list.h"
#include "host/log_file.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/grid_drag_drop.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/viewer/photo_viewer.h"
#include "shell/viewer/viewer_full_screen.h"

namespace plb::shell {
namespace {

constexpr int kPanelWidth = 240;

}  // namespace

TLibraryPage::TLibraryPage(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
  setObjectName("LibraryPage");
  panels_ = new QTabWidget(this);
  panels_->setObjectName("TFrameTargetsEx");
  folderTree_ = new TFolderTreePanel("FolderTree", [this] {
    std::vector<TCustomFolder*> out;
    if (sources_.folders) {
      std::vector<TFolder*> roots;
      sources_.folders->GetRoots(roots);
      out.assign(roots.begin(), roots.end());
    }
    return out;
  });
  calendarTree_ = new TFolderTreePanel("CalendarTree", [this] {
    return sources_.calendar ? std::vector<TCustomFolder*>{sources_.calendar} : std::vector<TCustomFolder*>{};
  });
  // The tags, and the user's own albums below them.
  tagTree_ = new TFolderTreePanel("TagTree", [this] {
    std::vector<TCustomFolder*> roots;
    if (!sources_.albums) return roots;
    for (int type : {atTag, atAlbum}) {
      if (TAlbum* root = sources_.albums->Root(type)) roots.push_back(root);
    }
    return roots;
  });
  panels_->addTab(folderTree_, QStringLiteral("フォルダ"));
  panels_->addTab(calendarTree_, QStringLiteral("カレンダー"));
  panels_->addTab(tagTree_, QStringLiteral("タグ"));

  views_ = new QStackedWidget(this);
  catalog_ = new TFrameCatalogDG(views_);
  catalogDrags_ = new TGridDragDrop(*catalog_);
  viewer_ = new TPhotoViewer(views_);
  views_->addWidget(catalog_);
  views_->addWidget(viewer_);
  addWidget(panels_);
  addWidget(views_);
  setStretchFactor(1, 1);
  setSizes({kPanelWidth, 800});

  for (TFolderTreePanel* panel : {folderTree_, calendarTree_, tagTree_}) {
    connect(panel, &TFolderTreePanel::folderChosen, this, [this](TCustomFolder* node) {
      if (catalog_->CurrentFolder() != node) catalog_->ShowFolder(node);
      CloseViewer();
    });
    // A click on the highlighted row shows its folder too, when the grid shows another one.
    connect(panel, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
      TCustomFolder* node = TFolderTreePanel::NodeOf(item);
      if (!node || catalog_->CurrentFolder() == node) return;
      catalog_->ShowFolder(node);
      CloseViewer();
    });
  }
  connect(catalog_, &TFrameCatalogDG::itemOpened, this, [this](TCatalogItem* item) { OpenViewer(item); });
  connect(viewer_, &TPhotoViewer::closeRequested, this, &TLibraryPage::CloseViewer);
  fullScreen_ = new TViewerFullScreen(viewer_, views_, this);
  connect(viewer_, &TPhotoViewer::fullScreenToggled, this, [this] { SetViewerFullScreen(!ViewerFullScreen()); });
  connect(viewer_, &TPhotoViewer::fullScreenLeft, this, [this] { SetViewerFullScreen(false); });
  connect(fullScreen_, &TViewerFullScreen::activeChanged, this, &TLibraryPage::fullScreenChanged);
}

TLibraryPage::~TLibraryPage() {
  Detach();
}

void TLibraryPage::Attach(const TLibrarySources& sources) {
  Detach();
  sources_ = sources;
  catalog_->SetThumbnailMaker(sources.maker);
  catalog_->SetImageCache(sources.cache);
  catalog_->ConnectCatalogUpdates();
  Listen(sources.folderUpdates, folderTree_, "TLibraryPage.FolderUpdated");
  Listen(sources.calendarUpdates, calendarTree_, "TLibraryPage.CalendarUpdated");
  Listen(sources.albumUpdates, tagTree_, "TLibraryPage.AlbumUpdated");
  folderTree_->Reload();
  calendarTree_->Reload();
  tagTree_->Reload();
}

void TLibraryPage::Detach() {
  for (auto& [master, code] : listening_) master->UnregisterListener(this, code);
  listening_.clear();
  catalog_->SetThumbnailMaker(nullptr);
}

void TLibraryPage::Listen(TFolderUpdateMaster* master, TFolderTreePanel* panel, const char* code) {
  if (!master) return;
  QPointer<TLibraryPage> self(this);
  master->RegisterListener(this, "TLibraryPage", code,
                           [self, panel](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) {
                             if (!self) return;
                             if (QThread::currentThread() == self->thread()) {
                               self->Deliver(panel, node, kind);
                               return;
                             }
                             // Nodes are never freed while the engine runs, so the pointer may travel to the UI thread.
                             QMetaObject::invokeMethod(
                                 self.data(),
                                 [self, panel, node, kind] {
                                   if (self) self->Deliver(panel, node, kind);
                                 },
                                 Qt::QueuedConnection);
                           });
  listening_.emplace_back(master, code);
}

void TLibraryPage::Deliver(TFolderTreePanel* panel, TCustomFolder* node, uint8_t kind) {
  panel->NodeEvent(node, kind);
  catalog_->FolderEvent(node, kind);
}

void TLibraryPage::ShowFolder(TCustomFolder* folder) {
  for (TFolderTreePanel* panel : {folderTree_, calendarTree_, tagTree_}) {
    if (panel->SelectNode(folder)) {
      panels_->setCurrentWidget(panel);
      break;
    }
  }
  if (catalog_->CurrentFolder() != folder) catalog_->ShowFolder(folder);
}

void TLibraryPage::OpenViewer(TCatalogItem* item) {
  if (!item) return;
  viewer_->ShowItem(item, catalog_->ShownItems());
  if (!ViewerFullScreen()) views_->setCurrentWidget(viewer_);
  viewer_->setFocus();
  emit viewChanged(true);
}

void TLibraryPage::CloseViewer() {
  if (!ViewerShown()) return;
  fullScreen_->Leave();
  if (TCatalogItem* item = viewer_->Item()) catalog_->SelectItem(item);
  views_->setCurrentWidget(catalog_);
  catalog_->Grid()->setFocus();
  emit viewChanged(false);
}

void TLibraryPage::ShowPanel(int index) {
  if (index >= 0 && index < panels_->count()) panels_->setCurrentIndex(index);
}

TFolderTreePanel* TLibraryPage::CurrentPanel() const {
  return static_cast<TFolderTreePanel*>(panels_->currentWidget());
}

TCatalogItem* TLibraryPage::CurrentItem() const {
  return ViewerShown() ? viewer_->Item() : catalog_->CurrentItem();
}

std::vector<TCatalogItem*> TLibraryPage::WorkItems() const {
  if (ViewerShown())
    return viewer_->Item() ? std::vector<TCatalogItem*>{viewer_->Item()} : std::vector<TCatalogItem*>{};
  return catalog_->SelectedItems();
}

bool TLibraryPage::ViewerShown() const {
  return views_->currentWidget() == viewer_ || fullScreen_->Active();
}

void TLibraryPage::SetViewerFullScreen(bool on) {
  if (!on) {
    fullScreen_->Leave();
    return;
  }
  if (!ViewerShown()) OpenViewer(catalog_->CurrentItem());
  if (ViewerShown()) fullScreen_->Enter();
}

bool TLibraryPage::ViewerFullScreen() const {
  return fullScreen_->Active();
}

QWidget* TLibraryPage::FullScreenWindow() const {
  return fullScreen_;
}

}  // namespace plb::shell
