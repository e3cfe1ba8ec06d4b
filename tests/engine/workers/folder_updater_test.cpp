// The background folder updater over real directories: new, deleted and unreadable photos,
// calendar modes and hidden folders, a volume that leaves and comes back, cancel and stop, and
// the process functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/calendar.h"
#include "engine/events/calendar_date_queue.h"
#include "engine/model/catalog_item.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/worker_control.h"
#include "host/date_time.h"
#include "host/product_values.h"
#include "platform/ui_dispatcher.h"
#include "platform/volumes.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;
using namespace std::chrono_literals;

double Day(int y, int m, int d, int h = 12) {
  return EncodeDateTime({y, m, d, h, 0, 0, 0});
}

template <class P>
bool WaitUntil(P condition, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Stands in for the images layer: a shooting date per file name, a count of the files read,
// "bad*" files that cannot be read, and an optional delay per file.
class FakeHeaderReader {
 public:
  FakeHeaderReader() {
    SetImageHeaderReader([this](const TCatalogItem& item, const std::string&, TItemImageInfo& out) {
      ++calls;
      {
        std::lock_guard guard(lock);
        paths.push_back(item.FullPath());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
      const std::string name = item.FileName();
      if (name.rfind("bad", 0) == 0) throw EReadError("damaged file");
      std::lock_guard guard(lock);
      out = {6, 640, 480, true, 1, dates.count(name) ? dates[name] : Day(2008, 5, 30)};
      return true;
    });
  }
  ~FakeHeaderReader() { SetImageHeaderReader(nullptr); }
  void Date(const std::string& name, double date) {
    std::lock_guard guard(lock);
    dates[name] = date;
  }

  std::atomic<int> calls{0};
  std::atomic<int> delayMs{0};
  std::mutex lock;
  std::map<std::string, double> dates;
  std::vector<std::string> paths;  // in the order read
};

struct Notification {
  uint8_t kind;
  uint32_t changes;
};

// A volume at <test root>/vol with folder trees on it, the calendar with its watcher, and an
// updater over the trees.
class FileUpdater : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    fs::create_directories(vol_);
    volumes_.Mount(Volume());
    calendar_ = AcquireCalendarRoot();
  }
  void TearDown() override {
    updater_.reset();
    calendar_.reset();
  }

  std::string Path(const std::string& relative) const { return vol_ + "/" + relative; }

  TFolder* Folder(const std::string& relative, int mode = -1) {
    TFolder* folder = trees_.FolderOf(Path(relative));
    if (folder && mode >= 0) folder->SetCalendarMode(mode);
    return folder;
  }

  TCatalogItem* Item(const std::string& relative) {
    const fs::path p(relative);
    TFolder* folder = trees_.FindFolderOf(Path(p.parent_path().string()));
    return folder ? folder->FindItem(p.filename().string()) : nullptr;
  }

  void Start() {
    updater_ = std::make_unique<TFileUpdaterEx>(trees_);
    updater_->SetOnNotify([this](TFileUpdaterEx*, uint8_t kind, uint32_t changes) {
      std::lock_guard guard(notifyLock_);
      notifications_.push_back({kind, changes});
    });
    ASSERT_TRUE(updater_->Start());
  }

  // Requests a pass (the start requests the first) and waits until it has ended and the
  // calendar has placed what it queued.
  void Pass() {
    if (!updater_) {
      Start();
    } else {
      const uint32_t started = updater_->PassesStarted();
      updater_->RequestUpdate();
      ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= started + 1; }));
      WaitUntilPlaced();
      return;
    }
    ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));
    WaitUntilPlaced();
  }

  static void WaitUntilPlaced() {
    auto changing = platform::OpenNamedEvent(kExifDateChangingEventName);
    ASSERT_TRUE(WaitUntil([&] { return !changing->IsSet(); }));
  }

  // The day that holds the item in the calendar (its midnight), or 0.
  static double CalendarDayOf(TCatalogItem* item) {
    auto* day = static_cast<TCalendar*>(item->CalendarDay());
    return day ? std::floor(day->Date()) : 0;
  }

  std::vector<Notification> Notifications() {
    std::lock_guard guard(notifyLock_);
    return notifications_;
  }

  TDriveInfoRec Volume() const { return {platform::kDriveRemovable, 0x5678, "CARD", vol_}; }
  std::string vol_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeListEyeFi trees_;
  std::shared_ptr<TCalendarRoot> calendar_;
  FakeHeaderReader reader_;
  std::unique_ptr<TFileUpdaterEx> updater_;
  std::mutex notifyLock_;
  std::vector<Notification> notifications_;
};

