// The whole program as a user meets it, on a real X display (Xvfb) with the real browser engine
// and the local service: the service's home page in the window, "新しいプルモラを作る" on it,
// photos put into the tray by the menu and by dragging them with the pointer from the catalog,
// the upload with its progress on the page, the book's page afterwards with every photo in every
// size. A picture of each step is kept in <build>/test-artifacts/e2e.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QWebEnginePage>
#include <QProgressBar>
#include <QWebEngineView>
#include <algorithm>
#include <cstdlib>
#include <set>

#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main_window.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/tray/frame_tray.h"
#include "shell/web/frame_plumora_home.h"
#include "shell/tray/tray_window_fixture.h"
#include "support/run_command.h"

namespace plb::shell::test_tray {
namespace {

class ServicePagesTest : public TrayWindowFixture {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    // At the screen's corner: the pointer is moved in screen coordinates.
    OpenWindow(12, QRect(0, 0, 1200, 900), [](TPlumoraApiParamValues& v) {
      v.session_id.clear();  // the page signs in
    });
  }

  // Runs a script on the service page and waits for its answer.
  QVariant Page(const QString& script) {
    QVariant answer;
    bool done = false;
    window_->WebHome()->View()->page()->runJavaScript(script, [&](const QVariant& v) {
      answer = v;
      done = true;
    });
    EXPECT_TRUE(test::PumpUntil([&] { return done; }, 10000)) << script.toStdString();
    return answer;
  }
  bool PageHolds(const QString& condition, int ms = 20000) {
    return test::PumpUntil([&] { return Page(condition).toBool(); }, ms);
  }
  void Keep(const char* name) { EXPECT_TRUE(test::KeepPicture(*window_, "e2e", name)) << name; }

  // Drags with the real pointer: press on from, move a little (the drag starts), then to to, and
  // release. The drag runs its own event loop here while xdotool moves the pointer.
  void DragWithPointer(QWidget* from_widget, QPoint from, QWidget* to_widget, QPoint to) {
    const QPoint a = from_widget->mapToGlobal(from);
    const QPoint b = to_widget->mapToGlobal(to);
    const std::string script = "xdotool mousemove --sync " + std::to_string(a.x()) + " " + std::to_string(a.y()) +
                               " sleep 0.3 mousedown 1 sleep 0.3 mousemove --sync " + std::to_string(a.x() + 30) +
                               " " + std::to_string(a.y() + 30) + " sleep 0.3 mousemove --sync " +
                               std::to_string((a.x() + b.x()) / 2) + " " + std::to_string((a.y() + b.y()) / 2) +
                               " sleep 0.3 mousemove --sync " + std::to_string(b.x()) + " " +
                               std::to_string(b.y()) + " sleep 0.5 mouseup 1 &";
    ASSERT_EQ(test::RunCommand(script).status, 0);
  }
};

TEST_F(ServicePagesTest, ABookIsMadeFromTheServicesPageWithPhotosFromTheMenuAndByDragging) {
  // 1. The service's home page, signed in.
  window_->Navigate(service_->BaseUrl() + "home.html?sessionid=e2e-user");
  window_->ShowPage(0, 2);
  ASSERT_EQ(window_->CurrentPage(), 0);
  ASSERT_TRUE(PageHolds("document.getElementById('create') !== null && "
                        "document.getElementById('account').style.display === ''"));
  Keep("1-home");

  // 2. "新しいプルモラを作る": the library comes with the tray ready for a new book.
  Page("document.getElementById('create').click(); true");
  ASSERT_TRUE(test::PumpUntil([&] { return window_->CurrentPage() == 1; }, 20000));
  EXPECT_EQ(inWindow_->TrayMode(), 0);
  EXPECT_EQ(inWindow_->BookAlbum(), nullptr);
  EXPECT_EQ(inWindow_->RestCount(), 100);
  EXPECT_EQ(inWindow_->UploadButton()->text(), QStringLiteral("プルモラの作成"));
  EXPECT_EQ(PlumoraApiParams().Snapshot().session_id, "e2e-user");
  Keep("2-create");

  // 3. Three photos by the menu ("トレイに入れる" on the catalog's selection).
  TFrameCatalogDG* catalog = window_->Library()->Catalog();
  catalog->SelectItem(items_[0]);
  catalog->SelectItem(items_[2], true);
  QAction* in = window_->findChild<QAction*>("AcTrayIn");
  ASSERT_NE(in, nullptr);
  ASSERT_TRUE(in->isEnabled());
  in->trigger();
  ASSERT_EQ(Shown(inWindow_), (std::vector<int>{0, 1, 2}));

  // 4. Four more dragged with the pointer from the catalog onto the tray's empty space.
  catalog->SelectItem(items_[3]);
  catalog->SelectItem(items_[6], true);
  test::PumpFor(200);
  QWidget* source = catalog->Grid()->viewport();
  QWidget* target = inWindow_->Grid()->Grid()->viewport();
  DragWithPointer(source, catalog->ItemRect(items_[4]).center(), target,
                  QPoint(target->width() - 20, target->height() / 2));
  ASSERT_TRUE(test::PumpUntil([&] { return inWindow_->Items().size() == 7u; }, 20000))
      << inWindow_->Items().size();
  EXPECT_EQ(Shown(inWindow_), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  Keep("3-tray");

  // 5. The upload: its progress reaches the service's page while the library is shown.
  ASSERT_TRUE(inWindow_->UploadButton()->isEnabled());
  inWindow_->UploadButton()->click();
  ASSERT_TRUE(inWindow_->IsUploading());
  EXPECT_EQ(inWindow_->UploadButton()->text(), QStringLiteral("キャンセル"));
  Keep("4-uploading");
  // The page behind the library shows the guide for a new book and the upload's progress.
  EXPECT_TRUE(Page("location.search.indexOf('guide=create') >= 0").toBool()) << Page("location.href").toString().toStdString();
  int shown_on_page = 0, shown_in_tray = 0;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        shown_in_tray = std::max(shown_in_tray, inWindow_->Progress()->value());
        shown_on_page = std::max(shown_on_page, Page("Number(document.querySelector('#upload progress').value)").toInt());
        return !inWindow_->IsUploading();
      },
      120000));
  EXPECT_TRUE(told_.empty()) << told_.front().text.toStdString();
  shown_on_page = std::max(shown_on_page, Page("Number(document.querySelector('#upload progress').value)").toInt());
  EXPECT_GT(shown_on_page, 0) << "the page never heard of the upload's progress; the tray showed " << shown_in_tray;

  // 6. The service's next page: the new book, with every photo.
  ASSERT_TRUE(test::PumpUntil([&] { return window_->CurrentPage() == 0; }, 20000));
  ASSERT_TRUE(PageHolds("location.pathname === '/book.html' && document.querySelectorAll('#photos li').length === 7"))
      << Page("location.href").toString().toStdString();
  EXPECT_TRUE(PageHolds("Array.from(document.querySelectorAll('#photos img')).every(i => i.complete && i.naturalWidth > 0)"));
  test::PumpFor(300);  // the pictures painted
  Keep("5-book");
  EXPECT_TRUE(inWindow_->Items().empty()) << "the photos that reached the service leave the tray";

  // Every photo whole and in each thumbnail size the service asked for that fits the photo.
  const nlohmann::json state = service_->State();
  ASSERT_EQ(state["books"].size(), 1u);
  const std::string id = state["books"].begin().key();
  const nlohmann::json book = nlohmann::json::parse(service_->Admin("api/books/" + id, {}, true));
  ASSERT_EQ(book["photos"].size(), 7u) << book;
  for (const auto& photo : book["photos"]) {
    EXPECT_TRUE(photo["full"].get<bool>()) << photo;
    const nlohmann::json thumbs = state["resources"][photo["resuuid"].get<std::string>()]["thumbs"];
    EXPECT_GE(thumbs.size(), 4u) << photo;
    EXPECT_EQ(photo["sizes"].size(), thumbs.size() + 1) << photo;
  }
}

