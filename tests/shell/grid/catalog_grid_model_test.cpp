// The grid's rules without a window: geometry, layout with day bands, selection, the change
// queue and the thumbnail request window.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/views/sorted_item_list.h"
#include "shell/grid/catalog_change_queue.h"
#include "shell/grid/catalog_grid_layout.h"
#include "shell/grid/catalog_grid_selection.h"
#include "shell/grid/thumbnail_request_window.h"

namespace plb::shell {
namespace {

class GridModelTest : public testing::Test {
 protected:
  std::vector<TCatalogItem*> Items(int n) {
    std::vector<TCatalogItem*> out;
    for (int i = 0; i < n; ++i) {
      owned_.push_back(std::make_unique<TCatalogItem>());
      out.push_back(owned_.back().get());
    }
    return out;
  }
  std::vector<std::unique_ptr<TCatalogItem>> owned_;
};

TEST_F(GridModelTest, GeometryFollowsSizeHalfSizeAndCaptions) {
  struct Case {
    int size;
    bool half;
    int captionText;
    int cellWidth, cellHeight, box, caption;
  };
  const Case cases[] = {
      {80, false, 0, 100, 100, 84, 0},    // no caption area
      {80, true, 0, 60, 60, 44, 0},       // half size: d = 40
      {80, false, 10, 100, 122, 84, 22},  // a caption is at least 22 high
      {160, false, 40, 180, 224, 164, 44},
  };
  for (const Case& c : cases) {
    const TGridGeometry g = ComputeGridGeometry(c.size, c.half, c.captionText);
    EXPECT_EQ(g.cellWidth, c.cellWidth) << c.size;
    EXPECT_EQ(g.cellHeight, c.cellHeight) << c.size;
    EXPECT_EQ(g.box.width, c.box);
    EXPECT_EQ(g.box.left, 8);
    EXPECT_EQ(g.box.top, 8);
    EXPECT_EQ(g.caption.height, c.caption);
  }
}

TEST_F(GridModelTest, ColumnsRowsAndLeftoverPixels) {
  struct Case {
    int width, items, columns, rows;
    std::vector<int> columnWidths;
  };
  const Case cases[] = {
      {40, 3, 1, 3, {40}},              // less than one cell still gives one column
      {300, 0, 3, 1, {100, 100, 100}},  // an empty folder has one row
      {403, 9, 4, 3, {101, 101, 101, 100}},
      {250, 5, 3, 2, {84, 83, 83}},  // rounded to the nearest count; cells clip their painting
  };
  for (const Case& c : cases) {
    TGridLayoutInput in;
    in.clientWidth = c.width;
    in.clientHeight = 10000;
    const std::vector<TCatalogItem*> items = Items(c.items);
    TGridLayout layout;
    layout.Build(items, {}, in);
    EXPECT_EQ(layout.Columns(), c.columns) << c.width;
    EXPECT_EQ(layout.Rows(), c.rows) << c.width;
    for (int col = 0; col < layout.Columns(); ++col) EXPECT_EQ(layout.ColumnWidth(col), c.columnWidths[col]) << col;
    EXPECT_FALSE(layout.ScrollBarShown());
  }
}

TEST_F(GridModelTest, ScrollBarTakesItsWidthOnlyWhenRowsOverflow) {
  TGridLayoutInput in;
  in.clientWidth = 400;
  in.clientHeight = 250;
  in.scrollBarWidth = 16;
  const std::vector<TCatalogItem*> items = Items(12);
  TGridLayout layout;
  layout.Build(items, {}, in);
  EXPECT_TRUE(layout.ScrollBarShown());
  EXPECT_EQ(layout.ColumnLeft(layout.Columns()), 384);
  in.clientHeight = 300;
  layout.Build(items, {}, in);
  EXPECT_FALSE(layout.ScrollBarShown());
  EXPECT_EQ(layout.ColumnLeft(layout.Columns()), 400);
}

TEST_F(GridModelTest, EveryDayStartsANewRowUnderItsBand) {
  const std::vector<TCatalogItem*> items = Items(5);
  const std::vector<int64_t> days{40000, 40000, 40000, 40001, 40001};
  TGridLayoutInput in;
  in.clientWidth = 400;
  in.clientHeight = 1000;
  in.groupByDay = true;
  TGridLayout layout;
  layout.Build(items, days, in);
  ASSERT_EQ(layout.Columns(), 4);
  const std::vector<TCatalogItem*> expected{items[0], items[1], items[2], nullptr, items[3], items[4]};
  EXPECT_EQ(layout.Cells(), expected);
  ASSERT_EQ(layout.Rows(), 2);
  EXPECT_TRUE(layout.HeaderRow(0));
  EXPECT_TRUE(layout.HeaderRow(1));
  EXPECT_EQ(layout.RowDay(1), 40001);
  EXPECT_EQ(layout.RowHeight(0), 100 + kHeaderBandHeight);
  // Hit testing skips the band and the empty cell.
  EXPECT_EQ(layout.CellAt(150, 10), -1);
  EXPECT_EQ(layout.CellAt(150, 30), 1);
  EXPECT_EQ(layout.CellItem(layout.CellAt(350, 30)), nullptr);
  EXPECT_EQ(layout.CellAt(50, 124 + 30), 4);

  // A band that spans rows has its header only on its first row; no grouping, no band unless
  // the folder header is on.
  layout.Build(Items(6), std::vector<int64_t>(6, 40000), in);
  EXPECT_TRUE(layout.HeaderRow(0));
  EXPECT_FALSE(layout.HeaderRow(1));
  in.groupByDay = false;
  layout.Build(items, days, in);
  EXPECT_FALSE(layout.HeaderRow(0));
  in.folderHeader = true;
  layout.Build(items, days, in);
  EXPECT_TRUE(layout.HeaderRow(0));
  EXPECT_FALSE(layout.HeaderRow(1));
}

TEST_F(GridModelTest, ClicksControlClicksAndShiftRanges) {
  const std::vector<TCatalogItem*> cells = [&] {
    std::vector<TCatalogItem*> c = Items(6);
    c.insert(c.begin() + 3, nullptr);  // an empty cell ending a band
    return c;
  }();
  TGridSelection s;
  bool onSelected = false;
  EXPECT_TRUE(s.Press(cells, 1, false, false, &onSelected));
  EXPECT_EQ(s.Selected(), (std::vector<TCatalogItem*>{cells[1]}));
  EXPECT_EQ(s.Anchor(), cells[1]);

  // Shift: the range from the anchor in cell order, empty cells skipped.
  EXPECT_TRUE(s.Press(cells, 5, false, true, nullptr));
  EXPECT_EQ(s.Selected(), (std::vector<TCatalogItem*>{cells[1], cells[2], cells[4], cells[5]}));
  EXPECT_EQ(s.Current(), cells[5]);
  EXPECT_EQ(s.Anchor(), cells[1]);

  // Pressing on a selected item keeps the selection so that a drag can start.
  EXPECT_FALSE(s.Press(cells, 2, false, false, &onSelected));
  EXPECT_TRUE(onSelected);
  EXPECT_EQ(s.Selected().size(), 4u);
  EXPECT_EQ(s.Current(), cells[2]);

  // Control toggles; removing moves the current cell to the last remaining selected item.
  EXPECT_TRUE(s.Press(cells, 5, true, false, nullptr));
  EXPECT_FALSE(s.IsSelected(cells[5]));
  EXPECT_EQ(s.Current(), cells[4]);
  EXPECT_TRUE(s.Press(cells, 0, true, false, nullptr));
  EXPECT_TRUE(s.IsSelected(cells[0]));

  // An empty cell selects nothing and changes nothing.
  EXPECT_FALSE(s.Press(cells, 3, false, false, nullptr));
  EXPECT_EQ(s.Selected().size(), 4u);

  // Removing the last selected item leaves the clicked cell current.
  s.SelectOnly(cells[6]);
  EXPECT_TRUE(s.Press(cells, 6, true, false, nullptr));
  EXPECT_TRUE(s.Selected().empty());
  EXPECT_EQ(s.Current(), cells[6]);
}

TEST_F(GridModelTest, ArrowNeighboursWrapAround) {
  const std::vector<TCatalogItem*> shown = Items(3);
  EXPECT_EQ(NeighbourItem(shown, shown[2], 1), shown[0]);
  EXPECT_EQ(NeighbourItem(shown, shown[0], -1), shown[2]);
  EXPECT_EQ(NeighbourItem(shown, shown[1], 1), shown[2]);
  EXPECT_EQ(NeighbourItem(shown, nullptr, 1), shown[0]);
  EXPECT_EQ(NeighbourItem({}, nullptr, 1), nullptr);
}

TEST_F(GridModelTest, ChangeRecordsByKind) {
  const std::vector<TCatalogItem*> items = Items(12);
  TGridChangeContext context;
  context.sortKey = skFileName;
  context.belongsToFolder = [&](TCatalogItem* item) { return item == items[1]; };

  auto upload = [&](int n) {
    std::vector<TGridChange> changes;
    for (int i = 0; i < n; ++i) changes.push_back({items[static_cast<size_t>(i)], cukUploadStatusChanged});
    return ApplyGridChanges(changes, context);
  };
  EXPECT_FALSE(upload(9).fullRedraw);
  EXPECT_EQ(upload(9).redraw.size(), 9u);
  EXPECT_TRUE(upload(10).fullRedraw);

  struct Case {
    uint8_t kind;
    uint8_t sortKey;
    bool grouping;
    bool resort, dropped, thumbnails;
  };
  const Case cases[] = {
      {cukRenamed, skFileName, false, true, false, false},
      {cukRenamed, skShootingDate, false, false, false, false},
      {cukMissing, skFileName, false, false, true, false},
      {cukShootingDateWritten, skFileName, true, true, false, false},
      {cukShootingDateWritten, skShootingDate, false, true, false, false},
      {cukShootingDateWritten, skFileName, false, false, false, false},
      {cukShootingDateWritten2, skFileDate, false, true, false, false},
      {cukTrimmingSwitched, skFileName, false, false, false, true},
      {cukFileOverwritten, skFileName, false, false, false, true},
  };
  for (const Case& c : cases) {
    context.sortKey = c.sortKey;
    context.groupByDay = c.grouping;
    const TGridChangeOutcome out = ApplyGridChanges({{items[0], c.kind}}, context);
    EXPECT_EQ(out.resort, c.resort) << int(c.kind);
    EXPECT_EQ(out.dropped.count(items[0]) == 1, c.dropped) << int(c.kind);
    EXPECT_EQ(out.thumbnailsDropped.size() == 1, c.thumbnails) << int(c.kind);
    EXPECT_EQ(out.requestAgain, c.thumbnails) << int(c.kind);
  }

  // A new frame changes the thumbnail only where trimming is in force.
  items[2]->SetTrimming(true, {10, 10, 50, 40}, 0, 0);
  items[3]->SetTrimming(false, {10, 10, 50, 40}, 0, 0);
  const TGridChangeOutcome framed =
      ApplyGridChanges({{items[2], cukTrimmingEdited}, {items[3], cukTrimmingEdited}}, context);
  EXPECT_EQ(framed.thumbnailsDropped, std::vector<TCatalogItem*>{items[2]});
  EXPECT_TRUE(framed.requestAgain);
  EXPECT_EQ(framed.redraw.size(), 2u);

  // A copy or move drops the item unless it still belongs to the folder.
  const TGridChangeOutcome moved =
      ApplyGridChanges({{items[0], cukCopiedOrMoved}, {items[1], cukCopiedOrMoved}}, context);
  EXPECT_EQ(moved.dropped.size(), 1u);
  EXPECT_TRUE(moved.dropped.count(items[0]));
  // Tag changes redraw, except in an album (its folder events bring membership changes).
  EXPECT_EQ(ApplyGridChanges({{items[0], cukTagsChanged}}, context).redraw.size(), 1u);
  context.albumShown = true;
  EXPECT_TRUE(ApplyGridChanges({{items[0], cukTagsChanged}}, context).redraw.empty());
}

TEST_F(GridModelTest, RequestWindowAndLookAheadInTheScrollDirection) {
  std::vector<TCatalogItem*> cells = Items(40);
  cells[13] = nullptr;
  // Rows of 4; the window starts at row 3 and covers 2 visible rows + 1.
  const TThumbnailRequest down = BuildThumbnailRequest(cells, 12, 12, false);
  ASSERT_EQ(down.window.size(), 11u);  // one empty cell skipped
  EXPECT_EQ(down.window.front(), cells[12]);
  EXPECT_EQ(down.list.size(), 11u + 16u);  // 24 cells after it, only 16 exist
  EXPECT_EQ(down.list[11], cells[24]);
  EXPECT_EQ(down.list.back(), cells[39]);

  const TThumbnailRequest up = BuildThumbnailRequest(cells, 12, 12, true);
  ASSERT_EQ(up.list.size(), 11u + 12u);  // backwards from cell 11 to cell 0
  EXPECT_EQ(up.list[11], cells[11]);
  EXPECT_EQ(up.list.back(), cells[0]);

  const std::vector<TCatalogItem*> all = WindowFirst(down.window, cells);
  EXPECT_EQ(all.front(), cells[12]);
  EXPECT_EQ(all[11], cells[0]);
}

}  // namespace
}  // namespace plb::shell