TEST_F(FileUpdater, NewPhotosEnterTheCalendarAndDeletedOnesLeaveItAndTheirAlbums) {
  WriteFile(Path("photos/a.jpg"));
  WriteFile(Path("photos/b.jpg"));
  WriteFile(Path("photos/notes.txt"));
  reader_.Date("a.jpg", Day(2008, 5, 30, 15));
  reader_.Date("b.jpg", Day(2008, 3, 15, 9));
  Folder("photos", 1);
  Pass();

  TCatalogItem* a = Item("photos/a.jpg");
  TCatalogItem* b = Item("photos/b.jpg");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(Item("photos/notes.txt"), nullptr);
  EXPECT_EQ(CalendarDayOf(a), Day(2008, 5, 30, 0));
  EXPECT_EQ(CalendarDayOf(b), Day(2008, 3, 15, 0));
  EXPECT_EQ(reader_.calls, 2);
  const std::vector<Notification> first = Notifications();
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first.front().kind, fnPassStarted);
  EXPECT_EQ(first.back().kind, fnPassEnded);
  EXPECT_GT(first.back().changes, 0u);

  TAlbum tag(atTag, "trip", "", nullptr);
  tag.AddItem(b, 0);
  fs::remove(Path("photos/b.jpg"));
  WriteFile(Path("photos/c.jpg"));
  reader_.Date("c.jpg", Day(2009, 1, 2));
  Pass();

  EXPECT_EQ(CalendarDayOf(b), 0);
  EXPECT_EQ(b->State(), cisDeleted);
  EXPECT_EQ(tag.FindEntry(b), nullptr);
  EXPECT_EQ(Item("photos/b.jpg"), nullptr);
  TCatalogItem* c = Item("photos/c.jpg");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(CalendarDayOf(c), Day(2009, 1, 2, 0));
  EXPECT_EQ(CalendarDayOf(a), Day(2008, 5, 30, 0));
  EXPECT_EQ(reader_.calls, 3) << "only the new file is read";

  const uint64_t changes = updater_->TotalChanges();
  fs::remove(Path("photos/c.jpg"));
  Pass();
  EXPECT_EQ(CalendarDayOf(c), 0);
  EXPECT_GT(updater_->TotalChanges(), changes) << "a deletion alone is a change the window hears of";
}

