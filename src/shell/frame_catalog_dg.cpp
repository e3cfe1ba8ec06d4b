#include "shell/frame_catalog_dg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

#include "engine/catalog_item.h"
#include "engine/catalog_updater.h"
#include "engine/custom_folder.h"
#include "engine/folder.h"
#include "host/date_time.h"
#include "host/format.h"
#include "host/log_file.h"
#include "images/cache_image_maker.h"
#include "images/catalog_image_cache_master.h"
#include "images/exif_date_loader.h"
#include "shell/band_buttons.h"
#include "shell/catalog_cell_painter.h"
#include "shell/qt_start_ui.h"
#include "shell/thumbnail_request_window.h"

namespace plb::shell {
namespace {

constexpr char kListenerCode[] = "TFrameCatalogDG.CatalogUpdated";
constexpr int kUpdateInterval = 100;
constexpr int kSizeDelay = 300;

QString Utf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsAlbumKind(uint8_t kind) {
  return FolderClassOfKind(kind) == 2;
}

// Years, months and the calendar root hold no items of their own: they show their days'.
bool IsCalendarGroup(uint8_t kind) {
  return kind >= kKindCalendarMonth && kind <= kKindCalendarRoot;
}

void CollectItems(const TCustomFolder& folder, std::vector<TCatalogItem*>& out) {
  if (!IsCalendarGroup(folder.Kind())) {
    folder.GetItems(out);
    return;
  }
  std::vector<TCustomFolder*> children;
  folder.GetChildFolders(children);
  for (const TCustomFolder* child : children) CollectItems(*child, out);
}

// The name a folder is shown by: the album's display name for an album.
QString FolderDisplayName(const TCustomFolder& folder) {
  return Utf8(folder.GetName());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
TCatalogGridView::TCatalogGridView(TFrameCatalogDG& frame) : QAbstractScrollArea(&frame), frame_(frame) {
  setObjectName("CatalogGrid");
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);  // the hot look of the band buttons
}

void TCatalogGridView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  frame_.PaintGrid(p, event->rect());
}

void TCatalogGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  frame_.GridResized();
}

void TCatalogGridView::scrollContentsBy(int, int) {
  viewport()->update();
  frame_.GridScrolled();
}

void TCatalogGridView::mousePressEvent(QMouseEvent* event) {
  setFocus();
  if (event->button() == Qt::LeftButton) frame_.GridPress(event->pos(), event->modifiers());
}

void TCatalogGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) frame_.GridRelease(event->pos());
}

void TCatalogGridView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) frame_.GridDoubleClick(event->pos());
}

void TCatalogGridView::mouseMoveEvent(QMouseEvent* event) {
  frame_.GridMove(event->pos());
}

void TCatalogGridView::keyPressEvent(QKeyEvent* event) {
  if (!frame_.GridKey(event->key(), event->modifiers())) QAbstractScrollArea::keyPressEvent(event);
}

void TCatalogGridView::wheelEvent(QWheelEvent* event) {
  // The wheel scrolls by rows.
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  QScrollBar* bar = verticalScrollBar();
  const TGridLayout& layout = frame_.Layout();
  const int row = std::clamp(layout.RowAt(bar->value()) - steps, 0, layout.Rows() - 1);
  bar->setValue(static_cast<int>(layout.RowTop(row)));
  event->accept();
}

