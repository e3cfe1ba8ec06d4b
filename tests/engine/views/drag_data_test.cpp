// The drag payload: the platform file list byte for byte, and a private part that only the drag
// of this process can be read back from.
#include "engine/views/drag_data.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Le32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

class ItemDataObject : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"a.jpg", "b.jpg"}) test::WriteFile(catalog_.Volume() + "/f/" + n);
    vol_ = catalog_.Volume();
    folder_ = catalog_.ScannedFolder("f", &items_);
  }
  test::VolumeCatalog catalog_;
  std::string vol_;
  TFolder* folder_ = nullptr;
  std::vector<TCatalogItem*> items_;
};

TEST_F(ItemDataObject, FileListAndPrivatePartOfDraggedItems) {
  TItemDataObject data(folder_, 42, items_);
  const std::string header = Le32(20) + Le32(0) + Le32(0) + Le32(1) + Le32(0);
  EXPECT_EQ(data.FileListBytes(),
            header + vol_ + "/f/a.jpg" + std::string(1, '\0') + vol_ + "/f/b.jpg" + std::string(2, '\0'));
  EXPECT_STREQ(data.PrivateFormatName(), "MVCV_DATAOBJECT_ITEMS");

  const std::string bytes = data.PrivateBytes();
  TCustomFolder* source = nullptr;
  std::vector<TCatalogItem*> items;
  EXPECT_EQ(DataObjectToItems(bytes, &source, &items), 2);
  EXPECT_EQ(source, folder_);
  EXPECT_EQ(items, items_);
  int32_t extra = 0;
  EXPECT_TRUE(DataObjectExtraValue(bytes, extra));
  EXPECT_EQ(extra, 42);
  EXPECT_THROW(DataObjectToItems(bytes, &source, nullptr), ECatalogDNDException);
}

TEST_F(ItemDataObject, ForeignForgedOrEndedDragsGiveNothing) {
  std::string ended;
  {
    TItemDataObject data(folder_, 0, items_);
    ended = data.PrivateBytes();
  }
  TItemDataObject live(folder_, 0, items_);
  std::string otherProcess = live.PrivateBytes();
  otherProcess.replace(0, 4, Le32(static_cast<uint32_t>(::getpid()) + 1));
  std::string forged = live.PrivateBytes();
  forged[5] = static_cast<char>(forged[5] ^ 0x5A);
  for (const std::string& bytes : {ended, otherProcess, forged, live.PrivateBytes().substr(0, 10), std::string()}) {
    std::vector<TCatalogItem*> items = {nullptr};
    TCustomFolder* source = folder_;
    EXPECT_EQ(DataObjectToItems(bytes, &source, &items), 0);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(source, nullptr);
  }
}

TEST_F(ItemDataObject, ADraggedFolderCarriesItsPath) {
  TItemDataObject data(folder_, 0, {});
  EXPECT_STREQ(data.PrivateFormatName(), "MVCV_DATAOBJECT_FOLDER");
  EXPECT_EQ(data.FilePaths(), std::vector<std::string>{vol_ + "/f"});
  TCustomFolder* source = nullptr;
  EXPECT_TRUE(DataObjectSourceFolder(data.PrivateBytes(), source));
  EXPECT_EQ(source, folder_);
}

}  // namespace
}  // namespace plb
