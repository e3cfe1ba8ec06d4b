// Trees per volume, path lookup, events, pruning, the item index and the tree block records.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/model/eyefi_folder.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/log_file.h"
#include "platform/volumes.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

struct Event {
  TCustomFolder* node;
  TFolderUpdatedType kind;
  TFolderEventParam param;
};

class FolderTree : public ::testing::Test {
 protected:
  void SetUp() override {
    trees_.SetUpdateHandler([this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
      events_.push_back({node, kind, param});
    });
  }
  std::vector<TFolderUpdatedType> Kinds(const TCustomFolder* node) {
    std::vector<TFolderUpdatedType> kinds;
    for (const Event& e : events_) {
      if (e.node == node) kinds.push_back(e.kind);
    }
    return kinds;
  }

  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  std::vector<Event> events_;
  TFolderTreeListEyeFi trees_;
};

TEST_F(FolderTree, TwoCardsInOneReaderAreTwoTrees) {
  const std::string mount = test::TestRoot() + "/card";
  fs::create_directories(mount + "/DCIM");
  const TDriveInfoRec cardA{platform::kDriveRemovable, 0x1111, "CARD_A", mount};
  const TDriveInfoRec cardB{platform::kDriveRemovable, 0x2222, "", mount};
  volumes_.Mount(cardA);
  TFolder* a = trees_.FolderOf(mount + "/DCIM");
  volumes_.Unmount(mount);
  volumes_.Mount(cardB);
  TFolder* b = trees_.FolderOf(mount + "/DCIM");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(trees_.RootCount(), 2);
  TFolder* rootA = a->Parent();
  TFolder* rootB = b->Parent();
  EXPECT_EQ(rootA->GetName(), "CARD_A (" + mount + ")");
  EXPECT_EQ(rootB->GetName(), " (" + mount + ")") << "a volume without label";
  EXPECT_EQ(rootA->Kind(), kKindRoot);

  rootA->CheckDrive(true, true);
  rootB->CheckDrive(true, true);
  EXPECT_TRUE(rootA->Missing());
  EXPECT_TRUE(a->Missing()) << "the subtree of an absent card is missing";
  EXPECT_FALSE(rootB->Missing());
  EXPECT_FALSE(b->Missing());
  rootA->SetMissing(false);
  EXPECT_FALSE(rootA->Missing());
  EXPECT_TRUE(a->Missing()) << "clearing touches only the folder itself";
}

// A volume that appears while the program runs is announced like any new folder, once.
TEST_F(FolderTree, ARootMadeAtRunTimeIsAnnouncedOnce) {
  volumes_.Mount({platform::kDriveRemovable, 9, "CARD", "/media/card"});
  TFolder* dcim = trees_.FolderOf("/media/card/DCIM");
  ASSERT_NE(dcim, nullptr);
  TFolder* root = dcim->Parent();
  EXPECT_EQ(Kinds(root), std::vector<TFolderUpdatedType>{futCreated});
  EXPECT_EQ(Kinds(dcim), std::vector<TFolderUpdatedType>{futCreated});
  EXPECT_EQ(trees_.FolderOf("/media/card/other")->Parent(), root);
  EXPECT_EQ(Kinds(root), std::vector<TFolderUpdatedType>{futCreated}) << "a root found again is not new";
}

TEST_F(FolderTree, PathLookup) {
  const std::string mount = "/media/x";
  volumes_.Mount({platform::kDriveFixed, 7, "X", mount});
  TFolder* deep = trees_.FolderOf("/media/x//a///b/");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->GetFullName(), "/media/x/a/b");
  EXPECT_EQ(trees_.FolderOf("/media/x/a/b"), deep);
  EXPECT_EQ(trees_.FolderOf("/media/x/a/c/../b"), deep) << "normalised before the lookup";
  EXPECT_EQ(trees_.FindFolderOf("/media/x/a/zz"), nullptr) << "only looked up";
  EXPECT_EQ(deep->Parent()->FindSubFolder("zz"), nullptr);
  EXPECT_EQ(trees_.FolderOf("relative/path"), nullptr);
  EXPECT_EQ(trees_.FolderOfDrive({platform::kDriveFixed, 7, "X", mount}, "/elsewhere/a"), nullptr);
  TFolder* root = trees_.FolderOf("/media/x");
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(root->IsTreeRoot());
  EXPECT_EQ(root->GetFullName(), "/media/x");
}

