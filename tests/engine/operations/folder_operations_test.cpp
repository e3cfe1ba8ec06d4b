// Folder, album and file operations on real folders: refusals with their wrapped texts, the catalog
// data carried by copies and moves (also to another volume), creation, renaming and the trash.
#include "engine/operations/folder_operations.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/workers/worker_control.h"
#include "host/engine_error.h"
#include "host/error_forms.h"
#include "host/log_file.h"
#include "platform/volumes.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

// Dates that reach the calendar, so that deleted items can be seen leaving it.
class CalendarLog : public ICalendarLink {
 public:
  CalendarLog() { SetCalendarLink(this); }
  ~CalendarLog() override { SetCalendarLink(nullptr); }
  void QueueDateChange(TCatalogItem* item, double, double newDate) override {
    if (newDate == 0) left.push_back(item);
  }
  std::vector<TCatalogItem*> left;
};

std::string ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const EOstraEngineError& e) {
    return e.Message();
  }
  return "(no error)";
}

// The refusal as the caller sees it: wrapped by the check, then by the operation.
std::string Wrapped(const std::string& operation, const std::string& check, const std::string& refusal) {
  return ErrorOccurredText(operation, "EOstraEngineError", ErrorOccurredText(check, "EOstraEngineError", refusal));
}

// Two volumes: <root>/vol and, where the system has one, a folder on a second filesystem.
class FolderOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    fs::create_directories(vol_);
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
    model_.folders = &trees_;
    model_.albums = &albums_;
    model_.history = &history_;
  }
  void TearDown() override {
    if (!other_.empty()) fs::remove_all(other_);
  }

  // A folder on another filesystem, registered as a volume; empty when there is none.
  std::string OtherVolume() {
    struct stat here {
    }, shm{};
    if (::stat(vol_.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) return "";
    std::string folder = "/dev/shm/plb-ops-XXXXXX";
    if (!::mkdtemp(folder.data())) return "";
    other_ = folder;
    volumes_.Mount({platform::kDriveRemovable, 0x5678, "Card", other_});
    return other_;
  }

  TFolder* Scanned(const std::string& path) {
    TFolder* folder = trees_.FolderOf(path);
    EXPECT_NE(folder, nullptr) << path;
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
    folder->ScanSubFolders(nullptr);
    for (TFolder* child : folder->SubFolders()) Scanned(child->GetFullName());
    return folder;
  }

  // The trash of the test volume (the data folder lies on no volume the test knows).
  std::string VolumeTrash() const { return vol_ + "/.Trash-" + std::to_string(::geteuid()); }

  TAlbum* Album(const std::string& name, TAlbum* parent = nullptr, int type = atAlbum) {
    return albums_.CreateAlbum(parent ? parent : albums_.Root(type), type, "", name);
  }

  std::string vol_, other_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  CalendarLog calendar_;
  TFolderTreeListEyeFi trees_;
  TAlbumList albums_;
  THistoryList history_;
  TFolderOperationModel model_;
};

