// The load chain against the local service: a load from the service keeps an enciphered copy, a
// start with the service down uses the copy, and with no copy the start shows the error page.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "../local_service_process.h"
#include "host/message_agent_config.h"
#include "host/product_values.h"
#include "host/program_file.h"
#include "platform/private_temp.h"
#include "platform/ui_dispatcher.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/app_info_item.h"
#include "service/appinfo/check_app_info.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/first_command.h"
#include "service/crypto/encrypt_file.h"

namespace plb {
namespace {

class AppInfoLoad : public testing::Test {
 protected:
  void SetUp() override {
    PlumoraErrorCommand().Clear();
    service_.UseAsService();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) {
      v.mode = pamDontBoot;
      v.base_url.clear();
      v.display_page.clear();
    });
  }
  void TearDown() override {
    PlumoraErrorCommand().Clear();
    OverrideProgramFilePath("");
  }
  size_t AppInfoRequests() const {
    size_t count = 0;
    for (const auto& request : service_.Requests())
      if (request["path"].get<std::string>().find("getAppInfo") != std::string::npos) ++count;
    return count;
  }
  void ForgetAppliedValues() {
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) {
      v.mode = pamDontBoot;
      v.base_url.clear();
      v.display_page.clear();
      v.image_cache_limit = 0;
    });
  }

  test::LocalServiceProcess service_;
};

TEST_F(AppInfoLoad, ServiceUpAppliesTheDocumentAndKeepsAnEncipheredCopy) {
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  const TPlumoraApiParamValues v = PlumoraApiParams().Snapshot();
  EXPECT_EQ(v.base_url, service_.ApiUrl());
  EXPECT_EQ(v.display_page, service_.BaseUrl() + "home.html");
  EXPECT_EQ(v.mode, pamDispPage);  // a start without a mode shows the page
  EXPECT_EQ(v.upload_api_version, 1);
  EXPECT_EQ(v.image_cache_limit, 512000);
  EXPECT_EQ(v.help_url, service_.BaseUrl() + "help/index.html");
  EXPECT_EQ(v.eyefi_url, service_.BaseUrl() + "eyefi/");
  EXPECT_EQ(v.uploading_message, "アップロード中です。終了しますか？");
  EXPECT_TRUE(v.tab_shown);
  EXPECT_TRUE(v.tray_shown);
  EXPECT_FALSE(v.debug_menu_shown);
  EXPECT_FALSE(v.debug_info_shown);
  EXPECT_EQ(ReadSuccessedVersion(), PLApiVersion());
  // The service's document carries every setting the browser reads.
  const TAppInfoValues applied = AppliedAppInfo();
  ASSERT_EQ(applied.collage_types.size(), 9u);
  EXPECT_EQ(applied.collage_types[3].kind, 5);
  EXPECT_TRUE(applied.collage_types[3].separator);
  EXPECT_EQ(applied.collage_types[0].ways.size(), 2u);
  EXPECT_EQ(applied.collage_default_kind, 4);
  EXPECT_EQ(applied.hints.size(), 2u);
  EXPECT_EQ(applied.log_url, service_.ApiUrl() + "saveLog.php");
  EXPECT_EQ(applied.operation_log_url, service_.ApiUrl() + "operationLog.php");
  EXPECT_EQ(applied.update_buttons, 1 | 2);
  EXPECT_FALSE(applied.copyright.empty());
  EXPECT_FALSE(v.wakeup_service_command.empty());
  EXPECT_EQ(PlumoraErrorCommand().Lookup("networkError", ""),
            "\"command=startpage\",\"pageurl=" + service_.BaseUrl() +
                "offline.html?value=networkError&code=&justafterupdate=false\",\"dispTabMode=ver1\"");

  // The message agent learns its settings from the service's document.
  TMessageAgentConfig agent;
  agent.LoadConfigData();
  EXPECT_EQ(agent.Settings().first_wakeup_url, service_.BaseUrl() + "home.html");
  EXPECT_EQ(agent.Settings().first_wakeup_width, 400);
  EXPECT_EQ(agent.Settings().machine_id, "M-1");
  EXPECT_EQ(agent.Settings().base_url, service_.ApiUrl());
  EXPECT_FALSE(agent.Settings().plb_path.empty());

  // The copy is enciphered, tagged and private to the user.
  const std::string copy = AppInfoLocalCopyPath();
  struct stat info{};
  ASSERT_EQ(stat(copy.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::ifstream in(copy, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.find("baseurl"), std::string::npos);
  const TEncryptedFileContent content = LoadEncryptedFile(copy, LocalCopyKey());
  ASSERT_TRUE(content.loaded);
  EXPECT_EQ(content.type_tag, "XML");
  EXPECT_NE(content.plain.find(service_.ApiUrl()), std::string::npos);
}

TEST_F(AppInfoLoad, OfflineUsesTheCopyWithoutAskingTheService) {
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  const size_t asked = AppInfoRequests();
  ForgetAppliedValues();
  ASSERT_TRUE(PLApi_CheckAppInfoEx(true));
  EXPECT_EQ(AppInfoRequests(), asked);
  EXPECT_EQ(PlumoraApiParams().Snapshot().base_url, service_.ApiUrl());
}

TEST_F(AppInfoLoad, ServiceDownUsesTheCopyAndWithoutOneShowsTheErrorPage) {
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  const std::string api = service_.ApiUrl();
  const std::string base = service_.BaseUrl();
  service_.Stop();

  ForgetAppliedValues();
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  EXPECT_EQ(PlumoraErrorCommand().LastFailureKind(), "socketeEror");
  EXPECT_EQ(PlumoraApiParams().Snapshot().base_url, api);  // from the copy
  EXPECT_EQ(PlumoraApiParams().Snapshot().display_page, base + "home.html");

  // No copy and no shipped default: the start shows the error page of the failure.
  std::filesystem::remove(AppInfoLocalCopyPath());
  OverrideProgramFilePath(test::TestRoot() + "/noprogram/plb");
  ForgetAppliedValues();
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  const TPlumoraApiParamValues v = PlumoraApiParams().Snapshot();
  EXPECT_EQ(v.mode, pamDispPage);
  EXPECT_EQ(v.base_url, "");
  EXPECT_EQ(v.display_page, "\"command=startpage\",\"pageurl=" + base +
                                "error.html?value=socketeEror&code=&justafterupdate=false\",\"dispTabMode=ver1\"");
}

TEST_F(AppInfoLoad, ADamagedCopyMovesTheChainToTheShippedDefault) {
  const std::string program_folder = test::TestRoot() + "/program";
  std::filesystem::create_directories(program_folder + "/docroot");
  OverrideProgramFilePath(program_folder + "/plb");
  std::ofstream(program_folder + "/docroot/getAppInfo.xml")
      << "<plbAppInfo ver=\"1\"><baseurl src=\"http://shipped/api/\"/></plbAppInfo>";
  std::filesystem::create_directories(std::filesystem::path(AppInfoLocalCopyPath()).parent_path());
  std::ofstream(AppInfoLocalCopyPath()) << "not a container at all";
  service_.Stop();

  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  EXPECT_EQ(PlumoraApiParams().Snapshot().base_url, "http://shipped/api/");
  // The shipped document becomes the copy for the next start.
  EXPECT_TRUE(LoadEncryptedFile(AppInfoLocalCopyPath(), LocalCopyKey()).loaded);
}

TEST_F(AppInfoLoad, ACommandLineFileComesFirstAndIsRemembered) {
  const std::string file = test::TestRoot() + "/mine.xml";
  std::ofstream(file) << "<MyAppInfo2 ver=\"2\"><baseurl src=\"http://mine/api/\"/></MyAppInfo2>";
  const size_t asked = AppInfoRequests();
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) { v.app_info_url = "file://" + file; });
  TMVGetAppInfoItem reader;
  ASSERT_TRUE(reader.LoadInfoData(false, ""));
  EXPECT_TRUE(reader.LoadedFromShippedFile());
  EXPECT_FALSE(reader.LoadedFromService());
  EXPECT_EQ(reader.Values().base_url, "http://mine/api/");
  EXPECT_EQ(AppInfoRequests(), asked);
}

}  // namespace
}  // namespace plb