TEST_F(FolderTree, AFailedLookupIsNullAndLoggedWithItsPath) {
  volumes_.Mount({platform::kDriveFixed, 7, "X", "/media/x"});
  const std::string folder = test::TestRoot() + "/log";
  fs::create_directories(folder);
  OpenLog(folder, "tree.log");
  const std::string unnamable = std::string("/media/x/a") + '\0' + "b";  // no folder has such a name
  EXPECT_EQ(trees_.FolderOf(unnamable), nullptr);
  EXPECT_EQ(trees_.FolderOfDrive({platform::kDriveFixed, 7, "X", "/media/x"}, unnamable), nullptr);
  CloseLog();
  const std::string log = test::ReadFile(folder + "/tree.log");
  EXPECT_NE(log.find("TFolderTreeList.FolderOf : EFolderError Raised ( Invalid folder name"), std::string::npos);
  EXPECT_NE(log.find("TFolderTreeList.FolderOfDrive : EFolderError Raised ( Invalid folder name"), std::string::npos);
}

TEST_F(FolderTree, RenameMoveAndRemoveRaiseTheirEvents) {
  volumes_.Mount({platform::kDriveFixed, 1, "V", "/v"});
  TFolder* a = trees_.FolderOf("/v/a");
  TFolder* b = trees_.FolderOf("/v/b");
  TFolder* child = trees_.FolderOf("/v/a/child");
  TCatalogItem* item = child->FindOrCreateItem("x.jpg");
  events_.clear();

  child->Rename("Child");
  EXPECT_EQ(child->GetFullName(), "/v/a/Child");
  EXPECT_EQ(Kinds(child), std::vector<TFolderUpdatedType>{futRenamed}) << "a change of letter case is a rename";
  child->Rename("Child");
  EXPECT_EQ(Kinds(child).size(), 1u);

  events_.clear();
  EXPECT_FALSE(child->CanMoveTo(child));
  EXPECT_FALSE(child->CanMoveTo(a));
  EXPECT_FALSE(a->CanMoveTo(child));
  ASSERT_TRUE(child->SetParent(b));
  EXPECT_EQ(child->GetFullName(), "/v/b/Child");
  EXPECT_EQ(item->FullPath(), "/v/b/Child/x.jpg");
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0].kind, futParentChanging);
  EXPECT_EQ(events_[1].kind, futParentChanged);
  EXPECT_EQ(events_[1].param, reinterpret_cast<TFolderEventParam>(static_cast<TCustomFolder*>(a)));
  TFolder* same = trees_.FolderOf("/v/a/Child");
  EXPECT_FALSE(child->CanMoveTo(a)) << "a would list two folders of one name";
  EXPECT_NE(same, child);

  events_.clear();
  EXPECT_EQ(b->RemoveFolder(), 1);
  EXPECT_EQ(item->State(), cisDeleted);
  EXPECT_TRUE(b->IsRemoved());
  EXPECT_TRUE(child->IsRemoved());
  ASSERT_GE(events_.size(), 2u);
  EXPECT_EQ(events_[events_.size() - 2].node, child) << "children go first";
  EXPECT_EQ(events_.back().node, b);
  EXPECT_EQ(events_.back().kind, futDeleted);

  TFolder* root = a->Parent();
  root->RemoveFolder();
  EXPECT_EQ(trees_.RootCount(), 0);
  EXPECT_EQ(trees_.RetiredRoots(), std::vector<TFolder*>{root});
}