// Folders and files renamed or moved outside the program: the photo found elsewhere in the same
// pass is the same item, with its tags, album places, marks and comments. Photos that cannot be
// told apart, or that are really gone, are deleted as before.
TEST_F(FileUpdater, PhotosRenamedOrMovedOutsideKeepTheirItems) {
  const int64_t mtime = 1700000000;
  WriteFile(Path("p/trip/a.jpg"), "aaaa", mtime);
  WriteFile(Path("p/trip/b.jpg"), "bbbbbb", mtime);
  WriteFile(Path("p/c.jpg"), "cc", mtime);
  WriteFile(Path("p/twin1.jpg"), "tt", mtime);
  WriteFile(Path("p/twin2.jpg"), "tt", mtime);
  WriteFile(Path("p/lost.jpg"), "lost", mtime);
  const std::map<std::string, double> dates{{"a.jpg", Day(2008, 5, 30, 15)}, {"b.jpg", Day(2008, 5, 31)},
                                            {"c.jpg", Day(2009, 1, 2)},       {"c-renamed.jpg", Day(2009, 1, 2)},
                                            {"twin1.jpg", Day(2010, 1, 1)},   {"twin2.jpg", Day(2010, 1, 1)}};
  for (const auto& [name, date] : dates) reader_.Date(name, date);
  Folder("p", 1);
  Pass();
  TCatalogItem* a = Item("p/trip/a.jpg");
  TCatalogItem* b = Item("p/trip/b.jpg");
  TCatalogItem* c = Item("p/c.jpg");
  TCatalogItem* twin = Item("p/twin1.jpg");
  TCatalogItem* lost = Item("p/lost.jpg");
  ASSERT_TRUE(a && b && c && twin && lost);
  TAlbum tag(atTag, "trip", "", nullptr);
  TAlbum album(atAlbum, "best", "", nullptr);
  for (TCatalogItem* item : {a, b, c, twin, lost}) tag.AddItem(item, 0);
  album.AddItem(b, 0);
  album.AddItem(c, 0);
  album.FindEntry(c)->Comment = "cover";
  a->SetMark(true);
  b->SetComment("sunset");
  c->SetFourLevelMark(3);

  fs::create_directories(Path("p/2024"));
  fs::create_directories(Path("p/twins"));
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"p/trip", "p/2024/trip"},
           {"p/c.jpg", "p/2024/c-renamed.jpg"},
           {"p/twin1.jpg", "p/twins/twin1.jpg"},
           {"p/twin2.jpg", "p/twins/twin2.jpg"}}) {
    ASSERT_EQ(::rename(Path(from).c_str(), Path(to).c_str()), 0) << from;
  }
  fs::remove(Path("p/lost.jpg"));
  Pass();

  EXPECT_EQ(Item("p/2024/trip/a.jpg"), a);
  EXPECT_EQ(Item("p/2024/trip/b.jpg"), b);
  EXPECT_EQ(Item("p/2024/c-renamed.jpg"), c);
  for (TCatalogItem* item : {a, b, c}) {
    EXPECT_EQ(item->State(), cisPresent) << item->FullPath();
    EXPECT_NE(tag.FindEntry(item), nullptr) << item->FullPath();
    EXPECT_NE(CalendarDayOf(item), 0) << item->FullPath();
  }
  EXPECT_EQ(c->FullPath(), Path("p/2024/c-renamed.jpg"));
  EXPECT_TRUE(a->Mark());
  EXPECT_EQ(b->Comment(), "sunset");
  EXPECT_EQ(c->FourLevelMark(), 3);
  ASSERT_NE(album.FindEntry(b), nullptr);
  ASSERT_NE(album.FindEntry(c), nullptr);
  EXPECT_EQ(album.FindEntry(c)->Comment, "cover");
  EXPECT_EQ(CalendarDayOf(c), Day(2009, 1, 2, 0));
  EXPECT_EQ(tag.ItemCount(), 3) << "nothing else is in the tag: no twin guessed, nothing lost kept";
  EXPECT_EQ(twin->State(), cisDeleted) << "two photos alike in every respect are not told apart";
  EXPECT_EQ(lost->State(), cisDeleted);
  EXPECT_NE(Item("p/twins/twin1.jpg"), nullptr);
}

TEST_F(FileUpdater, UnreadablePhotoCountsAsAnErrorAndThePassGoesOn) {
  WriteFile(Path("photos/bad.jpg"));
  WriteFile(Path("photos/good.jpg"));
  Folder("photos", 1);
  Pass();
  EXPECT_EQ(CalendarDayOf(Item("photos/bad.jpg")), 0);
  EXPECT_NE(CalendarDayOf(Item("photos/good.jpg")), 0);
  EXPECT_GE(updater_->ErrorCount(), 1);
  EXPECT_EQ(updater_->PassesCompleted(), 1u);
}

