// The first start's steps on a real folder tree: each runs once, guarded by its flag, and marks
// itself done also when its folder is missing.
#include "shell/start/first_start_steps.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/plumora_config_item.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ChildNames(const TCustomFolder& node) {
  std::vector<TCustomFolder*> children;
  node.GetChildFolders(children);
  std::vector<std::string> names;
  for (TCustomFolder* child : children) names.push_back(child->GetName());
  return names;
}

TEST(FirstStartStepsTest, RegistersTheUserFoldersAndSampleTagsOnce) {
  const std::string home = fs::canonical(test::TestRoot()).string() + "/user";
  for (const char* dir : {"Pictures", "Documents", "Videos/2020/summer", "Videos/2021"}) {
    fs::create_directories(home + "/" + dir);
  }
  TFirstStartFolders folders;
  folders.calendar = {home + "/Documents", home + "/Pictures", "", home + "/Desktop"};  // no desktop
  folders.videos = home + "/Videos";
  TPlumoraConfigItem config;
  TFolderTreeList trees;
  TAlbumList albums;

  EXPECT_TRUE(RunFirstStartSteps(config, trees, &albums, folders));
  EXPECT_TRUE(config.ShortCutCreated());
  EXPECT_TRUE(config.SampleTagAdded());
  EXPECT_TRUE(config.MyVideoFolderAdded());
  for (const char* dir : {"Pictures", "Documents", "Videos", "Videos/2020", "Videos/2020/summer", "Videos/2021"}) {
    TFolder* folder = trees.FindFolderOf(home + "/" + dir);
    ASSERT_NE(folder, nullptr) << dir;
    EXPECT_EQ(folder->GetCalendarMode(), 1) << dir;
  }
  EXPECT_EQ(trees.FindFolderOf(home + "/Desktop"), nullptr);
  EXPECT_EQ(ChildNames(*albums.Root(8)),
            (std::vector<std::string>{"家族", "友達", "旅行", "イベント", "花", "紅葉", "桜", "お祭り"}));

  // Done steps never run again: a folder made since stays unregistered, no tag is added twice.
  fs::create_directories(home + "/Desktop");
  EXPECT_FALSE(RunFirstStartSteps(config, trees, &albums, {{home + "/Desktop"}, home + "/Videos"}));
  EXPECT_EQ(trees.FindFolderOf(home + "/Desktop"), nullptr);
  EXPECT_EQ(ChildNames(*albums.Root(8)).size(), 8u);

  // A step whose folder is missing is still marked done.
  TPlumoraConfigItem fresh;
  TFolderTreeList other;
  EXPECT_FALSE(RunFirstStartSteps(fresh, other, nullptr, {{home + "/none"}, home + "/none"}));
  EXPECT_TRUE(fresh.ShortCutCreated());
  EXPECT_TRUE(fresh.MyVideoFolderAdded());
}

}  // namespace
}  // namespace plb::shell
