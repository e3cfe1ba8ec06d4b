#pragma once
// The thumbnail pane of the library page: the items of the folder, album or calendar node chosen
// in the tree panels as a grid of cells, optionally banded by shooting day, with the user's
// selection, the thumbnails of what is on screen asked of the thumbnail maker, and the changes of
// single items from the catalog-update bus applied on a 100 ms timer. The view owns no item.
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/views/query_info.h"
#include "engine/views/sorted_item_list.h"
#include "shell/grid/catalog_change_queue.h"
#include "shell/grid/catalog_grid_layout.h"
#include "shell/grid/catalog_grid_selection.h"
#include "shell/grid/thumbnail_pixmaps.h"
#include "shell/grid/thumbnail_request_window.h"

class QLabel;
class QProgressBar;
class QSlider;

namespace plb {
class TCacheImageMaker;
class TCatalogImageCacheMaster;
class TCatalogItem;
class TCustomFolder;
class TExifDateLoaderEx;
}  // namespace plb

namespace plb::shell {

class TFrameCatalogDG;

// The owner-drawn grid: scrolls vertically and hands painting and input to its frame.
class TCatalogGridView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TCatalogGridView(TFrameCatalogDG& frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  TFrameCatalogDG& frame_;
  int wheelRest_ = 0;
};

class TFrameCatalogDG : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMinThumbnailSize = 80;
  static constexpr int kMaxThumbnailSize = 480;

  explicit TFrameCatalogDG(QWidget* parent = nullptr);
  ~TFrameCatalogDG() override;

  // Not owned; either may be null (no thumbnails are asked for or drawn then).
  void SetThumbnailMaker(TCacheImageMaker* maker) {
    maker_ = maker;
    lastRequestList_.clear();
  }
  void SetImageCache(TCatalogImageCacheMaster* cache);
  // Not owned: the loader that completes the shown items' shooting dates (null: none). The owner
  // calls DatesLoaded when a pass of it changed items.
  void SetDateLoader(TExifDateLoaderEx* loader);
  void DatesLoaded();
  // Registers the view's listener on the catalog-update bus (synchronised); false without a bus.
  bool ConnectCatalogUpdates();

  // Makes the folder current, refills and lays out, and selects the first item; null shows
  // nothing.
  void ShowFolder(TCustomFolder* folder);
  TCustomFolder* CurrentFolder() const { return folder_; }
  // Filters and sorts the current folder's items again, then lays out.
  void Refill();
  void SetSortOrder(uint8_t key, bool ascending);
  uint8_t SortKey() const { return sortKey_; }
  bool Ascending() const { return ascending_; }
  bool GroupByDay() const { return groupByDay_; }
  void SetQuery(const TQueryInfoRecord& query, bool on);
  const TQueryInfoRecord& Query() const { return query_; }
  bool QueryOn() const { return queryOn_; }

  void SetThumbnailSize(int size);
  int ThumbnailSize() const { return thumbnailSize_; }
  void SetCaptionFlags(uint8_t flags);
  void SetGroupByDay(bool on);
  void SetFolderHeader(bool on);
  void SetHalfSize(bool on);
  void SetHighlightFavourites(bool on);
  void SetEmptyText(const QString& text);
  // The main window's restricted mode: no band buttons.
  void SetRestricted(bool on);
  bool BandButtonsShown() const { return (folderHeader_ || groupByDay_) && !restricted_; }
  // The photos of the band that starts at a header row, in their order.
  std::vector<TCatalogItem*> BandItems(int row) const;
  // Hands the band's photos, its label and the label's kind to the owner (bandButtonPressed).
  void RangeForBand(int row, int button);
  // Where a band's button is drawn, in viewport coordinates (empty before the band was drawn).
  QRect BandButtonArea(int row, int button) const;
  QString EmptyText() const;

