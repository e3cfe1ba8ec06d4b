#include "output/print/page_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/image_load.h"
#include "output/print/pdf_document.h"
#include "support/test_env.h"
#include "support/volume_catalog.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

// Records what is drawn; text is 10 device pixels a line.
class FakeDocument : public IPrintDocument {
 public:
  struct Log {
    std::vector<std::string> texts;
    std::vector<TRect> pictures;
    int pages = 1;
    bool finished = false, aborted = false;
  };
  explicit FakeDocument(Log& log) : log_(log) {}
  void NewPage() override { ++log_.pages; }
  void FillRect(const TRect&, uint32_t) override {}
  void DrawPicture(const Bitmap&, const TRect&, const TRect& target) override { log_.pictures.push_back(target); }
  int32_t TextHeight(const std::vector<std::string>& lines, int32_t) override {
    return 10 * static_cast<int32_t>(lines.size());
  }
  void DrawTextLines(const TRect&, const std::vector<std::string>& lines, int32_t) override {
    for (const std::string& l : lines) log_.texts.push_back(l);
  }
  void Finish() override { log_.finished = true; }
  void Abort() override { log_.aborted = true; }

 private:
  Log& log_;
};

TEST(PageLayout, PagesAndCells) {
  TPrintSettings s;
  s.columns = s.rows = 2;
  struct Case {
    size_t items;
    int32_t pages;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{4, 1}, Case{5, 2}, Case{7, 2}, Case{8, 2}, Case{9, 3}})
    EXPECT_EQ(PrintPageCount(c.items, s), c.pages) << c.items;
  const auto cells = SplitCells(TRect{0, 0, 101, 50}, 2, 2);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[1], (TRect{51, 0, 102, 25})) << "reading order, sizes rounded";
  EXPECT_EQ(cells[2], (TRect{0, 25, 51, 50}));
}

TEST(PageLayout, FittingSquaringAndFilling) {
  TPrinterInfoRec info = SheetInfo("t", 2970, 2100, 254);  // 10 pixels a millimetre: one a tenth
  TPrintSettings s;
  s.printCaption = false;
  s.cellMarginX = s.cellMarginY = 0;
  const TRect cell{0, 0, 300, 200};
  // Square cells: a portrait photo fitted into the centred 200 × 200 square.
  TCellGeometry g = LayoutCell(cell, s, info, 0, TSize{100, 200});
  EXPECT_EQ(g.pictureArea, (TRect{50, 0, 250, 200}));
  EXPECT_EQ(g.pictureRect, (TRect{100, 0, 200, 200}));
  // A single cell is not squared (the panel's rule).
  s.columns = s.rows = 1;
  ApplyPanelRules(s);
  g = LayoutCell(cell, s, info, 0, TSize{400, 100});
  EXPECT_EQ(g.pictureRect, (TRect{0, 63, 300, 138})) << "300 x 75, centred";
  // Filling: the whole area, the picture cut to the area's shape.
  s.fillCell = true;
  g = LayoutCell(cell, s, info, 0, TSize{400, 100});
  EXPECT_EQ(g.pictureRect, cell);
  EXPECT_EQ(CoverSourceRect(TSize{400, 100}, cell), (TRect{125, 0, 275, 100}));
  // Captions take the bottom, below a margin.
  s = TPrintSettings{};
  s.captionItems = kCaptionFileName;
  s.columns = 2;
  ApplyPanelRules(s);
  g = LayoutCell(cell, s, info, 20, TSize{100, 100});
  EXPECT_EQ(g.pictureArea.bottom, 200 - 10 - 20 - 10);
  EXPECT_EQ(g.captionRect, (TRect{10, 170, 290, 190}));
}

class PrintItems : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCatalogImageReader();
    fs::create_directories(catalog_.Volume() + "/pics");
    for (int i = 0; i < 7; ++i)
      fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg",
                    catalog_.Volume() + "/pics/p" + std::to_string(i + 1) + ".jpg");
    catalog_.ScannedFolder("pics", &items_);
    ASSERT_EQ(items_.size(), 7u);
    info_ = SheetInfo("t", 2970, 2100, 50);
  }
  test::VolumeCatalog catalog_;
  std::vector<TCatalogItem*> items_;
  TPrinterInfoRec info_;
};

