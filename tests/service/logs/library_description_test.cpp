// The library part of the usage report, counted from a real folder tree: positions, size bins,
// folders without items, sound files, and standard folders that are one and the same folder.
#include "service/logs/library_description.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

class LibraryDescription : public ::testing::Test {
 protected:
  void SetUp() override {
    volumes_.Mount({platform::kDriveFixed, 0x1, "SYSTEM", "/"});
    volumes_.Mount({platform::kDriveRemovable, 0x2, "CARD", card_});
  }
  TFolder* Folder(const std::string& path) {
    fs::create_directories(path);
    TFolder* folder = trees_.FolderOf(path);
    EXPECT_NE(folder, nullptr) << path;
    return folder;
  }
  void AddItem(TFolder* folder, const std::string& name, int width, int height, uint8_t kind = fkJpeg) {
    std::unique_ptr<TCatalogItem> item = folder->NewItem();
    item->SetFileNameRaw(name);
    TCatalogItemBlock block = item->Block();
    block.kind = kind;
    block.width = width;
    block.height = height;
    item->SetBlock(block);
    folder->AddItem(item);
  }

  std::string home_ = test::TestRoot() + "/home";
  std::string card_ = test::TestRoot() + "/card";
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeList trees_;
};

TEST_F(LibraryDescription, CountsEachFolderOncePerPosition) {
  TFolder* trip = Folder(home_ + "/Pictures/trip");
  AddItem(trip, "a.jpg", 1024, 768);
  AddItem(trip, "b.jpg", 768, 1024);
  AddItem(trip, "song.mp3", 0, 0, fkSound);  // not a photo, but the folder still counts
  Folder(home_ + "/Pictures/trip/empty");      // no items: not a folder of the report
  AddItem(Folder(home_ + "/Pictures/trip/empty/deep"), "c.jpg", 100, 100);  // still visited
  AddItem(Folder(card_ + "/DCIM"), "d.jpg", 5000, 10);

  const struct {
    const char* name;
    TPLBStandardFolders standard;
    int default_dirs, default_photos, system_dirs, system_photos;
  } cases[] = {
      // User folders turned off: all three are the home folder, counted once.
      {"all equal", {home_, home_, home_}, 2, 3, 0, 0},
      {"pictures inside documents", {home_, home_ + "/Pictures", home_ + "/Desktop"}, 2, 3, 0, 0},
      {"separate", {home_ + "/Documents", home_ + "/Pictures/trip/empty", home_ + "/Desktop"}, 1, 1, 1, 2},
      {"none known", {"", "", ""}, 0, 0, 2, 3},
  };
  for (const auto& c : cases) {
    TPLBLibraryDescription out;
    SetupFolderData(trees_, c.standard, [] { return true; }, out);
    EXPECT_EQ(out.default_position.dir_count, c.default_dirs) << c.name;
    EXPECT_EQ(out.default_position.photo_count, c.default_photos) << c.name;
    EXPECT_EQ(out.under_system_dir_position.dir_count, c.system_dirs) << c.name;
    EXPECT_EQ(out.under_system_dir_position.photo_count, c.system_photos) << c.name;
    EXPECT_EQ(out.otherwise_position.dir_count, 1) << c.name;
    EXPECT_EQ(out.otherwise_position.bins[0], 1) << c.name << ": 5000 wide is the 4096 bin";
  }
  TPLBLibraryDescription out;
  SetupFolderData(trees_, {home_, home_, home_}, [] { return true; }, out);
  EXPECT_EQ(out.default_position.bins, (std::array<int32_t, 5>{0, 0, 1, 1, 1}));
  // Asked to stop, the walk ends early instead of finishing the tree.
  TPLBLibraryDescription stopped;
  SetupFolderData(trees_, {home_, home_, home_}, [] { return false; }, stopped);
  EXPECT_EQ(stopped.default_position.photo_count, 0);
}

}  // namespace
}  // namespace plb
