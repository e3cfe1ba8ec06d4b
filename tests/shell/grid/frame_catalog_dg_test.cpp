// The catalog grid as a real widget (offscreen) on real photos: a folder's items in sort order
// with day bands, thumbnails made by the thumbnail maker and drawn, a photo added on disk, keys
// and clicks, and changes from the catalog-update bus.
#include "shell/grid/frame_catalog_dg.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "host/date_time.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/dates/exif_date_loader.h"
#include "platform/ui_dispatcher.h"
#include "shell/grid/thumbnail_pixmaps.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

const char* const kPhotos[] = {"Nikon_D70.jpg", "Kodak_CX7530.jpg", "Pentax_K10D.jpg", "Fujifilm_FinePix_E500.jpg",
                               "Nikon_COOLPIX_P1.jpg"};

std::string Numbered(const char* prefix, int n) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d.jpg", prefix, n);
  return name;
}

class FrameCatalogTest : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    dispatcher_ = std::make_unique<QtUiDispatcher>();
    installed_ = std::make_unique<platform::ScopedUiDispatcher>(*dispatcher_);
    InitializeCatalogUpdater();
    folderPath_ = fs::canonical(test::TestRoot()).string() + "/photos";
    fs::create_directories(folderPath_);
    for (const char* name : kPhotos) AddPhoto(name);
    table_.Build(kCatalogKinds);
    folder_ = trees_.FolderOf(folderPath_);
    ASSERT_NE(folder_, nullptr);
    trees_.SetUpdateHandler([this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) {
      if (frame_) frame_->FolderEvent(node, kind);
    });
    Scan();
    cache_.InitializeCatalog(0, test::TestRoot(), true, 64 << 20);
    frame_ = std::make_unique<TFrameCatalogDG>();
    frame_->resize(520, 420);  // five columns
    frame_->SetImageCache(&cache_);
    ASSERT_TRUE(frame_->ConnectCatalogUpdates());
  }

  void TearDown() override {
    if (maker_) maker_->Stop();
    frame_.reset();
    FinalizeCatalogUpdater();
  }

  void AddPhoto(const std::string& name, const std::string& as = "") {
    fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/" + name, folderPath_ + "/" + (as.empty() ? name : as));
  }
  void Scan() { ASSERT_TRUE(ScanFolderTree(folder_, table_).empty()); }
  void StartMaker() {
    maker_ = std::make_unique<TCacheImageMaker>(&cache_, 80, true);
    maker_->Start();
    frame_->SetThumbnailMaker(maker_.get());
  }
  TCatalogItem* Item(const std::string& name) { return folder_->FindItem(name); }
  std::vector<std::string> ShownNames() {
    std::vector<std::string> out;
    for (TCatalogItem* item : frame_->ShownItems()) out.push_back(item->FileName());
    return out;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(frame_->Grid(), &press);
  }
  void Click(TCatalogItem* item, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    ClickAt(frame_->ItemRect(item).center(), modifiers);
  }
  void ClickAt(const QPointF& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = frame_->Grid()->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      modifiers);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        modifiers);
    QApplication::sendEvent(viewport, &release);
  }

  std::unique_ptr<QtUiDispatcher> dispatcher_;
  std::unique_ptr<platform::ScopedUiDispatcher> installed_;
  std::string folderPath_;
  TExtItems table_;
  TFolderTreeList trees_;
  TFolder* folder_ = nullptr;
  TCatalogImageCacheMaster cache_;
  std::unique_ptr<TCacheImageMaker> maker_;
  std::unique_ptr<TFrameCatalogDG> frame_;
};

