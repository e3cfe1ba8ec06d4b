// Scans of real directories: names, kinds, links, unreadable folders, rescans and removals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "platform/volumes.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

struct Event {
  TCustomFolder* node;
  TFolderUpdatedType kind;
  TFolderEventParam param;
};

class EventLog {
 public:
  TFolderUpdateHandler Handler() {
    return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
      std::lock_guard guard(lock_);
      events_.push_back({node, kind, param});
    };
  }
  std::vector<Event> Take() {
    std::lock_guard guard(lock_);
    return std::exchange(events_, {});
  }

 private:
  std::mutex lock_;
  std::vector<Event> events_;
};

class CalendarLog : public ICalendarLink {
 public:
  CalendarLog() { SetCalendarLink(this); }
  ~CalendarLog() override { SetCalendarLink(nullptr); }
  void QueueDateChange(TCatalogItem* item, double, double newDate) override {
    if (newDate == 0) removed.push_back(item);
  }
  std::vector<TCatalogItem*> removed;
};

// A volume at <test root>/vol, and a catalog of trees on it.
class FolderScan : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    fs::create_directories(vol_);
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
    SetMovieExtensions(".avi;.mov");
    trees_.SetUpdateHandler(events_.Handler());
  }
  void TearDown() override { SetMovieExtensions(""); }

  // Scans a folder and its sub-folders as one whole pass of the updater does; missing sub-folders
  // are removed, and items found gone are deleted at the end of the pass.
  void ScanTree(TFolder* folder) {
    TGoneItems pass;
    ScanTreeInPass(folder);
  }
  void ScanTreeInPass(TFolder* folder) {
    folder->SearchFilesEx(nullptr);
    std::vector<TFolder*> subs;
    folder->ScanSubFolders(&subs);
    for (TFolder* child : folder->SubFolders()) {
      if (child->Missing()) {
        child->RemoveFolder();
      } else {
        ScanTreeInPass(child);
      }
    }
  }

  static std::vector<std::string> Names(const TFolder* folder) {
    std::vector<TCatalogItem*> items;
    folder->GetItems(items);
    std::vector<std::string> names;
    for (TCatalogItem* item : items) names.push_back(item->FileName());
    return names;
  }

  std::string vol_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  EventLog events_;
  TFolderTreeListEyeFi trees_;
};

TEST_F(FolderScan, CataloguesTheRightFilesInNameOrder) {
  const std::string dir = vol_ + "/photos";
  for (const char* name : {"b.JPEG", "a.jpg", "A.JPG", "c.bmp", "d.mp3", "e.cr2", "f.thm", "g.wmf", "h.txt",
                           ".hidden.jpg", "m.MOV", "noext"}) {
    WriteFile(dir + "/" + name);
  }
  ASSERT_EQ(::mkfifo((dir + "/pipe.jpg").c_str(), 0600), 0);
  fs::create_symlink(dir + "/a.jpg", dir + "/link.jpg");
  fs::create_directories(dir + "/folder.jpg");
  TFolder* folder = trees_.FolderOf(dir);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->GetFullName(), dir);
  std::vector<TCatalogItem*> found;
  folder->SearchFilesEx(&found);
  EXPECT_EQ(found.size(), 9u);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{".hidden.jpg", "A.JPG", "a.jpg", "b.JPEG", "c.bmp", "d.mp3",
                                                     "e.cr2", "link.jpg", "m.MOV"}));
  const std::map<std::string, int> kinds = {
      {"A.JPG", fkJpeg}, {"c.bmp", fkBitmap}, {"d.mp3", fkSound}, {"e.cr2", fkRaw}, {"m.MOV", fkMovie}};
  for (const auto& [name, kind] : kinds) {
    TCatalogItem* item = folder->FindItem(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(item->Kind(), kind) << name;
    EXPECT_EQ(item->State(), cisPresent);
    EXPECT_EQ(item->FullPath(), dir + "/" + name);
  }
  EXPECT_NE(folder->FindItem("A.JPG"), folder->FindItem("a.jpg")) << "names differing in case are two items";
  EXPECT_EQ(folder->FindItem("A.jpg"), nullptr);
}

TEST_F(FolderScan, SubFolderScanSkipsLinksAndOtherVolumesAndMarksHidden) {
  const std::string dir = vol_ + "/root";
  fs::create_directories(dir + "/sub/deeper");
  fs::create_directories(dir + "/.dot");
  fs::create_directories(dir + "/Sub");
  fs::create_directory_symlink(dir, dir + "/loop");
  fs::create_directory_symlink("/", dir + "/system");
  TFolder* folder = trees_.FolderOf(dir);
  ASSERT_NE(folder, nullptr);
  std::vector<TFolder*> found;
  folder->ScanSubFolders(&found);
  std::vector<std::string> names;
  for (TFolder* f : folder->SubFolders()) names.push_back(f->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{".dot", "Sub", "sub"}));
  EXPECT_TRUE(folder->FindSubFolder(".dot")->Hidden());
  EXPECT_FALSE(folder->FindSubFolder("sub")->Hidden());
  // A created sub-folder announces itself after the parent's lock is released.
  int created = 0;
  for (const Event& e : events_.Take()) created += e.kind == futCreated ? 1 : 0;
  EXPECT_GE(created, 3);
  ScanTree(folder);  // ends: the link back to the folder is never followed
  EXPECT_EQ(folder->FindSubFolder("loop"), nullptr);
}

