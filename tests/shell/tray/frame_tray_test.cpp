// The tray grid on a real catalog: the order numbers an addition gives (drops before a photo,
// moves inside the tray, appends), the single-photo modes, the movie filter, and the start checks
// as the user meets them, with missing files left out.
#include "shell/tray/frame_tray.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "service/logs/operation_log.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/grid_drag_drop.h"
#include "shell/tray/tray_rules.h"
#include "tray_fixture.h"

namespace plb::shell::test_tray {
namespace {

class FrameTrayTest : public TrayFixture {
 protected:
  void SetUp() override {
    MakeCatalog(8);
    MakeTray();
  }
  // The order numbers of the tray album's entries and the items' copies, in shown order.
  void ExpectNumbered() {
    const std::vector<TCatalogItem*>& shown = tray_->Items();
    for (size_t i = 0; i < shown.size(); ++i) {
      const TAlbumItem* entry = tray_->TrayAlbum()->FindEntry(shown[i]);
      ASSERT_NE(entry, nullptr);
      std::lock_guard guard(tray_->TrayAlbum()->Lock());
      EXPECT_EQ(entry->OrderNumber, static_cast<int16_t>(i)) << i;
      EXPECT_EQ(shown[i]->Sequence(), i) << i;
    }
  }
};

TEST_F(FrameTrayTest, AdditionsNumberTheTrayAroundTheDropTarget) {
  ASSERT_TRUE(tray_->AddToTray(Items({0, 1, 2}), nullptr));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2}));
  ExpectNumbered();
  // New photos dropped on a tray photo go before it.
  ASSERT_TRUE(tray_->AddToTray(Items({5, 6}), items_[1]));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 5, 6, 1, 2}));
  ExpectNumbered();
  // A tray photo dropped on another moves there; the current photo stays current.
  tray_->Grid()->SelectItem(items_[6]);
  ASSERT_TRUE(tray_->AddToTray(Items({2}), items_[0]));
  EXPECT_EQ(Shown(), (std::vector<int>{2, 0, 5, 6, 1}));
  EXPECT_EQ(tray_->Grid()->CurrentItem(), items_[6]);
  ExpectNumbered();
  // Dropped on empty space: appended, also for a photo already in the tray.
  ASSERT_TRUE(tray_->AddToTray(Items({2, 7}), nullptr));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 5, 6, 1, 2, 7}));
  ExpectNumbered();
  // The drop handler of the grid does the same with the item under the drop point.
  tray_->DragDrop()->Drop(Items({3}), tray_->Grid()->ItemRect(items_[5]).center());
  EXPECT_EQ(Shown(), (std::vector<int>{0, 3, 5, 6, 1, 2, 7}));
  EXPECT_EQ(tray_->CountLabel()->text(), QStringLiteral("トレイの写真 7枚"));
  // A listing from scratch (a new run's grid) shows the same order from the saved numbers.
  tray_->Reload();
  EXPECT_EQ(Shown(), (std::vector<int>{0, 3, 5, 6, 1, 2, 7}));

  tray_->TakeOutOfTray(Items({3, 6}));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 5, 1, 2, 7}));
  EXPECT_FALSE(tray_->IsInTray(items_[3]));
  EXPECT_TRUE(tray_->IsInTray(items_[5]));
  tray_->ClearTray();
  EXPECT_TRUE(tray_->Items().empty());
  EXPECT_EQ(tray_->TrayAlbum()->ItemCount(), 0);
  EXPECT_TRUE(told_.empty());
}