TEST_F(FolderOperations, ChecksRefuseWithTheirTexts) {
  WriteFile(vol_ + "/a/sub/x.jpg");
  TFolder* a = Scanned(vol_ + "/a");
  TFolder* sub = a->FindSubFolder("sub");
  TFolder* root = trees_.FolderOf(vol_);
  TAlbum* parentAlbum = Album("P");
  TAlbum* childAlbum = Album("C", parentAlbum);
  TAlbum* rootAlbum = albums_.Root(atAlbum);
  const auto cannot = [](TCustomFolder* s, TCustomFolder* t, const char* word) {
    return s->GetFullName() + " を\r\n" + t->GetFullName() + " に" + word + "することはできません。";
  };
  struct Case {
    const char* what;
    TCustomFolder *source, *target;
    bool copy;
    std::string refusal;
  } cases[] = {
      {"folder into its own sub-folder", a, sub, true, cannot(a, sub, "コピー")},
      {"folder into itself", a, a, false, cannot(a, a, "移動")},
      {"folder into its own parent: onto itself", a, root, true, cannot(a, root, "コピー")},
      {"album into its own child", parentAlbum, childAlbum, true, cannot(parentAlbum, childAlbum, "コピー")},
      {"album into itself", parentAlbum, parentAlbum, false, cannot(parentAlbum, parentAlbum, "移動")},
      {"a root album", rootAlbum, parentAlbum, true, cannot(rootAlbum, parentAlbum, "コピー")},
      {"folder into an album", a, parentAlbum, false, cannot(a, parentAlbum, "移動")},
      {"album into a folder", childAlbum, a, true, cannot(childAlbum, a, "コピー")},
      {"no source", nullptr, a, true, "コピーもと が指定されていません。"},
      {"no target", a, nullptr, false, "移動さき が指定されていません。"},
  };
  const std::string logFolder = test::TestRoot() + "/log";
  fs::create_directories(logFolder);
  OpenLog(logFolder, "ops.log");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const char* operation = c.copy ? "OstraEngineCopyFolder" : "OstraEngineMoveFolder";
    EXPECT_EQ(ErrorText([&] {
                if (c.copy) {
                  OstraEngineCopyFolder(model_, c.source, c.target);
                } else {
                  OstraEngineMoveFolder(model_, c.source, c.target);
                }
              }),
              Wrapped(operation, "CheckCopyMoveToFolder", c.refusal));
  }
  CloseLog();
  // Each layer is in the log: the refusal, the check's wrapping and the operation's.
  std::ifstream logFile(logFolder + "/ops.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
  for (const std::string& line : {"EOstraEngineError\r\n" + cannot(a, sub, "コピー"),
                                  std::string("EOstraEngineError\r\nCheckCopyMoveToFolder でエラーが発生しました。"),
                                  std::string("EOstraEngineError\r\nOstraEngineCopyFolder でエラーが発生しました。")}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_TRUE(fs::exists(vol_ + "/a/sub/x.jpg"));

  childAlbum->SetInWork(true);
  EXPECT_EQ(ErrorText([&] { OstraEngineDeleteFolder(model_, childAlbum); }),
            Wrapped("OstraEngineDeleteFolder", "CheckDeleteFolder",
                    childAlbum->GetFullName() + " を削除することはできません。"));
  EXPECT_EQ(ErrorText([&] { OstraEngineDeleteFolder(model_, nullptr); }),
            Wrapped("OstraEngineDeleteFolder", "CheckDeleteFolder", "削除対象 が指定されていません。"));
  std::string name = "x";
  EXPECT_EQ(ErrorText([&] { OstraEngineRenameFolder(rootAlbum, name); }),
            Wrapped("OstraEngineRenameFolder", "CheckRenameFolder",
                    rootAlbum->GetFullName() + " をリネームすることはできません。"));
  EXPECT_EQ(ErrorText([&] { OstraEngineCreateChild(model_, nullptr, name); }),
            Wrapped("OstraEngineCreateChild", "CheckCreateFolder", "親フォルダ が指定されていません。"));
}

TEST_F(FolderOperations, CopiedPhotosTakeTheCatalogDataOfTheirOriginals) {
  WriteFile(vol_ + "/trip/a.jpg", "aaa");
  WriteFile(vol_ + "/trip/day2/b.jpg", "bb");
  fs::create_directories(vol_ + "/backup");
  TFolder* trip = Scanned(vol_ + "/trip");
  TFolder* backup = Scanned(vol_ + "/backup");
  TCatalogItem* a = trip->FindItem("a.jpg");
  TCatalogItem* b = trip->FindSubFolder("day2")->FindItem("b.jpg");
  a->SetComment("sunset");
  a->SetMark(true);
  a->SetShootingDate(45000.5);
  a->SetDateKnown(true);
  b->SetFourLevelMark(2);

  TCustomFolder* copy = OstraEngineCopyFolder(model_, trip, backup);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetFullName(), vol_ + "/backup/trip");
  TFolder* copied = trees_.FindFolderOf(vol_ + "/backup/trip");
  TCatalogItem* a2 = copied->FindItem("a.jpg");
  ASSERT_NE(a2, nullptr);
  EXPECT_NE(a2, a);
  EXPECT_EQ(a2->Comment(), "sunset");
  EXPECT_TRUE(a2->Mark());
  EXPECT_EQ(a2->ShootingDate(), 45000.5);
  EXPECT_TRUE(a2->DateKnown());
  TCatalogItem* b2 = copied->FindSubFolder("day2")->FindItem("b.jpg");
  ASSERT_NE(b2, nullptr);
  EXPECT_EQ(b2->FourLevelMark(), 2);
  EXPECT_EQ(a->State(), cisPresent) << "the original stays";

  // A second copy onto the first is refused: nothing is merged or replaced.
  a2->SetComment("edited copy");
  EXPECT_NE(ErrorText([&] { OstraEngineCopyFolder(model_, trip, backup); }).find("CopyFolder"), std::string::npos);
  EXPECT_EQ(a2->Comment(), "edited copy");
}

