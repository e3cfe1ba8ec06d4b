// Drops in the main window as the window system delivers them: the program's own photos and the
// file lists of other programs dragged onto the folder panel, the calendar panel, the grid and the
// tray, on a catalog of real photos. The questions are answered by the test; the copy dialog and
// the date dialog run for real. Pictures of the drop highlight with its question are kept in
// <build>/test-artifacts/drops.
#include "shell/main/item_drops.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/events/calendar_date_queue.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/events/folder_update_master.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/store/engine_data_files.h"
#include "host/date_time.h"
#include "images/codec/image_load.h"
#include "images/dates/exif_date_changer.h"
#include "platform/file_transfer.h"
#include "platform/volumes.h"
#include "service/api/plumora_api_params.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/item_drag.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/library_page.h"
#include "shell/main/main_actions.h"
#include "shell/main_window.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/tray/frame_tray.h"
#include "support/test_env.h"
#include "support/volume_catalog.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

constexpr Qt::DropActions kFileManagerActions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

std::string Day(TDateTime date) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", date);
}

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  return EncodeDateTime({year, month, day, hour, minute, second, 0});
}

class ItemDrops : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
    InitializeCatalogUpdater();
    InstallCatalogImageReader();
    pics_ = catalog_.Volume() + "/pics";
    taken_ = catalog_.Volume() + "/taken";
    fs::create_directories(pics_);
    fs::create_directories(taken_);
    const std::string samples = test::TestDataDir() + "/exif-samples/jpg/";
    fs::copy_file(samples + "Canon_40D.jpg", pics_ + "/a.jpg");
    fs::copy_file(samples + "Nikon_D70.jpg", pics_ + "/b.jpg");
    fs::copy_file(samples + "Pentax_K10D.jpg", pics_ + "/c.jpg");
    folder_ = catalog_.ScannedFolder("pics");
    takenFolder_ = catalog_.ScannedFolder("taken");
    ASSERT_NE(folder_, nullptr);
    ASSERT_NE(takenFolder_, nullptr);
    // Each photo in the calendar under the date its file records.
    calendar_ = AcquireCalendarRoot();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      TCatalogItem* item = Item(name);
      ASSERT_NE(item, nullptr) << name;
      item->ReadDimensions();
      item->SetShootingDate(ReadOwnShootingDate(item->FullPath(), true));
      item->SetDateKnown(true);
    }
    // b on a February day: the month and year nodes of the clamping cases.
    SetFileDate(Item("b.jpg"), At(2009, 2, 10, 10, 0, 0));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WaitForDay(Item(name));

    // The folders' and the calendar's events reach the window as the engine delivers them.
    catalog_.Trees().SetUpdateHandler(folderUpdates_.Handler());
    CurrentCalendarMaster()->Route(calendarUpdates_.Handler());
    window_ = std::make_unique<TPlumoraMain2>(QStringLiteral("Plumora Browser"));
    TLibrarySources sources;
    sources.folders = &catalog_.Trees();
    sources.folderUpdates = &folderUpdates_;
    sources.calendar = calendar_.get();
    sources.calendarUpdates = &calendarUpdates_;
    sources.albums = &albums_;
    window_->Library()->Attach(sources);
    TActionBoxes& boxes = window_->Actions()->Boxes();
    boxes.ask = [this](const QString& text) {
      asked_ << text;
      if (onAsk_) onAsk_();
      return answer_;
    };
    boxes.error = [this](const QString& text) { errors_ << text; };
    window_->resize(1100, 760);
    window_->show();
    window_->Library()->ShowFolder(folder_);
    QApplication::processEvents();
  }

  void TearDown() override {
    window_.reset();
    catalog_.Trees().SetUpdateHandler(nullptr);
    CurrentCalendarMaster()->Route(nullptr);
    calendar_.reset();
    FinalizeCatalogUpdater();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }

  TCatalogItem* Item(const std::string& name) { return folder_->FindItem(name); }
  TItemDrops& Drops() { return window_->Actions()->Drops(); }
  TFrameCatalogDG* Grid() { return window_->Library()->Catalog(); }

  // The date written into the file, and the item following it into the calendar.
  void SetFileDate(TCatalogItem* item, TDateTime date) {
    const TFileDateChange change = ChangeFileShootingDate(item->FullPath(), true, item->ShootingDate(), date);
    item->SetShootingDate(change.date);
  }
  void WaitForDay(TCatalogItem* item) {
    ASSERT_TRUE(test::PumpUntil(
        [&] {
          auto* day = static_cast<TCalendar*>(item->CalendarDay());
          return day && std::trunc(day->Date()) == std::trunc(item->ShootingDate());
        },
        5000))
        << item->FileName();
  }

  // The node's row of a panel, listed and in view.
  QPoint RowOf(TFolderTreePanel* panel, TCustomFolder* node) {
    TLibraryPage* library = window_->Library();
    library->ShowPanel(panel == library->CalendarTree() ? 1 : panel == library->TagTree() ? 2 : 0);
    EXPECT_TRUE(panel->SelectNode(node));
    QApplication::processEvents();
    QTreeWidgetItem* row = panel->ItemOf(node);
    EXPECT_NE(row, nullptr);
    panel->scrollToItem(row);
    return row ? panel->visualItemRect(row).center() : QPoint();
  }

  // The pointer brought over pos with data; what the widget would do.
  Qt::DropAction DragOver(QWidget* viewport, const QPoint& pos, const QMimeData& data,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                          Qt::DropActions offered = kItemDragActions) {
    QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(pos, offered, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &move);
    return move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
  }
  // Dropped there; waits for the drop's work. True when the drop was taken.
  bool DropAt(QWidget* viewport, const QPoint& pos, const QMimeData& data,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier, Qt::DropActions offered = kItemDragActions) {
    DragOver(viewport, pos, data, modifiers, offered);
    QDropEvent drop(QPointF(pos), offered, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(test::PumpUntil([&] { return Drops().Pending() == 0; }, 20000));
    QApplication::processEvents();
    return drop.isAccepted();
  }

  std::unique_ptr<QMimeData> OwnDrag(std::vector<TCatalogItem*> items) {
    return std::make_unique<TItemMimeData>(folder_, 0, std::move(items));
  }
  static std::unique_ptr<QMimeData> FileList(const QList<QUrl>& urls) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
  }

  QtUiDispatcher dispatcher_;
  platform::ScopedUiDispatcher installed_{dispatcher_};
  test::VolumeCatalog catalog_;
  TFolderUpdateMaster folderUpdates_;
  TFolderUpdateMaster calendarUpdates_;
  TAlbumList albums_;
  std::shared_ptr<TCalendarRoot> calendar_;
  std::string pics_, taken_;
  TFolder* folder_ = nullptr;
  TFolder* takenFolder_ = nullptr;
  std::unique_ptr<TPlumoraMain2> window_;
  QStringList asked_, errors_;
  bool answer_ = true;
  std::function<void()> onAsk_;
};

