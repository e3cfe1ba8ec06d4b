// The tray panel: the tray's contents and order kept over a stop, a save of the albums and a new
// start; a configuration that changes the mode empties the tray and one that keeps it does not;
// the count panel and gauge per mode; the preview page fitted and centred, and its functions
// called with escaped arguments. A picture of the panel in each mode is kept with the test
// artifacts.
#include "shell/tray/frame_plumora_tray.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QWebEngineView>
#include <mutex>

#include "platform/record_stream.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/tray/tray_gauge.h"
#include "shell/tray/tray_rules.h"
#include "tray_fixture.h"

namespace plb::shell::test_tray {
namespace {

class FramePlumoraTrayTest : public TrayFixture {
 protected:
  void SetUp() override {
    MakeCatalog(8);
    panel_ = std::make_unique<TFramePlumoraTray>();
    panel_->resize(900, 260);
    panel_->Start(albums_, &cache_, nullptr);
    panel_->show();
    panel_->Tray()->SetMessageBox(
        [this](TFrameTray::TMessageKind kind, const QString& text) { told_.push_back({kind, text}); });
  }
  void TearDown() override {
    panel_.reset();
    TrayFixture::TearDown();
  }
  std::vector<int> ShownIn(TFrameTray& tray) const {
    std::vector<int> out;
    for (TCatalogItem* item : tray.Items())
      out.push_back(static_cast<int>(std::find(items_.begin(), items_.end(), item) - items_.begin()));
    return out;
  }
  TTrayConfiguration Contents(int photo, int rest) const {
    TTrayConfiguration c;
    c.book_id = "B0001";
    c.photo_count = photo;
    c.rest_count = rest;
    return c;
  }
  void KeepPicture(const QString& name) {
    // The photos' thumbnails first, as the user would see them.
    TFrameCatalogDG* grid = panel_->Tray()->Grid();
    test::PumpUntil(
        [&] {
          const QImage shot = grid->Grid()->viewport()->grab().toImage();
          for (TCatalogItem* item : grid->ShownItems()) {
            const QRect cell = grid->ItemRect(item);
            const TGridGeometry& g = grid->Geometry();
            if (!test::ShowsPicture(shot, QRect(cell.left() + g.box.left, cell.top() + g.box.top, g.box.width,
                                                g.box.height)))
              return false;
          }
          return true;
        },
        10000);
    test::PumpFor(100);
    const QString artifacts = QString::fromStdString(test::BinaryDir()) + "/test-artifacts";
    QDir().mkpath(artifacts);
    EXPECT_TRUE(panel_->grab().save(artifacts + "/" + name));
  }