class FolderMove : public FolderOperations, public ::testing::WithParamInterface<bool> {};

TEST_P(FolderMove, MovedPhotosAreTheSameItemsWithEverythingTheyHad) {
  std::string targetBase = vol_ + "/archive";
  if (GetParam()) {
    targetBase = OtherVolume();
    if (targetBase.empty()) GTEST_SKIP() << "no second filesystem";
  }
  fs::create_directories(targetBase);
  WriteFile(vol_ + "/trip/a.jpg", "aaa");
  WriteFile(vol_ + "/trip/day2/b.jpg", "bb");
  TFolder* trip = Scanned(vol_ + "/trip");
  TFolder* target = Scanned(targetBase);
  TCatalogItem* a = trip->FindItem("a.jpg");
  TCatalogItem* b = trip->FindSubFolder("day2")->FindItem("b.jpg");
  TAlbum* tag = Album("beach", nullptr, atTag);
  tag->AddItem(a, 0);
  tag->AddItem(b, 0);
  a->SetComment("sunset");
  a->SetThumbnailIndex(17);
  a->SetShootingDate(45000.25);
  a->SetDateKnown(true);
  trip->SetPinned(true);
  trip->SetCalendarMode(1);
  history_.Push(trip);
  WriteFile(vol_ + "/trip/day2/b.jpg", "changed since the last scan");

  TCustomFolder* moved = OstraEngineMoveFolder(model_, trip, target);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->GetFullName(), targetBase + "/trip");
  EXPECT_FALSE(fs::exists(vol_ + "/trip"));
  TFolder* movedFolder = static_cast<TFolder*>(moved);
  EXPECT_EQ(movedFolder->FindItem("a.jpg"), a);
  EXPECT_EQ(movedFolder->FindSubFolder("day2")->FindItem("b.jpg"), b);
  EXPECT_EQ(a->FullPath(), targetBase + "/trip/a.jpg");
  EXPECT_EQ(a->State(), cisPresent);
  EXPECT_EQ(b->State(), cisPresent);
  EXPECT_EQ(a->Comment(), "sunset");
  EXPECT_EQ(a->ThumbnailIndex(), 17);
  EXPECT_EQ(tag->FindEntry(a) != nullptr, true);
  EXPECT_EQ(tag->FindEntry(b) != nullptr, true);
  EXPECT_TRUE(movedFolder->Pinned());
  EXPECT_EQ(movedFolder->GetCalendarMode(), 1);
  EXPECT_EQ(history_.Current(), moved);
  EXPECT_TRUE(trip->IsRemoved());
  for (TCatalogItem* item : {a, b}) {
    EXPECT_EQ(std::count(calendar_.left.begin(), calendar_.left.end(), item), 0)
        << "a moved photo stays in the calendar";
  }
  EXPECT_EQ(a->ShootingDate(), 45000.25);
  EXPECT_TRUE(a->DateKnown());
}

INSTANTIATE_TEST_SUITE_P(SameAndOtherVolume, FolderMove, ::testing::Values(false, true));

