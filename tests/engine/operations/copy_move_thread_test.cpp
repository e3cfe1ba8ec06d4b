// The file copy and move thread on real folders: sticky answers, cancel, read-only files, items
// already in place, the catalog items that move or are copied, and the run through a UI thread.
#include "engine/operations/copy_move_thread.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/ui_dispatcher.h"
#include "platform/volumes.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// A dialog that answers from a script and writes down what it was asked.
class ScriptedView : public ICopyMoveView {
 public:
  std::deque<TCopyMoveAnswer> overwriteAnswers, readOnlyAnswers;
  std::vector<std::string> asked;
  std::vector<int> percents;
  int finished = -1;

  void Progress(TCatalogItem*, int percent) override { percents.push_back(percent); }
  TCopyMoveAnswer AskOverwrite(TCatalogItem* existing, TCatalogItem*) override {
    asked.push_back("overwrite " + existing->FileName());
    return Next(overwriteAnswers);
  }
  TCopyMoveAnswer AskReadOnly(TCatalogItem* existing) override {
    asked.push_back("read-only " + existing->FileName());
    return Next(readOnlyAnswers);
  }
  void Finished(int done) override { finished = done; }

 private:
  static TCopyMoveAnswer Next(std::deque<TCopyMoveAnswer>& answers) {
    if (answers.empty()) return cmaNo;
    TCopyMoveAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
};

// <vol>/src holds a.jpg to d.jpg ("new a" ...); <vol>/dst holds b.jpg, c.jpg and d.jpg ("old b" ...).
class CopyMoveThread : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
    for (const char* n : {"a", "b", "c", "d"}) WriteFile(Src(n), std::string("new ") + n);
    for (const char* n : {"b", "c", "d"}) WriteFile(Dst(n), std::string("old ") + n);
    src_ = Scan(vol_ + "/src");
    dst_ = Scan(vol_ + "/dst");
  }
  std::string Src(const std::string& n) const { return vol_ + "/src/" + n + ".jpg"; }
  std::string Dst(const std::string& n) const { return vol_ + "/dst/" + n + ".jpg"; }
  TFolder* Scan(const std::string& path) {
    TFolder* folder = trees_.FolderOf(path);
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
    return folder;
  }
  std::vector<TCatalogItem*> Sources() {
    std::vector<TCatalogItem*> items;
    src_->GetItems(items);
    return items;
  }
  int Run(bool copy, ScriptedView& view, std::vector<TCatalogItem*> items = {}) {
    TCopyMoveThread thread(trees_, items.empty() ? Sources() : items, vol_ + "/dst", nullptr, copy, &view);
    thread.Execute();
    EXPECT_EQ(thread.DestinationFolder(), dst_);
    return thread.DoneCount();
  }

  std::string vol_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeListEyeFi trees_;
  TFolder* src_ = nullptr;
  TFolder* dst_ = nullptr;
};

TEST_F(CopyMoveThread, StickyAnswersSettleTheRemainingConflicts) {
  struct Case {
    const char* what;
    std::deque<TCopyMoveAnswer> answers;
    std::vector<std::string> asked;
    std::string b, c, d;  // destination contents afterwards
    int done;
  } cases[] = {
      {"yes to all", {cmaYesToAll}, {"overwrite b.jpg"}, "new b", "new c", "new d", 4},
      {"no to all", {cmaNoToAll}, {"overwrite b.jpg"}, "old b", "old c", "old d", 1},
      {"yes, no, yes",
       {cmaYes, cmaNo, cmaYes},
       {"overwrite b.jpg", "overwrite c.jpg", "overwrite d.jpg"},
       "new b",
       "old c",
       "new d",
       3},
      {"cancel", {cmaNo, cmaCancel}, {"overwrite b.jpg", "overwrite c.jpg"}, "old b", "old c", "old d", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* n : {"b", "c", "d"}) WriteFile(Dst(n), std::string("old ") + n);
    fs::remove(Dst("a"));
    Scan(vol_ + "/dst");
    ScriptedView view;
    view.overwriteAnswers = c.answers;
    EXPECT_EQ(Run(true, view), c.done);
    EXPECT_EQ(view.asked, c.asked);
    EXPECT_EQ(view.finished, c.done);
    EXPECT_EQ(ReadFile(Dst("a")), "new a");
    EXPECT_EQ(ReadFile(Dst("b")), c.b);
    EXPECT_EQ(ReadFile(Dst("c")), c.c);
    EXPECT_EQ(ReadFile(Dst("d")), c.d);
  }
}

