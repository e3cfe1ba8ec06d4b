// The album utilities of the tray and tag panel: answers, existing entries, missing arguments.
#include "engine/model/album_utils.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"

namespace plb {
namespace {

class AlbumUtils : public ::testing::Test {
 protected:
  TAlbumList list;
  TAlbum* album = list.CreateAlbum(list.Root(atAlbum), atAlbum, "", "A");
  std::unique_ptr<TCatalogItem> one = std::make_unique<TCatalogItem>();
  std::unique_ptr<TCatalogItem> two = std::make_unique<TCatalogItem>();
};

TEST_F(AlbumUtils, AddsAndRemovesAndLeavesExistingEntriesAsTheyAre) {
  EXPECT_TRUE(OstraAddItemToAlbum(album, one.get(), 5, true, false));
  EXPECT_FALSE(OstraAddItemToAlbum(album, one.get(), 9, true, false));
  EXPECT_EQ(album->FindEntry(one.get())->GroupNumber, 5);
  std::vector<TCatalogItem*> items = {one.get(), two.get()};
  EXPECT_TRUE(OstraAddItemsToAlbum(album, &items, 1, true, false));
  EXPECT_FALSE(OstraAddItemsToAlbum(album, &items, 1, true, false));
  EXPECT_EQ(album->EntryCount(), 2);
  EXPECT_EQ(one->Tags(), std::vector<TCustomFolder*>{album});

  EXPECT_TRUE(OstraDelItemFromAlbum(album, one.get(), false, true));
  EXPECT_FALSE(OstraDelItemFromAlbum(album, one.get(), false, true));
  EXPECT_TRUE(OstraDelItemsFromAlbum(album, &items, false, true));
  EXPECT_FALSE(OstraDelItemsFromAlbum(album, &items, false, true));
  EXPECT_EQ(album->EntryCount(), 0);
  EXPECT_TRUE(one->Tags().empty());
}

TEST_F(AlbumUtils, MissingArgumentsAnswerFalseAndNeverThrow) {
  std::vector<TCatalogItem*> none;
  EXPECT_FALSE(OstraAddItemToAlbum(nullptr, one.get(), 0, true, true));
  EXPECT_FALSE(OstraAddItemToAlbum(album, nullptr, 0, true, true));
  EXPECT_FALSE(OstraAddItemsToAlbum(album, nullptr, 0, true, true));
  EXPECT_FALSE(OstraAddItemsToAlbum(album, &none, 0, true, true));
  EXPECT_FALSE(OstraDelItemFromAlbum(album, nullptr, true, true));
  EXPECT_FALSE(OstraDelItemsFromAlbum(nullptr, &none, true, true));
  EXPECT_EQ(OstraGetFolderPathWithOutRoot(nullptr, false), "");
}

TEST_F(AlbumUtils, PathsLeaveOutTheTopNode) {
  TAlbum* child = list.CreateAlbum(album, atAlbum, "", "B");
  TAlbum* grandChild = list.CreateAlbum(child, atAlbum, "", "C");
  grandChild->SetCaption("Caption C");
  EXPECT_EQ(OstraGetFolderPathWithOutRoot(grandChild, false), "A\\B\\C");
  EXPECT_EQ(OstraGetFolderPathWithOutRoot(grandChild, true), "A\\B\\Caption C");
  EXPECT_EQ(OstraGetFolderPathWithOutRoot(album, false), "A");
}

}  // namespace
}  // namespace plb