TEST_F(FileUpdater, RemovedModeWithdrawsInheritingSubFoldersWithoutWritingTheirFlags) {
  for (const char* f : {"p/top.jpg", "p/inherit/i.jpg", "p/inherit/deep/d.jpg", "p/own/o.jpg", "other/x.jpg"}) {
    WriteFile(Path(f));
  }
  TFolder* parent = Folder("p", 1);
  Pass();
  for (const char* f : {"p/top.jpg", "p/inherit/i.jpg", "p/inherit/deep/d.jpg", "p/own/o.jpg"}) {
    ASSERT_NE(Item(f), nullptr) << f;
    EXPECT_NE(CalendarDayOf(Item(f)), 0) << f;
  }
  EXPECT_EQ(Item("other/x.jpg"), nullptr) << "an unregistered folder is not scanned";
  // The registration stays on the folder it was given to.
  for (const char* f : {"p/inherit", "p/inherit/deep", "p/own"}) EXPECT_EQ(Folder(f)->GetCalendarMode(), 0) << f;

  Folder("p/own", 1);
  parent->SetCalendarMode(2);
  Pass();
  for (const char* f : {"p/top.jpg", "p/inherit/i.jpg", "p/inherit/deep/d.jpg"}) {
    ASSERT_NE(Item(f), nullptr) << f << " stays in its folder";
    EXPECT_EQ(CalendarDayOf(Item(f)), 0) << f;
    EXPECT_FALSE(Item(f)->DateKnown()) << f;
  }
  EXPECT_NE(CalendarDayOf(Item("p/own/o.jpg")), 0) << "a folder registered on its own stays";
  EXPECT_EQ(Folder("p/inherit/deep")->GetCalendarMode(), 0);
  EXPECT_EQ(parent->GetCalendarMode(), 2);
}

TEST_F(FileUpdater, HiddenFoldersStayOutUntilIncluded) {
  WriteFile(Path("p/seen.jpg"));
  WriteFile(Path("p/.thumbs/t.jpg"));
  WriteFile(Path("p/.thumbs/sub/u.jpg"));
  Folder("p", 1);
  Pass();
  EXPECT_NE(CalendarDayOf(Item("p/seen.jpg")), 0);
  for (const char* f : {"p/.thumbs/t.jpg", "p/.thumbs/sub/u.jpg"}) {
    TCatalogItem* item = Item(f);
    EXPECT_TRUE(item == nullptr || CalendarDayOf(item) == 0) << f;
  }

  updater_->SetIncludeHidden(true);
  Pass();
  for (const char* f : {"p/.thumbs/t.jpg", "p/.thumbs/sub/u.jpg"}) {
    ASSERT_NE(Item(f), nullptr) << f;
    EXPECT_NE(CalendarDayOf(Item(f)), 0) << f;
  }

  updater_->SetIncludeHidden(false);
  Pass();
  for (const char* f : {"p/.thumbs/t.jpg", "p/.thumbs/sub/u.jpg"}) EXPECT_EQ(CalendarDayOf(Item(f)), 0) << f;
}

TEST_F(FileUpdater, UnpluggedVolumeIsWithdrawnAndComesBackWithoutReadingAgain) {
  WriteFile(Path("DCIM/100/a.jpg"));
  WriteFile(Path("DCIM/100/b.jpg"));
  Folder("DCIM", 1);
  Pass();
  TCatalogItem* a = Item("DCIM/100/a.jpg");
  TCatalogItem* b = Item("DCIM/100/b.jpg");
  ASSERT_TRUE(a && b);
  EXPECT_NE(CalendarDayOf(a), 0);
  const int reads = reader_.calls;

  volumes_.Unmount(vol_);
  Pass();
  for (TCatalogItem* item : {a, b}) {
    EXPECT_EQ(CalendarDayOf(item), 0);
    EXPECT_NE(item->State(), cisDeleted) << "a missing volume deletes nothing";
    EXPECT_EQ(item->Owner()->FindItem(item->FileName()), item);
  }
  EXPECT_TRUE(a->Owner()->Missing());

  volumes_.Mount(Volume());
  Pass();
  EXPECT_NE(CalendarDayOf(a), 0);
  EXPECT_NE(CalendarDayOf(b), 0);
  EXPECT_FALSE(a->Owner()->Missing());
  EXPECT_EQ(reader_.calls, reads) << "known dates are not read again";
}

TEST_F(FileUpdater, VanishedSubFolderLeavesTheTree) {
  WriteFile(Path("p/keep/k.jpg"));
  WriteFile(Path("p/gone/g.jpg"));
  TFolder* parent = Folder("p", 1);
  Pass();
  TCatalogItem* g = Item("p/gone/g.jpg");
  ASSERT_NE(g, nullptr);
  EXPECT_NE(CalendarDayOf(g), 0);
  const uint64_t changesBefore = updater_->TotalChanges();

  fs::remove_all(Path("p/gone"));
  Pass();
  EXPECT_EQ(parent->FindSubFolder("gone"), nullptr);
  EXPECT_NE(parent->FindSubFolder("keep"), nullptr);
  EXPECT_EQ(g->State(), cisDeleted);
  EXPECT_EQ(CalendarDayOf(g), 0);
  EXPECT_GT(updater_->TotalChanges(), changesBefore);
}

