// The updater against the local service: the exchange, the download that reaches its name only
// whole and checked, and the installer started with its arguments at the end.
#include "service/updater/application_updater.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/version_info.h"
#include "service/appinfo/check_app_info.h"
#include "service/local_service_process.h"
#include "service/updater/update_info.h"
#include "service/updater/updater_values.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The installer runs detached: wait for what it writes.
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 400; ++i) {
    std::error_code ec;
    if (fs::exists(path, ec)) {
      const std::string text = ReadAll(path);
      if (!text.empty() && text.back() == '\n') return text;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return std::string();
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A question box that answers as told and notes that it was asked.
class ScriptedUi : public THeadlessUpdaterUi {
 public:
  explicit ScriptedUi(bool answer) : answer_(answer) {}
  bool AskUpdate(const std::string& page, int, int, int buttons) override {
    asked_page = page;
    asked_buttons = buttons;
    return answer_;
  }
  std::string asked_page;
  int asked_buttons = -1;

 private:
  bool answer_;
};

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TApplicationUpdater::Reset();
    folder_ = test::TestRoot() + "/updater data";  // a blank in the path: nothing re-quotes it
    fs::create_directories(folder_);
    TApplicationUpdater::SetUpdaterFolder(folder_);
    marker_ = test::TestRoot() + "/installer ran";
    service_.UseAsService();
  }
  void TearDown() override { TApplicationUpdater::Reset(); }

  // The service offers an update; the program learns it through the application information.
  void OfferUpdate(std::map<std::string, std::string> items = {}) {
    items["update"] = "offer";
    items["installermarker"] = marker_;
    service_.Configure(items);
    ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
    ApplyAppInfoToUpdater();
  }

  std::string Installer() const { return folder_ + "/" + kUpdaterFileName; }

  int InstallerRequests() const {
    int n = 0;
    for (const auto& request : service_.Requests()) n += request["path"] == "/api/installer.php";
    return n;
  }

  test::LocalServiceProcess service_;
  std::string folder_;
  std::string marker_;
};

TEST(InstallerDownloadUrl, AppendsVersionAndIdsAfterTheRightSeparator) {
  struct Case {
    const char* installer;
    const char* expected;
  } cases[] = {
      {"http://h/i.exe", "http://h/i.exe?version=1.2.3.4&machineid=M%201&machineuserid=U%26x"},
      {"http://h/i.php?a=1", "http://h/i.php?a=1&version=1.2.3.4&machineid=M%201&machineuserid=U%26x"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstallerDownloadUrl(c.installer, "1.2.3.4", "M 1", "U&x"), c.expected) << c.installer;
  }
}