// Makes a file that cannot be deleted: its folder read-only for an ordinary user, the file
// immutable for root (who may delete from read-only folders). Undone by the destructor; false
// when neither is possible here.
class UndeletableFile {
 public:
  explicit UndeletableFile(std::string path) : path_(std::move(path)), folder_(fs::path(path_).parent_path()) {
    if (::geteuid() != 0) {
      made_ = ::chmod(folder_.c_str(), 0555) == 0;
      return;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      made_ = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0) ::close(fd);
  }
  ~UndeletableFile() {
    ::chmod(folder_.c_str(), 0755);
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
      flags &= ~FS_IMMUTABLE_FL;
      ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) ::close(fd);
  }
  bool Made() const { return made_; }

 private:
  std::string path_;
  std::string folder_;
  bool made_ = false;
};

// A move to another volume copies, then deletes the source; a delete that fails part-way leaves
// a whole copy, which is where the photos and their catalog data now are.
TEST_F(FolderOperations, ACrossVolumeMoveWhoseSourceDeleteFailsLeavesTheCatalogWithTheCopy) {
  const std::string far = OtherVolume();
  if (far.empty()) GTEST_SKIP() << "no second filesystem";
  WriteFile(vol_ + "/trip/a.jpg", "aaa");
  WriteFile(vol_ + "/trip/day2/b.jpg", "bb");
  WriteFile(vol_ + "/trip/day2/c.jpg", "c");
  TFolder* trip = Scanned(vol_ + "/trip");
  TFolder* target = Scanned(far);
  TFolder* day2 = trip->FindSubFolder("day2");
  std::vector<TCatalogItem*> photos{trip->FindItem("a.jpg"), day2->FindItem("b.jpg"), day2->FindItem("c.jpg")};
  TAlbum* tag = Album("beach", nullptr, atTag);
  TAlbum* album = Album("summer");
  for (TCatalogItem* item : photos) {
    tag->AddItem(item, 0);
    album->AddItem(item, 0);
    item->SetMark(true);
  }
  UndeletableFile stuck(vol_ + "/trip/day2/b.jpg");
  if (!stuck.Made()) GTEST_SKIP() << "no way to make a file undeletable here";

  EXPECT_NE(ErrorText([&] { OstraEngineMoveFolder(model_, trip, target); }), "(no error)")
      << "the part of the source left behind is reported";
  TFolder* moved = trees_.FindFolderOf(far + "/trip");
  ASSERT_NE(moved, nullptr);
  for (const std::string name : {"trip/a.jpg", "trip/day2/b.jpg", "trip/day2/c.jpg"}) {
    EXPECT_TRUE(fs::exists(far + "/" + name)) << name;
  }
  const std::vector<TCatalogItem*> expected{moved->FindItem("a.jpg"), moved->FindSubFolder("day2")->FindItem("b.jpg"),
                                            moved->FindSubFolder("day2")->FindItem("c.jpg")};
  EXPECT_EQ(expected, photos) << "the catalog items went with the copy";
  for (TCatalogItem* item : photos) {
    EXPECT_EQ(item->FullPath().rfind(far + "/trip/", 0), 0u) << item->FullPath();
    EXPECT_EQ(item->State(), cisPresent);
    EXPECT_TRUE(item->Mark());
    EXPECT_NE(tag->FindEntry(item), nullptr);
    EXPECT_NE(album->FindEntry(item), nullptr);
  }
}

// The background workers wait at their gate while a copy or move changes the disk, and are let go
// when it ends, also when it fails.
TEST_F(FolderOperations, CopiesAndMovesCloseTheWorkerGateWhileTheyRun) {
  WriteFile(vol_ + "/trip/a.jpg", "aaa");
  fs::create_directories(vol_ + "/backup");
  TFolder* trip = Scanned(vol_ + "/trip");
  TFolder* backup = Scanned(vol_ + "/backup");
  std::vector<bool> gateOpen;
  model_.progress = [&](uint64_t, uint64_t) {
    gateOpen.push_back(WorkerControlEvent()->IsSet());
    return true;
  };
  ASSERT_EQ(WorkerPauseCount(), 0);
  OstraEngineCopyFolder(model_, trip, backup);
  EXPECT_NE(ErrorText([&] { OstraEngineCopyFolder(model_, trip, backup); }), "(no error)");
  EXPECT_EQ(WorkerPauseCount(), 0) << "a failed operation opens the gate again";
  fs::create_directories(OtherVolume().empty() ? vol_ + "/far" : other_ + "/far");
  TFolder* far = Scanned(other_.empty() ? vol_ + "/far" : other_ + "/far");
  OstraEngineMoveFolder(model_, trip, far);
  ASSERT_FALSE(gateOpen.empty());
  EXPECT_EQ(std::count(gateOpen.begin(), gateOpen.end(), true), 0);
  EXPECT_EQ(WorkerPauseCount(), 0);
  EXPECT_TRUE(WorkerControlEvent()->IsSet());
}

