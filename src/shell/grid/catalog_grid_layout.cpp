#include "shell/grid/catalog_grid_layout.h"

#include <algorithm>
#include <cmath>

namespace plb::shell {

TGridGeometry ComputeGridGeometry(int thumbnailSize, bool halfSize, int captionTextHeight) {
  TGridGeometry g;
  g.thumbnail = halfSize ? thumbnailSize / 2 : thumbnailSize;
  const int d = g.thumbnail;
  g.box = {8, 8, d + 4, d + 4};
  const int captionHeight = captionTextHeight > 0 ? std::max(kMinimumCaptionHeight, captionTextHeight + 4) : 0;
  g.caption = {g.box.left + 2, g.box.Bottom() + 2, d + 4, captionHeight};
  g.cellWidth = d + 20;
  g.cellHeight = d + captionHeight + 20;
  return g;
}

int64_t DayOf(double date) {
  return static_cast<int64_t>(std::floor(date));
}

void TGridLayout::Build(const std::vector<TCatalogItem*>& shown, const std::vector<int64_t>& days,
                        const TGridLayoutInput& input) {
  const int cellWidth = std::max(1, input.cellWidth);
  const int width = std::max(0, input.clientWidth);
  columns_ = std::max(1, static_cast<int>(std::lround(static_cast<double>(width) / cellWidth)));
  const auto n = static_cast<size_t>(columns_);
  const bool grouping = input.groupByDay && days.size() == shown.size();

  cells_.clear();
  cells_.reserve(shown.size() + (grouping ? shown.size() / 2 : 0));
  std::vector<int64_t> cellDays;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (grouping && i > 0 && days[i] != days[i - 1]) {
      while (cells_.size() % n != 0) {
        cells_.push_back(nullptr);
        cellDays.push_back(days[i - 1]);
      }
    }
    cells_.push_back(shown[i]);
    if (grouping) cellDays.push_back(days[i]);
  }

  const size_t rows = cells_.empty() ? 1 : (cells_.size() + n - 1) / n;
  headerRows_.assign(rows, false);
  rowDays_.assign(rows, 0);
  rowTops_.assign(rows + 1, 0);
  int64_t lastHeaderDay = 0;
  for (size_t row = 0; row < rows; ++row) {
    bool header = false;
    if (grouping) {
      const size_t first = row * n;
      if (first < cellDays.size()) {
        rowDays_[row] = cellDays[first];
        header = row == 0 || cellDays[first] != lastHeaderDay;
        if (header) lastHeaderDay = cellDays[first];
      } else {
        header = row == 0;
      }
    } else {
      header = row == 0 && input.folderHeader;
    }
    headerRows_[row] = header;
    rowTops_[row + 1] = rowTops_[row] + input.cellHeight + (header ? kHeaderBandHeight : 0);
  }

  scrollBar_ = TotalHeight() > input.clientHeight;
  PlaceColumns(scrollBar_ ? std::max(0, width - input.scrollBarWidth) : width);
}

void TGridLayout::PlaceColumns(int width) {
  // Every column gets the whole share; the pixels left over go one each to the first columns.
  const int base = width / columns_;
  const int extra = width % columns_;
  columnLefts_.assign(static_cast<size_t>(columns_) + 1, 0);
  for (int c = 0; c < columns_; ++c) {
    columnLefts_[static_cast<size_t>(c) + 1] = columnLefts_[static_cast<size_t>(c)] + base + (c < extra ? 1 : 0);
  }
}

TCatalogItem* TGridLayout::CellItem(int index) const {
  if (index < 0 || index >= CellCount()) return nullptr;
  return cells_[static_cast<size_t>(index)];
}

int TGridLayout::RowAt(int64_t y) const {
  if (y <= 0) return 0;
  const auto it = std::upper_bound(rowTops_.begin(), rowTops_.end(), y);
  const int row = static_cast<int>(it - rowTops_.begin()) - 1;
  return std::clamp(row, 0, Rows() - 1);
}

int TGridLayout::CellAt(int x, int64_t y) const {
  if (x < 0 || y < 0 || y >= TotalHeight() || x >= columnLefts_.back()) return -1;
  const int row = RowAt(y);
  if (HeaderRow(row) && y < RowTop(row) + kHeaderBandHeight) return -1;
  const auto it = std::upper_bound(columnLefts_.begin(), columnLefts_.end(), x);
  const int column = static_cast<int>(it - columnLefts_.begin()) - 1;
  const int index = row * columns_ + column;
  return index < CellCount() ? index : -1;
}

TCellRect TGridLayout::CellRect(int index, int64_t* top) const {
  const int row = RowOfCell(index);
  const int column = index - row * columns_;
  const int band = HeaderRow(row) ? kHeaderBandHeight : 0;
  const int64_t y = RowTop(row) + band;
  if (top) *top = y;
  return {ColumnLeft(column), static_cast<int>(std::min<int64_t>(y, INT32_MAX)), ColumnWidth(column),
          RowHeight(row) - band};
}

int TGridLayout::CellOf(const TCatalogItem* item) const {
  if (!item) return -1;
  const auto it = std::find(cells_.begin(), cells_.end(), item);
  return it == cells_.end() ? -1 : static_cast<int>(it - cells_.begin());
}

void TGridLayout::VisibleRows(int64_t y, int height, int& first, int& last) const {
  first = RowAt(y);
  last = RowAt(y + std::max(1, height) - 1);
}

}  // namespace plb::shell