TEST(UpdateInfoAnswer, HostileAnswersAreRefused) {
  const char* refused[] = {
      "not xml",
      "<r><other/></r>",
      "<r><appupdateinfo installerurl=\"file:///etc/passwd\"/></r>",
      "<r><appupdateinfo installerurl=\"http://h/i\" md5=\"abc\"/></r>",
      "<r><appupdateinfo installerurl=\"http://h/i\" md5=\"zz345678901234567890123456789012\"/></r>",
      "<r><appupdateinfo><updatemessages><dialog src=\"p\" width=\"-1\"/></updatemessages></appupdateinfo></r>",
      "<r><appupdateinfo><updatemessages><dialog src=\"p\" height=\"99999999999\"/></updatemessages></appupdateinfo></r>",
  };
  for (const char* text : refused) EXPECT_THROW(ParseUpdateInfoAnswer(text), EUpdaterError) << text;
  EXPECT_THROW(ParseUpdateInfoAnswer("<r>" + std::string(kMaxUpdateInfoBytes, ' ') + "<appupdateinfo/></r>"),
               EUpdaterError);

  const TUpdateInfoAnswer answer = ParseUpdateInfoAnswer(
      "<x><appupdateinfo installerurl=\"https://h/i\" md5=\"0123456789ABCDEF0123456789abcdef\">"
      "<updatemessages><dialog src=\"http://h/p\" width=\"480\" height=\"320\"/></updatemessages></appupdateinfo></x>");
  EXPECT_EQ(answer.installer_url, "https://h/i");
  EXPECT_EQ(answer.md5, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(answer.dialog_url, "http://h/p");
  EXPECT_EQ(answer.dialog_width, 480);
  EXPECT_EQ(answer.dialog_height, 320);
  EXPECT_EQ(ParseUpdateInfoAnswer("<x><appupdateinfo/></x>").dialog_width, 0);
}

TEST_F(UpdaterTest, CompleteDownloadIsRenamedAndRunsWithItsArgumentsAtTheEnd) {
  OfferUpdate();
  THeadlessUpdaterUi ui;
  ASSERT_TRUE(TApplicationUpdater::CheckUpdate(ui));
  EXPECT_TRUE(TApplicationUpdater::Pending());

  // The exchange: the request document went as the file field "infile" and was removed after.
  const nlohmann::json requests = service_.Requests();
  const auto exchange = std::find_if(requests.begin(), requests.end(),
                                     [](const auto& r) { return r["path"] == "/api/getUpdateInfo.php"; });
  ASSERT_NE(exchange, requests.end());
  EXPECT_EQ((*exchange)["user_agent"], "PlumoraUpdater");
  ASSERT_EQ((*exchange)["parts"].size(), 1u);
  EXPECT_EQ((*exchange)["parts"][0]["name"], "infile");
  EXPECT_NE((*exchange)["parts"][0]["value"].get<std::string>().find("<getUpdateInfo_request version=\"" + FileVersion()),
            std::string::npos);
  // The download asked with the version and the machine ids.
  const auto download = std::find_if(requests.begin(), requests.end(),
                                     [](const auto& r) { return r["path"] == "/api/installer.php"; });
  ASSERT_NE(download, requests.end());
  EXPECT_EQ((*download)["query"], "machineid=M-1&machineuserid=MU-1&version=" + FileVersion());

  // Only the installer remains: no request file, no temporary name; the answer is kept.
  EXPECT_EQ(FolderNames(folder_), (std::vector<std::string>{kUpdaterFileName, kUpdaterResponseFileName}));
  EXPECT_NE(ReadAll(Installer()).find("printf"), std::string::npos);

  EXPECT_TRUE(TApplicationUpdater::RunPendingUpdater());
  EXPECT_EQ(WaitForFile(marker_), "/VERYSILENT\n/autoupdate\n");
  // Consumed: the end of the process starts it once.
  EXPECT_FALSE(TApplicationUpdater::Pending());
  EXPECT_FALSE(TApplicationUpdater::RunPendingUpdater());
}

// Notes what the download reported of its progress.
class ProgressUi : public THeadlessUpdaterUi {
 public:
  bool RunDownload(const std::function<bool(const Progress&)>& work) override {
    return work([this](uint64_t received, uint64_t total) {
      if (received < last_received) went_back = true;
      last_received = received;
      last_total = total;
    });
  }
  uint64_t last_received = 0, last_total = 0;
  bool went_back = false;
};

TEST_F(UpdaterTest, TheDownloadReportsItsProgressUpToTheWholeSize) {
  OfferUpdate({{"installerpad", "300000"}});
  ProgressUi ui;
  ASSERT_TRUE(TApplicationUpdater::CheckUpdate(ui));
  const uint64_t size = fs::file_size(Installer());
  EXPECT_GT(size, 300000u);
  EXPECT_EQ(ui.last_received, size);
  EXPECT_EQ(ui.last_total, size);
  EXPECT_FALSE(ui.went_back);
}

TEST_F(UpdaterTest, RefusedDownloadsLeaveNothingUnderTheInstallersName) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> config;
    std::map<std::string, std::string> fault;
    uint64_t limit = kMaxInstallerBytes;
  } cases[] = {
      {"an error page", {}, {{"kind", "status"}, {"status", "404"}}},
      {"a server error", {}, {{"kind", "status"}, {"status", "500"}}},
      {"a checksum that does not match", {{"installermd5", "0123456789abcdef0123456789abcdef"}}, {}},
      {"other bytes than announced", {}, {{"kind", "body"}, {"body", "#!/bin/sh\necho evil\n"}}},
      {"a connection dropped before the body", {}, {{"kind", "drop"}}},
      {"an empty answer", {}, {{"kind", "empty"}}},
      {"an installer larger than the limit", {{"installerpad", "100000"}}, {}, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    service_.Admin("test/reset");
    fs::remove(marker_);
    OfferUpdate(c.config);
    TApplicationUpdater::SetMaxInstallerBytes(c.limit);
    if (!c.fault.empty()) service_.Fault("/api/installer.php", c.fault);
    THeadlessUpdaterUi ui;
    EXPECT_FALSE(TApplicationUpdater::CheckUpdate(ui));
    EXPECT_FALSE(TApplicationUpdater::Pending());
    EXPECT_EQ(FolderNames(folder_), std::vector<std::string>{kUpdaterResponseFileName});
    EXPECT_FALSE(TApplicationUpdater::RunPendingUpdater());
    EXPECT_FALSE(fs::exists(marker_));
  }
}

