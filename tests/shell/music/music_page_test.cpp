// The music page and dialog against the real local service: the songs of the user's music folder
// are listed, the chosen one reaches the book, and the service's next page becomes a command.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "../../service/local_service_process.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main_window.h"
#include "shell/music/bgm_dialog_form.h"
#include "shell/music/bgm_upload_panel.h"
#include "shell/music/frame_bgm_library.h"
#include "shell/qt_test_app.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

class MusicPageTest : public ::testing::Test {
 protected:
  MusicPageTest() {
    test::QtApp();
    const fs::path music = fs::path(getenv("HOME")) / "Music" / "旅行";
    fs::create_directories(music);
    std::ofstream(music / "海の歌.mp3", std::ios::binary) << std::string(3000, 's');
    std::ofstream(music / "notes.txt") << "not a song";
    service_.UseAsService();
    TPlumoraUploadInfoItem session;
    session.Update([](TPlumoraUploadInfoItem::Values& v) { v.photo_count = 1; });
    EXPECT_TRUE(PLApi_StartUpload(session).Success);
    book_ = session.Get().plumora_id;
  }
  ~MusicPageTest() override {
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }

  test::LocalServiceProcess service_;
  std::string book_;
};

TEST_F(MusicPageTest, TheServicesCommandOpensThePageAndTheChosenSongReachesTheBook) {
  TPlumoraMain2 window("Plumora");
  window.resize(1000, 750);
  window.show();
  std::vector<std::string> queued;
  QObject::connect(&window, &TPlumoraMain2::commandQueued,
                   [&](const QString& text) { queued.push_back(text.toStdString()); });
  window.EnqueueCommand("mode=startappendplumorabgm,plumoraid=" + book_);
  ASSERT_TRUE(test::PumpUntil([&] { return window.CurrentPage() == 2; }, 5000));

  TBgmUploadPanel* panel = window.MusicPage()->Panel();
  EXPECT_EQ(panel->Book(), book_);
  ASSERT_EQ(panel->Files()->count(), 1) << "only the song, not the text file";
  EXPECT_EQ(panel->Files()->item(0)->text(), QStringLiteral("海の歌.mp3"));
  EXPECT_FALSE(panel->SendButton()->isEnabled()) << "nothing chosen yet";
  panel->Files()->setCurrentRow(0);
  ASSERT_TRUE(panel->SendButton()->isEnabled());
  EXPECT_TRUE(test::KeepPicture(window, "music", "music-page"));
  panel->SendButton()->click();

  const std::string book_page = service_.BaseUrl() + "book.html?plumoraid=" + book_;
  ASSERT_TRUE(test::PumpUntil([&] { return !queued.empty() && queued.back().find(book_page) != std::string::npos; },
                              10000));
  EXPECT_EQ(service_.State()["books"][book_]["music"].size(), 1u);
  // The book's page is shown on the service page.
  EXPECT_TRUE(test::PumpUntil([&] { return window.CurrentPage() == 0; }, 10000));
  window.close();
}

TEST_F(MusicPageTest, AFailureIsToldAndTheDialogReturnsNoCommand) {
  TBgmDialogForm dialog("B0404", nullptr);
  QString told;
  dialog.Panel()->SetMessageBox([&](const QString& text) { told = text; });
  dialog.Panel()->Files()->setCurrentRow(0);
  QTimer::singleShot(0, [&] { dialog.Panel()->SendButton()->click(); });
  QTimer::singleShot(0, [&] {
    test::PumpUntil([&] { return !told.isEmpty(); }, 10000);
    dialog.reject();
  });
  dialog.exec();
  EXPECT_TRUE(told.startsWith(QStringLiteral("音楽を追加できませんでした。"))) << told.toStdString();
  EXPECT_EQ(dialog.NextCommand(), "");
  EXPECT_TRUE(service_.State()["books"][book_]["music"].empty());
}

}  // namespace
}  // namespace plb::shell