TEST_F(ItemDrops, PhotosDroppedOnAFolderMoveThereWithTheirCatalogDataAfterTheQuestion) {
  TFolderTreePanel* panel = window_->Library()->FolderTree();
  TCatalogItem* a = Item("a.jpg");
  TCatalogItem* b = Item("b.jpg");
  a->SetMark(true);
  // The photos' own folder is the current node, as when the drag starts in its grid.
  const QPoint target = RowOf(panel, takenFolder_);
  const QPoint own = RowOf(panel, folder_);
  auto data = OwnDrag({a, b});

  // Their own folder takes nothing; the other one is highlighted and moves them (one file system).
  EXPECT_EQ(DragOver(panel->viewport(), own, *data), Qt::IgnoreAction);
  EXPECT_EQ(panel->DropTarget(), nullptr);
  EXPECT_EQ(DragOver(panel->viewport(), target, *data), Qt::CopyAction) << "the source is told of a copy";
  EXPECT_EQ(Drops().FolderDropAction(takenFolder_, data.get(), Qt::NoModifier), Qt::MoveAction);
  EXPECT_EQ(panel->DropTarget(), takenFolder_);
  EXPECT_EQ(DragOver(panel->viewport(), own, *data), Qt::IgnoreAction);
  EXPECT_EQ(panel->DropTarget(), nullptr) << "the highlight follows the pointer";

  // No to the question: nothing happens, and the highlight goes.
  answer_ = false;
  onAsk_ = [&] {
    EXPECT_EQ(panel->DropTarget(), takenFolder_) << "the node stays highlighted while asking";
    EXPECT_TRUE(test::KeepPicture(*window_, "drops", "folder-drop-highlight"));
    QMessageBox box(QMessageBox::Question, window_->windowTitle(),
                    QString(asked_.back()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Yes | QMessageBox::No, window_.get());
    box.show();
    EXPECT_TRUE(test::KeepPicture(box, "drops", "folder-drop-question"));
  };
  ASSERT_TRUE(DropAt(panel->viewport(), target, *data));
  onAsk_ = nullptr;
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("2 個のファイルを\r\n\r\n takenへ移動します\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(pics_ + "/a.jpg"));
  EXPECT_FALSE(fs::exists(taken_ + "/a.jpg"));
  EXPECT_EQ(panel->DropTarget(), nullptr);

  // Yes: the files move on disk, the same catalog items (their marks with them) move to the folder
  // and the grid of the source shows what is left.
  answer_ = true;
  ASSERT_TRUE(DropAt(panel->viewport(), target, *data));
  ASSERT_EQ(asked_.size(), 2);
  for (const char* name : {"a.jpg", "b.jpg"}) {
    EXPECT_FALSE(fs::exists(pics_ + "/" + name)) << name;
    EXPECT_TRUE(fs::exists(taken_ + "/" + name)) << name;
    EXPECT_EQ(folder_->FindItem(name), nullptr) << name;
  }
  EXPECT_EQ(takenFolder_->FindItem("a.jpg"), a);
  EXPECT_TRUE(a->Mark());
  EXPECT_TRUE(test::PumpUntil([&] { return Grid()->ShownItems().size() == 1u; }, 5000));
  window_->Library()->ShowFolder(takenFolder_);
  EXPECT_EQ(Grid()->ShownItems().size(), 2u);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();

  // Dragged again from their new folder onto it: already there, refused.
  EXPECT_EQ(Drops().FolderDropAction(takenFolder_, OwnDrag({a, b}).get(), Qt::NoModifier), Qt::IgnoreAction);

  // A closed node opens while the pointer rests on it; leaving takes the highlight away.
  TCustomFolder* root = folder_->GetParent();
  ASSERT_NE(root, nullptr);
  QTreeWidgetItem* rootRow = panel->ItemOf(root);
  ASSERT_NE(rootRow, nullptr);
  rootRow->setExpanded(false);
  auto rest = OwnDrag({Item("c.jpg")});
  EXPECT_NE(DragOver(panel->viewport(), panel->visualItemRect(rootRow).center(), *rest), Qt::IgnoreAction);
  EXPECT_TRUE(test::PumpUntil([&] { return rootRow->isExpanded(); }, 5000));
  QDragLeaveEvent leave;
  QApplication::sendEvent(panel->viewport(), &leave);
  EXPECT_EQ(panel->DropTarget(), nullptr);
}

TEST_F(ItemDrops, CtrlCopiesShiftMovesAndPhotosAlreadyThereAreLeftOut) {
  // The desktop's convention, for the program's own photos and for other programs' files.
  const struct {
    bool own, sameFileSystem;
    Qt::KeyboardModifiers modifiers;
    bool copies;
  } cases[] = {
      {true, true, Qt::NoModifier, false},       {true, false, Qt::NoModifier, true},
      {true, true, Qt::ControlModifier, true},   {true, false, Qt::ShiftModifier, false},
      {false, true, Qt::NoModifier, true},       {false, true, Qt::ShiftModifier, false},
      {false, false, Qt::ControlModifier, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DropCopies(c.own, c.sameFileSystem, c.modifiers), c.copies) << c.own << c.sameFileSystem << c.modifiers;

  TFolderTreePanel* panel = window_->Library()->FolderTree();
  TCatalogItem* c = Item("c.jpg");
  c->SetMark(true);
  const QPoint target = RowOf(panel, takenFolder_);
  ASSERT_TRUE(DropAt(panel->viewport(), target, *OwnDrag({c}), Qt::ControlModifier));
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("1 個のファイルを\r\n\r\n takenへコピーします\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(pics_ + "/c.jpg"));
  EXPECT_TRUE(fs::exists(taken_ + "/c.jpg"));
  EXPECT_EQ(Item("c.jpg"), c);
  TCatalogItem* copy = takenFolder_->FindItem("c.jpg");
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, c);
  EXPECT_TRUE(copy->Mark()) << "the copy takes the catalog data";

  // The copy and a photo of the folder dropped there: only the one from elsewhere is counted.
  TCatalogItem* a = Item("a.jpg");
  answer_ = false;
  ASSERT_TRUE(DropAt(panel->viewport(), target,
                     *std::make_unique<TItemMimeData>(folder_, 0, std::vector<TCatalogItem*>{copy, a})));
  ASSERT_EQ(asked_.size(), 2);
  EXPECT_EQ(asked_.back(), QStringLiteral("1 個のファイルを\r\n\r\n takenへ移動します\r\n\r\nよろしいですか？"));
}

TEST_F(ItemDrops, PhotosDroppedOnAFolderOfAnotherFileSystemAreCopiedUnlessShiftIsHeld) {
  // A second volume on another file system (memory-backed), beside the catalog's.
  const std::string shm = "/dev/shm/plb-drops-" + std::to_string(::getpid());
  std::error_code error;
  fs::create_directories(shm + "/other", error);
  if (error || platform::SameFileSystem(shm, pics_)) GTEST_SKIP() << "no second file system here";
  struct Cleanup {
    std::string path;
    ~Cleanup() { fs::remove_all(path); }
  } cleanup{shm};
  platform::FakeVolumeSource volumes;
  volumes.Mount({platform::kDriveFixed, 0x1234, "Data", catalog_.Volume()});
  volumes.Mount({platform::kDriveFixed, 0x5678, "Memory", shm});
  platform::ScopedVolumeSource scoped(volumes);
  TFolder* other = catalog_.Trees().FolderOf(shm + "/other");
  ASSERT_NE(other, nullptr);
  TFolderTreePanel* panel = window_->Library()->FolderTree();
  panel->Reload();
  const QPoint target = RowOf(panel, other);
  TCatalogItem* a = Item("a.jpg");
  auto data = OwnDrag({a});
  EXPECT_EQ(Drops().FolderDropAction(other, data.get(), Qt::NoModifier), Qt::CopyAction);
  EXPECT_EQ(Drops().FolderDropAction(other, data.get(), Qt::ShiftModifier), Qt::MoveAction);
  ASSERT_TRUE(DropAt(panel->viewport(), target, *data));
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("1 個のファイルを\r\n\r\n otherへコピーします\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(pics_ + "/a.jpg"));
  EXPECT_TRUE(fs::exists(shm + "/other/a.jpg"));
  // Shift: moved across, the source file gone only once the copy is whole.
  TCatalogItem* b = Item("b.jpg");
  ASSERT_TRUE(DropAt(panel->viewport(), target, *OwnDrag({b}), Qt::ShiftModifier));
  ASSERT_EQ(asked_.size(), 2);
  EXPECT_EQ(asked_.back(), QStringLiteral("1 個のファイルを\r\n\r\n otherへ移動します\r\n\r\nよろしいですか？"));
  EXPECT_FALSE(fs::exists(pics_ + "/b.jpg"));
  EXPECT_TRUE(fs::exists(shm + "/other/b.jpg"));
  EXPECT_EQ(other->FindItem("b.jpg"), b);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
}

TEST_F(ItemDrops, FilesOfOtherProgramsAreCopiedIntoTheFolderAndWhatCannotBeTakenIsNamed) {
  const std::string elsewhere = catalog_.Volume() + "/elsewhere";  // on disk, unknown to the catalog
  fs::create_directories(elsewhere);
  fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", elsewhere + "/x.jpg");
  std::ofstream(elsewhere + "/notes.txt") << "not a photo";
  const QUrl photo = QUrl::fromLocalFile(QString::fromStdString(elsewhere + "/x.jpg"));
  const QUrl text = QUrl::fromLocalFile(QString::fromStdString(elsewhere + "/notes.txt"));
  const QUrl missing = QUrl::fromLocalFile(QString::fromStdString(elsewhere + "/gone.jpg"));
  const QUrl remote(QStringLiteral("https://example.com/y.jpg"));

  // The grid shows the folder on disk: it takes them (folders alone are left to the window).
  window_->Library()->ShowFolder(takenFolder_);
  QWidget* viewport = Grid()->Grid()->viewport();
  const QPoint middle = viewport->rect().center();
  EXPECT_EQ(DragOver(viewport, middle, *FileList({QUrl::fromLocalFile(QString::fromStdString(elsewhere))}),
                     Qt::NoModifier, kFileManagerActions),
            Qt::IgnoreAction);
  // The program's own photos go to folders through the folder panel, not onto a grid.
  EXPECT_EQ(DragOver(viewport, middle, *OwnDrag({Item("a.jpg")})), Qt::IgnoreAction);
  auto files = FileList({photo, text, missing, remote});
  EXPECT_EQ(DragOver(viewport, middle, *files, Qt::NoModifier, kFileManagerActions), Qt::CopyAction);
  ASSERT_TRUE(DropAt(viewport, middle, *files, Qt::NoModifier, kFileManagerActions));
  ASSERT_EQ(errors_.size(), 1);
  const QString refused = errors_.front();
  EXPECT_TRUE(refused.startsWith(QStringLiteral("3 個のファイルは取り込めません。"))) << refused.toStdString();
  EXPECT_TRUE(refused.contains(QStringLiteral("notes.txt\t：写真や動画のファイルではありません。")));
  EXPECT_TRUE(refused.contains(QStringLiteral("gone.jpg\t：ファイルが見つかりません。")));
  EXPECT_TRUE(
      refused.contains(QStringLiteral("https://example.com/y.jpg\t：このコンピューターのファイルではありません。")));
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("1 個のファイルを\r\n\r\n takenへコピーします\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(elsewhere + "/x.jpg")) << "the other program keeps its file";
  EXPECT_TRUE(fs::exists(taken_ + "/x.jpg"));
  EXPECT_NE(takenFolder_->FindItem("x.jpg"), nullptr);
  EXPECT_TRUE(test::PumpUntil([&] { return Grid()->ShownItems().size() == 1u; }, 5000));

  // Only what cannot be taken: told, nothing asked, nothing copied.
  TFolderTreePanel* panel = window_->Library()->FolderTree();
  const QPoint pics = RowOf(panel, folder_);
  ASSERT_TRUE(DropAt(panel->viewport(), pics, *FileList({remote, missing}), Qt::NoModifier, kFileManagerActions));
  EXPECT_EQ(errors_.size(), 2);
  EXPECT_EQ(asked_.size(), 1);

  // On a folder with Shift: moved, the file leaves the other program's folder.
  ASSERT_TRUE(DropAt(panel->viewport(), pics, *FileList({photo}), Qt::ShiftModifier, kFileManagerActions));
  ASSERT_EQ(asked_.size(), 2);
  EXPECT_EQ(asked_.back(), QStringLiteral("1 個のファイルを\r\n\r\n picsへ移動します\r\n\r\nよろしいですか？"));
  EXPECT_FALSE(fs::exists(elsewhere + "/x.jpg"));
  EXPECT_TRUE(fs::exists(pics_ + "/x.jpg"));
  EXPECT_NE(folder_->FindItem("x.jpg"), nullptr);
}

TEST_F(ItemDrops, PhotosDroppedOnACalendarNodeTakeItsDateInTheFileAndTheCalendar) {
  TFolderTreePanel* panel = window_->Library()->CalendarTree();
  TCatalogItem* b = Item("b.jpg");
  TCatalogItem* c = Item("c.jpg");
  auto* day = static_cast<TCalendar*>(b->CalendarDay());
  ASSERT_NE(day, nullptr);
  TCalendar* month = day->Parent();
  TCalendar* year = month->Parent();
  // Day nodes change the date, month nodes year and month, year nodes the year; the day is clamped
  // to the month, the time of day stays the photo's.
  const struct {
    TDateTime start;
    TCalendar* node;
    const char* question;
    const char* result;
  } cases[] = {
      {At(2008, 1, 31, 14, 35, 10), month, " 2009年2月に変更します", "2009-02-28 14:35:10"},
      {At(2008, 2, 29, 8, 0, 0), year, " 2009年に変更します", "2009-02-28 08:00:00"},
      {At(2008, 5, 30, 23, 59, 58), day, " 2009年2月10日に変更します", "2009-02-10 23:59:58"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.question);
    SetFileDate(c, t.start);
    WaitForDay(c);
    const QPoint row = RowOf(panel, t.node);
    // The drag comes from the grid of the whole calendar.
    panel->setCurrentItem(panel->ItemOf(calendar_.get()));
    auto data = OwnDrag({c});
    EXPECT_NE(DragOver(panel->viewport(), row, *data), Qt::IgnoreAction);
    EXPECT_EQ(panel->DropTarget(), t.node);
    // Cancelled: the file keeps its date.
    answer_ = false;
    if (t.node == day) {
      onAsk_ = [&] { EXPECT_TRUE(test::KeepPicture(*window_, "drops", "calendar-drop-highlight")); };
    }
    ASSERT_TRUE(DropAt(panel->viewport(), row, *data));
    onAsk_ = nullptr;
    ASSERT_FALSE(asked_.isEmpty());
    EXPECT_EQ(asked_.back(), QStringLiteral("1 個の写真の撮影日時を\r\n\r\n") + QString::fromUtf8(t.question) +
                                 QStringLiteral("\r\n\r\nよろしいですか？"));
    EXPECT_EQ(Day(ReadOwnShootingDate(c->FullPath(), true)), Day(t.start));
    // Yes: the file's EXIF date, the item and its calendar day.
    answer_ = true;
    ASSERT_TRUE(DropAt(panel->viewport(), row, *data));
    EXPECT_EQ(Day(ReadOwnShootingDate(c->FullPath(), true)), t.result);
    EXPECT_EQ(Day(c->ShootingDate()), t.result);
    WaitForDay(c);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
  }
  // Photos already under a node keep their dates: nothing to drop there.
  EXPECT_EQ(Drops().CalendarDropAction(day, OwnDrag({b}).get()), Qt::IgnoreAction);
  EXPECT_EQ(Drops().CalendarDropAction(year, OwnDrag({b, c}).get()), Qt::IgnoreAction);
  EXPECT_EQ(Drops().CalendarDropAction(day, OwnDrag({b, Item("a.jpg")}).get()), Qt::CopyAction);
  // The root and other programs' files are not dates to take.
  EXPECT_EQ(Drops().CalendarDropAction(calendar_.get(), OwnDrag({c}).get()), Qt::IgnoreAction);
  EXPECT_EQ(
      Drops().CalendarDropAction(day, FileList({QUrl::fromLocalFile(QString::fromStdString(c->FullPath()))}).get()),
      Qt::IgnoreAction);
}

TEST_F(ItemDrops, DragsOutCarryTheFilesForCopiesAndTheTrayTakesOnlyTheCatalogsPhotos) {
  // A file manager gets the files as addresses and no move: catalogued files never leave behind
  // their catalog data.
  TCatalogItem* a = Item("a.jpg");
  TCatalogItem* b = Item("b.jpg");
  auto data = OwnDrag({a, b});
  ASSERT_TRUE(data->hasUrls());
  EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(pics_ + "/a.jpg")),
                                       QUrl::fromLocalFile(QString::fromStdString(pics_ + "/b.jpg"))}));
  EXPECT_FALSE(kItemDragActions & Qt::MoveAction);
  EXPECT_TRUE(kItemDragActions & Qt::CopyAction);

  // The tray: a catalogued photo named by a file manager joins it; a file the catalog does not
  // know is refused with what to do.
  TFrameTray* tray = window_->Tray()->Tray();
  ASSERT_NE(tray, nullptr);
  const std::string elsewhere = catalog_.Volume() + "/elsewhere";  // on disk, unknown to the catalog
  fs::create_directories(elsewhere);
  fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", elsewhere + "/x.jpg");
  QWidget* viewport = tray->Grid()->Grid()->viewport();
  auto files = FileList({QUrl::fromLocalFile(QString::fromStdString(pics_ + "/b.jpg")),
                         QUrl::fromLocalFile(QString::fromStdString(elsewhere + "/x.jpg"))});
  ASSERT_TRUE(DropAt(viewport, viewport->rect().center(), *files, Qt::NoModifier, kFileManagerActions));
  EXPECT_TRUE(tray->IsInTray(b));
  EXPECT_EQ(tray->Items().size(), 1u);
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_.front().startsWith(QString::fromUtf8(kTrayOutsideCatalog)));
  EXPECT_TRUE(errors_.front().contains(QStringLiteral("x.jpg")));
  EXPECT_TRUE(asked_.isEmpty());
}

