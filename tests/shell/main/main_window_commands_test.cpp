// The main window as its commands, its settings and its close query see it: real widgets,
// offscreen, the library page without an engine (no web home unless a test asks for it).
#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>

#include "engine/views/sorted_item_list.h"
#include "host/plumora_config_item.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "service/upload/plumora_uploader.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main/page_tabs.h"
#include "shell/main/window_settings.h"
#include "shell/main_window.h"
#include "shell/qt_test_app.h"
#include "shell/web/frame_plumora_home.h"

namespace plb::shell {
namespace {

struct MainWindowFixture : ::testing::Test {
  MainWindowFixture() {
    test::QtApp();
    // The process-wide store: a start without a page to show.
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }
  ~MainWindowFixture() override {
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }
};

// The design's view that the library session sets before the user's settings come in.
void DesignView(TPlumoraMain2& window) {
  window.Library()->Catalog()->SetGroupByDay(true);
  window.Library()->Catalog()->SetSortOrder(skShootingDate, true);
}

TEST_F(MainWindowFixture, TheUsersChoicesComeBackInTheNextWindowAndTheDesignStaysWithoutThem) {
  {
    // A first start: nothing stored, the design's view stays.
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    TPlumoraMain2 window("Plumora");
    DesignView(window);
    window.UseSettings(&config);
    EXPECT_TRUE(window.Library()->Catalog()->GroupByDay());
    EXPECT_EQ(window.Library()->Catalog()->SortKey(), skShootingDate);
    EXPECT_TRUE(window.Library()->Catalog()->Ascending());
    window.show();
    // The user's choices.
    window.Library()->setSizes({263, 700});
    TFrameCatalogDG* catalog = window.Library()->Catalog();
    catalog->SetSortOrder(skFileName, false);
    catalog->SetGroupByDay(false);
    catalog->SetThumbnailSize(360);
    window.showMaximized();
    ASSERT_TRUE(window.close());
    config.SaveToRegistry();
  }
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  TPlumoraMain2 window("Plumora");
  DesignView(window);
  window.UseSettings(&config);
  window.show();
  test::PumpFor(20);
  TFrameCatalogDG* catalog = window.Library()->Catalog();
  EXPECT_EQ(catalog->SortKey(), skFileName);
  EXPECT_FALSE(catalog->Ascending());
  EXPECT_FALSE(catalog->GroupByDay());
  EXPECT_EQ(catalog->ThumbnailSize(), 360);
  EXPECT_EQ(window.Library()->sizes().value(0), 263);
  EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
  window.close();
}

TEST(WindowPlacementTest, TheRecordRoundTripsAndABadRecordIsRefused) {
  const TWindowPlacement placement{true, QRect(-20, 30, 900, 700)};
  const std::string record = EncodeWindowPlacement(placement);
  ASSERT_EQ(record.size(), 44u);
  const auto back = DecodeWindowPlacement(record);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->maximized);
  EXPECT_EQ(back->normal, placement.normal);
  EXPECT_FALSE(DecodeWindowPlacement(record.substr(0, 40)));
  EXPECT_FALSE(DecodeWindowPlacement(EncodeWindowPlacement({false, QRect()})));
  std::string huge = record;
  huge[39] = 0x7F;  // right edge far beyond any screen
  EXPECT_FALSE(DecodeWindowPlacement(huge));
  // Outside the work area: moved in, and shrunk when larger.
  EXPECT_EQ(MoveIntoArea(QRect(-20, 30, 900, 700), QRect(0, 0, 1920, 1080)), QRect(0, 30, 900, 700));
  EXPECT_EQ(MoveIntoArea(QRect(1500, 900, 900, 700), QRect(0, 0, 1920, 1080)), QRect(1020, 380, 900, 700));
  EXPECT_EQ(MoveIntoArea(QRect(0, 0, 3000, 2000), QRect(0, 0, 1920, 1080)), QRect(0, 0, 1920, 1080));
}

TEST_F(MainWindowFixture, ClosingDuringAnUploadAsksCancelsAndClosesWhenTheUploadHasEnded) {
  TPlumoraMain2 window("Plumora");
  std::vector<QString> asked;
  bool answer = false;
  window.SetQuestionBox([&](const QString& text) {
    asked.push_back(text);
    return answer;
  });
  window.show();
  TPlumoraUploader upload;
  window.UploadStarted(&upload);

  // No: the window stays and the upload goes on.
  EXPECT_FALSE(window.close());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], TPlumoraMain2::kUploadingCloseQuestion);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(upload.Cancelled());
  EXPECT_TRUE(window.Active());

  // The page's own text is asked when it has one. Yes: the upload is cancelled, and the window
  // closes only once the upload has ended.
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.uploading_message = "送信中です。終了しますか？"; });
  answer = true;
  EXPECT_FALSE(window.close());
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], QString::fromUtf8("送信中です。終了しますか？"));
  EXPECT_TRUE(upload.Cancelled());
  EXPECT_TRUE(window.isVisible());
  window.UploadEnded(false, "");
  EXPECT_TRUE(test::PumpUntil([&] { return !window.isVisible(); }, 5000));
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(window.Active());
}