TEST_F(FileUpdater, FolderThatCannotBeSeenIsWithdrawnNotRemoved) {
  WriteFile(Path("p/sub/a.jpg"));
  Folder("p/sub", 1);
  TFolder* p = Folder("p");
  Pass();
  TCatalogItem* a = Item("p/sub/a.jpg");
  ASSERT_NE(a, nullptr);
  TAlbum tag(atTag, "kept", "", nullptr);
  tag.AddItem(a, 0);
  EXPECT_NE(CalendarDayOf(a), 0);

  // Another volume mounted over "p": the folder is there on disk, yet not the one catalogued.
  volumes_.Mount({platform::kDriveRemote, 0x9999, "NET", Path("p")});
  Pass();
  EXPECT_EQ(CalendarDayOf(a), 0);
  EXPECT_NE(a->State(), cisDeleted);
  EXPECT_NE(tag.FindEntry(a), nullptr);
  EXPECT_NE(p->FindSubFolder("sub"), nullptr);

  volumes_.Unmount(Path("p"));
  Pass();
  EXPECT_NE(CalendarDayOf(a), 0);
  EXPECT_EQ(Item("p/sub/a.jpg"), a);
}

TEST_F(FileUpdater, AFailingWindowDoesNotStopThePasses) {
  WriteFile(Path("p/a.jpg"));
  Folder("p", 1);
  updater_ = std::make_unique<TFileUpdaterEx>(trees_);
  updater_->SetOnNotify([](TFileUpdaterEx*, uint8_t, uint32_t) { throw EReadError("the window failed"); });
  ASSERT_TRUE(updater_->Start());
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));

  WriteFile(Path("p/b.jpg"));
  Pass();
  ASSERT_NE(Item("p/b.jpg"), nullptr);
  EXPECT_NE(CalendarDayOf(Item("p/b.jpg")), 0);
  EXPECT_TRUE(updater_->Running());
}

TEST_F(FileUpdater, CancelStopAndAClosedGateEndThePassPromptly) {
  for (int i = 0; i < 200; ++i) WriteFile(Path("many/" + std::to_string(i) + ".jpg"));
  Folder("many", 1);
  reader_.delayMs = 20;
  Start();
  ASSERT_TRUE(WaitUntil([&] { return updater_->ItemsChecked() > 0; }));
  updater_->CancelUpdate();
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));
  EXPECT_EQ(updater_->PassesCompleted(), 0u);
  EXPECT_LT(updater_->ItemsChecked(), 100u);

  // The next pass holds at a closed gate, and still ends when the updater is stopped.
  updater_->RequestUpdate();
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesStarted() >= 2; }));
  ASSERT_TRUE(WaitUntil([&] { return updater_->ItemsChecked() > 0; }));
  {
    TWorkerPause pause;
    const uint64_t held = updater_->ItemsChecked();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(updater_->ItemsChecked(), held + 1) << "a closed gate holds the pass";
    updater_->Stop();
  }
  EXPECT_FALSE(updater_->Running());
  EXPECT_LT(updater_->ItemsChecked(), 200u);
}

TEST_F(FileUpdater, ARequestAfterAStopRunsAWholePass) {
  // The window stops the pass under way and asks for a new one when a folder joins the calendar;
  // both may come before the updater's thread looks at them.
  WriteFile(Path("card/a.jpg"));
  Folder("card", 1);
  updater_ = std::make_unique<TFileUpdaterEx>(trees_);
  updater_->CancelUpdate();
  updater_->RequestUpdate();
  ASSERT_TRUE(updater_->Start());
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));
  EXPECT_EQ(updater_->PassesCompleted(), 1u);
  EXPECT_NE(Item("card/a.jpg"), nullptr);
}

