#pragma once
// Where the cells of the catalog grid lie: the geometry of one cell from the thumbnail size and
// the caption lines, and the layout of the shown items into rows (with day bands) for a client
// width. Plain data, no painting, so that the rules can be checked without a window.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

constexpr int kHeaderBandHeight = 24;
constexpr int kMinimumCaptionHeight = 22;

struct TCellRect {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
};

// One cell's parts, relative to its top-left corner (below the header band on a header row).
struct TGridGeometry {
  int thumbnail = 80;  // edge d of the picture
  TCellRect box;       // the thumbnail box: d + 4 square at (8, 8)
  TCellRect caption;   // height 0 without caption lines
  int cellWidth = 100;
  int cellHeight = 100;
};

// thumbnailSize 80-480; captionTextHeight: the measured height of the caption lines, 0 for none.
TGridGeometry ComputeGridGeometry(int thumbnailSize, bool halfSize, int captionTextHeight);

// The whole-day part of a shooting date: the key of a day band.
int64_t DayOf(double date);

struct TGridLayoutInput {
  int clientWidth = 0;
  int clientHeight = 0;
  int scrollBarWidth = 0;
  int cellWidth = 100;
  int cellHeight = 100;
  bool groupByDay = false;
  bool folderHeader = false;
};

class TGridLayout {
 public:
  // Lays out the shown items in order; days[i] is the band key of shown[i] (ignored without
  // grouping).
  void Build(const std::vector<TCatalogItem*>& shown, const std::vector<int64_t>& days, const TGridLayoutInput& input);

  int Columns() const { return columns_; }
  int Rows() const { return static_cast<int>(rowTops_.size()) - 1; }
  bool ScrollBarShown() const { return scrollBar_; }
  int64_t TotalHeight() const { return rowTops_.back(); }
  // One entry per cell in row-major order; null for the empty cells that start a band.
  const std::vector<TCatalogItem*>& Cells() const { return cells_; }
  int CellCount() const { return static_cast<int>(cells_.size()); }
  TCatalogItem* CellItem(int index) const;
  bool HeaderRow(int row) const { return headerRows_[static_cast<size_t>(row)]; }
  // The band key of a header row (the day of its first item).
  int64_t RowDay(int row) const { return rowDays_[static_cast<size_t>(row)]; }
  int64_t RowTop(int row) const { return rowTops_[static_cast<size_t>(row)]; }
  int RowHeight(int row) const { return static_cast<int>(RowTop(row + 1) - RowTop(row)); }
  int ColumnLeft(int column) const { return columnLefts_[static_cast<size_t>(column)]; }
  int ColumnWidth(int column) const { return ColumnLeft(column + 1) - ColumnLeft(column); }

  // The row at a content y (clamped to the rows).
  int RowAt(int64_t y) const;
  // The cell index at a content point, -1 outside every cell.
  int CellAt(int x, int64_t y) const;
  // The cell's rectangle in content coordinates, the band of a header row excluded.
  TCellRect CellRect(int index, int64_t* top = nullptr) const;
  int RowOfCell(int index) const { return columns_ > 0 ? index / columns_ : 0; }
  // The first cell index that shows item, or -1.
  int CellOf(const TCatalogItem* item) const;
  // The first and last rows that a band of the content from y, height high touches.
  void VisibleRows(int64_t y, int height, int& first, int& last) const;

 private:
  void PlaceColumns(int width);

  int columns_ = 1;
  bool scrollBar_ = false;
  std::vector<TCatalogItem*> cells_;
  std::vector<bool> headerRows_;
  std::vector<int64_t> rowDays_;
  std::vector<int64_t> rowTops_{0};
  std::vector<int> columnLefts_{0, 0};
};

}  // namespace plb::shell