// Closing the window while the tray uploads: the user is asked, the upload is cancelled, and the
// window closes only when the upload has ended. No photo is lost: each is in the book or still in
// the tray, and the tray is kept for the next start.
TEST_F(ServicePagesTest, ClosingDuringAnUploadAsksCancelsAndClosesWhenItHasEnded) {
  // The service answers each photo slowly, so the close comes while the upload runs.
  service_->Fault("/api/upload.php", {{"kind", "delay"}, {"delay", "400"}, {"count", "1000"}});
  window_->EnqueueCommand("mode=startcreateplumora,sessionid=e2e-user,plumorarestphotonum=100");
  ASSERT_TRUE(test::PumpUntil([&] { return PlumoraApiParams().Snapshot().rest_photo_count == 100; }));
  ASSERT_TRUE(inWindow_->AddToTray(First(6), nullptr));
  std::vector<QString> asked;
  window_->SetQuestionBox([&](const QString& text) {
    asked.push_back(text);
    return true;
  });
  inWindow_->UploadButton()->click();
  ASSERT_TRUE(inWindow_->IsUploading());
  test::PumpFor(300);

  EXPECT_FALSE(window_->close()) << "closed while uploading";
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("アップロード中"))) << asked[0].toStdString();
  EXPECT_TRUE(window_->isVisible());
  ASSERT_TRUE(test::PumpUntil([&] { return !window_->isVisible(); }, 60000)) << "never closed after the upload";
  EXPECT_FALSE(inWindow_->IsUploading());
  EXPECT_EQ(asked.size(), 1u);

  // Every photo is either whole in the book or kept in the tray for the next start.
  std::set<std::string> whole;
  const nlohmann::json resources = service_->State()["resources"];
  for (const auto& resource : resources)
    if (resource["full"].get<bool>()) whole.insert(resource["orgfilename"].get<std::string>());
  EXPECT_LT(whole.size(), 6u) << "the upload was not cancelled";
  TFramePlumoraTray next_start;
  next_start.Start(albums_, &cache_, nullptr);
  ASSERT_NE(next_start.Tray(), nullptr);
  const std::vector<TCatalogItem*>& kept = next_start.Tray()->Items();
  for (TCatalogItem* photo : First(6)) {
    const bool in_tray = std::find(kept.begin(), kept.end(), photo) != kept.end();
    EXPECT_TRUE(in_tray || whole.count(photo->FullPath()) == 1) << photo->FullPath() << " is lost";
  }
  next_start.Stop();
}

}  // namespace
}  // namespace plb::shell::test_tray