// Page 2 of 2 alone: photos 5-7 with their names, "( 2 / 2 )" at the foot.
TEST_F(PrintItems, PageRangePrintsOnlyItsPhotos) {
  TPrintSettings s;
  s.columns = s.rows = 2;
  s.captionItems = kCaptionFileName;
  s.pageNumbers = true;
  ApplyPanelRules(s);
  s.fromPage = s.toPage = 2;
  FakeDocument::Log log;
  FakeDocument doc(log);
  int steps = 0;
  EXPECT_TRUE(PrintPages(doc, items_, s, info_, nullptr, [&] { ++steps; }));
  EXPECT_EQ(log.pages, 1);
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(log.texts, (std::vector<std::string>{"( 2 / 2 )", "p5.jpg", "p6.jpg", "p7.jpg"}));
  EXPECT_EQ(log.pictures.size(), 3u);
}

TEST_F(PrintItems, CaptionTooTallForItsCellIsReplaced) {
  TPrintSettings s;
  s.columns = s.rows = 16;
  s.captionItems = kCaptionFileName | kCaptionShootingDate;
  ApplyPanelRules(s);
  s.toPage = 1;
  FakeDocument::Log log;
  FakeDocument doc(log);
  info_ = SheetInfo("t", 2970, 2100, 20);  // cells of about 15 × 10 pixels: two lines of 10 do not fit
  PrintPages(doc, items_, s, info_, nullptr, nullptr);
  ASSERT_FALSE(log.texts.empty());
  EXPECT_EQ(log.texts[0], "印刷情報が多すぎます。");
}

// Collated copies: one document a pass, named with the pass; otherwise one that the printer
// copies. A stop aborts the open document and opens no other.
TEST_F(PrintItems, CopiesPassesAndStop) {
  TPrintSettings s;
  s.columns = s.rows = 2;
  ApplyPanelRules(s);
  s.toPage = 2;
  s.copies = 3;
  std::vector<std::pair<std::string, int>> opened;
  FakeDocument::Log log;
  const TOpenPrintDocument open = [&](const std::string& name, int32_t copies) {
    opened.push_back({name, copies});
    return std::make_unique<FakeDocument>(log);
  };
  EXPECT_TRUE(PrintJob(open, items_, s, info_, nullptr, nullptr));
  using Opened = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(opened, (Opened{{"Plumora Browser (1/3)", 1}, {"Plumora Browser (2/3)", 1}, {"Plumora Browser (3/3)", 1}}));
  opened.clear();
  s.collate = false;
  EXPECT_TRUE(PrintJob(open, items_, s, info_, nullptr, nullptr));
  EXPECT_EQ(opened, (Opened{{"Plumora Browser", 3}}));

  opened.clear();
  log = {};
  s.collate = true;
  int cells = 0;
  EXPECT_FALSE(PrintJob(open, items_, s, info_, [&] { return cells >= 2; }, [&] { ++cells; }));
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_TRUE(log.aborted);
  EXPECT_FALSE(log.finished);
}

// The PDF file appears only when the job finished; a stopped one leaves nothing.
TEST_F(PrintItems, PdfFileOnlyWhenFinished) {
  const std::string path = test::TestRoot() + "/out.pdf";
  TPrintSettings s;
  s.columns = s.rows = 2;
  s.toPage = 2;
  {
    TPdfFile file(path, info_);
    EXPECT_FALSE(PrintJob([&](const std::string&, int32_t) { return file.OpenDocument(); }, items_, s, info_,
                          [] { return true; }, nullptr));
  }
  EXPECT_FALSE(fs::exists(path));
  TPdfFile file(path, info_);
  EXPECT_TRUE(PrintJob([&](const std::string&, int32_t) { return file.OpenDocument(); }, items_, s, info_, nullptr,
                       nullptr));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(file.PageCount(), 2);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(test::TestRoot())) names.push_back(e.path().filename());
  EXPECT_NE(std::find(names.begin(), names.end(), "out.pdf"), names.end());
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find("out.pdf") != std::string::npos; }), 1)
      << "no staging file left";
}

}  // namespace
}  // namespace plb