TEST_F(FolderScan, RescanCreatesNothingAndRemovalTakesExactlyThatItem) {
  CalendarLog calendar;
  const std::string dir = vol_ + "/many";
  for (int f = 0; f < 20; ++f) {
    for (int i = 0; i < 150; ++i) WriteFile(dir + "/d" + std::to_string(f) + "/IMG_" + std::to_string(i) + ".JPG");
  }
  WriteFile(dir + "/top.jpg");
  TFolder* folder = trees_.FolderOf(dir);
  ScanTree(folder);
  EXPECT_EQ(folder->TotalItemCount(), 3001);
  EXPECT_EQ(folder->SubFolders().size(), 20u);
  TFolder* d7 = folder->FindSubFolder("d7");
  TCatalogItem* keep = d7->FindItem("IMG_5.JPG");
  TCatalogItem* goner = d7->FindItem("IMG_6.JPG");
  keep->ApplyImageInfo({6, 640, 480, false, 1, 0}, false);
  events_.Take();

  ScanTree(folder);
  EXPECT_EQ(folder->TotalItemCount(), 3001);
  EXPECT_EQ(d7->FindItem("IMG_5.JPG"), keep);
  EXPECT_EQ(keep->Width(), 640) << "unchanged files keep what was learned about them";
  EXPECT_TRUE(d7->RemovedItems().empty());
  EXPECT_TRUE(events_.Take().empty()) << "an unchanged pass raises nothing";

  fs::remove(dir + "/d7/IMG_6.JPG");
  // A scan of the folder alone cannot know whether the file went elsewhere: the item stays, missing.
  d7->SearchFilesEx(nullptr);
  EXPECT_EQ(d7->FindItem("IMG_6.JPG"), goner);
  EXPECT_EQ(goner->State(), cisMissing);
  EXPECT_TRUE(calendar.removed.empty());
  events_.Take();
  ScanTree(folder);
  EXPECT_EQ(folder->TotalItemCount(), 3000);
  EXPECT_EQ(d7->FindItem("IMG_6.JPG"), nullptr);
  EXPECT_EQ(d7->RemovedItems(), std::vector<TCatalogItem*>{goner});
  EXPECT_EQ(goner->State(), cisDeleted);
  EXPECT_EQ(calendar.removed, std::vector<TCatalogItem*>{goner});
  const std::vector<Event> events = events_.Take();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].node, d7);
  EXPECT_EQ(events[0].kind, futContentsChanged);

  fs::remove_all(dir + "/d3");
  TFolder* d3 = folder->FindSubFolder("d3");
  ScanTree(folder);
  EXPECT_EQ(folder->FindSubFolder("d3"), nullptr);
  EXPECT_EQ(folder->RemovedSubFolders(), std::vector<TFolder*>{d3});
  EXPECT_EQ(d3->RemovedItems().size(), 150u);
  bool deletedEvent = false;
  for (const Event& e : events_.Take()) deletedEvent = deletedEvent || (e.node == d3 && e.kind == futDeleted);
  EXPECT_TRUE(deletedEvent);
}

TEST_F(FolderScan, ATouchedFileResetsOnlyItsDerivedData) {
  const std::string dir = vol_ + "/t";
  WriteFile(dir + "/a.jpg", "one");
  TFolder* folder = trees_.FolderOf(dir);
  folder->SearchFilesEx(nullptr);
  TCatalogItem* item = folder->FindItem("a.jpg");
  item->ApplyImageInfo({6, 10, 10, true, 6, 0}, false);
  item->SetComment("mine");
  WriteFile(dir + "/a.jpg", "changed");
  folder->SearchFilesEx(nullptr);
  EXPECT_EQ(folder->FindItem("a.jpg"), item);
  EXPECT_EQ(item->Width(), 0);
  EXPECT_EQ(item->ExifState(), 0);
  EXPECT_EQ(item->Comment(), "mine");
  EXPECT_EQ(item->FileSize(), 7u);
}