TEST_F(UpdaterTest, AnInstallerLeftByAnEarlierCheckIsRemovedWithoutANewDownload) {
  OfferUpdate({{"updatepage", service_.BaseUrl() + "dialog.html"}});
  ScriptedUi no(false);
  EXPECT_FALSE(TApplicationUpdater::CheckUpdate(no));
  // The answer's announcement was shown, with OK only.
  EXPECT_EQ(no.asked_page, service_.BaseUrl() + "dialog.html");
  EXPECT_EQ(no.asked_buttons, kUpdateButtonsOkOnly);
  EXPECT_TRUE(fs::exists(Installer()));
  EXPECT_FALSE(TApplicationUpdater::Pending());

  ScriptedUi yes(true);
  EXPECT_FALSE(TApplicationUpdater::CheckUpdate(yes));
  EXPECT_FALSE(fs::exists(Installer()));
  EXPECT_EQ(InstallerRequests(), 1);
  EXPECT_TRUE(yes.asked_page.empty());

  // The check after that downloads afresh.
  EXPECT_TRUE(TApplicationUpdater::CheckUpdate(yes));
  EXPECT_EQ(InstallerRequests(), 2);
}

TEST_F(UpdaterTest, AFailedExchangeKeepsTheApplicationInformationsInstaller) {
  OfferUpdate();
  service_.Fault("/api/getUpdateInfo.php", {{"kind", "body"}, {"body", "<r><appupdateinfo installerurl=\"file:///bin/sh\"/></r>"}});
  THeadlessUpdaterUi ui;
  EXPECT_TRUE(TApplicationUpdater::CheckUpdate(ui));
  EXPECT_EQ(TApplicationUpdater::Values().installer_url, service_.ApiUrl() + "installer.php");
  EXPECT_EQ(InstallerRequests(), 1);
}

TEST_F(UpdaterTest, NoOfferMeansNoDownload) {
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  ApplyAppInfoToUpdater();
  THeadlessUpdaterUi ui;
  EXPECT_FALSE(TApplicationUpdater::CheckUpdate(ui));
  EXPECT_EQ(InstallerRequests(), 0);
  EXPECT_TRUE(FolderNames(folder_).empty());
}

TEST(InstallerCommand, AScriptRunsThroughTheShellAProgramDirectly) {
  const std::string script = test::TestRoot() + "/a \"quoted\" $name `x`.sh";
  std::ofstream(script) << "exit 0\n";
  EXPECT_EQ(InstallerCommand(script, {"/VERYSILENT", "/autoupdate"}),
            (std::vector<std::string>{"/bin/sh", script, "/VERYSILENT", "/autoupdate"}));
  const std::string program = test::TestRoot() + "/program";
  fs::copy_file("/bin/true", program);
  EXPECT_EQ(InstallerCommand(program, {"/x"}), (std::vector<std::string>{program, "/x"}));
}

}  // namespace
}  // namespace plb