  std::unique_ptr<TFramePlumoraTray> panel_;
};

TEST_F(FramePlumoraTrayTest, TheTrayAndItsOrderSurviveAStopASaveAndANewStart) {
  panel_->AddItemsToTray(Items({3, 1, 4}));
  panel_->Tray()->AddToTray(Items({0}), items_[1]);  // 3 0 1 4
  ASSERT_EQ(ShownIn(*panel_->Tray()), (std::vector<int>{3, 0, 1, 4}));
  panel_->Stop();
  EXPECT_FALSE(panel_->Active());

  // The next run reads the albums written at this run's end.
  for (size_t i = 0; i < items_.size(); ++i) items_[i]->SetRecordNumber(static_cast<int32_t>(i));
  std::string bytes;
  {
    RecordWriter out(bytes);
    albums_.SaveToStream(out);
    out.Flush();
  }
  panel_.reset();
  TAlbumList next;
  {
    RecordReader in(bytes);
    next.LoadFromStream(in);
  }
  next.SetupFromIDList(items_);
  TFramePlumoraTray again;
  again.Start(next, &cache_, nullptr);
  ASSERT_NE(again.Tray(), nullptr);
  EXPECT_EQ(ShownIn(*again.Tray()), (std::vector<int>{3, 0, 1, 4}));
  EXPECT_TRUE(again.Active());

  // A tray emptied during a run leaves an empty backup.
  again.Tray()->ClearTray();
  again.Stop();
  TAlbum* backup = next.Root(atWork6)->FindChild(kTrayBackupAlbumName);
  ASSERT_NE(backup, nullptr);
  EXPECT_EQ(backup->ItemCount(), 0);
}

TEST_F(FramePlumoraTrayTest, ConfigureEmptiesTheTrayOnlyWhenTheModeChanges) {
  panel_->AddItemsToTray(Items({0, 1, 2}));
  panel_->Configure(Contents(30, 70));
  EXPECT_EQ(panel_->Tray()->Items().size(), 3u);
  EXPECT_TRUE(panel_->CountPanel()->isVisibleTo(panel_.get()));
  EXPECT_EQ(panel_->RestLabel()->text(), QStringLiteral("追加可能： 70枚"));
  EXPECT_EQ(panel_->Gauge()->PhotoCount(), 30);
  EXPECT_EQ(panel_->Gauge()->RestCount(), 70);
  EXPECT_EQ(panel_->Tray()->UploadButton()->text(), QStringLiteral("プルモラに追加"));
  EXPECT_EQ(panel_->PreviewUrl(), "about:blank");
  // A blank preview needs no browser.
  EXPECT_EQ(panel_->Preview(), nullptr);
  KeepPicture("tray_mode_0.png");

  // The same mode again keeps the tray.
  panel_->Configure(Contents(31, 69));
  EXPECT_EQ(panel_->Tray()->Items().size(), 3u);
  const char* const captions[] = {"ジャケットを変更", "レーベルを変更", "アイコンを変更"};
  for (int mode = 1; mode <= 3; ++mode) {
    TTrayConfiguration c = Contents(31, 69);
    c.tray_mode = mode;
    panel_->AddItemsToTray(Items({4}));
    ASSERT_FALSE(panel_->Tray()->Items().empty());
    panel_->Configure(c);
    EXPECT_TRUE(panel_->Tray()->Items().empty()) << mode;
    EXPECT_FALSE(panel_->CountPanel()->isVisibleTo(panel_.get())) << mode;
    EXPECT_EQ(panel_->Tray()->UploadButton()->text(), QString::fromUtf8(captions[mode - 1]));
    EXPECT_EQ(panel_->Tray()->Grid()->EmptyText(), QString::fromUtf8(TrayEmptyHint(mode)));
    KeepPicture(QStringLiteral("tray_mode_%1.png").arg(mode));
  }
  // Back to the contents with a new book: the tray is empty, the count panel back.
  TTrayConfiguration c = Contents(0, 100);
  c.book_id.clear();
  panel_->Configure(c);
  EXPECT_EQ(panel_->Tray()->BookAlbum(), nullptr);
  EXPECT_TRUE(panel_->CountPanel()->isVisibleTo(panel_.get()));
  EXPECT_EQ(panel_->Tray()->UploadButton()->text(), QStringLiteral("プルモラの作成"));
}

TEST_F(FramePlumoraTrayTest, ThePreviewIsFittedCentredAndTakesEscapedCalls) {
  const std::string page =
      "data:text/html;charset=utf-8,<html><body><div style='width:100px;height:50px;background:%23a6caf0'></div>"
      "<script>function setCaption(text){document.title=text;return true;}</script></body></html>";
  TTrayConfiguration c = Contents(10, 10);
  c.preview_url = page;
  panel_->Configure(c);
  ASSERT_NE(panel_->Preview(), nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return !panel_->ContentSize().isEmpty(); }, 30000));
  EXPECT_EQ(panel_->ContentSize(), QSize(100, 50));
  const QPoint margins = panel_->PreviewMargins();
  const QWidget* host = panel_->Preview()->parentWidget();
  EXPECT_EQ(margins.x(), (host->width() - 100) / 2);
  const int available = panel_->PreviewPanel()->height() - panel_->CountPanel()->height();
  EXPECT_EQ(margins.y(), available > 50 ? (available - 50) / 2 : 0);

  // A value with quotes and a closing tag arrives as it is, never as code.
  const std::string text = "it's \"</script>\" \\ ok";
  panel_->CallPreviewScript("setCaption", text);
  EXPECT_TRUE(test::PumpUntil([&] { return panel_->Preview()->title() == QString::fromStdString(text); }, 10000))
      << panel_->Preview()->title().toStdString();
  // Not a function name: nothing runs.
  panel_->CallPreviewScript("setCaption('x');alert", "y");
  test::PumpFor(200);
  EXPECT_EQ(panel_->Preview()->title(), QString::fromStdString(text));

  // An empty address shows the blank page in the existing browser.
  c.preview_url.clear();
  panel_->Configure(c);
  EXPECT_EQ(panel_->PreviewUrl(), "about:blank");
  EXPECT_TRUE(test::PumpUntil([&] { return panel_->Preview()->url() == QUrl("about:blank"); }, 10000));
}

}  // namespace
}  // namespace plb::shell::test_tray