// Runs fn in a child process without the power to read what its mode forbids; the child's exit
// code is fn's answer.
int RunUnprivileged(const std::function<int()>& fn) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
    ::_exit(fn());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST_F(FolderScan, AFolderThatCannotBeListedKeepsEverything) {
  const std::string dir = vol_ + "/locked";
  WriteFile(dir + "/a.jpg");
  WriteFile(dir + "/b.jpg");
  fs::create_directories(dir + "/child");
  TFolder* folder = trees_.FolderOf(dir);
  ScanTree(folder);
  ASSERT_EQ(folder->ItemCount(), 2);
  // Let the unprivileged child reach the folder, then take the folder's read right away.
  for (std::string p = dir; p.size() >= test::TestRoot().size(); p = fs::path(p).parent_path().string()) {
    ::chmod(p.c_str(), 0755);
  }
  ::chmod((dir + "/a.jpg").c_str(), 0644);
  ::chmod(dir.c_str(), 0311);
  const int code = RunUnprivileged([&] {
    try {
      folder->SearchFilesEx(nullptr);
      return 1;  // no error: wrong
    } catch (const EFolderScanError&) {
    }
    try {
      folder->ScanSubFolders(nullptr);
      return 2;
    } catch (const EFolderScanError&) {
    }
    if (folder->ItemCount() != 2 || !folder->RemovedItems().empty()) return 3;
    if (folder->FindItem("a.jpg")->State() != cisPresent) return 4;
    if (folder->FindSubFolder("child")->Missing()) return 5;
    return 0;
  });
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(code, 0);
}

TEST_F(FolderScan, AVanishedDirectoryMakesItsItemsMissingNotDeleted) {
  const std::string dir = vol_ + "/card/DCIM";
  WriteFile(dir + "/a.jpg");
  TFolder* folder = trees_.FolderOf(dir);
  folder->SearchFilesEx(nullptr);
  TCatalogItem* item = folder->FindItem("a.jpg");
  fs::remove_all(vol_ + "/card");
  folder->SearchFilesEx(nullptr);
  EXPECT_TRUE(folder->Missing());
  EXPECT_EQ(folder->FindItem("a.jpg"), item);
  EXPECT_EQ(item->State(), cisMissing);
}

TEST_F(FolderScan, SideCarEditsReachNewItems) {
  const std::string dir = vol_ + "/exported";
  WriteFile(dir + "/a.jpg");
  WriteFile(dir + "/b.jpg");
  WriteFile(dir + "/OstraExportInfo.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<OstraExportInfo ver=\"1\"><files>"
            "<file name=\"a.jpg\" mark=\"true\" orietation=\"6\"><comment>海</comment>"
            "<effect meido=\"5\" gamma=\"80\" filter2=\"3\">true</effect>"
            "<triming ax=\"3\" ay=\"2\" left=\"1\" top=\"2\" right=\"30\" bottom=\"20\">true</triming></file>"
            "<file name=\"b.jpg\" orietation=\"12\"><effect meido=\"9\">false</effect></file>"
            "<file name=\"missing.jpg\" mark=\"true\"/>"
            "</files></OstraExportInfo>");
  TFolder* folder = trees_.FolderOf(dir);
  folder->SearchFilesEx(nullptr);
  TCatalogItem* a = folder->FindItem("a.jpg");
  EXPECT_TRUE(a->Mark());
  EXPECT_EQ(a->Orientation(), 6);
  EXPECT_EQ(a->Comment(), "海");
  const TColorAdjustment color = a->Color();
  EXPECT_EQ(+color.enabled, 1);
  EXPECT_EQ(+color.meido, 5);
  EXPECT_EQ(+color.gamma, 80);
  EXPECT_EQ(+color.filter2, 3);
  EXPECT_TRUE(a->Block().trimmingOn);
  EXPECT_EQ(a->TrimRect(), (TTrimRect{1, 2, 30, 20}));
  TCatalogItem* b = folder->FindItem("b.jpg");
  EXPECT_EQ(b->Orientation(), 1) << "an orientation outside 1 to 8 is ignored";
  EXPECT_EQ(+b->Color().meido, 0) << "switched off: the adjustment stays at its defaults";
  EXPECT_EQ(+b->Color().gamma, 100);
  // Edits made since stay: the file applies to new items only.
  a->SetComment("edited");
  folder->SearchFilesEx(nullptr);
  EXPECT_EQ(a->Comment(), "edited");
}

}  // namespace
}  // namespace plb