TEST_F(FrameTrayTest, SinglephotoModesHoldOnePhotoAndAModeChangeEmptiesTheTray) {
  tray_->AddToTray(Items({0, 1, 2}), nullptr);
  tray_->SetTrayMode(tmContents);  // the same mode: nothing changes
  EXPECT_EQ(Shown().size(), 3u);
  tray_->SetTrayMode(tmJacket);
  EXPECT_TRUE(tray_->Items().empty());
  EXPECT_EQ(tray_->Grid()->EmptyText(), QString::fromUtf8(TrayEmptyHint(tmJacket)));
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("ジャケットを変更"));
  tray_->AddToTray(Items({4, 5}), nullptr);
  EXPECT_EQ(Shown(), std::vector<int>{4});
  tray_->AddToTray(Items({6}), nullptr);
  EXPECT_EQ(Shown(), std::vector<int>{6});
  {
    const TAlbumItem* entry = tray_->TrayAlbum()->FindEntry(items_[6]);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->OrderNumber, 0);
  }
  tray_->SetTrayMode(tmJacket);
  EXPECT_EQ(Shown(), std::vector<int>{6});
  tray_->SetTrayMode(tmBodyIcon);
  EXPECT_TRUE(tray_->Items().empty());
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("アイコンを変更"));
  tray_->SetTrayMode(tmContents);
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("プルモラの作成"));
  tray_->SetBookId("B0042");
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("プルモラに追加"));
  // The book album is the child of "アルバム" named by the id, found without regard to case.
  ASSERT_NE(tray_->BookAlbum(), nullptr);
  EXPECT_EQ(tray_->BookAlbum()->Parent(), albums_.Root(atAlbum));
  TAlbum* book = tray_->BookAlbum();
  tray_->SetBookId("b0042");
  EXPECT_EQ(tray_->BookAlbum(), book);
  tray_->SetBookId("");
  EXPECT_EQ(tray_->BookAlbum(), nullptr);
}

TEST_F(FrameTrayTest, MoviesAreTurnedAwayWithOneNotice) {
  fs::copy_file(folderPath_ + "/p00.jpg", folderPath_ + "/clip.avi");
  TExtItems withMovies;
  withMovies.Build(kCatalogKinds, ".avi", "");
  ASSERT_TRUE(ScanFolderTree(folder_, withMovies).empty());
  TCatalogItem* movie = folder_->FindItem("clip.avi");
  ASSERT_NE(movie, nullptr);
  ASSERT_EQ(movie->Kind(), fkMovie);
  EXPECT_TRUE(tray_->AddToTray({items_[0], movie, items_[1]}, nullptr));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1}));
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_EQ(told_[0].kind, TFrameTray::TMessageKind::kInformation);
  EXPECT_EQ(told_[0].text, QString::fromUtf8(kTrayMovieMessage));
  // Only a movie: nothing is added, and the answer says so.
  EXPECT_FALSE(tray_->AddToTray({movie}, nullptr));
  EXPECT_EQ(told_.size(), 2u);
  EXPECT_FALSE(tray_->IsInTray(movie));
}

TEST_F(FrameTrayTest, StartChecksRefuseWithTheirTextsAndLeaveMissingFilesOut) {
  tray_->AddToTray(First(4), nullptr);
  tray_->SetCounts(0, 100);
  tray_->StartUpload();
  EXPECT_FALSE(tray_->IsUploading());
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_EQ(told_[0].kind, TFrameTray::TMessageKind::kError);
  EXPECT_EQ(told_[0].text, QStringLiteral("新しいプルモラを作成するためには\r\n5枚以上の写真をアップロードする必要があります。"));

  // Rest 3 with 5 photos: 2 to take out, "登録" for a new book, "追加" for an existing one.
  tray_->AddToTray(Items({4}), nullptr);
  tray_->SetCounts(0, 3);
  tray_->StartUpload();
  EXPECT_EQ(LastText(), QStringLiteral("プルモラに登録できる枚数を越えてます。\r\n\r\nトレイから写真を2枚、出してください。"));
  tray_->SetBookId("B0001");
  tray_->SetCounts(10, 3);
  tray_->StartUpload();
  EXPECT_EQ(LastText(), QStringLiteral("プルモラに追加できる枚数を越えてます。\r\n\r\nトレイから写真を2枚、出してください。"));

  // Missing files do not count: a tray of only missing files has nothing to upload for an
  // existing book, and too few photos for a new one.
  const size_t before = told_.size();
  for (TCatalogItem* item : Items({0, 1, 2, 3, 4})) item->SetState(cisMissing);
  tray_->StartUpload();
  EXPECT_EQ(told_.size(), before + 1);
  EXPECT_EQ(LastText(), QStringLiteral("アップロードする写真がありません。"));
  tray_->SetBookId("");
  tray_->StartUpload();
  EXPECT_EQ(LastText(), QStringLiteral("新しいプルモラを作成するためには\r\n5枚以上の写真をアップロードする必要があります。"));
  EXPECT_FALSE(tray_->IsUploading());
  // The tray keeps what it held.
  EXPECT_EQ(tray_->Items().size(), 5u);
}