TEST_F(FolderTree, PruneDropsEmptyChainsAndKeepsPinnedAndRegistered) {
  volumes_.Mount({platform::kDriveFixed, 1, "V", "/v"});
  TFolder* chainEnd = trees_.FolderOf("/v/e1/e2/e3");
  TFolder* pinned = trees_.FolderOf("/v/p");
  TFolder* registered = trees_.FolderOf("/v/r/inner");
  TFolder* full = trees_.FolderOf("/v/f");
  pinned->SetPinned(true);
  registered->Parent()->SetCalendarMode(1);
  TCatalogItem* gone = full->FindOrCreateItem("gone.jpg");
  full->FindOrCreateItem("kept.jpg");
  gone->SetState(cisDeleted);
  trees_.PruneAll(true, true);
  TFolder* root = pinned->Parent();
  EXPECT_EQ(root->FindSubFolder("e1"), nullptr);
  EXPECT_TRUE(chainEnd->IsRemoved());
  EXPECT_EQ(root->FindSubFolder("p"), pinned);
  EXPECT_NE(root->FindSubFolder("r"), nullptr);
  EXPECT_EQ(registered->Parent()->FindSubFolder("inner"), nullptr);
  EXPECT_EQ(full->ItemCount(), 1);
  EXPECT_EQ(full->RemovedItems(), std::vector<TCatalogItem*>{gone});
}

TEST_F(FolderTree, CountsAreCachedAndAnnouncedOnlyWhenTheyChange) {
  volumes_.Mount({platform::kDriveFixed, 1, "V", "/v"});
  TFolder* f = trees_.FolderOf("/v/f");
  f->FindOrCreateItem("a.jpg")->SetMark(true);
  f->FindOrCreateItem("b.jpg");
  events_.clear();
  EXPECT_TRUE(f->RefreshCounts(true));
  EXPECT_EQ(f->CachedItemCount(), 2);
  EXPECT_EQ(f->CachedMarkedCount(), 1);
  EXPECT_FALSE(f->RefreshCounts(true));
  EXPECT_EQ(Kinds(f), std::vector<TFolderUpdatedType>{futCountsChanged});
  TFolder* root = f->Parent();
  EXPECT_TRUE(root->RefreshTotalCounts(false));
  EXPECT_EQ(root->CachedTotalItemCount(), 2);
  EXPECT_EQ(root->CachedTotalMarkedCount(), 1);
}

TEST_F(FolderTree, SearchFilesExIsRefusedByNodesThatCannotScan) {
  class Plain : public TFolder {
   public:
    Plain() : TFolder("x") {}
    const char* ClassName() const override { return "TPlainNode"; }
    void Scan() { TCustomFolder::SearchFilesEx(nullptr); }
  } node;
  try {
    node.Scan();
    FAIL();
  } catch (const ECustomFolderError& e) {
    EXPECT_EQ(e.Message(), "TPlainNode では SearchFilesEx はサポートされていません。");
  }
}

// Two trees, an Eye-Fi account and items with edits.
void BuildCatalog(TFolderTreeListEyeFi& trees) {
  TFolder* a = trees.FolderOfDrive({platform::kDriveFixed, 0x1234, "Data", "/data"}, "/data/photos/2024");
  TFolder* b = trees.FolderOfDrive({platform::kDriveRemovable, -5, "", "/media/card"}, "/media/card/DCIM");
  for (const char* name : {"c.jpg", "A.jpg", "b.jpg"}) {
    TCatalogItem* item = a->FindOrCreateItem(name);
    item->UpdateFromEntry({name, 100, 45000.0, false}, fkJpeg, true);
    item->SetComment(std::string("note ") + name);
  }
  b->FindOrCreateItem("m.mov")->UpdateFromEntry({"m.mov", 5, 1.0, false}, fkMovie, false);
  a->Parent()->Parent()->SetPinned(true);
  b->SetCalendarMode(1);
  trees.SelectEyeFiRoot("Account");
  auto* eyefi = dynamic_cast<TEyeFiFolder*>(trees.CurrentEyeFiRoot()->FindOrCreateSubFolder("cloud"));
  eyefi->SetRevision(42);
  eyefi->FindOrCreateItem("e.jpg");
}

