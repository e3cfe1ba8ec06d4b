#pragma once
// The library page of the main window: the folder, calendar and tag trees on the left, the
// catalog grid on the right and the single-photo viewer in its place when a photo is opened.
#include <QSplitter>
#include <vector>

class QStackedWidget;
class QTabWidget;

namespace plb {
class TAlbumList;
class TCacheImageMaker;
class TCalendarRoot;
class TCatalogImageCacheMaster;
class TCatalogItem;
class TCustomFolder;
class TFolderTreeList;
class TFolderUpdateMaster;
class THistoryList;
}  // namespace plb

namespace plb::shell {

class TFolderTreePanel;
class TFrameCatalogDG;
class TGridDragDrop;
class TPhotoViewer;
class TViewerFullScreen;

// What the page shows and listens to; every part may be null. None is owned.
struct TLibrarySources {
  TFolderTreeList* folders = nullptr;
  TCalendarRoot* calendar = nullptr;
  TAlbumList* albums = nullptr;
  TFolderUpdateMaster* folderUpdates = nullptr;
  TFolderUpdateMaster* albumUpdates = nullptr;
  TFolderUpdateMaster* calendarUpdates = nullptr;
  TCacheImageMaker* maker = nullptr;
  TCatalogImageCacheMaster* cache = nullptr;
  THistoryList* history = nullptr;
};

class TLibraryPage : public QSplitter {
  Q_OBJECT
 public:
  explicit TLibraryPage(QWidget* parent = nullptr);
  ~TLibraryPage() override;

  // Shows the sources in the panels and registers the listeners; Detach undoes it (before the
  // engine stops).
  void Attach(const TLibrarySources& sources);
  void Detach();
  const TLibrarySources& Sources() const { return sources_; }

  TFrameCatalogDG* Catalog() const { return catalog_; }
  // The drags out of the grid and the drops on it (both off until switched on).
  TGridDragDrop* CatalogDrags() const { return catalogDrags_; }
  TPhotoViewer* Viewer() const { return viewer_; }
  TFolderTreePanel* FolderTree() const { return folderTree_; }
  TFolderTreePanel* CalendarTree() const { return calendarTree_; }
  TFolderTreePanel* TagTree() const { return tagTree_; }

  // Selects the node in its panel and shows it in the grid.
  void ShowFolder(TCustomFolder* folder);
  void OpenViewer(TCatalogItem* item);
  void CloseViewer();
  bool ViewerShown() const;
  // The viewer on the whole screen (opened on the grid's photo when it was closed), and back.
  void SetViewerFullScreen(bool on);
  bool ViewerFullScreen() const;
  // The full-screen window, where the window's viewer commands are added to work there too.
  QWidget* FullScreenWindow() const;
  // 0 the folder tree, 1 the calendar, 2 the tags.
  void ShowPanel(int index);
  // The tree panel on top, whose node the folder commands work on.
  TFolderTreePanel* CurrentPanel() const;
  // The photo the page works on: the viewer's when it is open, else the grid's current one.
  TCatalogItem* CurrentItem() const;
  // The photos the edit commands work on: the viewer's photo, else the grid's selection.
  std::vector<TCatalogItem*> WorkItems() const;

 signals:
  // The viewer was opened or closed.
  void viewChanged(bool viewerShown);
  void fullScreenChanged(bool fullScreen);


 private:
  void Listen(TFolderUpdateMaster* master, TFolderTreePanel* panel, const char* code);
  void Deliver(TFolderTreePanel* panel, TCustomFolder* node, uint8_t kind);

  TLibrarySources sources_;
  std::vector<std::pair<TFolderUpdateMaster*, const char*>> listening_;
  QTabWidget* panels_ = nullptr;
  TFolderTreePanel* folderTree_ = nullptr;
  TFolderTreePanel* calendarTree_ = nullptr;
  TFolderTreePanel* tagTree_ = nullptr;
  QStackedWidget* views_ = nullptr;
  TFrameCatalogDG* catalog_ = nullptr;
  TGridDragDrop* catalogDrags_ = nullptr;
  TPhotoViewer* viewer_ = nullptr;
  TViewerFullScreen* fullScreen_ = nullptr;
};

}  // namespace plb::shell