TEST_F(FrameCatalogTest, ShowsTheFolderInSortOrderWithDayBands) {
  frame_->show();
  frame_->ShowFolder(folder_);
  std::vector<std::string> names(std::begin(kPhotos), std::end(kPhotos));
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
  });
  EXPECT_EQ(ShownNames(), names);
  EXPECT_EQ(frame_->CurrentItem(), frame_->ShownItems().front());
  EXPECT_EQ(frame_->StatusText(), QString::fromUtf8("5 枚"));

  // Three photos of one day and two of the next, newest last: the second day starts a row.
  const double dayA = EncodeDate(2021, 5, 3), dayB = EncodeDate(2021, 5, 4);
  const double dates[] = {dayB + 0.5, dayA + 0.2, dayA + 0.3, dayB + 0.1, dayA + 0.9};
  for (size_t i = 0; i < std::size(kPhotos); ++i) Item(kPhotos[i])->SetShootingDate(dates[i]);
  frame_->SetSortOrder(skShootingDate, true);
  frame_->SetGroupByDay(true);
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kPhotos[1], kPhotos[2], kPhotos[4], kPhotos[3], kPhotos[0]}));
  const TGridLayout& layout = frame_->Layout();
  ASSERT_EQ(layout.Columns(), 5);
  EXPECT_EQ(layout.Rows(), 2);
  EXPECT_EQ(layout.CellItem(3), nullptr);
  EXPECT_EQ(layout.CellItem(5), Item(kPhotos[3]));
  EXPECT_TRUE(layout.HeaderRow(0));
  EXPECT_TRUE(layout.HeaderRow(1));
  EXPECT_EQ(layout.RowDay(1), static_cast<int64_t>(dayB));

  // The album button of the second band hands on that day's photos with the date as label.
  frame_->Grid()->viewport()->repaint();
  std::vector<TCatalogItem*> bandItems;
  QString bandLabel;
  int bandKind = 0, bandButton = -1;
  QObject::connect(frame_.get(), &TFrameCatalogDG::bandButtonPressed,
                   [&](const std::vector<TCatalogItem*>& items, const QString& label, int kind, int button) {
                     bandItems = items;
                     bandLabel = label;
                     bandKind = kind;
                     bandButton = button;
                   });
  const QRect albumButton = frame_->BandButtonArea(1, 1);
  ASSERT_FALSE(albumButton.isEmpty());
  TCatalogItem* before = frame_->CurrentItem();
  ClickAt(albumButton.center());
  EXPECT_EQ(bandItems, (std::vector<TCatalogItem*>{Item(kPhotos[3]), Item(kPhotos[0])}));
  EXPECT_EQ(bandLabel, QString("2021-05-04"));
  EXPECT_EQ(bandKind, 1);
  EXPECT_EQ(bandButton, 1);
  EXPECT_EQ(frame_->CurrentItem(), before);  // a band button is no cell
  frame_->SetRestricted(true);
  EXPECT_TRUE(frame_->BandButtonArea(1, 1).isEmpty());
  frame_->SetRestricted(false);

  // A rewritten shooting date moves the photo into its new band at the next tick.
  Item(kPhotos[4])->SetShootingDate(dayB + 0.7);
  frame_->QueueChange(Item(kPhotos[4]), cukShootingDateWritten);
  frame_->ApplyQueuedChanges();
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kPhotos[1], kPhotos[2], kPhotos[3], kPhotos[0], kPhotos[4]}));
  EXPECT_EQ(frame_->Layout().CellItem(2), nullptr);

  // Empty texts: the folder's, then none.
  frame_->ShowFolder(nullptr);
  EXPECT_EQ(frame_->EmptyText(), QString::fromUtf8("（表示できる写真はありません。）"));
  EXPECT_EQ(frame_->StatusText(), QString::fromUtf8("0 枚"));
}