TEST_F(FileUpdater, ARequestEndsThePassAndTheNextBeginsWithTheRootLeftWaiting) {
  const std::string vol2 = test::TestRoot() + "/vol2";
  volumes_.Mount({platform::kDriveFixed, 0x4321, "OTHER", vol2});
  for (int i = 0; i < 30; ++i) {
    WriteFile(Path("a/" + std::to_string(i) + ".jpg"));
    WriteFile(vol2 + "/b/" + std::to_string(i) + ".jpg");
  }
  Folder("a", 1);
  trees_.FolderOf(vol2 + "/b")->SetCalendarMode(1);
  reader_.delayMs = 10;
  Start();
  ASSERT_TRUE(WaitUntil([&] { return updater_->ItemsChecked() >= 3; }));
  updater_->RequestUpdate();
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));
  EXPECT_EQ(updater_->PassesCompleted(), 0u);

  std::string firstRead, otherRoot;
  size_t readsInFirstPass;
  {
    std::lock_guard guard(reader_.lock);
    firstRead = reader_.paths.front();
    readsInFirstPass = reader_.paths.size();
  }
  ASSERT_LT(readsInFirstPass, 60u);
  const bool startedWithA = firstRead.rfind(vol_ + "/", 0) == 0;
  otherRoot = startedWithA ? vol2 + "/" : vol_ + "/";
  for (const TUpdateFolderItem& e : updater_->Roots()) {
    if (e.Folder->GetFullName() + "/" == otherRoot) {
      EXPECT_EQ(e.LastUpdated, 0) << "the interrupted pass never reached it";
    } else {
      EXPECT_GT(e.LastUpdated, 0);
    }
  }
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard guard(reader_.lock);
    return reader_.paths.size() > readsInFirstPass;
  }));
  std::lock_guard guard(reader_.lock);
  EXPECT_EQ(reader_.paths[readsInFirstPass].rfind(otherRoot, 0), 0u)
      << "the next pass begins with the root updated longest ago: " << reader_.paths[readsInFirstPass];
}

TEST_F(FileUpdater, EyeFiPhotoFoldersJoinTheCalendarWhenTheUserSaysSo) {
  WriteFile(Path("eyefi/card/a.jpg"));
  WriteFile(Path("eyefi/card/sub/b.jpg"));
  WriteFile(Path("second/c.jpg"));
  Folder("eyefi/card/sub");
  Folder("second");
  std::vector<std::vector<std::string>> asked;
  updater_ = std::make_unique<TFileUpdaterEx>(trees_);
  updater_->SetEyeFiPhotoFolderSource([this] {
    return std::vector<std::string>{Path("eyefi/card/"), Path("not-there"), Path("second")};
  });
  updater_->SetOnConfirmEyeFiFolders([&](const std::vector<TFolder*>& folders) -> uint8_t {
    std::vector<std::string> names;
    for (TFolder* f : folders) names.push_back(f->GetFullName());
    asked.push_back(names);
    return asked.size() == 1 ? 1 : 0;
  });
  ASSERT_TRUE(updater_->Start());
  ASSERT_TRUE(WaitUntil([&] { return updater_->PassesEnded() >= 1; }));
  WaitUntilPlaced();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], (std::vector<std::string>{Path("eyefi/card"), Path("second")}))
      << "folders that exist and the catalog knows, without a trailing slash";
  EXPECT_EQ(Folder("eyefi/card")->GetCalendarMode(), 1);
  EXPECT_EQ(Folder("eyefi/card/sub")->GetCalendarMode(), 1);
  EXPECT_NE(CalendarDayOf(Item("eyefi/card/a.jpg")), 0) << "scanned in the same pass";
  EXPECT_NE(CalendarDayOf(Item("eyefi/card/sub/b.jpg")), 0);
  const std::vector<std::string> configured = LoadEyeFiFolders();
  EXPECT_EQ(configured, (std::vector<std::string>{Path("eyefi/card"), Path("second")}));

  // Configured folders are not asked about again.
  Pass();
  EXPECT_EQ(asked.size(), 1u);
}

