#include "shell/grid/frame_catalog_dg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/model/custom_folder.h"
#include "host/date_time.h"
#include "host/format.h"
#include "host/log_file.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/dates/exif_date_loader.h"
#include "shell/grid/catalog_cell_painter.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/thumbnail_request_window.h"

namespace plb::shell {
namespace {

constexpr char kListenerCode[] = "TFrameCatalogDG.CatalogUpdated";
constexpr int kUpdateInterval = 100;
constexpr int kSizeDelay = 300;

}  // namespace

// ---------------------------------------------------------------------------------------------
TFrameCatalogDG::TFrameCatalogDG(QWidget* parent) : QWidget(parent) {
  setObjectName("TFrameCatalogDG");
  grid_ = new TCatalogGridView(*this);

  auto* status = new QWidget(this);
  status->setObjectName("SBar");
  status->setAutoFillBackground(true);
  QPalette palette = status->palette();
  palette.setColor(QPalette::Window, QColor(0xD9, 0xD6, 0xD1));
  status->setPalette(palette);
  auto* row = new QHBoxLayout(status);
  row->setContentsMargins(4, 1, 4, 1);
  countPanel_ = new QLabel(status);
  countPanel_->setObjectName("CountPanel");
  countPanel_->setMinimumWidth(50);
  progress_ = new QProgressBar(status);
  progress_->setRange(0, 100);
  progress_->setMaximumWidth(120);
  progress_->hide();
  auto* small = new QToolButton(status);
  small->setObjectName("SmallSizeButton");
  small->setText(QStringLiteral("▫"));
  small->setAutoRaise(true);
  sizeBar_ = new QSlider(Qt::Horizontal, status);
  sizeBar_->setObjectName("SizeTrackBar");
  sizeBar_->setRange(kMinThumbnailSize, kMaxThumbnailSize);
  sizeBar_->setSingleStep(2);
  sizeBar_->setPageStep(4);
  sizeBar_->setFixedWidth(120);
  auto* large = new QToolButton(status);
  large->setObjectName("LargeSizeButton");
  large->setText(QStringLiteral("◻"));
  large->setAutoRaise(true);
  row->addWidget(countPanel_);
  row->addWidget(progress_);
  row->addStretch(1);
  row->addWidget(small);
  row->addWidget(sizeBar_);
  row->addWidget(large);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(grid_, 1);
  column->addWidget(status);

  connect(sizeBar_, &QSlider::valueChanged, this, [this](int v) { SetThumbnailSize(v); });
  connect(small, &QToolButton::clicked, this, [this] { SetThumbnailSize(kMinThumbnailSize); });
  connect(large, &QToolButton::clicked, this, [this] { SetThumbnailSize(kMaxThumbnailSize); });
  updateTimer_.setInterval(kUpdateInterval);
  connect(&updateTimer_, &QTimer::timeout, this, &TFrameCatalogDG::ApplyQueuedChanges);
  prefetchTimer_.setSingleShot(true);
  prefetchTimer_.setInterval(0);
  connect(&prefetchTimer_, &QTimer::timeout, this, &TFrameCatalogDG::PrefetchPixmaps);
  sizeTimer_.setSingleShot(true);
  sizeTimer_.setInterval(kSizeDelay);
  connect(&sizeTimer_, &QTimer::timeout, this, &TFrameCatalogDG::SizeTimerFired);

  sizeBar_->setValue(thumbnailSize_);
  RecomputeGeometry();
  LayOut();
  UpdateStatus();
}

TFrameCatalogDG::~TFrameCatalogDG() {
  SetDateLoader(nullptr);
  if (listening_) {
    try {
      UnRegisterCatalogUpdateEvent(this, kListenerCode);
    } catch (const std::exception& e) {
      LogFailure("TFrameCatalogDG.UnRegisterCatalogUpdateEvent", e);
    }
  }
  updateTimer_.stop();
  sizeTimer_.stop();
}

void TFrameCatalogDG::SetImageCache(TCatalogImageCacheMaster* cache) {
  cache_ = cache;
  pixmaps_.SetCache(cache);
  grid_->viewport()->update();
}

bool TFrameCatalogDG::ConnectCatalogUpdates() {
  if (listening_) return true;
  try {
    RegisterCatalogUpdateEvent(this, "TFrameCatalogDG", true, kListenerCode,
                               [this](TCatalogItem* item, uint8_t kind) { QueueChange(item, kind); });
    listening_ = true;
  } catch (const std::exception& e) {
    LogFailure("TFrameCatalogDG.RegisterCatalogUpdateEvent", e);
  }
  return listening_;
}

// ---------------------------------------------------------------------------------------------
// What is shown.

void TFrameCatalogDG::ShowFolder(TCustomFolder* folder) {
  folder_ = folder;
  queue_.clear();
  refillPending_ = false;
  selection_.Clear();
  selection_.SetCurrent(nullptr);
  lastRequestTopRow_ = -1;
  grid_->verticalScrollBar()->setValue(0);
  Refill();
  SelectItem(shownItems_.empty() ? nullptr : shownItems_.front());
  emit folderShown(folder);
}

void TFrameCatalogDG::FillShown() {
  shown_.Clear();
  if (folder_) {
    std::vector<TCatalogItem*> items;
    CollectItems(*folder_, items);
    for (TCatalogItem* item : items) shown_.Add(item);
    if (queryOn_) shown_.Filter(query_);
  }
  shown_.SetOrder(sortKey_, ascending_, false, groupByDay_);
  shownItems_ = shown_.Items();
}

void TFrameCatalogDG::SetDateLoader(TExifDateLoaderEx* loader) {
  if (dateLoader_) {
    const std::vector<TCatalogItem*> none;
    dateLoader_->SetItems(&none);
  }
  dateLoader_ = loader;
  HandToDateLoader();
}

void TFrameCatalogDG::HandToDateLoader() {
  if (!dateLoader_) return;
  // Whatever the loader still holds of an earlier list is taken back first.
  const std::vector<TCatalogItem*> none;
  dateLoader_->SetItems(&none);
  if (!shownItems_.empty()) dateLoader_->SetItems(&shownItems_);
}

void TFrameCatalogDG::DatesLoaded() {
  TCatalogItem* current = CurrentItem();
  shown_.Resort();
  shownItems_ = shown_.Items();
  LayOut();
  KeepSelection(current);
  emit countChanged(folder_, static_cast<int>(shownItems_.size()));
}

void TFrameCatalogDG::KeepSelection(TCatalogItem* current) {
  if (!current || shown_.Find(current) < 0) {
    SelectItem(shownItems_.empty() ? nullptr : shownItems_.front());
    return;
  }
  grid_->viewport()->update();
  emit selectionChanged();
}

void TFrameCatalogDG::Refill() {
  TCatalogItem* current = CurrentItem();
  FillShown();
  HandToDateLoader();
  std::unordered_set<TCatalogItem*> gone(selection_.Selected().begin(), selection_.Selected().end());
  if (current) gone.insert(current);
  for (TCatalogItem* item : shownItems_) gone.erase(item);
  selection_.Forget(gone);
  LayOut();
  UpdateStatus();
  emit countChanged(folder_, static_cast<int>(shownItems_.size()));
}

void TFrameCatalogDG::SetSortOrder(uint8_t key, bool ascending) {
  if (key == sortKey_ && ascending == ascending_) return;
  sortKey_ = key;
  ascending_ = ascending;
  Refill();
  emit sortOrderChanged(key, ascending);
}

void TFrameCatalogDG::SetQuery(const TQueryInfoRecord& query, bool on) {
  query_ = query;
  queryOn_ = on;
  Refill();
}

// ---------------------------------------------------------------------------------------------
// Geometry and layout.

void TFrameCatalogDG::RecomputeGeometry() {
  const QFontMetrics fm(font());
  const int d = halfSize_ ? thumbnailSize_ / 2 : thumbnailSize_;
  const QString sample = Utf8(FormatDateTime("c", Now()));
  twoLineDate_ = fm.horizontalAdvance(sample) + 4 > d;
  const int lines = CaptionLineCount(captionFlags_, twoLineDate_);
  geometry_ = ComputeGridGeometry(thumbnailSize_, halfSize_, lines * fm.height());
}

void TFrameCatalogDG::LayOut() {
  shownDays_.clear();
  if (groupByDay_) {
    shownDays_.reserve(shownItems_.size());
    for (TCatalogItem* item : shownItems_) shownDays_.push_back(DayOf(item->ShootingDate()));
  }
  TGridLayoutInput input;
  QWidget* viewport = grid_->viewport();
  // The client area without a scroll bar; the layout takes the bar's width off when it needs one.
  const int barWidth = grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  input.clientWidth = viewport->width() + (grid_->verticalScrollBar()->isVisible() ? barWidth : 0);
  input.clientHeight = viewport->height();
  input.scrollBarWidth = barWidth;
  input.cellWidth = geometry_.cellWidth;
  input.cellHeight = geometry_.cellHeight;
  input.groupByDay = groupByDay_;
  input.folderHeader = folderHeader_;
  layout_.Build(shownItems_, shownDays_, input);
  headerWidths_.assign(static_cast<size_t>(layout_.Rows()), -1);
  hotRow_ = pressedRow_ = -1;

  QScrollBar* bar = grid_->verticalScrollBar();
  const int64_t maximum = std::max<int64_t>(0, layout_.TotalHeight() - viewport->height());
  bar->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
  bar->setPageStep(std::max(1, viewport->height()));
  bar->setSingleStep(std::max(1, geometry_.cellHeight));
  grid_->viewport()->update();
  RequestThumbnails(true);
}

void TFrameCatalogDG::GridResized() {
  const int before = layout_.Columns();
  const int64_t top = ScrollY();
  LayOut();
  if (before != layout_.Columns())
    ScrollToItem(CurrentItem());
  else
    grid_->verticalScrollBar()->setValue(static_cast<int>(std::min<int64_t>(top, INT32_MAX)));
}

void TFrameCatalogDG::GridScrolled() {
  RequestThumbnails(false);
}

int64_t TFrameCatalogDG::ScrollY() const {
  return grid_->verticalScrollBar()->value();
}

void TFrameCatalogDG::SetThumbnailSize(int size) {
  size = std::clamp(size, kMinThumbnailSize, kMaxThumbnailSize);
  if (size == thumbnailSize_) return;
  sizeTimer_.stop();
  if (maker_) maker_->Cancel();
  lastRequestList_.clear();
  thumbnailSize_ = size;
  sizeChanging_ = true;
  RecomputeGeometry();
  pixmaps_.Clear();
  LayOut();
  ScrollToItem(CurrentItem());
  sizeChanging_ = false;
  {
    const QSignalBlocker block(sizeBar_);
    sizeBar_->setValue(size);
  }
  UpdateStatus();
  sizeTimer_.start();
}

void TFrameCatalogDG::SizeTimerFired() {
  if (maker_) maker_->SetSizeClass(geometry_.thumbnail);
  // When the cache holds every shown item, the whole folder is asked for in one request, the
  // screen first; else the screen and its look-ahead, as after a scroll.
  if (maker_ && cache_ && cache_->Kind() == 1 &&
      cache_->WouldFit(static_cast<int64_t>(shownItems_.size()), geometry_.thumbnail)) {
    if (sizeChanging_ || !isVisible()) return;
    const TThumbnailRequest screen = NextRequestWindow(true);
    if (requestWindow_.empty()) return;
    SendThumbnailRequest(screen.list, WindowFirst(requestWindow_, shownItems_), false);
    return;
  }
  RequestThumbnails(true);
}

void TFrameCatalogDG::SetCaptionFlags(uint8_t flags) {
  flags &= 0x1F;
  if (flags == captionFlags_) return;
  captionFlags_ = flags;
  RecomputeGeometry();
  LayOut();
}

void TFrameCatalogDG::SetGroupByDay(bool on) {
  if (on == groupByDay_) return;
  groupByDay_ = on;
  Refill();
  emit groupingChanged(on);
}

void TFrameCatalogDG::SetFolderHeader(bool on) {
  if (on == folderHeader_) return;
  folderHeader_ = on;
  LayOut();
}

void TFrameCatalogDG::SetHalfSize(bool on) {
  if (on == halfSize_) return;
  halfSize_ = on;
  RecomputeGeometry();
  pixmaps_.Clear();
  LayOut();
}

void TFrameCatalogDG::SetHighlightFavourites(bool on) {
  highlightFavourites_ = on;
  grid_->viewport()->update();
}

void TFrameCatalogDG::SetEmptyText(const QString& text) {
  emptyText_ = text;
  grid_->viewport()->update();
}

QString TFrameCatalogDG::EmptyText() const {
  if (!emptyText_.isEmpty()) return emptyText_;
  if (folder_) return Utf8(Format("%s に写真はありません。", folder_->GetName()));
  return QStringLiteral("（表示できる写真はありません。）");
}

// ---------------------------------------------------------------------------------------------
// Thumbnails.

TThumbnailRequest TFrameCatalogDG::NextRequestWindow(bool force) {
  const int height = grid_->viewport()->height();
  int first = 0, last = 0;
  layout_.VisibleRows(ScrollY(), height, first, last);
  const int columns = layout_.Columns();
  const int firstCell = first * columns;
  const int windowCells = columns * (last - first + 2);
  if (!force && firstCell == lastRequestFirst_ && windowCells == lastRequestCount_) return {};
  const bool scrolledUp = lastRequestTopRow_ >= 0 && first < lastRequestTopRow_;
  TThumbnailRequest request = BuildThumbnailRequest(layout_.Cells(), firstCell, windowCells, scrolledUp);
  requestWindow_ = request.window;
  lastRequestTopRow_ = first;
  lastRequestFirst_ = firstCell;
  lastRequestCount_ = windowCells;
  return request;
}

void TFrameCatalogDG::SendThumbnailRequest(const std::vector<TCatalogItem*>& screen,
                                           const std::vector<TCatalogItem*>& list, bool replace) {
  // A layout that leaves the same cells on screen asks nothing new: a replacing request would
  // only withdraw the work under way.
  if (screen == lastRequestList_ && geometry_.thumbnail == lastRequestSize_ && !thumbnailsDropped_) return;
  lastRequestList_ = screen;
  lastRequestSize_ = geometry_.thumbnail;
  thumbnailsDropped_ = false;
  try {
    maker_->Request(list, geometry_.thumbnail, requestWindow_, replace);
  } catch (const std::exception& e) {
    LogFailure("TFrameCatalogDG.RequestThumbnails", e);
  }
}

void TFrameCatalogDG::RequestThumbnails(bool force) {
  if (sizeChanging_ || !isVisible()) return;
  const TThumbnailRequest request = NextRequestWindow(force);
  if (!maker_ || requestWindow_.empty() || request.list.empty()) return;
  const bool keepAll =
      cache_ && cache_->Kind() == 1 && cache_->WouldFit(static_cast<int64_t>(shownItems_.size()), geometry_.thumbnail);
  SendThumbnailRequest(request.list, request.list, !keepAll);
}

// ---------------------------------------------------------------------------------------------
// Status bar.

QString TFrameCatalogDG::StatusText() const {
  return Utf8(Format("%.0n 枚", static_cast<double>(shownItems_.size())));
}

void TFrameCatalogDG::UpdateStatus() {
  countPanel_->setText(StatusText());
}

void TFrameCatalogDG::SetProgress(bool active, int percent) {
  progress_->setVisible(active);
  progress_->setValue(std::clamp(percent, 0, 100));
}

}  // namespace plb::shell