TEST_F(FrameCatalogTest, TheDateLoaderCompletesDatesAndTheBandsFollow) {
  TExifDateLoaderEx loader;
  bool passChanged = false;
  loader.SetOnComplete([&](TExifDateLoaderEx*, bool changed) {
    passChanged = changed;
    if (changed) frame_->DatesLoaded();
  });
  ASSERT_TRUE(loader.Start());
  frame_->show();
  frame_->SetGroupByDay(true);
  frame_->SetSortOrder(skShootingDate, true);
  frame_->ShowFolder(folder_);
  frame_->SetDateLoader(&loader);
  EXPECT_EQ(frame_->Layout().Rows(), 1);  // no dates yet: one band
  ASSERT_TRUE(test::PumpUntil([&] { return passChanged; }, 20000));
  // Every sample was taken on another day: one band each, in shooting order.
  EXPECT_EQ(frame_->Layout().Rows(), 5);
  for (size_t i = 1; i < frame_->ShownItems().size(); ++i) {
    EXPECT_LT(frame_->ShownItems()[i - 1]->ShootingDate(), frame_->ShownItems()[i]->ShootingDate());
  }
  frame_->SetDateLoader(nullptr);
  loader.Stop();
}

TEST_F(FrameCatalogTest, ThumbnailsArriveAndAreDrawn) {
  StartMaker();
  frame_->show();
  frame_->ShowFolder(folder_);
  ASSERT_EQ(frame_->RequestWindow().size(), std::size(kPhotos));
  auto cached = [this] {
    for (TCatalogItem* item : frame_->ShownItems()) {
      Bitmap b;
      if (!cache_.ReadCatalogImage(item, &b, nullptr)) return false;
    }
    return true;
  };
  ASSERT_TRUE(test::PumpUntil(cached)) << maker_->Statistics().thumbsMade << " " << maker_->Statistics().sourceMade
                                       << " " << maker_->Statistics().failed << " " << maker_->ThumbsQueue().size()
                                       << " " << maker_->SourcePrimary().size() << " "
                                       << maker_->SourceSecondary().size();
  // The bus's thumbnail events reach the grid on its timer and repaint the cells.
  test::PumpFor(400);
  const QImage shot = frame_->Grid()->viewport()->grab().toImage();
  for (TCatalogItem* item : frame_->ShownItems()) {
    const QRect cell = frame_->ItemRect(item);
    const TGridGeometry& g = frame_->Geometry();
    const QRect box(cell.left() + g.box.left, cell.top() + g.box.top, g.box.width, g.box.height);
    EXPECT_GT(test::DistinctColours(shot, box.adjusted(10, 10, -10, -10)), 40) << item->FileName();
  }
}

// A thumbnail stored while its cell shows the placeholder is drawn at the very next paint, not
// after the update timer that gathers the changes that re-sort or lay out the grid.
TEST_F(FrameCatalogTest, ANewThumbnailIsDrawnAtTheNextPaint) {
  frame_->show();
  frame_->ShowFolder(folder_);
  TCatalogItem* item = frame_->ShownItems().front();
  const TGridGeometry& g = frame_->Geometry();
  auto showsPicture = [&] {
    const QRect cell = frame_->ItemRect(item);
    const QRect box(cell.left() + g.box.left, cell.top() + g.box.top, g.box.width, g.box.height);
    return test::ShowsPicture(frame_->Grid()->viewport()->grab().toImage(), box);
  };
  ASSERT_FALSE(showsPicture()) << "no thumbnail made yet";
  // A picture of many colours, stored as the thumbnail maker stores one.
  Bitmap picture(80, 60);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      uint8_t* p = picture.Row(y) + x * 3;
      p[0] = static_cast<uint8_t>(x * 3);
      p[1] = static_cast<uint8_t>(y * 4);
      p[2] = static_cast<uint8_t>((x * y) & 0xFF);
    }
  }
  ASSERT_TRUE(cache_.AddCatalogImage(item, &picture, 80));
  EXPECT_FALSE(showsPicture()) << "the cell keeps what it read until it hears of the new thumbnail";
  frame_->QueueChange(item, cukThumbnailStored);
  EXPECT_TRUE(showsPicture());
}