std::string SaveTrees(TFolderTreeList& trees, int32_t& counter) {
  std::string bytes;
  RecordWriter w(bytes);
  trees.SaveToStream(w, counter);
  return bytes;
}

TEST_F(FolderTree, TreeBlockReadsBackIdentically) {
  BuildCatalog(trees_);
  int32_t counter = 0;
  const std::string bytes = SaveTrees(trees_, counter);
  EXPECT_EQ(counter, 5) << "record numbers run over all trees";
  EXPECT_EQ(bytes.substr(0, 2), "\xF0\xF0");

  TFolderTreeListEyeFi back;
  RecordReader r(bytes);
  back.LoadFromStream(r);
  EXPECT_TRUE(r.AtEnd());
  int32_t again = 0;
  EXPECT_EQ(SaveTrees(back, again), bytes);
  ASSERT_EQ(back.RootCount(), 3);
  TFolder* photos = back.FindFolderOf("/data/photos/2024");
  EXPECT_EQ(photos, nullptr) << "the fake volume source knows no /data";
  std::vector<TFolder*> roots;
  back.GetRoots(roots);
  bool sawEyeFi = false;
  for (TFolder* root : roots) {
    if (auto* e = dynamic_cast<TEyeFiRootFolder*>(root)) {
      sawEyeFi = true;
      EXPECT_EQ(e->DriveType(), 254);
      EXPECT_EQ(e->VolumeName(), "Account");
      auto* cloud = dynamic_cast<TEyeFiFolder*>(e->FindSubFolder("cloud"));
      ASSERT_NE(cloud, nullptr);
      EXPECT_EQ(cloud->Revision(), 42);
      EXPECT_EQ(cloud->FindItem("e.jpg")->ItemClass(), 1);
    }
    if (root->GetFullName() == "/data") {
      TFolder* f = root->FindSubFolder("photos")->FindSubFolder("2024");
      EXPECT_EQ(f->GetFullName(), "/data/photos/2024");
      EXPECT_EQ(f->FindItem("b.jpg")->Comment(), "note b.jpg");
      EXPECT_EQ(f->FindItem("A.jpg")->RecordNumber(), 0);
      EXPECT_TRUE(root->Pinned());
    }
  }
  EXPECT_TRUE(sawEyeFi);

  const std::vector<TCatalogItem*> index = back.BuildItemIndex();
  ASSERT_EQ(index.size(), 5u);
  for (size_t i = 0; i < index.size(); ++i) {
    ASSERT_NE(index[i], nullptr);
    EXPECT_EQ(index[i]->RecordNumber(), static_cast<int32_t>(i));
  }
}

TEST_F(FolderTree, ItemIndexIgnoresRecordNumbersOutOfRange) {
  volumes_.Mount({platform::kDriveFixed, 1, "V", "/v"});
  TFolder* f = trees_.FolderOf("/v/f");
  f->FindOrCreateItem("a.jpg")->SetRecordNumber(-3);
  f->FindOrCreateItem("b.jpg")->SetRecordNumber(1);
  f->FindOrCreateItem("c.jpg")->SetRecordNumber(3);
  const std::vector<TCatalogItem*> index = trees_.BuildItemIndex();
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index[0], nullptr);
  EXPECT_EQ(index[1], f->FindItem("b.jpg"));
  EXPECT_EQ(index[2], nullptr);
}