TEST_F(FileUpdater, NotificationsRunOnTheUiThreadWhichMayDetachThemMeanwhile) {
  WriteFile(Path("p/a.jpg"));
  Folder("p", 1);
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  std::vector<bool> onUi;
  updater_ = std::make_unique<TFileUpdaterEx>(trees_);
  updater_->SetOnNotify([&](TFileUpdaterEx*, uint8_t, uint32_t) { onUi.push_back(ui.IsUiThread()); });
  ASSERT_TRUE(updater_->Start());
  ASSERT_TRUE(WaitUntil([&] {
    ui.PumpFor(10);
    return updater_->PassesEnded() >= 1;
  }));
  ASSERT_FALSE(onUi.empty());
  EXPECT_EQ(std::count(onUi.begin(), onUi.end(), false), 0);

  // The window detaches its callback while a pass is under way: no notification after that,
  // and no thread waits on the other.
  const size_t before = onUi.size();
  const uint32_t started = updater_->PassesStarted();
  updater_->RequestUpdate();
  updater_->SetOnNotify(nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    ui.PumpFor(10);
    return updater_->PassesEnded() >= started + 1;
  }));
  EXPECT_EQ(onUi.size(), before);
  updater_->Stop();
}

TEST_F(FileUpdater, ProcessFunctionsNeedARunningUpdater) {
  const struct {
    const char* title;
    void (*call)();
  } cases[] = {
      {"アップデータの終了", [] { StopFileUpdater(); }},
      {"アップデータのリセット", [] { RequestUpdate(); }},
      {"アップデータのリセット", [] { SetIncludeHidden(true, true); }},
      {"アップデータのキャンセル", [] { CancelUpdate(); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.title << " succeeded without an updater";
    } catch (const EFileUpdaterException& e) {
      const std::string message = e.Message();
      EXPECT_EQ(message.rfind(std::string(c.title) + " でエラーが発生しました。", 0), 0u) << message;
      EXPECT_NE(message.find("EFileUpdaterException\r\nアップデータが初期化されていません。"), std::string::npos)
          << message;
    }
  }
}

TEST_F(FileUpdater, ProcessFunctionsDriveTheOneUpdater) {
  WriteFile(Path("p/a.jpg"));
  Folder("p", 1);
  std::atomic<int> passesEnded{0};
  StartFileUpdater(
      trees_, false, nullptr,
      [&](TFileUpdaterEx*, uint8_t kind, uint32_t) { passesEnded += kind == fnPassEnded ? 1 : 0; }, nullptr);
  StartFileUpdater(trees_, false, nullptr, nullptr, nullptr);  // one exists: nothing happens
  EXPECT_TRUE(FileUpdaterRunning());
  ASSERT_TRUE(WaitUntil([&] { return passesEnded >= 1; }));
  WaitUntilPlaced();
  EXPECT_NE(CalendarDayOf(Item("p/a.jpg")), 0);

  WriteFile(Path("p/b.jpg"));
  RequestUpdate();
  ASSERT_TRUE(WaitUntil([&] {
    TCatalogItem* b = Item("p/b.jpg");
    return b && b->DateKnown();
  }));
  CancelUpdate();
  SetIncludeHidden(true, false);
  StopFileUpdater();
  EXPECT_FALSE(FileUpdaterRunning());
  EXPECT_THROW(StopFileUpdater(), EFileUpdaterException) << "a second stop finds none";
}

TEST_F(FileUpdater, RetiredRootsAreDroppedAndRootsKeepTheirLastUpdate) {
  WriteFile(Path("p/a.jpg"));
  Folder("p", 1);
  Pass();
  std::vector<TUpdateFolderItem> roots = updater_->Roots();
  ASSERT_EQ(roots.size(), 1u);
  const double first = roots[0].LastUpdated;
  EXPECT_GT(first, 0);
  Pass();
  roots = updater_->Roots();
  ASSERT_EQ(roots.size(), 1u);
  EXPECT_GE(roots[0].LastUpdated, first);

  TFolder* root = roots[0].Folder;
  root->RemoveFolder();
  Pass();
  roots = updater_->Roots();
  EXPECT_TRUE(std::none_of(roots.begin(), roots.end(), [&](const TUpdateFolderItem& e) { return e.Folder == root; }));
}

}  // namespace
}  // namespace plb
