#include "output/collage/collage_maker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/image_load.h"
#include "output/collage/collage_sizes.h"
#include "support/test_env.h"
#include "support/volume_catalog.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

TEST(CollageSizes, BuiltInKindsAndRedefinition) {
  ResetCollageSizeTable();
  struct Case {
    int kind;
    bool portrait;
    int32_t w, h;
  };
  for (const Case& c : {Case{2, false, 2048, 2048}, Case{3, false, 2048, 1024}, Case{3, true, 1024, 2048},
                        Case{4, false, 2048, 1593}, Case{7, true, 1759, 2048}, Case{8, true, 1051, 1500},
                        Case{10, false, 3508, 2480}}) {
    const TCollageGeometry g = CollageGeometry(c.kind, c.portrait);
    EXPECT_EQ(g.width, c.w) << c.kind;
    EXPECT_EQ(g.height, c.h) << c.kind;
  }
  EXPECT_EQ(CollageSizeName(8), "Ｌ版　    ：印刷用");
  EXPECT_TRUE(CollageSizeSeparator(8));
  // A photo of 900 × 450 with margins of 50: 1000 × 550 brought to a long side of 2048.
  SetCollageSizeGeometry(3, false, false, 50, 50, 50, 50, 450, 900);
  TCollageGeometry g = CollageGeometry(3, false);
  EXPECT_EQ(g.width, 2048);
  EXPECT_EQ(g.height, 1126);
  EXPECT_FLOAT_EQ(g.left, 0.05f);
  EXPECT_FLOAT_EQ(g.top, 50.0f / 550);
  TCollageSettings s;
  s.sizeKind = 3;
  EXPECT_EQ(CollageCanvasSize(s), (TSize{1843, 921})) << "the photo area only";
  CloseCollageSizeTable();
  SetCollageSizeGeometry(3, false, true, 0, 0, 0, 0, 10, 10);
  EXPECT_EQ(CollageGeometry(3, false).width, 2048) << "a closed table keeps its contents";
  ResetCollageSizeTable();
}

struct Fake {
  std::vector<std::unique_ptr<TCatalogItem>> owned;
  std::vector<TCatalogItem*> items;
  explicit Fake(int n) {
    for (int i = 0; i < n; ++i) {
      owned.push_back(std::make_unique<TCatalogItem>());
      char name[32];
      std::snprintf(name, sizeof name, "p%d.jpg", i);
      owned.back()->SetFileNameRaw(name);
      items.push_back(owned.back().get());
    }
  }
};

TEST(CollageLayout, CellsPerStyle) {
  std::mt19937 random(7);
  Fake five(5);
  TCollageSettings s;
  // Simple grid 3 × 3 with 5 photos: each appears, four twice.
  TCollageLayout layout = SetupTargetItems(five.items, s, nullptr, random);
  ASSERT_EQ(layout.cells.size(), 9u);
  std::map<TCatalogItem*, int> uses;
  std::set<int32_t> cellIndexes;
  for (const TCollageItem& c : layout.cells) {
    ++uses[c.item];
    cellIndexes.insert(c.cell);
    EXPECT_GE(c.angle, -60);
    EXPECT_LE(c.angle, 59);
    EXPECT_GE(c.xJitter, -1.0);
    EXPECT_LT(c.xJitter, 1.0);
  }
  EXPECT_EQ(uses.size(), 5u);
  EXPECT_EQ(cellIndexes.size(), 9u);
  for (const auto& [item, n] : uses) EXPECT_TRUE(n == 1 || n == 2);

  // Picture grid with 4 photos: at most 4 cells show photos.
  s.style = 2;
  Fake four(4);
  layout = SetupTargetItems(four.items, s, nullptr, random);
  int filled = 0;
  for (const TCollageItem& c : layout.cells) filled += c.item != nullptr;
  EXPECT_EQ(filled, 4);
  EXPECT_NE(layout.main, nullptr);

  // Frame mosaic 4 × 4: the 12 border cells; wide poster 4 × 4: the bottom row.
  for (const auto& [style, expected] : std::vector<std::pair<int, std::set<int32_t>>>{
           {6, {0, 1, 2, 3, 4, 7, 8, 11, 12, 13, 14, 15}}, {7, {12, 13, 14, 15}}}) {
    s.style = static_cast<uint8_t>(style);
    layout = SetupTargetItems(five.items, s, nullptr, random);
    std::set<int32_t> withPhoto;
    for (const TCollageItem& c : layout.cells)
      if (c.item) withPhoto.insert(c.cell);
    EXPECT_EQ(withPhoto, expected) << style;
  }
  // A fixed main photo stays.
  s.fixedMainImage = true;
  layout = SetupTargetItems(five.items, s, five.items[2], random);
  EXPECT_EQ(layout.main, five.items[2]);
}

TEST(CollageLayout, DecodeScaleForTarget) {
  struct Case {
    int32_t w, h, tw, th;
    int scale;
  };
  for (const Case& c : {Case{0, 100, 10, 10, 0}, Case{1000, 1000, 600, 100, 0}, Case{1000, 1000, 500, 100, 1},
                        Case{1000, 1000, 250, 100, 2}, Case{1000, 1000, 125, 100, 3}, Case{1000, 1000, 10, 10, 3}})
    EXPECT_EQ(CalcLoadImageSize(c.w, c.h, c.tw, c.th), c.scale) << c.tw;
}

// Rendered and saved twice: the second never replaces the first.
TEST(CollageRender, RendersEveryStyleAndSavesUnderFreeNames) {
  InstallCatalogImageReader();
  test::VolumeCatalog catalog;
  fs::create_directories(catalog.Volume() + "/pics");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", catalog.Volume() + "/pics/" + name);
  std::vector<TCatalogItem*> items;
  catalog.ScannedFolder("pics", &items);
  for (TCatalogItem* item : items) item->ReadDimensions();
  std::mt19937 random(1);
  TCollageSettings s;
  s.freeWidth = 240;
  s.freeHeight = 160;
  for (int style = 0; style < kCollageStyles; ++style) {
    s.style = static_cast<uint8_t>(style);
    const Bitmap picture = RenderCollage(SetupTargetItems(items, s, nullptr, random), s);
    EXPECT_EQ(picture.Width(), 240) << style;
    EXPECT_EQ(picture.Height(), 160) << style;
  }
  // The simple grid shows photos, not only its white background.
  s.style = 0;
  const Bitmap grid = RenderCollage(SetupTargetItems(items, s, nullptr, random), s);
  const uint8_t* middle = grid.Pixel(120, 80);
  EXPECT_FALSE(middle[0] == 255 && middle[1] == 255 && middle[2] == 255);
  const std::string folder = test::TestRoot() + "/collages";
  EXPECT_EQ(SaveCollage(grid, s, folder, "Collage.jpg", 90), folder + "/Collage.jpg");
  EXPECT_EQ(SaveCollage(grid, s, folder, "Collage.jpg", 90), folder + "/Collage(1).jpg");
  EXPECT_EQ(GetImageInfo(folder + "/Collage(1).jpg", 1).width, 240);
}

}  // namespace
}  // namespace plb