// Kept pixmaps are bounded by their memory: large thumbnails cannot pile up to gigabytes.
TEST_F(FrameCatalogTest, KeptThumbnailPixmapsStayWithinTheirMemoryBudget) {
  StartMaker();
  frame_->show();
  frame_->ShowFolder(folder_);
  ASSERT_TRUE(test::PumpUntil([this] {
    for (TCatalogItem* item : frame_->ShownItems()) {
      Bitmap b;
      if (!cache_.ReadCatalogImage(item, &b, nullptr)) return false;
    }
    return true;
  }));
  const TGridGeometry& g = frame_->Geometry();
  const QSize box(g.box.width, g.box.height);
  const int sizeClass = g.thumbnail;
  // Room for about two of them.
  TThumbnailPixmaps pixmaps(2 * (box.width() * box.height() * 4 / 1024 + 1));
  pixmaps.SetCache(&cache_);
  for (TCatalogItem* item : frame_->ShownItems()) {
    const TThumbnailPixmaps::Entry& entry = pixmaps.Lookup(item, sizeClass, box);
    EXPECT_FALSE(entry.pixmap.isNull()) << item->FileName();
    EXPECT_LE(pixmaps.KeptKiB(), pixmaps.BudgetKiB());
  }
  EXPECT_GT(pixmaps.KeptKiB(), 0);
  EXPECT_FALSE(pixmaps.Has(frame_->ShownItems().front(), sizeClass, box)) << "the oldest was let go";
  // One larger than the whole budget is still drawn, just not kept.
  TThumbnailPixmaps tiny(1);
  tiny.SetCache(&cache_);
  TCatalogItem* first = frame_->ShownItems().front();
  EXPECT_FALSE(tiny.Lookup(first, sizeClass, box).pixmap.isNull());
  EXPECT_FALSE(tiny.Has(first, sizeClass, box));
  EXPECT_EQ(tiny.KeptKiB(), 0);
}

TEST_F(FrameCatalogTest, APhotoAddedOnDiskAppearsAfterAnUpdate) {
  frame_->show();
  frame_->ShowFolder(folder_);
  ASSERT_EQ(frame_->ShownItems().size(), 5u);
  AddPhoto("Nikon_D70.jpg", "AAA_new.jpg");
  Scan();
  ASSERT_TRUE(test::PumpUntil([this] { return frame_->ShownItems().size() == 6u; }, 3000));
  EXPECT_EQ(frame_->ShownItems().front()->FileName(), "AAA_new.jpg");
  EXPECT_EQ(frame_->StatusText(), QString::fromUtf8("6 枚"));
}

TEST_F(FrameCatalogTest, KeysAndClicksMoveAndSelect) {
  frame_->resize(320, 420);  // three columns
  frame_->show();
  frame_->ShowFolder(folder_);
  const std::vector<TCatalogItem*> shown = frame_->ShownItems();
  ASSERT_EQ(frame_->Layout().Columns(), 3);
  Key(Qt::Key_Left);  // wraps to the last
  EXPECT_EQ(frame_->CurrentItem(), shown[4]);
  Key(Qt::Key_Right);  // and back to the first
  EXPECT_EQ(frame_->CurrentItem(), shown[0]);
  Key(Qt::Key_Down);  // one row down
  EXPECT_EQ(frame_->CurrentItem(), shown[3]);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[3], shown[4]}));

  Click(shown[1]);
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[1]}));
  Click(shown[4], Qt::ShiftModifier);
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[1], shown[2], shown[3], shown[4]}));
  Click(shown[2], Qt::ControlModifier);
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[1], shown[3], shown[4]}));
  EXPECT_EQ(frame_->CurrentItem(), shown[4]);

  // Selecting by a kind nobody has: a message, the selection unchanged.
  const std::string dialogs = test::TestRoot() + "/dialogs.txt";
  setenv("PLB_UNATTENDED_DIALOGS", dialogs.c_str(), 1);
  EXPECT_FALSE(frame_->SelectByKind(3));
  unsetenv("PLB_UNATTENDED_DIALOGS");
  std::ifstream in(dialogs);
  std::string line;
  std::getline(in, line);
  EXPECT_NE(line.find("印刷予約された写真はありません。"), std::string::npos);
  EXPECT_EQ(frame_->SelectedItems().size(), 3u);
  shown[0]->RaiseCounter();
  EXPECT_TRUE(frame_->SelectByKind(3));
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[0]}));
}