TEST_F(FolderTree, DamagedTreeBlocks) {
  BuildCatalog(trees_);
  int32_t counter = 0;
  const std::string good = SaveTrees(trees_, counter);
  {
    SCOPED_TRACE("a wrong marker loads nothing and leaves the trees");
    TFolderTreeListEyeFi list;
    list.FolderOfDrive({platform::kDriveFixed, 1, "K", "/k"}, "/k/kept");
    std::string bytes = good;
    bytes[0] = '\x0F';
    RecordReader r(bytes);
    EXPECT_NO_THROW(list.LoadFromStream(r));
    EXPECT_EQ(list.RootCount(), 1);
  }
  // The first root's record starts after the marker and the count.
  const size_t firstRoot = 6;
  const auto loadFails = [](const std::string& bytes) {
    TFolderTreeListEyeFi list;
    RecordReader r(bytes);
    list.LoadFromStream(r);
  };
  {
    SCOPED_TRACE("a root version other than 10 aborts");
    std::string bytes = good;
    bytes[firstRoot] = 11;
    EXPECT_THROW(loadFails(bytes), EAbort);
  }
  {
    SCOPED_TRACE("an Eye-Fi folder of an unknown option version");
    const size_t at = good.find(std::string("\x01\x00\x0A\x00", 4));
    ASSERT_NE(at, std::string::npos);
    std::string bytes = good;
    bytes[at] = 2;
    try {
      loadFails(bytes);
      FAIL();
    } catch (const EEyeFiRootFolderError& e) {
      EXPECT_NE(e.Message().find("TEyeFiRootFolder.LoadFromStream : EEyeFiFolderError Raised."), std::string::npos);
      EXPECT_NE(e.Message().find("データの形式に互換性がありません。( Version = A0002 )"), std::string::npos)
          << e.Message();
    }
  }
  {
    SCOPED_TRACE("short, huge and negative counts");
    for (const std::string& bytes :
         {good.substr(0, good.size() / 2), good.substr(0, 2) + std::string("\xFF\xFF\xFF\x7F", 4) + good.substr(6),
          good.substr(0, 2) + std::string("\x00\x00\x00\x80", 4) + good.substr(6)}) {
      EXPECT_THROW(loadFails(bytes), EReadError);
    }
  }
  {
    SCOPED_TRACE("an ordinary folder that claims an options block");
    TFolderTreeListEyeFi list;
    list.FolderOfDrive({platform::kDriveFixed, 1, "K", "/k"}, "/k/sub");
    int32_t n = 0;
    std::string bytes = SaveTrees(list, n);
    // root record: version, serial, type, volume text "K", folder name "/k", flags
    const size_t flags = 6 + 12 + 4 + 1 + 4 + 2;
    bytes[flags] = 8;
    EXPECT_THROW(loadFails(bytes), EAbort);
  }
  {
    SCOPED_TRACE("nesting deeper than any real path is refused, not a stack overflow");
    std::string bytes;
    RecordWriter w(bytes);
    w.U16(kTreeBlockMarker);
    w.U32(1);
    w.U32(10);
    w.U32(1);
    w.U32(3);
    w.Text("V");
    for (int depth = 0; depth < 100000; ++depth) {
      w.Text(depth == 0 ? "/v" : "d");
      w.U8(0);
      w.U32(0);
      w.U32(1);
    }
    EXPECT_THROW(loadFails(bytes), EAbort);
  }
}

TEST_F(FolderTree, EyeFiRootSelection) {
  trees_.SelectEyeFiRoot("Someone");
  TEyeFiRootFolder* root = trees_.CurrentEyeFiRoot();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(trees_.CurrentEyeFiAccount(), "Someone");
  trees_.SelectEyeFiRoot("SOMEONE");
  EXPECT_EQ(trees_.CurrentEyeFiRoot(), root) << "the same account in other letter case keeps the root";
  trees_.SelectEyeFiRoot("a/b");
  EXPECT_EQ(trees_.CurrentEyeFiRoot()->RootPath(), "a-b");
  trees_.SelectEyeFiRoot("Someone");
  EXPECT_EQ(trees_.CurrentEyeFiRoot(), root);
  trees_.SelectEyeFiRoot("");
  EXPECT_EQ(trees_.CurrentEyeFiRoot(), nullptr);
  EXPECT_EQ(trees_.RootCount(), 2);
}

}  // namespace
}  // namespace plb
