// The main window on a library made like the demo one: the user's pictures folder holds real
// photos, the engine runs with its watchers, the first start registers the folder, the updater
// brings the photos in, the calendar fills and the grid draws their thumbnails. The window is
// saved as a PNG in the build tree for people to look at.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QUrl>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <filesystem>

#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/ostra_engine.h"
#include "host/date_time.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "images/codec/image_load.h"
#include "platform/ui_dispatcher.h"
#include "shell/qt_test_app.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/library/library_session.h"
#include "shell/main_window.h"
#include "shell/viewer/photo_viewer.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

// The sample photos of the test data, as a user's pictures folder.
int MakePicturesFolder(const std::string& pictures) {
  fs::create_directories(pictures);
  int n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(test::TestDataDir() + "/exif-samples/jpg")) {
    if (!entry.is_regular_file() || entry.path().extension() != ".jpg") continue;
    if (entry.path().parent_path().filename() == "invalid") continue;
    fs::copy_file(entry.path(), pictures + "/" + entry.path().filename().string(), fs::copy_options::skip_existing);
    ++n;
  }
  return n;
}

TEST(LibraryWindowTest, FirstStartFillsTheCalendarAndTheGridDrawsThumbnails) {
  test::QtApp();
  QtUiDispatcher dispatcher;
  platform::ScopedUiDispatcher installed(dispatcher);
  const std::string home = getenv("HOME");
  const int photos = MakePicturesFolder(home + "/Pictures");
  ASSERT_GT(photos, 20);

  InstallEngineImageCache();
  InstallCatalogImageReader();
  TOstraEngine engine;
  engine.Start();
  engine.StartWatchers();
  {
    TPlumoraMain2 window("Plumora Browser");
    window.resize(1100, 760);
    window.show();
    TLibrarySession session(engine, window);
    session.Start();
    TFrameCatalogDG* grid = window.Library()->Catalog();
    EXPECT_EQ(grid->CurrentFolder(), engine.Calendar());

    // The calendar fills while the updater reads the photos' dates; the grid follows.
    ASSERT_TRUE(test::PumpUntil([&] { return grid->ShownItems().size() >= 20u; }, 60000)) << grid->ShownItems().size();
    EXPECT_GT(window.Library()->CalendarTree()->topLevelItemCount(), 0);
    // Thumbnails arrive for what is on screen.
    auto drawn = [&] {
      const QImage shot = grid->Grid()->viewport()->grab().toImage();
      int pictures = 0, cells = 0;
      for (TCatalogItem* item : grid->RequestWindow()) {
        const QRect cell = grid->ItemRect(item);
        if (cell.isEmpty() || !grid->Grid()->viewport()->rect().contains(cell)) continue;
        const TGridGeometry& g = grid->Geometry();
        const QRect box(cell.left() + g.box.left, cell.top() + g.box.top, g.box.width, g.box.height);
        ++cells;
        if (test::ShowsPicture(shot, box)) ++pictures;
      }
      return cells > 0 && pictures == cells;
    };
    const bool allDrawn = test::PumpUntil(drawn, 60000);
    test::PumpFor(300);
    const QString artifacts = QString::fromStdString(test::BinaryDir()) + "/test-artifacts";
    QDir().mkpath(artifacts);
    const QString png = artifacts + "/library_window.png";
    ASSERT_TRUE(window.grab().save(png));
    EXPECT_TRUE(allDrawn) << "see " << png.toStdString();

    // The pictures folder from the folder tree: every photo in name order, densely.
    TFolder* pictures = engine.Folders()->FindFolderOf(fs::canonical(home + "/Pictures").string());
    ASSERT_NE(pictures, nullptr);
    QAction* grouping = window.findChild<QAction*>("AcShowAlwaysTitleRow");
    ASSERT_NE(grouping, nullptr);
    EXPECT_TRUE(grouping->isChecked());
    grouping->trigger();  // off: one run of cells in name order
    window.findChild<QAction*>("AcSortName")->trigger();
    window.Library()->ShowFolder(pictures);
    EXPECT_EQ(grid->CurrentFolder(), pictures);
    EXPECT_EQ(grid->ShownItems().size(), static_cast<size_t>(photos));
    const bool folderDrawn = test::PumpUntil(drawn, 60000);
    test::PumpFor(300);
    const QString folderPng = artifacts + "/library_folder.png";
    ASSERT_TRUE(window.grab().save(folderPng));
    EXPECT_TRUE(folderDrawn) << "see " << folderPng.toStdString();

    // Back through the history returns to the calendar, forward to the folder.
    ASSERT_NE(engine.History(), nullptr);
    EXPECT_EQ(engine.History()->Current(), pictures);
    window.findChild<QAction*>("AcJumpHistoryPrev")->trigger();
    EXPECT_EQ(grid->CurrentFolder(), engine.Calendar());
    // Without grouping the calendar's band is dated by its first photo (not the day zero).
    grid->SetFolderHeader(true);
    grid->Grid()->viewport()->repaint();
    QString bandLabel;
    const QMetaObject::Connection band = QObject::connect(
        grid, &TFrameCatalogDG::bandButtonPressed,
        [&](const std::vector<TCatalogItem*>&, const QString& label, int, int) { bandLabel = label; });
    const QRect albumButton = grid->BandButtonArea(0, 1);
    ASSERT_FALSE(albumButton.isEmpty());
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent click(type, QPointF(albumButton.center()), grid->Grid()->viewport()->mapToGlobal(QPointF(albumButton.center())),
                        Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(grid->Grid()->viewport(), &click);
    }
    QObject::disconnect(band);
    EXPECT_EQ(bandLabel.toStdString(), FormatDateTime("yyyy-mm-dd", grid->ShownItems().front()->ShootingDate()));
    EXPECT_NE(bandLabel, QStringLiteral("1899-12-30"));
    grid->SetFolderHeader(false);
    window.findChild<QAction*>("AcJumpHistoryNext")->trigger();
    EXPECT_EQ(grid->CurrentFolder(), pictures);

    // A photo copied into the folder arrives with the next updater pass that 更新 asks for.
    fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Nikon_D70.jpg", home + "/Pictures/0000_new.jpg");
    window.findChild<QAction*>("AcShowUpdate")->trigger();
    ASSERT_TRUE(test::PumpUntil([&] { return grid->ShownItems().size() == static_cast<size_t>(photos + 1); }, 20000))
        << (pictures->FindItem("0000_new.jpg") != nullptr) << " " << pictures->ItemCount() << " "
        << grid->ShownItems().size() << " " << FileUpdaterRunning();
    EXPECT_EQ(grid->ShownItems().front()->FileName(), "0000_new.jpg");

    // The viewer opens on a photo and steps through the shown items.
    TCatalogItem* first = grid->CurrentItem();
    ASSERT_NE(first, nullptr);
    window.Library()->OpenViewer(first);
    EXPECT_TRUE(window.Library()->ViewerShown());
    EXPECT_FALSE(window.Library()->Viewer()->Picture().isNull())
        << window.Library()->Viewer()->ErrorText().toStdString();
    window.Library()->Viewer()->Next();
    EXPECT_NE(window.Library()->Viewer()->Item(), first);
    window.Library()->Viewer()->Previous();
    EXPECT_EQ(window.Library()->Viewer()->Item(), first);
    window.Library()->CloseViewer();
    EXPECT_FALSE(window.Library()->ViewerShown());

    // The window's actions: F6 goes to the viewer and, on the other action, back; the size
    // actions set the grid's size.
    auto action = [&window](const char* name) {
      QAction* a = window.findChild<QAction*>(name);
      EXPECT_NE(a, nullptr) << name;
      return a;
    };
    action("AcShowViewer")->trigger();
    EXPECT_TRUE(window.Library()->ViewerShown());
    EXPECT_EQ(action("AcShowMain")->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_TRUE(action("AcShowViewer")->shortcut().isEmpty());
    action("AcShowMain")->trigger();
    EXPECT_FALSE(window.Library()->ViewerShown());
    action("AcCsMiddle")->trigger();
    EXPECT_EQ(grid->ThumbnailSize(), 240);
    bool updateAsked = false;
    QObject::connect(&window, &TPlumoraMain2::updateRequested, [&updateAsked] { updateAsked = true; });
    action("AcShowUpdate")->trigger();
    EXPECT_TRUE(updateAsked);

    // The folder panel's "カレンダーから外す" takes the folder's photos out of the calendar with the
    // next pass, keeping them in the folder; "カレンダーへ登録" brings them back.
    ASSERT_TRUE(window.Library()->FolderTree()->SelectNode(pictures));
    const int32_t inCalendar = engine.Calendar()->TotalItemCount();
    ASSERT_GT(inCalendar, 0);
    QAction* out = action("AcFolderCalendarOut");
    EXPECT_EQ(out->text(), QStringLiteral("カレンダーから外す"));
    ASSERT_TRUE(out->isEnabled());
    out->trigger();
    EXPECT_EQ(pictures->GetCalendarMode(), 2);
    EXPECT_TRUE(test::PumpUntil([&] { return engine.Calendar()->TotalItemCount() == 0; }, 30000))
        << engine.Calendar()->TotalItemCount();
    EXPECT_EQ(pictures->ItemCount(), photos + 1) << "the folder keeps its photos";
    action("AcFolderCalendarIn")->trigger();
    EXPECT_EQ(pictures->GetCalendarMode(), 1);
    EXPECT_TRUE(test::PumpUntil([&] { return engine.Calendar()->TotalItemCount() == inCalendar; }, 30000))
        << engine.Calendar()->TotalItemCount();

    // A folder dropped on the window from a file manager joins the calendar with the next pass.
    const std::string trip = home + "/Trip";
    fs::create_directories(trip);
    fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", trip + "/a.jpg");
    fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Pentax_K10D.jpg", trip + "/b.jpg");
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(trip)),
                     QUrl::fromLocalFile(QString::fromStdString(trip + "/a.jpg"))});  // the file is left out
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    TFolder* tripFolder = engine.Folders()->FindFolderOf(fs::canonical(trip).string());
    ASSERT_NE(tripFolder, nullptr);
    EXPECT_EQ(tripFolder->GetCalendarMode(), 1);
    EXPECT_TRUE(test::PumpUntil([&] { return engine.Calendar()->TotalItemCount() == inCalendar + 2; }, 30000))
        << engine.Calendar()->TotalItemCount();
    session.Stop();
    window.close();
  }
  engine.Stop();
}

}  // namespace
}  // namespace plb::shell