TEST_F(FrameCatalogTest, AnItemRemovedByTheBusStaysGone) {
  frame_->show();
  frame_->ShowFolder(folder_);
  TCatalogItem* gone = frame_->ShownItems()[1];
  TCatalogItem* moved = frame_->ShownItems()[2];
  frame_->SelectItem(gone);
  RaiseCatalogUpdateEvent(gone, cukMissing);
  RaiseCatalogUpdateEvent(moved, cukCopiedOrMoved);  // still in the folder: stays
  ASSERT_TRUE(test::PumpUntil([&] { return frame_->ShownItems().size() == 4u; }, 3000));
  test::PumpFor(300);
  EXPECT_EQ(frame_->Layout().CellOf(gone), -1);
  EXPECT_NE(frame_->Layout().CellOf(moved), -1);
  EXPECT_NE(frame_->CurrentItem(), gone);
  EXPECT_NE(frame_->CurrentItem(), nullptr);
  frame_->resize(300, 500);
  frame_->SetThumbnailSize(160);
  test::PumpFor(150);
  EXPECT_EQ(frame_->Layout().CellOf(gone), -1);
  EXPECT_EQ(frame_->ShownItems().size(), 4u);
}

TEST_F(FrameCatalogTest, ThePhotosPickedStayPickedWhileTheUpdaterReportsChanges) {
  frame_->resize(320, 420);
  frame_->show();
  frame_->ShowFolder(folder_);
  const std::vector<TCatalogItem*> shown = frame_->ShownItems();
  Click(shown[0]);
  Click(shown[3], Qt::ControlModifier);
  Click(shown[4], Qt::ControlModifier);
  // Another photo leaves the folder while the user is picking: the grid is laid out again.
  RaiseCatalogUpdateEvent(shown[1], cukMissing);
  ASSERT_TRUE(test::PumpUntil([&] { return frame_->ShownItems().size() == 4u; }, 3000));
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[0], shown[3], shown[4]}));
  EXPECT_EQ(frame_->CurrentItem(), shown[4]);
  // A picked photo that leaves takes only itself out of the selection.
  RaiseCatalogUpdateEvent(shown[3], cukMissing);
  ASSERT_TRUE(test::PumpUntil([&] { return frame_->ShownItems().size() == 3u; }, 3000));
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[0], shown[4]}));
  // A photo that arrives on disk lists the folder again.
  AddPhoto("Nikon_D70.jpg", "AAA_new.jpg");
  Scan();
  ASSERT_TRUE(test::PumpUntil([&] {
    const std::vector<TCatalogItem*> now = frame_->ShownItems();
    return std::any_of(now.begin(), now.end(), [](TCatalogItem* i) { return i->FileName() == "AAA_new.jpg"; });
  }, 3000));
  EXPECT_EQ(frame_->SelectedItems(), (std::vector<TCatalogItem*>{shown[0], shown[4]}));
  EXPECT_EQ(frame_->CurrentItem(), shown[4]);
}