  // Makes the item current, scrolls it into view and selects it alone (a range with shift).
  void SelectItem(TCatalogItem* item, bool shift = false);
  TCatalogItem* CurrentItem() const { return selection_.Current(); }
  std::vector<TCatalogItem*> SelectedItems() const { return SelectedItemsByKind(0); }
  // 0 selected, 1 favourites, 2 four-level mark > 0, 3 counter > 0, 4 second mark, 5 all shown;
  // in the order of the shown items.
  std::vector<TCatalogItem*> SelectedItemsByKind(int kind, bool dropUnavailable = false, uint32_t dropKinds = 0) const;
  // Replaces the selection; an empty list beeps and shows "%sされた写真はありません。".
  bool SelectByKind(int kind);
  TCatalogItem* NextItem() const { return NeighbourItem(shownItems_, CurrentItem(), 1); }
  TCatalogItem* PreviousItem() const { return NeighbourItem(shownItems_, CurrentItem(), -1); }

  // A record of the catalog-update bus; applied on the update timer.
  void QueueChange(TCatalogItem* item, uint8_t kind);
  // A folder-updated event of the tree families: the view refills when its folder's contents
  // changed and shows nothing when its folder was deleted.
  void FolderEvent(TCustomFolder* node, uint8_t kind);
  // Applies the queued changes now (the update timer calls this).
  void ApplyQueuedChanges();

  // What is shown, for the window and for tests.
  const std::vector<TCatalogItem*>& ShownItems() const { return shownItems_; }
  const TGridLayout& Layout() const { return layout_; }
  const TGridGeometry& Geometry() const { return geometry_; }
  TCatalogGridView* Grid() const { return grid_; }
  QString StatusText() const;
  // The cells of the last thumbnail request's window and its whole list.
  const std::vector<TCatalogItem*>& RequestWindow() const { return requestWindow_; }
  int FullRedrawCount() const { return fullRedraws_; }
  int CellRedrawCount() const { return cellRedraws_; }
  // The memory of the thumbnail pixmaps kept for painting, in KiB.
  qsizetype KeptPixmapKiB() const { return pixmaps_.KeptKiB(); }
  // The content rectangle of an item's cell in viewport coordinates (empty when not laid out).
  QRect ItemRect(TCatalogItem* item) const;
  // Shows the progress of a running list-up (active false hides it).
  void SetProgress(bool active, int percent);

 signals:
  void itemOpened(plb::TCatalogItem* item);
  void selectionChanged();
  void countChanged(plb::TCustomFolder* folder, int count);
  void currentItemChanged(plb::TCatalogItem* item);
  void groupingChanged(bool on);
  void folderShown(plb::TCustomFolder* folder);
  void sortOrderChanged(int key, bool ascending);
  // labelKind: 1 a date, 2 a folder name, 3 an album's display name, 4 another node's name;
  // button: 0 slide, 1 album.
  void bandButtonPressed(const std::vector<plb::TCatalogItem*>& items, const QString& label, int labelKind, int button);

 private:
  friend class TCatalogGridView;

  void RecomputeGeometry();
  void LayOut();
  void FillShown();
  void HandToDateLoader();
  // After the shown list changed under the user (dates read, changes reported, a refill): the
  // photos picked and the place scrolled to stay; a grid whose current photo left starts again
  // at its first.
  void KeepSelection(TCatalogItem* current);
  void ScrollToItem(TCatalogItem* item);
  void RequestThumbnails(bool force);
  // The cells the screen needs now (and the request for them); an empty request when nothing
  // moved since the last one and force is off.
  TThumbnailRequest NextRequestWindow(bool force);
  // Hands list to the maker unless screen is what the last request was made for.
  void SendThumbnailRequest(const std::vector<TCatalogItem*>& screen, const std::vector<TCatalogItem*>& list,
                            bool replace);
  void SizeTimerFired();
  void UpdateStatus();
  void RedrawItem(TCatalogItem* item);
  // Redraws the item's cell when it is on screen, looked for among the visible cells only: a
  // thumbnail event for each of a large folder's items must not search the whole layout.
  void RedrawIfOnScreen(TCatalogItem* item);
  void ChangeSelection(bool changed);
  int64_t ScrollY() const;
  // A cell's rectangle in the viewport, and the thumbnail box inside a cell's rectangle.
  QRect CellOnScreen(int index, int64_t scroll) const;
  QRect BoxInCell(const QRect& cell) const;
  // Calls visit with each item of the rows on screen and its cell, until visit answers false.
  void VisitScreenCells(const std::function<bool(TCatalogItem* item, const QRect& cell)>& visit) const;