TEST_F(CopyMoveThread, ReadOnlyFilesAreReplacedOnlyAfterASecondYes) {
  ::chmod(Dst("b").c_str(), 0444);
  ::chmod(Dst("c").c_str(), 0444);
  Scan(vol_ + "/dst");
  ScriptedView view;
  view.overwriteAnswers = {cmaYesToAll};
  view.readOnlyAnswers = {cmaNo, cmaYes};
  EXPECT_EQ(Run(true, view), 3);
  EXPECT_EQ(view.asked, (std::vector<std::string>{"overwrite b.jpg", "read-only b.jpg", "read-only c.jpg"}));
  EXPECT_EQ(ReadFile(Dst("b")), "old b");
  EXPECT_EQ(ReadFile(Dst("c")), "new c");
  EXPECT_EQ(ReadFile(Dst("d")), "new d");
}

TEST_F(CopyMoveThread, MovedPhotosKeepTheirItemsAndCopiesGetTheirData) {
  TCatalogItem* a = src_->FindItem("a.jpg");
  TCatalogItem* b = src_->FindItem("b.jpg");
  TAlbumList albums;
  TAlbum* tag = albums.CreateAlbum(albums.Root(atTag), atTag, "", "family");
  tag->AddItem(a, 0);
  a->SetComment("first");
  b->SetMark(true);

  ScriptedView copyView;
  copyView.overwriteAnswers = {cmaYes, cmaNoToAll};
  EXPECT_EQ(Run(true, copyView, {b}), 1);
  TCatalogItem* bCopy = dst_->FindItem("b.jpg");
  ASSERT_NE(bCopy, nullptr);
  EXPECT_NE(bCopy, b);
  EXPECT_TRUE(bCopy->Mark());
  EXPECT_EQ(ReadFile(Dst("b")), "new b");
  EXPECT_EQ(src_->FindItem("b.jpg"), b);

  ScriptedView moveView;
  EXPECT_EQ(Run(false, moveView, {a}), 1);
  EXPECT_TRUE(moveView.asked.empty());
  EXPECT_EQ(dst_->FindItem("a.jpg"), a);
  EXPECT_EQ(src_->FindItem("a.jpg"), nullptr);
  EXPECT_EQ(a->FullPath(), Dst("a"));
  EXPECT_EQ(a->Comment(), "first");
  EXPECT_NE(tag->FindEntry(a), nullptr);
  EXPECT_FALSE(fs::exists(Src("a")));

  // Moving it again into the folder it is in does nothing and asks nothing.
  ScriptedView again;
  std::vector<TCatalogItem*> inPlace = {a};
  TCopyMoveThread thread(trees_, inPlace, vol_ + "/dst", nullptr, false, &again);
  thread.Execute();
  EXPECT_EQ(thread.DoneCount(), 0);
  EXPECT_EQ(again.finished, 0);
  EXPECT_EQ(ReadFile(Dst("a")), "new a");
}

TEST_F(CopyMoveThread, WithoutADialogNothingIsReplaced) {
  WriteFile(vol_ + "/dst/a.jpg", "appeared");  // not catalogued yet
  TCopyMoveThread thread(trees_, {src_->FindItem("a.jpg")}, "", dst_, true, nullptr);
  // The thread rescans the destination first, so the file is known; with no one to ask, the answer is no.
  thread.Execute();
  EXPECT_EQ(thread.DoneCount(), 0);
  EXPECT_EQ(ReadFile(Dst("a")), "appeared");
}

TEST_F(CopyMoveThread, RunsOnItsOwnThreadAndTalksThroughTheUiThread) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  ScriptedView view;
  view.overwriteAnswers = {cmaYesToAll};
  TCopyMoveThread thread(trees_, Sources(), vol_ + "/dst", nullptr, false, &view);
  ASSERT_TRUE(thread.Start());
  while (view.finished < 0) ui.PumpFor(50);
  thread.WaitFor();
  EXPECT_EQ(thread.DoneCount(), 4);
  EXPECT_EQ(view.percents, (std::vector<int>{0, 25, 50, 75}));
  for (const char* n : {"a", "b", "c", "d"}) EXPECT_EQ(ReadFile(Dst(n)), std::string("new ") + n);
  EXPECT_EQ(src_->ItemCount(), 0);
  EXPECT_EQ(dst_->ItemCount(), 4);
}

}  // namespace
}  // namespace plb