TEST_F(MainWindowFixture, WhileUploadingThePageCancelActsAndPagesStay) {
  TPlumoraMain2 window("Plumora");
  window.show();
  TPlumoraUploader upload;
  window.UploadStarted(&upload);
  window.EnqueueCommand("command=closedialog");
  window.EnqueueCommand("mode=cancelupload");
  EXPECT_TRUE(test::PumpUntil([&] { return upload.Cancelled(); }, 5000));
  // The other command waits for the upload's end.
  EXPECT_EQ(window.Dispatcher().Queue().size(), 1u);
  // No page change while uploading, so the web home is not even made.
  window.ShowPage(0, 0);
  EXPECT_EQ(window.CurrentPage(), 1);
  QAction* service = window.findChild<QAction*>("AcShowWWW");
  ASSERT_NE(service, nullptr);
  service->trigger();
  EXPECT_FALSE(service->isChecked());
  EXPECT_EQ(window.CurrentPage(), 1);
  EXPECT_EQ(window.findChild<TFramePlumoraHome*>(), nullptr);
  // After the upload, pages change again: the waiting command ran, and the music page comes.
  window.UploadEnded(false, "");
  window.EnqueueCommand("mode=startappendplumorabgm");
  EXPECT_TRUE(test::PumpUntil([&] { return window.Dispatcher().Queue().empty(); }, 5000));
  EXPECT_EQ(window.CurrentPage(), 2);
}

}  // namespace
}  // namespace plb::shell

namespace plb::shell {
namespace {

TEST_F(MainWindowFixture, TheLogPanelAppearsOnAskAndShowsTheCommandsThatFollow) {
  TPlumoraMain2 window("Plumora");
  window.show();
  EXPECT_EQ(window.LogPanel(), nullptr);
  window.EnqueueCommand("mode=hiddencreateplumora,displogwindow=enable");
  window.EnqueueCommand("command=closedialog,n=1");
  ASSERT_TRUE(test::PumpUntil([&] { return window.Dispatcher().Queue().empty() && !window.Dispatcher().Armed(); }, 5000));
  ASSERT_NE(window.LogPanel(), nullptr);
  EXPECT_TRUE(window.LogPanel()->isVisible());
  auto* memo = qobject_cast<QPlainTextEdit*>(window.LogPanel());
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->toPlainText().contains("command=closedialog,n=1"));
  window.EnqueueCommand("mode=hiddencreateplumora,displogwindow=disable");
  ASSERT_TRUE(test::PumpUntil([&] { return !window.LogPanel()->isVisible(); }, 5000));
}

TEST(NavigationErrorCommandTest, TheLastFailuresPageWhileCheckingElseTheNetworkErrorPage) {
  TPlumoraErrorCommand& table = PlumoraErrorCommand();
  table.Clear();
  EXPECT_EQ(NavigationErrorCommand(), "");
  table.Add("networkError", "", "mode=disppage,url=http://h/neterr");
  EXPECT_EQ(NavigationErrorCommand(), "mode=disppage,url=http://h/neterr");
  table.Add("serverError", "503", "mode=disppage,url=http://h/503");
  table.SetLastFailure("serverError", "503");
  EXPECT_EQ(NavigationErrorCommand(), "mode=disppage,url=http://h/503");
  // The user switched the network check off: the network error page only.
  table.SetNetworkCheck(false);
  EXPECT_EQ(NavigationErrorCommand(), "mode=disppage,url=http://h/neterr");
  table.Clear();
}

// The title area's tabs: a click shows the page (and is undone when the page may not change), and
// the service's tab flags choose which tabs show.
TEST_F(MainWindowFixture, ThePageTabsSwitchPagesAndFollowTheTabFlags) {
  TPlumoraMain2 window("Plumora");
  window.show();
  TPageTabs* tabs = window.Tabs();
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->tabText(0), QStringLiteral("プルモラ.net"));
  EXPECT_EQ(tabs->tabText(1), QStringLiteral("フォトライブラリ"));
  EXPECT_EQ(tabs->currentIndex(), 1);
  QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
  EXPECT_EQ(window.CurrentPage(), 0);
  EXPECT_EQ(tabs->currentIndex(), 0);

  TPlumoraUploader upload;
  window.UploadStarted(&upload);
  QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
  EXPECT_EQ(window.CurrentPage(), 0) << "no page change while uploading";
  EXPECT_EQ(tabs->currentIndex(), 0);
  window.UploadEnded(false, "");

  const struct {
    int flags;
    bool bar, service, library;
  } cases[] = {{7, true, true, true}, {6, true, true, true}, {5, true, false, true},
               {2, true, true, false}, {0, false, false, false}, {8, false, false, false}};
  for (const auto& c : cases) {
    TPlumoraApiParamValues values = PlumoraApiParams().Snapshot();
    values.tab_flags = c.flags;
    window.ApplyDisplay(values);
    EXPECT_EQ(tabs->isVisible(), c.bar) << c.flags;
    EXPECT_EQ(tabs->isTabVisible(0), c.service) << c.flags;
    EXPECT_EQ(tabs->isTabVisible(1), c.library) << c.flags;
  }
  window.close();
}

}  // namespace
}  // namespace plb::shell