// A folder reached through a symbolic link to another volume (the system's own volumes: the
// link leads from the test folder into /dev/shm) is that volume's folder.
TEST(FolderByPath, APathThroughALinkToAnotherVolumeFindsThatVolumesFolder) {
  struct stat here {
  }, shm{};
  const std::string root = test::TestRoot();
  if (::stat(root.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second filesystem";
  }
  std::string other = "/dev/shm/plb-link-XXXXXX";
  ASSERT_NE(::mkdtemp(other.data()), nullptr);
  fs::create_directories(other + "/sub");
  fs::create_directory_symlink(other, root + "/card");
  TFolderTreeListEyeFi trees;
  std::string found;
  try {
    found = GetFolderByPath(trees, root + "/card/sub")->GetFullName();
  } catch (const std::exception& e) {
    found = e.what();
  }
  fs::remove_all(other);
  EXPECT_EQ(found, other + "/sub");
}

TEST_F(FolderOperations, CreateRenameAndTheirNames) {
  fs::create_directories(vol_ + "/p/新しいフォルダ");
  TFolder* parent = Scanned(vol_ + "/p");
  for (const char* expected : {"新しいフォルダ(2)", "新しいフォルダ(3)"}) {
    std::string name = "新しいフォルダ";
    TCustomFolder* made = OstraEngineCreateChild(model_, parent, name);
    EXPECT_EQ(name, expected);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made, parent->FindSubFolder(expected));
    EXPECT_TRUE(fs::is_directory(vol_ + "/p/" + expected));
  }

  TFolder* folder = parent->FindSubFolder("新しいフォルダ(2)");
  std::string name = "a?b:c";
  OstraEngineRenameFolder(folder, name);
  EXPECT_EQ(name, "a-b-c");
  EXPECT_EQ(folder->Name(), "a-b-c");
  EXPECT_TRUE(fs::is_directory(vol_ + "/p/a-b-c"));

  struct Case {
    std::string name, refusal;
  } cases[] = {
      {"", "空白のフォルダ名は無効です。"},
      {"新しいフォルダ(3)", "フォルダ名の変更に失敗しました。"},  // an empty sibling is not replaced
      {"..", "フォルダ名の変更に失敗しました。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string wanted = c.name;
    EXPECT_EQ(ErrorText([&] { OstraEngineRenameFolder(folder, wanted); }),
              ErrorOccurredText("OstraEngineRenameFolder", "EOstraEngineError", c.refusal));
  }
  EXPECT_TRUE(fs::is_directory(vol_ + "/p/a-b-c"));
  EXPECT_TRUE(fs::is_directory(vol_ + "/p/新しいフォルダ(3)"));

  TAlbum* album = Album("A");
  name = "Kids";
  TCustomFolder* child = OstraEngineCreateChild(model_, album, name);
  EXPECT_EQ(static_cast<TAlbum*>(child)->Parent(), album);
  name = "Kids\\2024";
  OstraEngineRenameFolder(child, name);
  EXPECT_EQ(child->GetName(), name);
  EXPECT_EQ(name, "Kids-2024");
}

TEST_F(FolderOperations, DeletedFolderGoesToTheTrashAndItsPhotosLeaveAlbums) {
  WriteFile(vol_ + "/old/a.jpg");
  WriteFile(vol_ + "/old/sub/b.jpg");
  TFolder* old = Scanned(vol_ + "/old");
  TCatalogItem* a = old->FindItem("a.jpg");
  TAlbum* tag = Album("t", nullptr, atTag);
  tag->AddItem(a, 0);

  OstraEngineDeleteFolder(model_, old);
  EXPECT_FALSE(fs::exists(vol_ + "/old"));
  EXPECT_TRUE(fs::exists(VolumeTrash() + "/files/old/sub/b.jpg"));
  EXPECT_TRUE(old->IsRemoved());
  EXPECT_EQ(a->State(), cisDeleted);
  EXPECT_EQ(tag->FindEntry(a), nullptr);
}

TEST_F(FolderOperations, AFolderTheTrashRefusesStaysWithItsCatalogData) {
  WriteFile(vol_ + "/keep/a.jpg");
  TFolder* keep = Scanned(vol_ + "/keep");
  TCatalogItem* a = keep->FindItem("a.jpg");
  // A file where the trash should be: the trash cannot take anything.
  WriteFile(VolumeTrash(), "not a folder");

  const std::string text = ErrorText([&] { OstraEngineDeleteFolder(model_, keep); });
  EXPECT_EQ(text.rfind("OstraEngineDeleteFolder でエラーが発生しました。\r\n\r\nETrashError\r\n", 0), 0u) << text;
  EXPECT_TRUE(fs::exists(vol_ + "/keep/a.jpg"));
  EXPECT_FALSE(keep->IsRemoved());
  EXPECT_EQ(a->State(), cisPresent);
}

TEST_F(FolderOperations, AlbumsCopyMoveAndDeleteWithTheirChildren) {
  WriteFile(vol_ + "/f/a.jpg");
  TCatalogItem* a = Scanned(vol_ + "/f")->FindItem("a.jpg");
  TAlbum* trips = Album("Trips");
  TAlbum* paris = Album("Paris", trips);
  paris->SetCaption("Paris 2024");
  paris->AddItem(a, 7);
  {
    std::lock_guard guard(paris->Lock());
    paris->FindEntry(a)->Comment = "Eiffel";
  }
  TAlbum* best = Album("Best");

  auto* copy = static_cast<TAlbum*>(OstraEngineCopyFolder(model_, trips, best));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Parent(), best);
  TAlbum* parisCopy = copy->FindChild("Paris");
  ASSERT_NE(parisCopy, nullptr);
  EXPECT_EQ(parisCopy->Caption(), "Paris 2024");
  TAlbumItem* entry = parisCopy->FindEntry(a);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GroupNumber, 7);
  EXPECT_EQ(entry->Comment, "Eiffel");

  EXPECT_EQ(OstraEngineMoveFolder(model_, paris, best), paris);
  EXPECT_EQ(paris->Parent(), best);

  OstraEngineDeleteFolder(model_, copy);
  EXPECT_EQ(best->FindChild("Trips"), nullptr);
  EXPECT_EQ(parisCopy->FindEntry(a), nullptr);
  EXPECT_NE(paris->FindEntry(a), nullptr) << "the moved original keeps its photo";
}

