// The tree panels on real folder nodes: children are listed when a node opens, folder events
// add and remove nodes, and choosing a node reports it.
#include "shell/library/folder_tree_panel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/volumes.h"
#include "shell/qt_test_app.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

QStringList ChildTexts(QTreeWidgetItem* item) {
  QStringList out;
  for (int i = 0; i < item->childCount(); ++i) out << item->child(i)->text(0);
  return out;
}

TEST(FolderTreePanelTest, ListsOnOpeningFollowsFolderEventsAndReportsTheChoice) {
  test::QtApp();
  const std::string base = fs::canonical(test::TestRoot()).string() + "/library";
  fs::create_directories(base + "/2019");
  fs::create_directories(base + "/2020");
  TFolderTreeList trees;
  TFolder* library = trees.FolderOf(base);
  ASSERT_NE(library, nullptr);
  library->ScanSubFolders(nullptr);

  TFolderTreePanel panel("FolderTree", [library] { return std::vector<TCustomFolder*>{library}; });
  trees.SetUpdateHandler(
      [&panel](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) { panel.NodeEvent(node, kind); });
  ASSERT_EQ(panel.topLevelItemCount(), 1);
  QTreeWidgetItem* top = panel.topLevelItem(0);
  EXPECT_EQ(top->childCount(), 0);  // nothing listed before the node opens
  top->setExpanded(true);
  EXPECT_EQ(ChildTexts(top), (QStringList{"2019", "2020"}));

  // A folder found by a later scan appears; a removed one goes.
  fs::create_directories(base + "/2021");
  library->ScanSubFolders(nullptr);
  panel.ApplyPendingEvents();
  EXPECT_EQ(ChildTexts(top), (QStringList{"2019", "2020", "2021"}));
  TFolder* gone = library->FindSubFolder("2019");
  ASSERT_NE(gone, nullptr);
  gone->RemoveFolder();
  panel.ApplyPendingEvents();
  top = panel.topLevelItem(0);
  EXPECT_EQ(ChildTexts(top), (QStringList{"2020", "2021"}));
  EXPECT_TRUE(top->isExpanded());
  EXPECT_EQ(panel.ItemOf(gone), nullptr);

  TCustomFolder* chosen = nullptr;
  QObject::connect(&panel, &TFolderTreePanel::folderChosen, [&chosen](TCustomFolder* node) { chosen = node; });
  TFolder* target = library->FindSubFolder("2021");
  EXPECT_TRUE(panel.SelectNode(target));
  EXPECT_EQ(chosen, target);
  EXPECT_EQ(TFolderTreePanel::NodeOf(panel.currentItem()), target);
  trees.SetUpdateHandler(nullptr);
}

// A card mounted while the program runs: its tree's root is made at run time and the panel,
// which lists the roots, shows it without a restart.
TEST(FolderTreePanelTest, ARootMadeAtRunTimeAppears) {
  test::QtApp();
  const std::string base = fs::canonical(test::TestRoot()).string();
  fs::create_directories(base + "/disk/photos");
  fs::create_directories(base + "/card/DCIM");
  platform::FakeVolumeSource volumes;
  platform::ScopedVolumeSource scoped(volumes);
  volumes.Mount({platform::kDriveFixed, 0x1111, "Disk", base + "/disk"});
  TFolderTreeList trees;
  ASSERT_NE(trees.FolderOf(base + "/disk/photos"), nullptr);
  TFolderTreePanel panel("FolderTree", [&trees] {
    std::vector<TFolder*> roots;
    trees.GetRoots(roots);
    return std::vector<TCustomFolder*>(roots.begin(), roots.end());
  });
  trees.SetUpdateHandler(
      [&panel](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) { panel.NodeEvent(node, kind); });
  ASSERT_EQ(panel.topLevelItemCount(), 1);

  volumes.Mount({platform::kDriveRemovable, 0x2222, "CARD", base + "/card"});
  ASSERT_NE(trees.FolderOf(base + "/card/DCIM"), nullptr);
  panel.ApplyPendingEvents();
  EXPECT_EQ(panel.topLevelItemCount(), 2);
  trees.SetUpdateHandler(nullptr);
}

}  // namespace
}  // namespace plb::shell