TEST_F(FrameCatalogTest, BurstsOfUploadStateChangesRedrawCellsOrTheWholeGrid) {
  for (int i = 0; i < 7; ++i) AddPhoto("Nikon_D70.jpg", Numbered("copy", i));
  Scan();
  frame_->show();
  frame_->ShowFolder(folder_);
  ASSERT_EQ(frame_->ShownItems().size(), 12u);
  for (int i = 0; i < 9; ++i) frame_->QueueChange(frame_->ShownItems()[i], cukUploadStatusChanged);
  frame_->ApplyQueuedChanges();
  EXPECT_EQ(frame_->CellRedrawCount(), 9);
  EXPECT_EQ(frame_->FullRedrawCount(), 0);
  for (int i = 0; i < 10; ++i) frame_->QueueChange(frame_->ShownItems()[i], cukUploadStatusChanged);
  frame_->ApplyQueuedChanges();
  EXPECT_EQ(frame_->CellRedrawCount(), 9);
  EXPECT_EQ(frame_->FullRedrawCount(), 1);
}

TEST_F(FrameCatalogTest, SizeChangesAndTheRequestWindow) {
  for (int i = 0; i < 40; ++i) AddPhoto("Nikon_D70.jpg", Numbered("n", 100 + i));
  Scan();
  frame_->show();
  frame_->ShowFolder(folder_);
  const TGridLayout& layout = frame_->Layout();
  const int columns = layout.Columns();
  const int visibleRows = frame_->Grid()->viewport()->height() / frame_->Geometry().cellHeight;
  // The rows on screen (a partly shown one included) plus one.
  EXPECT_GE(static_cast<int>(frame_->RequestWindow().size()), columns * (visibleRows + 1));
  EXPECT_LE(static_cast<int>(frame_->RequestWindow().size()), columns * (visibleRows + 2));
  EXPECT_EQ(frame_->RequestWindow().front(), frame_->ShownItems().front());

  frame_->Grid()->verticalScrollBar()->setValue(static_cast<int>(layout.RowTop(3)));
  EXPECT_EQ(frame_->RequestWindow().front(), layout.CellItem(3 * columns));

  frame_->SetThumbnailSize(200);
  EXPECT_EQ(frame_->Geometry().cellWidth, 220);
  frame_->SetThumbnailSize(200);  // the same size again does nothing
  auto* small = frame_->findChild<QWidget*>("SmallSizeButton");
  ASSERT_NE(small, nullptr);
  QMetaObject::invokeMethod(small, "click");
  EXPECT_EQ(frame_->ThumbnailSize(), 80);
  auto* large = frame_->findChild<QWidget*>("LargeSizeButton");
  QMetaObject::invokeMethod(large, "click");
  EXPECT_EQ(frame_->ThumbnailSize(), 480);
}

// A size change asks the thumbnail maker once: when the cache holds the whole folder, one
// request for all of it with the screen's cells first; not the screen first and then everything.
TEST_F(FrameCatalogTest, ASizeChangeSendsOneThumbnailRequest) {
  // A cache that keeps thumbnails on disk, with room for the whole folder.
  TCatalogImageCacheMaster disk;
  fs::create_directories(test::TestRoot() + "/disk-thumbs");
  disk.InitializeCatalog(1, test::TestRoot() + "/disk-thumbs", true, 64 << 20);
  ASSERT_EQ(disk.Kind(), 1);
  frame_->SetImageCache(&disk);
  maker_ = std::make_unique<TCacheImageMaker>(&disk, 80, true);  // not started: nothing is made
  frame_->SetThumbnailMaker(maker_.get());
  frame_->show();
  frame_->ShowFolder(folder_);
  test::PumpFor(50);
  const int64_t before = maker_->Statistics().requests;
  const int32_t sizeBefore = maker_->SizeClass();
  frame_->SetThumbnailSize(240);
  ASSERT_TRUE(test::PumpUntil([&] { return maker_->Statistics().requests > before; }, 5000));
  test::PumpFor(600);  // the size timer has long fired
  EXPECT_EQ(maker_->Statistics().requests, before + 1);
  EXPECT_NE(maker_->SizeClass(), sizeBefore);
  frame_.reset();  // before the cache it draws from
  maker_.reset();
}

}  // namespace
}  // namespace plb::shell
