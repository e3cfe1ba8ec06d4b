// TFrameCatalogDG: the selection, the keys, the mouse and the band buttons.
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "host/format.h"
#include "shell/grid/band_buttons.h"
#include "shell/grid/catalog_cell_painter.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/start/qt_start_ui.h"

namespace plb::shell {

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
  const std::vector<TCatalogItem*> items = BandItems(row);
  // Without grouping a band has no day of its own: its date is the first photo's.
  const int64_t day = groupByDay_ || items.empty() ? layout_.RowDay(row)
                                                   : static_cast<int64_t>(std::floor(items.front()->ShootingDate()));
  const TBandLabel label = BandLabelFor(FolderClassOfKind(folder_->Kind()), groupByDay_, day, FolderDisplayName(*folder_));
  emit bandButtonPressed(items, label.text, label.kind, button);
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
  // Nothing to move through: the keys keep their default meaning.
  if (shownItems_.empty() || layout_.CellCount() == 0) return false;
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

}  // namespace plb::shell
