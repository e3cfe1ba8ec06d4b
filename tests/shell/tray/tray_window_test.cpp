// The tray in the main window: the "トレイ" actions on the catalog's selection and their enabled
// states, photos dropped from the catalog onto the tray, the window's tray configuration, and a
// refused session that ends on the service's page after the login message.
#include <gtest/gtest.h>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPushButton>
#include <QSplitter>

#include "service/api/plumora_api_params.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/item_drag.h"
#include "shell/library/library_page.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main_window.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/tray/tray_actions.h"
#include "shell/tray/tray_rules.h"
#include "tray_window_fixture.h"

namespace plb::shell::test_tray {
namespace {

class TrayWindowTest : public TrayWindowFixture {
 protected:
  void SetUp() override {
    OpenWindow(8, QRect(0, 0, 1100, 760), [](TPlumoraApiParamValues& v) { v.rest_photo_count = 0; });
  }
  QAction* Action(const char* name) const { return window_->findChild<QAction*>(name); }
};

TEST_F(TrayWindowTest, TheTrayActionsWorkOnTheCatalogsSelection) {
  QAction* in = Action("AcTrayIn");
  QAction* out = Action("AcTrayOut");
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->text(), QStringLiteral("トレイに入れる"));
  EXPECT_EQ(in->shortcut(), QKeySequence(Qt::Key_F9));
  EXPECT_EQ(out->text(), QStringLiteral("トレイから出す"));
  EXPECT_EQ(out->shortcut(), QKeySequence(Qt::Key_F10));
  TFrameCatalogDG* catalog = window_->Library()->Catalog();
  // The catalog's context menu offers both.
  EXPECT_TRUE(catalog->Grid()->actions().contains(in));
  EXPECT_TRUE(catalog->Grid()->actions().contains(out));

  catalog->SelectItem(items_[2]);
  EXPECT_TRUE(in->isEnabled());
  EXPECT_FALSE(out->isEnabled());
  in->trigger();
  EXPECT_TRUE(inWindow_->IsInTray(items_[2]));
  window_->RefreshActions();
  EXPECT_TRUE(out->isEnabled());
  EXPECT_TRUE(Action("AcTrayClear")->isEnabled());
  out->trigger();
  EXPECT_FALSE(inWindow_->IsInTray(items_[2]));

  // The upload action and the tray's button need a session and room in the book.
  QAction* upload = Action("AcTrayUpload");
  ASSERT_NE(upload, nullptr);
  EXPECT_EQ(upload->text(), QStringLiteral("アップロード"));
  EXPECT_FALSE(upload->isEnabled());
  EXPECT_FALSE(inWindow_->UploadButton()->isEnabled());
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.rest_photo_count = 20; });
  window_->RefreshActions();
  EXPECT_TRUE(upload->isEnabled());
  EXPECT_TRUE(inWindow_->UploadButton()->isEnabled());
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.session_id.clear(); });
  window_->RefreshActions();
  EXPECT_FALSE(upload->isEnabled());
}

TEST_F(TrayWindowTest, PhotosDroppedFromTheCatalogGoBeforeThePhotoUnderThePoint) {
  inWindow_->AddToTray(Items({0, 1}), nullptr);
  test::PumpFor(50);
  QWidget* viewport = inWindow_->Grid()->Grid()->viewport();
  const QPoint onSecond = inWindow_->Grid()->ItemRect(items_[1]).center();
  TItemMimeData data(folder_, 0, Items({5, 6}));
  QDragEnterEvent enter(onSecond, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(onSecond), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  EXPECT_EQ(Shown(inWindow_), (std::vector<int>{0, 5, 6, 1}));
  // Other data is turned away.
  QMimeData text;
  text.setText("p00.jpg");
  QDragEnterEvent other(onSecond, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &other);
  EXPECT_FALSE(other.isAccepted());
}

TEST_F(TrayWindowTest, TheWindowConfiguresTheTrayAndARefusedSessionEndsOnTheServicePage) {
  inWindow_->AddToTray(First(5), nullptr);
  TPlumoraApiParamValues values = PlumoraApiParams().Snapshot();
  values.rest_photo_count = 20;
  window_->ConfigureTray(values, 0);
  EXPECT_EQ(window_->TrayMode(), 0);
  EXPECT_EQ(inWindow_->Items().size(), 5u);
  EXPECT_EQ(inWindow_->RestCount(), 20);

  service_->Configure({{"sessions", "strict"}});
  window_->Tray()->Tray()->StartUpload();
  ASSERT_TRUE(inWindow_->IsUploading());
  EXPECT_TRUE(window_->Dispatcher().Uploading());
  // Meanwhile the page cannot change.
  window_->ShowPage(0, 0);
  EXPECT_EQ(window_->CurrentPage(), 1);
  ASSERT_TRUE(test::PumpUntil([&] { return !inWindow_->IsUploading(); }, 60000));
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_EQ(told_[0].text, QString::fromUtf8(TrayLoginMessage(false)));
  EXPECT_FALSE(window_->Dispatcher().Uploading());
  EXPECT_EQ(inWindow_->Items().size(), 5u);
  // The login page is the service's default page, shown by the queued command.
  EXPECT_TRUE(test::PumpUntil([&] { return window_->CurrentPage() == 0; }, 30000));

  // A change of mode from a command empties the tray.
  window_->ConfigureTray(values, 2);
  EXPECT_EQ(window_->TrayMode(), 2);
  EXPECT_TRUE(inWindow_->Items().empty());
}

TEST_F(TrayWindowTest, TheDisplayBitsOfACommandShowFoldAndHideTheTray) {
  TPlumoraApiParamValues values = PlumoraApiParams().Snapshot();
  TFramePlumoraTray* panel = window_->Tray();
  ASSERT_TRUE(window_->Dispatcher().TrayShown());
  EXPECT_TRUE(panel->isVisible());
  values.tray_request = 9;  // "fold"
  window_->ApplyDisplay(values);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->Folded());
  EXPECT_TRUE(window_->Dispatcher().TrayShown());
  values.tray_request = 10;  // "disable"
  window_->ApplyDisplay(values);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(window_->Dispatcher().TrayShown());
  // The splitter above the tray goes with it.
  EXPECT_EQ(qobject_cast<QSplitter*>(panel->parentWidget())->handleWidth(), 0);
  values.tray_request = 5;  // "enable"
  window_->ApplyDisplay(values);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_FALSE(panel->Folded());
  EXPECT_TRUE(window_->Dispatcher().TrayShown());
  EXPECT_EQ(qobject_cast<QSplitter*>(panel->parentWidget())->handleWidth(), 4);
}

}  // namespace
}  // namespace plb::shell::test_tray