void TCatalogGridView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  frame_.GridResized();
}

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
  SelectItem(current && shown_.Find(current) >= 0 ? current : shownItems_.empty() ? nullptr : shownItems_.front());
  emit countChanged(folder_, static_cast<int>(shownItems_.size()));
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
  // When the cache holds every shown item, the whole folder is asked for, the screen first.
  if (maker_ && cache_ && cache_->Kind() == 1 &&
      cache_->WouldFit(static_cast<int64_t>(shownItems_.size()), geometry_.thumbnail)) {
    RequestThumbnails(true);
    maker_->Request(WindowFirst(requestWindow_, shownItems_), geometry_.thumbnail, requestWindow_, false);
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

void TFrameCatalogDG::RequestThumbnails(bool force) {
  if (sizeChanging_ || !isVisible()) return;
  const int height = grid_->viewport()->height();
  int first = 0, last = 0;
  layout_.VisibleRows(ScrollY(), height, first, last);
  const int columns = layout_.Columns();
  const int firstCell = first * columns;
  const int windowCells = columns * (last - first + 2);
  if (!force && firstCell == lastRequestFirst_ && windowCells == lastRequestCount_) return;
  const bool scrolledUp = lastRequestTopRow_ >= 0 && first < lastRequestTopRow_;
  TThumbnailRequest request = BuildThumbnailRequest(layout_.Cells(), firstCell, windowCells, scrolledUp);
  requestWindow_ = std::move(request.window);
  lastRequestTopRow_ = first;
  lastRequestFirst_ = firstCell;
  lastRequestCount_ = windowCells;
  if (!maker_ || requestWindow_.empty()) return;
  // A layout that leaves the same cells on screen asks nothing new: a replacing request would
  // only withdraw the work under way.
  if (request.list == lastRequestList_ && geometry_.thumbnail == lastRequestSize_ && !thumbnailsDropped_) return;
  lastRequestList_ = request.list;
  lastRequestSize_ = geometry_.thumbnail;
  thumbnailsDropped_ = false;
  const bool keepAll =
      cache_ && cache_->Kind() == 1 && cache_->WouldFit(static_cast<int64_t>(shownItems_.size()), geometry_.thumbnail);
  try {
    maker_->Request(request.list, geometry_.thumbnail, requestWindow_, !keepAll);
  } catch (const std::exception& e) {
    LogFailure("TFrameCatalogDG.RequestThumbnails", e);
  }
}

// ---------------------------------------------------------------------------------------------
// Painting.

QRect TFrameCatalogDG::ItemRect(TCatalogItem* item) const {
  const int index = layout_.CellOf(item);
  if (index < 0) return {};
  int64_t top = 0;
  const TCellRect r = layout_.CellRect(index, &top);
  return QRect(r.left, static_cast<int>(top - ScrollY()), r.width, r.height);
}

void TFrameCatalogDG::PaintGrid(QPainter& p, const QRect& exposed) {
  p.fillRect(exposed, kGridColor);
  if (shownItems_.empty()) {
    p.setPen(Qt::black);
    p.drawText(grid_->viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               EmptyText());
    return;
  }
  const int64_t scroll = ScrollY();
  int first = 0, last = 0;
  layout_.VisibleRows(scroll + exposed.top(), exposed.height(), first, last);
  const int columns = layout_.Columns();
  // The band's icon: 1 folder, 2 album, 3 calendar, 4 tag.
  constexpr uint8_t kTagAlbumType = 8;
  const int folderClass = !folder_ ? 0 : folder_->AlbumType() == kTagAlbumType ? 4 : FolderClassOfKind(folder_->Kind());
  TCellLook look;
  look.highlightFavourites = highlightFavourites_;
  look.calendarDay = folder_ && folder_->Kind() == kKindCalendarDay;
  look.captionFlags = captionFlags_;
  look.twoLineDate = twoLineDate_;
  const QSize box(geometry_.box.width, geometry_.box.height);
  const bool focused = grid_->hasFocus();
  for (int row = first; row <= last; ++row) {
    const int rowTop = static_cast<int>(layout_.RowTop(row) - scroll);
    if (layout_.HeaderRow(row)) {
      const QRect band(0, rowTop, layout_.ColumnLeft(columns), kHeaderBandHeight);
      const QString label = HeaderLabel(row);
      const int width = PaintHeaderBand(p, band, label, folderClass);
      headerWidths_[static_cast<size_t>(row)] = width;
      if (BandButtonsShown()) {
        for (int button : {bbSlide, bbAlbum}) {
          const int look = row == pressedRow_ && button == pressedButton_ ? blPressed
                           : row == hotRow_ && button == hotButton_       ? blHot
                                                                          : blNormal;
          PaintBandButton(p, BandButtonRect(band, width, button), button, look);
        }
      }
    }
    for (int column = 0; column < columns; ++column) {
      const int index = row * columns + column;
      if (index >= layout_.CellCount()) break;
      int64_t top = 0;
      const TCellRect r = layout_.CellRect(index, &top);
      const QRect cell(r.left, static_cast<int>(top - scroll), r.width, r.height);
      if (!cell.intersects(exposed)) continue;
      TCatalogItem* item = layout_.CellItem(index);
      if (!item) {
        PaintEmptyCell(p, cell);
        continue;
      }
      look.selected = selection_.IsSelected(item);
      look.focused = focused && item == CurrentItem();
      const QRect boxRect(cell.left() + geometry_.box.left, cell.top() + geometry_.box.top, box.width(), box.height());
      static const TThumbnailPixmaps::Entry kNone;
      const TThumbnailPixmaps::Entry& thumbnail =
          boxRect.intersects(exposed) ? pixmaps_.Lookup(item, geometry_.thumbnail, box) : kNone;
      PaintItemCell(p, cell, geometry_, *item, look, thumbnail);
    }
  }
  if (!prefetchTimer_.isActive()) prefetchTimer_.start();
}

void TFrameCatalogDG::PrefetchPixmaps() {
  if (!cache_ || shownItems_.empty() || !isVisible()) return;
  constexpr qint64 kTurnNanoseconds = 3'000'000;
  QElapsedTimer timer;
  timer.start();
  int first = 0, last = 0;
  layout_.VisibleRows(ScrollY(), grid_->viewport()->height(), first, last);
  const int columns = layout_.Columns();
  const QSize box(geometry_.box.width, geometry_.box.height);
  // The screen first, then two rows below and one above.
  const int begin = std::max(0, first - 1) * columns;
  const int end = std::min(layout_.CellCount(), (last + 3) * columns);
  for (int pass = 0; pass < 2; ++pass) {
    const int from = pass == 0 ? first * columns : begin;
    const int to = pass == 0 ? std::min(end, (last + 1) * columns) : end;
    for (int i = from; i < to; ++i) {
      TCatalogItem* item = layout_.CellItem(i);
      if (!item || pixmaps_.Has(item, geometry_.thumbnail, box)) continue;
      pixmaps_.Lookup(item, geometry_.thumbnail, box);
      if (timer.nsecsElapsed() > kTurnNanoseconds) {
        prefetchTimer_.start();
        return;
      }
    }
  }
}

void TFrameCatalogDG::RedrawItem(TCatalogItem* item) {
  const QRect r = ItemRect(item);
  if (!r.isEmpty()) grid_->viewport()->update(r);
}

// ---------------------------------------------------------------------------------------------
// Selection and navigation.

void TFrameCatalogDG::ScrollToItem(TCatalogItem* item) {
  const int index = layout_.CellOf(item);
  if (index < 0) return;
  const int row = layout_.RowOfCell(index);
  const int64_t top = layout_.RowTop(row);
  const int64_t bottom = layout_.RowTop(row + 1);
  const int64_t scroll = ScrollY();
  const int height = grid_->viewport()->height();
  QScrollBar* bar = grid_->verticalScrollBar();
  if (top < scroll)
    bar->setValue(static_cast<int>(top));
  else if (bottom > scroll + height)
    bar->setValue(static_cast<int>(std::max<int64_t>(0, bottom - height)));
}

void TFrameCatalogDG::SelectItem(TCatalogItem* item, bool shift) {
  TCatalogItem* before = CurrentItem();
  if (!item) {
    selection_.Clear();
    selection_.SetCurrent(nullptr);
  } else {
    selection_.MoveTo(layout_.Cells(), item, shift);
    ScrollToItem(item);
  }
  grid_->viewport()->update();
  emit selectionChanged();
  if (before != CurrentItem()) emit currentItemChanged(CurrentItem());
}

void TFrameCatalogDG::ChangeSelection(bool changed) {
  grid_->viewport()->update();
  if (changed) emit selectionChanged();
}

std::vector<TCatalogItem*> TFrameCatalogDG::SelectedItemsByKind(int kind, bool dropUnavailable,
                                                                uint32_t dropKinds) const {
  std::vector<TCatalogItem*> out;
  for (TCatalogItem* item : shownItems_) {
    bool take = false;
    switch (kind) {
      case 0:
        take = selection_.IsSelected(item);
        break;
      case 1:
        take = item->Mark();
        break;
      case 2:
        take = item->FourLevelMark() > 0;
        break;
      case 3:
        take = item->Counter() > 0;
        break;
      case 4:
        take = item->SecondMark();
        break;
      default:
        take = true;
        break;
    }
    if (take && dropUnavailable && item->Unavailable()) take = false;
    if (take && (dropKinds & (1u << item->Kind()))) take = false;
    if (take) out.push_back(item);
  }
  return out;
}

bool TFrameCatalogDG::SelectByKind(int kind) {
  const std::vector<TCatalogItem*> items = SelectedItemsByKind(kind);
  if (items.empty()) {
    static const char* const kWords[] = {"選択", "☆マーク", "☆マーク", "印刷予約", "削除予約"};
    const char* word = kind >= 0 && kind <= 4 ? kWords[kind] : "指定";
    const std::string text = Format("%sされた写真はありません。", word);
    QApplication::beep();
    if (!QtStartUi::RecordUnattended("SelectByKind", window()->windowTitle().toStdString(), text)) {
      QMessageBox::critical(window(), window()->windowTitle(), Utf8(text));
    }
    return false;
  }
  selection_.SelectList(items);
  ScrollToItem(CurrentItem());
  ChangeSelection(true);
  emit currentItemChanged(CurrentItem());
  return true;
}

void TFrameCatalogDG::GridPress(const QPoint& pos, Qt::KeyboardModifiers modifiers) {
  int row = -1, button = -1;
  if (BandButtonAt(pos, row, button)) {
    pressedRow_ = row;
    pressedButton_ = button;
    grid_->viewport()->update();
    return;
  }
  const int index = layout_.CellAt(pos.x(), ScrollY() + pos.y());
  TCatalogItem* before = CurrentItem();
  const bool changed = selection_.Press(layout_.Cells(), index, modifiers & Qt::ControlModifier,
                                        modifiers & Qt::ShiftModifier, &pressOnSelected_);
  pressedItem_ = layout_.CellItem(index);
  ChangeSelection(changed);
  if (before != CurrentItem()) emit currentItemChanged(CurrentItem());
}

void TFrameCatalogDG::GridRelease(const QPoint& pos) {
  if (pressedRow_ >= 0) {
    int row = -1, button = -1;
    const int pressedRow = std::exchange(pressedRow_, -1);
    const int pressedButton = std::exchange(pressedButton_, -1);
    grid_->viewport()->update();
    if (BandButtonAt(pos, row, button) && row == pressedRow && button == pressedButton) RangeForBand(row, button);
    return;
  }
  const int index = layout_.CellAt(pos.x(), ScrollY() + pos.y());
  if (pressOnSelected_ && pressedItem_ && layout_.CellItem(index) == pressedItem_ && selection_.Selected().size() > 1) {
    selection_.Release(pressedItem_);
    ChangeSelection(true);
  }
  pressOnSelected_ = false;
  pressedItem_ = nullptr;
}

void TFrameCatalogDG::GridMove(const QPoint& pos) {
  int row = -1, button = -1;
  if (!BandButtonAt(pos, row, button)) row = button = -1;
  if (row == hotRow_ && button == hotButton_) return;
  hotRow_ = row;
  hotButton_ = button;
  grid_->viewport()->update();
}

QString TFrameCatalogDG::HeaderLabel(int row) const {
  if (groupByDay_) return DayBandLabel(layout_.RowDay(row));
  return folder_ ? FolderDisplayName(*folder_) : QString();
}

QRect TFrameCatalogDG::BandButtonArea(int row, int button) const {
  if (!BandButtonsShown() || row < 0 || row >= layout_.Rows() || !layout_.HeaderRow(row)) return {};
  int width = headerWidths_[static_cast<size_t>(row)];
  if (width < 0) {
    // Not drawn yet: measured as the band draws it.
    QFont bold = grid_->viewport()->font();
    bold.setBold(true);
    width = QFontMetrics(bold).horizontalAdvance(HeaderLabel(row));
  }
  const QRect band(0, static_cast<int>(layout_.RowTop(row) - ScrollY()), layout_.ColumnLeft(layout_.Columns()),
                   kHeaderBandHeight);
  return BandButtonRect(band, width, button);
}

bool TFrameCatalogDG::BandButtonAt(const QPoint& pos, int& row, int& button) const {
  if (!BandButtonsShown() || shownItems_.empty()) return false;
  row = layout_.RowAt(ScrollY() + pos.y());
  for (int b : {bbSlide, bbAlbum}) {
    if (BandButtonArea(row, b).contains(pos)) {
      button = b;
      return true;
    }
  }
  return false;
}

std::vector<TCatalogItem*> TFrameCatalogDG::BandItems(int row) const {
  if (!groupByDay_) return shownItems_;
  std::vector<TCatalogItem*> out;
  const int columns = layout_.Columns();
  for (int r = row; r < layout_.Rows() && (r == row || !layout_.HeaderRow(r)); ++r) {
    for (int c = 0; c < columns; ++c) {
      if (TCatalogItem* item = layout_.CellItem(r * columns + c)) out.push_back(item);
    }
  }
  return out;
}

void TFrameCatalogDG::RangeForBand(int row, int button) {
  if (row < 0 || row >= layout_.Rows() || !layout_.HeaderRow(row) || !folder_) return;
  const TBandLabel label =
      BandLabelFor(FolderClassOfKind(folder_->Kind()), groupByDay_, layout_.RowDay(row), FolderDisplayName(*folder_));
  emit bandButtonPressed(BandItems(row), label.text, label.kind, button);
}

void TFrameCatalogDG::SetRestricted(bool on) {
  restricted_ = on;
  grid_->viewport()->update();
}

void TFrameCatalogDG::GridDoubleClick(const QPoint& pos) {
  if (TCatalogItem* item = layout_.CellItem(layout_.CellAt(pos.x(), ScrollY() + pos.y()))) emit itemOpened(item);
}

bool TFrameCatalogDG::GridKey(int key, Qt::KeyboardModifiers modifiers) {
  const bool shift = modifiers & Qt::ShiftModifier;
  const std::vector<TCatalogItem*>& cells = layout_.Cells();
  TCatalogItem* target = nullptr;
  const int columns = layout_.Columns();
  const int index = std::max(0, layout_.CellOf(CurrentItem()));
  // The nearest item at or before a cell (bands leave empty cells at row ends).
  auto itemNear = [&](int i) -> TCatalogItem* {
    i = std::clamp(i, 0, layout_.CellCount() - 1);
    for (int k = i; k >= 0; --k) {
      if (cells[static_cast<size_t>(k)]) return cells[static_cast<size_t>(k)];
    }
    return layout_.CellItem(i);
  };
  const int pageRows = std::max(1, grid_->viewport()->height() / std::max(1, geometry_.cellHeight));
  switch (key) {
    case Qt::Key_Right:
      target = NextItem();
      break;
    case Qt::Key_Left:
      target = PreviousItem();
      break;
    case Qt::Key_Down:
      target = itemNear(index + columns);
      break;
    case Qt::Key_Up:
      target = index >= columns ? itemNear(index - columns) : CurrentItem();
      break;
    case Qt::Key_PageDown:
      target = itemNear(index + columns * pageRows);
      break;
    case Qt::Key_PageUp:
      target = itemNear(std::max(0, index - columns * pageRows));
      break;
    case Qt::Key_Home:
      target = shownItems_.empty() ? nullptr : shownItems_.front();
      break;
    case Qt::Key_End:
      target = shownItems_.empty() ? nullptr : shownItems_.back();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (CurrentItem()) emit itemOpened(CurrentItem());
      return true;
    case Qt::Key_A:
      if (!(modifiers & Qt::ControlModifier)) return false;
      selection_.SelectList(shownItems_);
      ChangeSelection(true);
      return true;
    default:
      return false;
  }
  if (target) SelectItem(target, shift);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Changes from the catalog-update bus and the folder events.

void TFrameCatalogDG::QueueChange(TCatalogItem* item, uint8_t kind) {
  queue_.push_back({item, kind});
  if (!updateTimer_.isActive()) updateTimer_.start();
}

void TFrameCatalogDG::FolderEvent(TCustomFolder* node, uint8_t kind) {
  if (!folder_ || !node) return;
  if (kind == futDeleted && (node == folder_ || folder_->IsDescendantOf(node))) {
    ShowFolder(nullptr);
    return;
  }
  const bool ours = node == folder_ || node->GetParent() == folder_ || folder_->GetParent() == node ||
                    (IsCalendarGroup(folder_->Kind()) && node->IsDescendantOf(folder_));
  if (ours && (kind == futContentsChanged || kind == futCountsChanged || kind == futCreated)) {
    refillPending_ = true;
    if (!updateTimer_.isActive()) updateTimer_.start();
  }
}

void TFrameCatalogDG::ApplyQueuedChanges() {
  updateTimer_.stop();
  std::vector<TGridChange> changes;
  changes.swap(queue_);
  TCatalogItem* current = CurrentItem();
  if (refillPending_) {
    // A large folder that fills while photos are read is listed again at most once a second.
    constexpr qint64 kLargeRefillSpacing = 1000;
    constexpr size_t kLargeFolder = 2000;
    if (shownItems_.size() > kLargeFolder && lastRefill_.isValid() && lastRefill_.elapsed() < kLargeRefillSpacing) {
      updateTimer_.start();
    } else {
      refillPending_ = false;
      Refill();
      lastRefill_.start();
      SelectItem(current && shown_.Find(current) >= 0 ? current : shownItems_.empty() ? nullptr : shownItems_.front());
    }
  }
  if (changes.empty()) return;

  std::unordered_set<TCatalogItem*> shownSet(shownItems_.begin(), shownItems_.end());
  TGridChangeContext context;
  context.sortKey = sortKey_;
  context.groupByDay = groupByDay_;
  context.albumShown = folder_ && IsAlbumKind(folder_->Kind());
  std::unordered_set<TCatalogItem*> held;
  bool heldListed = false;
  context.belongsToFolder = [&](TCatalogItem* item) {
    if (!heldListed && folder_) {
      std::vector<TCatalogItem*> items;
      CollectItems(*folder_, items);
      held.insert(items.begin(), items.end());
      heldListed = true;
    }
    return held.count(item) != 0;
  };
  context.shown = [&shownSet](TCatalogItem* item) { return shownSet.count(item) != 0; };
  const TGridChangeOutcome outcome = ApplyGridChanges(changes, context);

  for (TCatalogItem* item : outcome.thumbnailsDropped) {
    if (cache_) cache_->ClearCache(item);
    pixmaps_.Drop(item);
  }
  for (TCatalogItem* item : outcome.redraw) pixmaps_.Drop(item);

  if (outcome.NeedsLayout()) {
    if (!outcome.dropped.empty()) {
      // Gone from the shown items too, so the next layout does not bring them back.
      std::vector<TCatalogItem*> kept;
      kept.reserve(shownItems_.size());
      for (TCatalogItem* item : shownItems_) {
        if (!outcome.dropped.count(item)) kept.push_back(item);
      }
      shown_.Clear();
      for (TCatalogItem* item : kept) shown_.Add(item);
      selection_.Forget(outcome.dropped);
      if (outcome.dropped.count(current)) current = CurrentItem();
    }
    if (outcome.resort || !outcome.dropped.empty()) {
      shown_.Resort();
      shownItems_ = shown_.Items();
    }
    LayOut();
    UpdateStatus();
    SelectItem(current && shown_.Find(current) >= 0 ? current : shownItems_.empty() ? nullptr : shownItems_.front());
    emit countChanged(folder_, static_cast<int>(shownItems_.size()));
  } else if (outcome.fullRedraw) {
    ++fullRedraws_;
    grid_->viewport()->update();
  } else {
    for (TCatalogItem* item : outcome.redraw) {
      ++cellRedraws_;
      RedrawItem(item);
    }
  }
  if (outcome.requestAgain) {
    thumbnailsDropped_ = true;
    RequestThumbnails(true);
  }
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
