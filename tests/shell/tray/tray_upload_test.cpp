// Uploads from the tray to the real local service: only the photos the service received leave
// the tray, the progress reaches the owner, a refused session asks for a login and keeps the
// tray, and a group upload takes what fits into an emptied tray.
#include <gtest/gtest.h>

#include <QLabel>
#include <fstream>
#include <iterator>
#include <QPushButton>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "service/api/plumora_api_params.h"
#include "service/http/http_client.h"
#include "service/local_service_process.h"
#include "service/upload/plumora_uploader.h"
#include "shell/tray/tray_hand_over.h"
#include "shell/tray/tray_rules.h"
#include "tray_fixture.h"

namespace plb::shell::test_tray {
namespace {

class TrayUploadTest : public TrayFixture {
 protected:
  void SetUp() override {
    MakeCatalog(30);
    service_ = std::make_unique<test::LocalServiceProcess>();
    service_->UseAsService();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) {
      v.image_cache_limit = 512000;
      v.upload_api_version = 1;
    });
    MakeTray();
    TFrameTray::TCallbacks callbacks;
    callbacks.started = [this](const std::string&) { events_.push_back("started"); };
    callbacks.ended = [this](const std::string& id, const std::string& next, bool success) {
      events_.push_back(success ? "ended:ok" : "ended:failed");
      book_ = id;
      next_ = next;
    };
    callbacks.login_required = [this] { events_.push_back("login"); };
    callbacks.progress = [this](int percent) { percents_.push_back(percent); };
    tray_->SetCallbacks(std::move(callbacks));
    tray_->SetMessageBox([this](TFrameTray::TMessageKind kind, const QString& text) {
      told_.push_back({kind, text});
      events_.push_back("told");
    });
  }

  void TearDown() override {
    TrayFixture::TearDown();
    service_.reset();
  }

  bool WaitForEnd() {
    return test::PumpUntil([&] { return !tray_->IsUploading(); }, 120000);
  }

  nlohmann::json Book(const std::string& id) const {
    THttpRequest request;
    request.url = service_->BaseUrl() + "api/books/" + id;
    request.get = true;
    return nlohmann::json::parse(HttpSend(request).body);
  }

  // The text of a field of the last request to an endpoint.
  std::string LastField(const std::string& path, const std::string& name) const {
    std::string value;
    for (const auto& request : service_->Requests()) {
      if (request["path"] != path) continue;
      for (const auto& part : request["parts"])
        if (part["name"] == name) value = part["value"];
    }
    return value;
  }

  std::unique_ptr<test::LocalServiceProcess> service_;
  std::vector<std::string> events_;
  std::vector<int> percents_;
  std::string book_;
  std::string next_;
};

TEST_F(TrayUploadTest, OnlyThePhotosTheServiceReceivedLeaveTheTray) {
  // One transfer at a time and no second try: the six files of the first photo sent (the full
  // image and five thumbnails) are refused, the others arrive. The session's finish waits a
  // little, so the progress is seen at its end.
  service_->Configure({{"allowparallel", "false"}, {"retrycount", "0"}});
  service_->Fault("/api/upload.php", {{"kind", "status"}, {"status", "500"}, {"count", "6"}});
  service_->Fault("/api/finishedUpload.php", {{"kind", "delay"}, {"delay", "800"}});
  const std::vector<TCatalogItem*> sent = First(6);
  ASSERT_TRUE(tray_->AddToTray(sent, nullptr));
  tray_->SetCounts(0, 100);
  tray_->SetUploadEnabled(true);
  tray_->StartUpload();
  ASSERT_TRUE(tray_->IsUploading());
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("キャンセル"));
  EXPECT_EQ(tray_->UploadButton()->palette().color(QPalette::ButtonText), QColor(Qt::red));
  EXPECT_FALSE(tray_->RemoveButton()->isEnabled());
  EXPECT_FALSE(tray_->ClearButton()->isEnabled());
  // While uploading the tray's contents stay as they are.
  EXPECT_FALSE(tray_->AddToTray(Items({10}), nullptr));
  tray_->ClearTray();
  EXPECT_EQ(tray_->Items().size(), 6u);

  ASSERT_TRUE(WaitForEnd());
  ASSERT_EQ(events_, (std::vector<std::string>{"started", "ended:ok"}));
  ASSERT_FALSE(book_.empty());
  const nlohmann::json book = Book(book_);
  ASSERT_EQ(book["photos"].size(), 5u) << book;
  std::set<int> held;
  for (const auto& photo : book["photos"]) held.insert(photo["index"].get<int>());
  // The one left is the one the service does not hold; the others left the tray album too.
  ASSERT_EQ(tray_->Items().size(), 1u);
  int missing = -1;
  for (int i = 0; i < 6; ++i)
    if (!held.count(i)) missing = i;
  EXPECT_EQ(tray_->Items().front(), sent[static_cast<size_t>(missing)]);
  EXPECT_EQ(tray_->TrayAlbum()->ItemCount(), 1);
  EXPECT_EQ(tray_->UploadButton()->text(), QStringLiteral("プルモラの作成"));
  EXPECT_TRUE(tray_->RemoveButton()->isEnabled());
  EXPECT_EQ(tray_->CountLabel()->text(), QStringLiteral("トレイの写真 1枚"));
  // The progress reached the owner, up to the whole.
  ASSERT_FALSE(percents_.empty());
  EXPECT_EQ(percents_.back(), 100);
  EXPECT_TRUE(told_.empty());
  EXPECT_EQ(LastField("/api/finishedUpload.php", "createmode"), "default");
  EXPECT_EQ(LastField("/api/finishedUpload.php", "tabname"), "PhotoLibrary");
}