TEST_F(FolderOperations, FileRenameAndTrashKeepOrDropTheItem) {
  WriteFile(vol_ + "/f/a.jpg");
  WriteFile(vol_ + "/f/taken.jpg");
  TFolder* f = Scanned(vol_ + "/f");
  TCatalogItem* a = f->FindItem("a.jpg");
  a->SetComment("kept");
  std::string name = "b:1.jpg";
  OstraEngineRenameFile(a, name);
  EXPECT_EQ(name, "b-1.jpg");
  EXPECT_EQ(f->FindItem("b-1.jpg"), a);
  EXPECT_TRUE(fs::exists(vol_ + "/f/b-1.jpg"));
  EXPECT_EQ(a->Comment(), "kept");

  name = "taken.jpg";
  EXPECT_NE(ErrorText([&] { OstraEngineRenameFile(a, name); }), "(no error)");
  EXPECT_TRUE(fs::exists(vol_ + "/f/b-1.jpg"));

  OstraEngineTrashFile(a);
  EXPECT_FALSE(fs::exists(vol_ + "/f/b-1.jpg"));
  EXPECT_EQ(f->FindItem("b-1.jpg"), nullptr);
  EXPECT_EQ(a->State(), cisDeleted);
}

}  // namespace
}  // namespace plb