TEST_F(ItemDrops, PhotosDroppedOnATagTakeItAndKeepItWhenTheCatalogIsReadAgain) {
  TAlbum* tags = albums_.Root(atTag);
  TAlbum* family = albums_.CreateAlbum(tags, atTag, "", "家族");
  ASSERT_NE(family, nullptr);
  TFolderTreePanel* panel = window_->Library()->TagTree();
  panel->Reload();
  TCatalogItem* a = Item("a.jpg");
  TCatalogItem* b = Item("b.jpg");
  TCatalogItem* c = Item("c.jpg");
  const QPoint rootRow = RowOf(panel, tags);
  const QPoint row = RowOf(panel, family);  // the grid shows the tag, as when it is chosen
  ASSERT_EQ(Grid()->CurrentFolder(), family);
  EXPECT_TRUE(Grid()->ShownItems().empty());

  // The root holds no photos; the tag is highlighted and takes them without a question.
  auto data = OwnDrag({a, b});
  EXPECT_EQ(DragOver(panel->viewport(), rootRow, *data), Qt::IgnoreAction);
  EXPECT_EQ(panel->DropTarget(), nullptr);
  EXPECT_EQ(DragOver(panel->viewport(), row, *data), Qt::CopyAction);
  EXPECT_EQ(panel->DropTarget(), family);
  ASSERT_TRUE(DropAt(panel->viewport(), row, *data));
  EXPECT_TRUE(asked_.isEmpty());
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
  EXPECT_EQ(panel->DropTarget(), nullptr);
  for (TCatalogItem* item : {a, b}) {
    EXPECT_NE(family->FindEntry(item), nullptr) << item->FileName();
    EXPECT_EQ(item->Tags(), std::vector<TCustomFolder*>{family}) << item->FileName();
  }
  EXPECT_TRUE(c->Tags().empty());
  EXPECT_TRUE(test::PumpUntil([&] { return Grid()->ShownItems().size() == 2u; }, 5000)) << "the grid shows them at once";
  EXPECT_TRUE(test::PumpUntil([&] { return panel->ItemOf(family)->text(0).endsWith(QStringLiteral("(2)")); }, 5000));

  // The same photos again: nothing to add, refused; with one new photo among them, taken.
  EXPECT_EQ(DragOver(panel->viewport(), row, *OwnDrag({a, b})), Qt::IgnoreAction);
  EXPECT_EQ(panel->DropTarget(), nullptr);
  EXPECT_FALSE(DropAt(panel->viewport(), row, *OwnDrag({b, a})));
  EXPECT_EQ(family->ItemCount(), 2);
  EXPECT_EQ(Drops().TagDropAction(family, OwnDrag({a, c}).get()), Qt::CopyAction);

  // Files of other programs: a catalogued photo joins, a file the catalog does not know is named.
  const std::string elsewhere = catalog_.Volume() + "/elsewhere";
  fs::create_directories(elsewhere);
  fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", elsewhere + "/x.jpg");
  const QUrl stranger = QUrl::fromLocalFile(QString::fromStdString(elsewhere + "/x.jpg"));
  const QUrl known = QUrl::fromLocalFile(QString::fromStdString(c->FullPath()));
  EXPECT_EQ(Drops().TagDropAction(family, FileList({stranger}).get()), Qt::IgnoreAction);
  ASSERT_TRUE(DropAt(panel->viewport(), row, *FileList({known, stranger}), Qt::NoModifier, kFileManagerActions));
  EXPECT_NE(family->FindEntry(c), nullptr);
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_.front().contains(QStringLiteral("x.jpg\t："))) << errors_.front().toStdString();
  EXPECT_TRUE(test::PumpUntil([&] { return Grid()->ShownItems().size() == 3u; }, 5000));

  // Groups the program fills are not drop targets.
  TAlbum* imported = albums_.CreateAlbum(albums_.Root(atZenmoaBackup), atZenmoaBackup, "", "imported");
  TAlbum* search = albums_.CreateAlbum(albums_.Root(atExifSearch), atExifSearch, "", "found");
  for (TAlbum* album : {imported, search}) {
    ASSERT_NE(album, nullptr);
    EXPECT_EQ(Drops().TagDropAction(album, OwnDrag({a}).get()), Qt::IgnoreAction) << album->GetFullName();
  }

  // The catalog's files written and read by a new run: the photos still carry the tag.
  TEngineDataParts parts;
  parts.folder = test::TestRoot() + "/data";
  fs::create_directories(parts.folder);
  parts.folders = &catalog_.Trees();
  parts.albums = &albums_;
  TEngineDataFiles(parts).SaveAll();
  TFolderTreeListEyeFi trees;
  TAlbumList albums;
  parts.folders = &trees;
  parts.albums = &albums;
  TEngineDataFiles(parts).LoadAll();
  TAlbum* again = albums.GetAlbumFromPathEx(atTag, "家族", false);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->ItemCount(), 3);
  TFolder* pics = trees.FindFolderOf(pics_);
  ASSERT_NE(pics, nullptr);
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    TCatalogItem* item = pics->FindItem(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(item->Tags(), std::vector<TCustomFolder*>{again}) << name;
  }
}

}  // namespace
}  // namespace plb::shell