TEST_F(TrayUploadTest, ARefusedSessionAsksForALoginAndKeepsTheTray) {
  service_->Configure({{"sessions", "strict"}});
  tray_->AddToTray(First(5), nullptr);
  tray_->StartUpload();
  ASSERT_TRUE(WaitForEnd());
  // The end is reported first, then the message, then the owner's turn to show the login page.
  EXPECT_EQ(events_, (std::vector<std::string>{"started", "ended:failed", "told", "login"}));
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_EQ(told_[0].kind, TFrameTray::TMessageKind::kError);
  EXPECT_EQ(told_[0].text, QString::fromUtf8(TrayLoginMessage(false)));
  EXPECT_EQ(tray_->Items().size(), 5u);
  EXPECT_FALSE(tray_->IsUploading());

  // For an existing book the message speaks of adding.
  tray_->SetBookId("B0077");
  tray_->StartUpload();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(LastText(), QString::fromUtf8(TrayLoginMessage(true)));
}

TEST_F(TrayUploadTest, AGroupUploadOfThirtyWithRoomForTwentyUploadsTheFirstTwenty) {
  tray_->AddToTray(Items({29, 28}), nullptr);
  tray_->SetCounts(0, 20);
  tray_->StartGroupUpload(First(30), true, "2024-05-06", 1);
  ASSERT_TRUE(tray_->IsUploading());
  // The tray was emptied and holds the first twenty, in their order.
  std::vector<int> expected;
  for (int i = 0; i < 20; ++i) expected.push_back(i);
  EXPECT_EQ(Shown(), expected);
  ASSERT_TRUE(WaitForEnd());
  ASSERT_EQ(events_, (std::vector<std::string>{"started", "ended:ok"}));
  EXPECT_EQ(Book(book_)["photos"].size(), 20u);
  EXPECT_TRUE(tray_->Items().empty());
  EXPECT_EQ(LastField("/api/finishedUpload.php", "createmode"), "direct_slideshow");
  EXPECT_EQ(LastField("/api/finishedUpload.php", "direct_photoday"), "2024-05-06");
}

TEST_F(TrayUploadTest, ACancelledSessionKeepsEveryPhoto) {
  service_->Fault("/api/startUpload.php", {{"kind", "delay"}, {"delay", "1500"}});
  tray_->AddToTray(First(5), nullptr);
  tray_->StartUpload();
  ASSERT_TRUE(tray_->IsUploading());
  tray_->UploadButton()->click();  // "キャンセル"
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(events_, (std::vector<std::string>{"started", "ended:failed"}));
  EXPECT_EQ(tray_->Items().size(), 5u);
  EXPECT_TRUE(told_.empty());
}

TEST_F(TrayUploadTest, TheSecondUploadApiIsRefusedAndTheTrayStaysIdle) {
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.upload_api_version = 2; });
  tray_->AddToTray(First(5), nullptr);
  EXPECT_THROW(tray_->StartUpload(), EFrameTrayError);
  EXPECT_FALSE(tray_->IsUploading());
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(tray_->Items().size(), 5u);
}

TEST_F(TrayUploadTest, AHandedOverDocumentFillsTheTrayAndGoesWithTheHiddenCreation) {
  const std::string document = test::TestRoot() + "/handover.xml";
  {
    std::ofstream out(document);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plumoraBrowserWakeup>"
        << "<photoView><directory pathName=\"" << folderPath_ << "\"/></photoView><plumoraTray><photos>";
    // Listed out of order: the photo index decides.
    for (int i : {3, 0, 4, 1, 2})
      out << "<photo fileName=\"" << folderPath_ << "/p0" << i << ".jpg\" photoIndex=\"" << i << "\"/>";
    out << "<photo fileName=\"" << folderPath_ << "/gone.jpg\" photoIndex=\"5\"/>";
    out << "</photos></plumoraTray></plumoraBrowserWakeup>";
  }
  std::string bytes;
  {
    std::ifstream in(document, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const TTrayHandOver handed = TakeLocalParamFile(document, trees_, *tray_);
  EXPECT_EQ(handed.photos, 5);
  EXPECT_EQ(handed.target_directory, folderPath_);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(tray_->LocalParamData(), bytes);
  // Read once: the document is gone.
  EXPECT_FALSE(fs::exists(document));

  tray_->StartHiddenUpload();
  ASSERT_TRUE(tray_->IsUploading());
  // Handed to this session only.
  EXPECT_TRUE(tray_->LocalParamData().empty());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(events_, (std::vector<std::string>{"started", "ended:ok"}));
  EXPECT_EQ(Book(book_)["photos"].size(), 5u);
  std::string sent_size;
  for (const auto& request : service_->Requests()) {
    if (request["path"] != "/api/finishedUpload.php") continue;
    for (const auto& part : request["parts"])
      if (part["name"] == "infile") sent_size = std::to_string(part["size"].get<size_t>());
  }
  EXPECT_EQ(sent_size, std::to_string(bytes.size()));
}

}  // namespace
}  // namespace plb::shell::test_tray