TEST_F(FrameTrayTest, TheHoverButtonTakesThePhotoUnderThePointerOut) {
  tray_->AddToTray(Items({0, 1, 2}), nullptr);
  test::PumpFor(50);
  QWidget* viewport = tray_->Grid()->Grid()->viewport();
  const QRect box = tray_->Grid()->ItemRect(items_[1]);
  QMouseEvent move(QEvent::MouseMove, QPointF(box.center()), viewport->mapToGlobal(QPointF(box.center())),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  ASSERT_TRUE(tray_->HoverButton()->isVisible());
  EXPECT_TRUE(box.contains(tray_->HoverButton()->geometry()));
  EXPECT_EQ(tray_->HoverButton()->toolTip(), QStringLiteral("トレイから出す"));
  tray_->HoverButton()->click();
  EXPECT_EQ(Shown(), (std::vector<int>{0, 2}));
  EXPECT_FALSE(tray_->HoverButton()->isVisible());
  // With a selection the selected photos go together.
  tray_->Grid()->SelectItem(items_[0]);
  tray_->Grid()->SelectItem(items_[2], true);
  tray_->HoverClicked(items_[2]);
  EXPECT_TRUE(tray_->Items().empty());
}

TEST_F(FrameTrayTest, TheTrayWritesItsActionsAndRefusalsToTheOperationLog) {
  TPlumoraOperationLog::Options options;
  options.log_folder = test::TestRoot() + "/pol";
  fs::create_directories(options.log_folder);
  options.version = "1.0.0.0";
  options.machine_user_ids = [] { return std::string("PLB:M-1:MU-1"); };
  DAL_InitializeWith(options);
  tray_->DragDrop()->Drop(Items({0, 1}), QPoint(-10, -10));
  tray_->Grid()->SelectItem(items_[0]);
  tray_->RemoveButton()->click();
  tray_->ClearButton()->click();
  tray_->SetUploadEnabled(true);
  tray_->UploadButton()->click();  // an empty tray: refused
  ASSERT_EQ(told_.size(), 1u);
  DAL_AddShutdownLog();
  DAL_Finalize();
  std::string log;
  for (const auto& entry : fs::directory_iterator(options.log_folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    log.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (const std::string& expected :
       {std::string(R"x(name="FrameTray.DropFiles" caption="(2)")x"),
        std::string(R"x(name="FrameTray.BtnRemoveItem" caption="トレイから出す")x"),
        std::string(R"x(name="FrameTray.BtnClearItems" caption="トレイをクリア")x"),
        std::string(R"x(name="FrameTray.StartUpload" caption="プルモラの作成")x"),
        "systemactioncode=\"" + POLSystemActionText(3) + "\""}) {
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log;
  }
}

TEST_F(FrameTrayTest, AGroupUploadWithNoRoomOnlyEmptiesTheTray) {
  tray_->AddToTray(First(3), nullptr);
  tray_->SetCounts(10, 0);
  tray_->StartGroupUpload(First(8), false, "p", 2);
  EXPECT_TRUE(tray_->Items().empty());
  EXPECT_FALSE(tray_->IsUploading());
  EXPECT_TRUE(told_.empty());
}

}  // namespace
}  // namespace plb::shell::test_tray
