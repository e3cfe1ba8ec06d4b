// The drag data of the program's views: file URLs for other programs, the private part read back
// only while the drag lives and only from data this process made.
#include "shell/grid/item_drag.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <filesystem>
#include <fstream>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "shell/qt_test_app.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

class ItemDrag : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    for (const char* n : {"a.jpg", "b.jpg"}) test::WriteFile(catalog_.Volume() + "/f/" + n);
    vol_ = catalog_.Volume();
    folder_ = catalog_.ScannedFolder("f", &items_);
  }
  test::VolumeCatalog catalog_;
  std::string vol_;
  TFolder* folder_ = nullptr;
  std::vector<TCatalogItem*> items_;
};

TEST_F(ItemDrag, ItemsTravelAsUrlsAndAsThemselvesWhileTheDragLives) {
  auto data = std::make_unique<TItemMimeData>(folder_, 7, items_);
  EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(vol_ + "/f/a.jpg")),
                                       QUrl::fromLocalFile(QString::fromStdString(vol_ + "/f/b.jpg"))}));
  EXPECT_TRUE(data->hasFormat(ItemsMimeType()));
  TCustomFolder* source = nullptr;
  std::vector<TCatalogItem*> items;
  EXPECT_EQ(DataObjectToItems(data.get(), &source, &items), 2);
  EXPECT_EQ(source, folder_);
  EXPECT_EQ(items, items_);
  int32_t extra = 0;
  EXPECT_TRUE(DataObjectExtraValue(data.get(), extra));
  EXPECT_EQ(extra, 7);

  // A copy of the bytes outlives the drag but names nothing any more; foreign data never did.
  QMimeData copy;
  copy.setData(ItemsMimeType(), data->data(ItemsMimeType()));
  data.reset();
  EXPECT_EQ(DataObjectToItems(&copy, &source, &items), 0);
  QMimeData foreign;
  foreign.setUrls({QUrl::fromLocalFile("/tmp/x.jpg")});
  EXPECT_EQ(DataObjectToItems(&foreign, &source, &items), 0);
  EXPECT_EQ(DataObjectToItems(nullptr, &source, &items), 0);
}

TEST_F(ItemDrag, AFolderTravelsAsItsPath) {
  TItemMimeData data(folder_, 0, {});
  EXPECT_TRUE(data.hasFormat(FolderMimeType()));
  EXPECT_EQ(data.urls(), QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(vol_ + "/f"))});
  TCustomFolder* source = nullptr;
  EXPECT_TRUE(DataObjectSourceFolder(&data, source));
  EXPECT_EQ(source, folder_);
}

}  // namespace
}  // namespace plb::shell