  // The grid's handlers.
  void PaintGrid(QPainter& p, const QRect& exposed);
  // How many cells are on screen, and how many of them show their thumbnail (the benchmark's
  // first-screen mark).
  struct ScreenPictures {
    int cells = 0;
    int pictures = 0;
  };
  ScreenPictures PicturesOnScreen() const;
  void GridPress(const QPoint& pos, Qt::KeyboardModifiers modifiers);
  void GridRelease(const QPoint& pos);
  void GridDoubleClick(const QPoint& pos);
  void GridMove(const QPoint& pos);
  QString HeaderLabel(int row) const;
  // The band button under a viewport point: row and button, or false.
  bool BandButtonAt(const QPoint& pos, int& row, int& button) const;
  bool GridKey(int key, Qt::KeyboardModifiers modifiers);
  void GridResized();
  void GridScrolled();
  // Decodes, a few at a time while the program is idle, the pictures of the rows next to the
  // screen, so that scrolling paints from ready pixmaps.
  void PrefetchPixmaps();

  TCustomFolder* folder_ = nullptr;
  TOstraSortList shown_;
  std::vector<TCatalogItem*> shownItems_;
  std::vector<int64_t> shownDays_;
  TGridLayout layout_;
  TGridSelection selection_;
  std::vector<TGridChange> queue_;
  bool refillPending_ = false;
  QElapsedTimer lastRefill_;
  TGridGeometry geometry_;
  int thumbnailSize_ = kMinThumbnailSize;
  bool halfSize_ = false;
  uint8_t captionFlags_ = 0;
  bool twoLineDate_ = false;
  bool groupByDay_ = false;
  bool folderHeader_ = false;
  bool highlightFavourites_ = false;
  bool restricted_ = false;
  std::vector<int> headerWidths_;  // per row: the drawn label's width, -1 before it was drawn
  int hotRow_ = -1, hotButton_ = -1;
  int pressedRow_ = -1, pressedButton_ = -1;
  bool sizeChanging_ = false;
  uint8_t sortKey_ = skFileName;
  bool ascending_ = true;
  TQueryInfoRecord query_;
  bool queryOn_ = false;
  QString emptyText_;

  TCacheImageMaker* maker_ = nullptr;
  TExifDateLoaderEx* dateLoader_ = nullptr;
  TCatalogImageCacheMaster* cache_ = nullptr;
  TThumbnailPixmaps pixmaps_;
  bool listening_ = false;

  std::vector<TCatalogItem*> requestWindow_;
  int lastRequestTopRow_ = -1;
  int lastRequestFirst_ = -1, lastRequestCount_ = -1;
  std::vector<TCatalogItem*> lastRequestList_;
  int lastRequestSize_ = 0;
  bool thumbnailsDropped_ = false;
  bool pressOnSelected_ = false;
  TCatalogItem* pressedItem_ = nullptr;
  int fullRedraws_ = 0, cellRedraws_ = 0;

  TCatalogGridView* grid_ = nullptr;
  QLabel* countPanel_ = nullptr;
  QSlider* sizeBar_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer updateTimer_;
  QTimer sizeTimer_;
  QTimer prefetchTimer_;
};

}  // namespace plb::shell