namespace plb {
namespace {

TEST_F(FolderScan, TreeScanLooksIntoDotFoldersOnlyWhenAsked) {
  const std::string home = vol_ + "/home";
  WriteFile(home + "/a/y.jpg");
  WriteFile(home + "/.cache/thumbs/x.jpg");
  TFolder* folder = trees_.FolderOf(home);
  ASSERT_NE(folder, nullptr);
  TExtItems table;
  table.Build(kCatalogKinds);
  for (const bool includeHidden : {false, true}) {
    std::set<std::string> listed;  // each folder once, as it is listed
    const auto folderDone = [&](TFolder* f) { EXPECT_TRUE(listed.insert(f->GetFullName()).second); };
    ASSERT_TRUE(ScanFolderTree(folder, table, includeHidden, folderDone).empty());
    std::set<std::string> expected{home, home + "/a"};
    if (includeHidden) expected.insert({home + "/.cache", home + "/.cache/thumbs"});
    EXPECT_EQ(listed, expected);
    TFolder* cache = trees_.FindFolderOf(home + "/.cache/thumbs");
    const int64_t cached = cache ? CountFolderTree(cache).items : 0;
    EXPECT_EQ(cached, includeHidden ? 1 : 0) << "hidden folders included: " << includeHidden;
    EXPECT_EQ(CountFolderTree(folder).items, includeHidden ? 2 : 1);
  }
}

// What a killed copy or write leaves in a folder (a hidden staging folder holding a complete copy,
// a hidden half-written file) is cleared by the next scan and never catalogued; a living writer's
// temporaries are left alone.
TEST_F(FolderScan, DebrisOfKilledCopiesIsClearedAndNeverCatalogued) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string dead = ".tmp-" + std::to_string(ended) + "-0-7";
  const std::string alive = ".tmp-" + std::to_string(getpid()) + "-0-7";
  const std::string dir = vol_ + "/lib";
  WriteFile(dir + "/a.jpg");
  WriteFile(dir + "/.trip" + dead + "/b.jpg");
  WriteFile(dir + "/.trip" + alive + "/c.jpg");
  WriteFile(dir + "/.d.jpg" + dead);
  WriteFile(dir + "/.e.jpg" + alive);
  WriteFile(dir + "/.kept.tmp-x/f.jpg");  // not a name this program makes
  TFolder* folder = trees_.FolderOf(dir);
  ASSERT_NE(folder, nullptr);
  TExtItems table;
  table.Build(kCatalogKinds);
  ASSERT_TRUE(ScanFolderTree(folder, table, true, nullptr).empty());

  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"a.jpg", ".trip" + alive, ".e.jpg" + alive, ".kept.tmp-x"}));
  std::vector<TCatalogItem*> items;
  CollectTreeItems(folder, items);
  std::set<std::string> catalogued;
  for (TCatalogItem* item : items) catalogued.insert(item->FullPath().substr(dir.size()));
  EXPECT_EQ(catalogued, (std::set<std::string>{"/a.jpg", "/.trip" + alive + "/c.jpg", "/.kept.tmp-x/f.jpg"}));
}

// A move into a folder on another thread (as the copy-and-move thread does it) while the folder
// is listed: the file is renamed on disk, then its catalog item goes over from the source folder.
// A listing that passed the file's place before the rename must not delete the item that arrives
// before the listing ends.
TEST_F(FolderScan, AnItemMovedInDuringAListingSurvivesIt) {
  const std::string from = vol_ + "/from";
  const std::string into = vol_ + "/into";
  constexpr int kMoved = 300;
  for (int i = 0; i < 1500; ++i) WriteFile(into + "/old" + std::to_string(i) + ".jpg");
  for (int i = 0; i < kMoved; ++i) WriteFile(from + "/m" + std::to_string(i) + ".jpg");
  TFolder* source = trees_.FolderOf(from);
  TFolder* target = trees_.FolderOf(into);
  ASSERT_NE(source, nullptr);
  ASSERT_NE(target, nullptr);
  source->SearchFilesEx(nullptr);
  target->SearchFilesEx(nullptr);
  std::vector<TCatalogItem*> moved;
  source->GetItems(moved);
  ASSERT_EQ(moved.size(), static_cast<size_t>(kMoved));
  for (TCatalogItem* item : moved) item->SetMark(true);

  std::atomic<bool> moving{true};
  std::thread scanner([&] {
    while (moving.load()) target->SearchFilesEx(nullptr);
  });
  for (TCatalogItem* item : moved) {
    const std::string name = item->FileName();
    ASSERT_EQ(::rename((from + "/" + name).c_str(), (into + "/" + name).c_str()), 0);
    std::unique_ptr<TCatalogItem> owned = source->DropItem(item);
    ASSERT_TRUE(owned);
    while (target->AddItem(owned) >= 0) {
      // The scan made an item of its own for the file first: the moved item takes its place.
      if (TCatalogItem* fresh = target->FindItem(name)) target->TakeItemOut(fresh);
    }
  }
  moving = false;
  scanner.join();
  target->SearchFilesEx(nullptr);
  for (TCatalogItem* item : moved) {
    EXPECT_EQ(target->FindItem(item->FileName()), item) << item->FileName() << " lost its catalog item";
    EXPECT_TRUE(item->Mark()) << item->FileName();
  }
}

}  // namespace
}  // namespace plb
