// The single-photo viewer on real files: fitted to the window, zoomed, stepping with wrap-around,
// keys, and a damaged file shown as an error instead of a picture.
#include "shell/viewer/photo_viewer.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/codec/image_load.h"
#include "shell/qt_test_app.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

TEST(PhotoViewerTest, FitsZoomsStepsAndShowsErrors) {
  test::QtApp();
  InstallCatalogImageReader();
  const std::string dir = fs::canonical(test::TestRoot()).string() + "/photos";
  fs::create_directories(dir);
  const std::string samples = test::TestDataDir() + "/exif-samples/jpg/";
  fs::copy_file(samples + "Nikon_D70.jpg", dir + "/a.jpg");
  fs::copy_file(samples + "Pentax_K10D.jpg", dir + "/b.jpg");
  {
    std::ofstream broken(dir + "/c.jpg", std::ios::binary);
    broken << "\xFF\xD8\xFF\xE0 this is no picture";
  }
  TFolderTreeList trees;
  TFolder* folder = trees.FolderOf(dir);
  ASSERT_NE(folder, nullptr);
  TExtItems table;
  table.Build(kCatalogKinds);
  folder->SearchFiles(&table, nullptr);
  std::vector<TCatalogItem*> items;
  folder->GetItems(items);
  ASSERT_EQ(items.size(), 3u);

  TPhotoViewer viewer;
  viewer.resize(400, 300);
  viewer.show();
  viewer.ShowItem(items[0], items);
  ASSERT_FALSE(viewer.Picture().isNull()) << viewer.ErrorText().toStdString();
  EXPECT_TRUE(viewer.Fitted());
  EXPECT_LE(viewer.Picture().width() * viewer.Zoom(), 400.5);
  EXPECT_LE(viewer.Picture().height() * viewer.Zoom(), 300.5);
  viewer.SetZoom(1.0);
  viewer.ZoomIn();
  EXPECT_DOUBLE_EQ(viewer.Zoom(), 1.25);
  EXPECT_FALSE(viewer.Fitted());

  auto key = [&viewer](int k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(&viewer, &press);
  };
  key(Qt::Key_0);
  EXPECT_TRUE(viewer.Fitted());
  key(Qt::Key_Right);
  EXPECT_EQ(viewer.Item(), items[1]);
  key(Qt::Key_Right);  // the damaged file: an error text, no picture
  EXPECT_EQ(viewer.Item(), items[2]);
  EXPECT_TRUE(viewer.Picture().isNull());
  EXPECT_FALSE(viewer.ErrorText().isEmpty());
  viewer.repaint();
  key(Qt::Key_Right);  // wraps to the first
  EXPECT_EQ(viewer.Item(), items[0]);
  key(Qt::Key_Left);
  EXPECT_EQ(viewer.Item(), items[2]);

  bool closed = false;
  QObject::connect(&viewer, &TPhotoViewer::closeRequested, [&closed] { closed = true; });
  key(Qt::Key_Escape);
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace plb::shell