namespace plb {
namespace {

size_t StartParamFiles() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(platform::PrivateTempFolder()))
    if (entry.path().filename().string().find("PlumoraBrowserParams") != std::string::npos) ++count;
  return count;
}

TEST_F(AppInfoLoad, FirstCommandSendsTheStartParametersAndKeepsTheDocumentItCarries) {
  std::filesystem::remove(AppInfoLocalCopyPath());
  const TFirstCommandResult result = GetFirstPlumoraBrowserCommand(service_.ApiUrl() + "getFirstCommand.php");
  ASSERT_TRUE(result.success);
  EXPECT_NE(result.command_csv.find(service_.BaseUrl() + "home.html"), std::string::npos);
  const std::vector<std::string> fields = service_.LastFieldNames();
  EXPECT_NE(std::find(fields.begin(), fields.end(), "infile"), fields.end());
  EXPECT_EQ(StartParamFiles(), 0u);  // deleted after the request
  const TEncryptedFileContent copy = LoadEncryptedFile(AppInfoLocalCopyPath(), LocalCopyKey());
  ASSERT_TRUE(copy.loaded);
  EXPECT_NE(copy.plain.find("baseurl"), std::string::npos);
}

TEST_F(AppInfoLoad, AFailedFirstCommandGivesTheErrorPageOnTheUiThread) {
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));  // fills the error pages
  const std::string url = service_.ApiUrl() + "getFirstCommand.php";
  const std::string base = service_.BaseUrl();
  service_.Stop();
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  bool done = false;
  TFirstCommandResult got;
  std::thread::id ran_on;
  {
    TFirstCommandGetter getter(url, [&](const TFirstCommandResult& result) {
      got = result;
      ran_on = std::this_thread::get_id();
      done = true;
    });
    for (int i = 0; i < 600 && !done; ++i) ui.PumpFor(100);
  }
  ASSERT_TRUE(done);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_TRUE(got.success);
  EXPECT_EQ(got.command_csv, "\"command=startpage\",\"pageurl=" + base +
                                 "error.html?value=socketeEror&code=&justafterupdate=false\",\"dispTabMode=ver1\"");
  EXPECT_EQ(StartParamFiles(), 0u);
}

}  // namespace
}  // namespace plb
