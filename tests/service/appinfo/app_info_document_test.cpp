// Reading the application-information document: validity, every setting's default and edge cases,
// the error-page table and the start of the home view.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/program_file.h"
#include "service/appinfo/app_info_item.h"
#include "service/appinfo/error_command.h"
#include "service/appinfo/file_url.h"
#include "service/appinfo/local_wakeup.h"

namespace plb {
namespace {

std::string Doc(const std::string& body, const std::string& root = "plbAppInfo", const std::string& ver = " ver=\"1\"") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + root + ver + ">" + body + "</" + root + ">";
}

class AppInfoDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { PlumoraErrorCommand().Clear(); }
  void TearDown() override {
    PlumoraErrorCommand().Clear();
    OverrideProgramFilePath("");
  }
  TAppInfoValues Read(const std::string& text) {
    TMVGetAppInfoItem reader;
    EXPECT_TRUE(reader.LoadFromText(text)) << text;
    return reader.Values();
  }
};

TEST_F(AppInfoDocumentTest, OnlyARootNamingAppInfoWithAVersionIsADocument) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {Doc("", "MyAppInfo2"), true},
      {Doc("", "APPINFO"), true},
      {Doc("", "appinfo", ""), false},
      {Doc("", "settings"), false},
      {"<plbAppInfo ver=\"1\"><baseurl src=\"x\"></plbAppInfo>", false},  // does not parse
      {"", false},
      {std::string(3, '\0'), false},
      {Doc("<x>" + std::string(kMaxAppInfoBytes, 'a') + "</x>"), false},  // larger than any document
  };
  for (const auto& c : cases) {
    TMVGetAppInfoItem reader;
    EXPECT_EQ(reader.LoadFromText(c.text), c.valid) << c.text.substr(0, 80);
  }
}

TEST_F(AppInfoDocumentTest, AnEmptyDocumentGivesTheDefaults) {
  const TAppInfoValues v = Read(Doc(""));
  EXPECT_EQ(v.base_url, "");
  EXPECT_EQ(v.upload_api_version, 1);
  EXPECT_TRUE(v.network_check);
  EXPECT_EQ(v.image_cache_limit_kb, 0);
  EXPECT_EQ(v.ui_debug_menu, uidHidden);
  EXPECT_EQ(v.ui_debug_info, uidHidden);
  EXPECT_EQ(v.ui_tab, uidEnable);
  EXPECT_EQ(v.ui_tray, uidEnable);
  EXPECT_EQ(v.update_dialog_width, 0);
  EXPECT_FALSE(v.update_vista_only);
  EXPECT_TRUE(PlumoraErrorCommand().NetworkCheck());
  EXPECT_EQ(PlumoraErrorCommand().OfflineCommand(), "");
}

TEST_F(AppInfoDocumentTest, ReadsTheServiceSettings) {
  const TAppInfoValues v = Read(Doc(
      "<baseurl src=\"http://s/api/\" uploadapiver=\"3\"/><getappinfourl src=\"http://s/ai\"/>"
      "<getinstallerurl src=\"http://s/inst\"/><getupdateurl src=\"http://s/upd\"/>"
      "<networkcheck value=\"Disable\" offlineannounceurl=\"http://s/off\"/>"
      "<logurl src=\"http://s/log\" longsessionid=\"L-9\"/><remotephotourl src=\"http://s/eyefi/\"/>"
      "<shutdown><procs><uploading><message>アップロード中です。</message></uploading></procs></shutdown>"
      "<updatemessages><dialog src=\"http://s/d\" width=\"400\" height=\"300\"/><vistaonly>true</vistaonly>"
      "<button type=\"YesNo\"/></updatemessages>"
      "<hints><hint hintid=\"4\" guiid=\"tree\" url=\"u\" bgcolor=\"255\"><condition kind=\"VersionUp\"/></hint>"
      "<hint guiid=\"grid\"/></hints>"
      "<plbid packagecode=\"PLB\" machineid=\"M\" machineuserid=\"MU\"/>"
      "<operationlogurl src=\"http://s/ol\" plbprocessid=\"7\" nouse=\"true\"/>"
      "<copyright text=\"\" copyright=\"(c) Morvane\"/>"));
  EXPECT_EQ(v.base_url, "http://s/api/");
  EXPECT_EQ(v.upload_api_version, 3);
  EXPECT_EQ(v.app_info_url, "http://s/ai");
  EXPECT_EQ(v.installer_url, "http://s/inst");
  EXPECT_EQ(v.update_url, "http://s/upd");
  EXPECT_FALSE(v.network_check);
  EXPECT_FALSE(PlumoraErrorCommand().NetworkCheck());
  EXPECT_EQ(PlumoraErrorCommand().OfflineCommand(),
            "\"command=startpage\",\"pageurl=http://s/off\",\"disptabmode=none\"");
  EXPECT_EQ(v.log_url, "http://s/log");
  EXPECT_EQ(v.log_long_session_id, "L-9");
  EXPECT_EQ(v.eyefi_url, "http://s/eyefi/");
  EXPECT_EQ(v.uploading_message, "アップロード中です。");
  EXPECT_EQ(v.update_dialog_url, "http://s/d");
  EXPECT_EQ(v.update_dialog_width, 400);
  EXPECT_EQ(v.update_dialog_height, 300);
  EXPECT_TRUE(v.update_vista_only);
  EXPECT_EQ(v.update_buttons, 1 | 2);
  ASSERT_EQ(v.hints.size(), 2u);
  EXPECT_EQ(v.hints[0].hint_id, 4);
  EXPECT_TRUE(v.hints[0].version_up);
  EXPECT_FALSE(v.hints[0].enabled);  // no update just happened
  EXPECT_EQ(v.hints[1].hint_id, -1);
  EXPECT_EQ(v.hints[1].height, -1);
  EXPECT_TRUE(v.hints[1].enabled);
  EXPECT_EQ(v.plbid_machine_user_id, "MU");
  EXPECT_EQ(v.operation_log_url, "http://s/ol");
  EXPECT_EQ(v.operation_log_process_id, "7");
  EXPECT_TRUE(v.operation_log_no_use);
  EXPECT_EQ(v.copyright, "(c) Morvane");
}

TEST_F(AppInfoDocumentTest, ImageCacheLimitIsKilobytesIn64BitsOrNoLimit) {
  struct Case {
    std::string element;
    int64_t kb;
  } cases[] = {
      {"<imagelibcashmax kbyes=\"INFINITY\"/>", -1}, {"<imagelibcashmax kbyes=\"infinity\"/>", -1},
      {"<imagelibcashmax kbyes=\"abc\"/>", 0},       {"<imagelibcashmax kbyes=\"512000\"/>", 512000},
      {"<imagelibcashmax kbyes=\"8589934592\"/>", 8589934592LL},  // beyond 32 bits
      {"<imagelibcashmax kbyes=\"99999999999999999999999\"/>", 0},  // beyond 64 bits
      {"<imagelibcashmax kbyes=\"-5\"/>", 0},        {"<imagelibcashmax/>", 0},
      {"", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Read(Doc("<initialparams>" + c.element + "</initialparams>")).image_cache_limit_kb, c.kb) << c.element;
}

TEST_F(AppInfoDocumentTest, UiSwitchWordsAnyCaseAndUnknownWordsLeaveTheSwitch) {
  struct Case {
    std::string uis;
    int debug_menu;
    int tab;
  } cases[] = {
      {"<menu name=\"debug\" disp=\"Hidden\"/>", uidHidden, uidEnable},
      {"<menu name=\"debug\" disp=\"ENABLE\"/><toolbar name=\"tab\" disp=\"dialog\"/>", uidEnable, uidDialog},
      {"<menu name=\"debug\" disp=\"maybe\"/><toolbar name=\"tab\" disp=\"maybe\"/>", uidHidden, uidEnable},
      {"<menu name=\"other\" disp=\"enable\"/><toolbar name=\"tab\" disp=\"disable\"/>", uidHidden, uidDisable},
  };
  for (const auto& c : cases) {
    const TAppInfoValues v = Read(Doc("<uis>" + c.uis + "</uis>"));
    EXPECT_EQ(v.ui_debug_menu, c.debug_menu) << c.uis;
    EXPECT_EQ(v.ui_tab, c.tab) << c.uis;
  }
}

TEST_F(AppInfoDocumentTest, CollageTypesKeepTheirMenuPositionSeparatorsAndWays) {
  const TAppInfoValues v = Read(Doc(
      "<initialparams><collage><sizesetting>"
      "<type id=\"basic\" name=\"B\"><way value=\"vertical\"><photosize width=\"640\" photoheight=\"480\"/>"
      "<span left=\"1\" top=\"2\" right=\"3\" bottom=\"4\"/></way><way value=\"other\"/></type>"
      "<separator/><type id=\"Wedding\" name=\"W\"/>"
      "<type id=\"Bogus\" name=\"X\"/>"
      "<type id=\"Race\"/><type id=\"Movie\"/><type id=\"Movie\"/><type id=\"Movie\"/><type id=\"Movie\"/>"
      "<type id=\"Movie\"/><type id=\"Movie\"/><type id=\"PrintA4\"/>"
      "<type id=\"Square\"/>"  // position 11: past the menu
      "</sizesetting><default id=\"printpostcard\"/></collage></initialparams>"));
  ASSERT_EQ(v.collage_types.size(), 10u);  // the unknown kind is skipped, position 11 refused
  EXPECT_EQ(v.collage_types[0].kind, 4);
  EXPECT_FALSE(v.collage_types[0].separator);
  ASSERT_EQ(v.collage_types[0].ways.size(), 2u);
  const TCollageWay& way = v.collage_types[0].ways[0];
  EXPECT_TRUE(way.vertical);
  EXPECT_EQ(way.photo_width, 640);
  EXPECT_EQ(way.photo_height, 480);
  EXPECT_EQ(way.span_left + way.span_top * 10 + way.span_right * 100 + way.span_bottom * 1000, 4321);
  EXPECT_FALSE(v.collage_types[0].ways[1].vertical);
  EXPECT_EQ(v.collage_types[1].kind, 7);
  EXPECT_TRUE(v.collage_types[1].separator);
  EXPECT_EQ(v.collage_types[1].position, 1);
  EXPECT_EQ(v.collage_types[2].kind, 7);  // Race, after the skipped position 2
  EXPECT_EQ(v.collage_types[2].position, 3);
  EXPECT_EQ(v.collage_types.back().kind, 10);
  EXPECT_EQ(v.collage_types.back().position, 10);
  EXPECT_EQ(v.collage_default_kind, 9);
}

TEST_F(AppInfoDocumentTest, ErrorEntriesReplaceRemoveAndFallBack) {
  Read(Doc("<errormessages>"
           "<type value=\"requestFalied\" code=\"\" command=\"startpage\"><parameter name=\"pageurl\" value=\"a.html\"/></type>"
           "<type value=\"requestFalied\" code=\"\" src=\"b.html\"/>"
           "<type value=\"socketeEror\" code=\"ES0001\" src=\"s.html\"/>"
           "<type value=\"socketeEror\" code=\"ES0001\"/>"
           "<type value=\"\" code=\"\" src=\"any.html\"/>"
           "</errormessages>"));
  const std::string requestFailed =
      "\"command=startpage\",\"pageurl=b.html?value=requestFalied&code=&justafterupdate=false\","
      "\"dispTabMode=ver1\"";
  EXPECT_EQ(PlumoraErrorCommand().Lookup("requestFalied", "ER1000"), requestFailed);
  EXPECT_EQ(PlumoraErrorCommand().Lookup("REQUESTFALIED", ""), requestFailed);  // keys ignore case
  const std::string any = "\"command=startpage\",\"pageurl=any.html?value=&code=&justafterupdate=false\",\"dispTabMode=ver1\"";
  EXPECT_EQ(PlumoraErrorCommand().Lookup("socketeEror", "ES0001"), any);  // its entry was removed
  EXPECT_EQ(PlumoraErrorCommand().Size(), 2u);
  PlumoraErrorCommand().SetLastFailure("requestFalied", "ER1000");
  EXPECT_EQ(PlumoraErrorCommand().LookupLastFailure(), requestFailed);

  PlumoraErrorCommand().Clear();
  EXPECT_EQ(PlumoraErrorCommand().Lookup("requestFalied", "ER1000"), "");
}

TEST_F(AppInfoDocumentTest, ErrorPageCommandForms) {
  OverrideProgramFilePath("/opt/plb/plb");
  struct Case {
    std::string type;
    std::string command;
  } cases[] = {
      {"<type value=\"socketeEror\" code=\"ES0001\" src=\"page.html\"/>",
       "\"command=startpage\",\"pageurl=page.html?value=socketeEror&code=ES0001&justafterupdate=false\","
       "\"dispTabMode=ver1\""},
      // A page with a query of its own gets the failure appended, not a second "?".
      {"<type value=\"socketeEror\" code=\"ES0001\" src=\"page.php?lang=ja\"/>",
       "\"command=startpage\",\"pageurl=page.php?lang=ja&value=socketeEror&code=ES0001&justafterupdate=false\","
       "\"dispTabMode=ver1\""},
      {"<type value=\"socketeEror\" code=\"ES0001\" command=\"startpage\">"
       "<parameter name=\"PageUrl\" value=\"file://err\\e.html\"/><parameter name=\"disptabmode\" value=\"none\"/></type>",
       "\"command=startpage\",\"PageUrl=file:///opt/plb/docroot/err/e.html?value=socketeEror&code=ES0001&"
       "justafterupdate=false\",\"disptabmode=none\""},
      // A page outside the page folder is never shown.
      {"<type value=\"socketeEror\" code=\"ES0001\" src=\"file://../../etc/passwd\"/>",
       "\"command=startpage\",\"pageurl=?value=socketeEror&code=ES0001&justafterupdate=false\",\"dispTabMode=ver1\""},
  };
  for (const auto& c : cases) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(c.type.c_str()));
    EXPECT_EQ(ErrorEntryCommand(document.first_child(), false), c.command) << c.type;
  }
}

TEST_F(AppInfoDocumentTest, FileUrlsStayInThePageFolderForDocuments) {
  OverrideProgramFilePath("/opt/plb/plb");
  struct Case {
    std::string value;
    FileUrlSource source;
    std::string mapped;
  } cases[] = {
      {"file://help/index.html", FileUrlSource::kDocument, "file:///opt/plb/docroot/help/index.html"},
      {"FILE://a\\b.html", FileUrlSource::kDocument, "file:///opt/plb/docroot/a/b.html"},
      {"file:///etc/passwd", FileUrlSource::kDocument, "file:///opt/plb/docroot/etc/passwd"},
      {"file://../docroot2/x", FileUrlSource::kDocument, ""},
      {"file://a/../../x", FileUrlSource::kDocument, ""},
      {"file:///home/u/getAppInfo.xml", FileUrlSource::kLocalUser, "file:///home/u/getAppInfo.xml"},
      {"http://s/help", FileUrlSource::kDocument, "http://s/help"},
  };
  for (const auto& c : cases) EXPECT_EQ(MapFileUrl(c.value, c.source), c.mapped) << c.value;
}

TEST_F(AppInfoDocumentTest, LocalWakeupDecidesHowTheHomeViewStarts) {
  struct Case {
    std::string online;
    int kind;
    std::string start_page;
    std::string uploading_command;
  } cases[] = {
      {"<setmode value=\"url\"/>", 0, "", ""},
      {"<setmode value=\"url\"><parameter name=\"url\" value=\"http://s/home\"/></setmode>", 0, "http://s/home", ""},
      {"<setmode value=\"PlumoraBrowserCommand\"><parameter name=\"setuploadingcommand\" value=\"upload\"/>"
       "<parameter name=\"setuploadingparam_mode\" value=\"tray\"/></setmode>",
       2, "", "\"command=upload\",\"mode=tray\""},
      {"<setmode value=\"page\"><parameter name=\"GETURL_URL\" value=\"http://s/first\"/>"
       "<parameter name=\"url\" value=\"http://s/home\"/></setmode>",
       1, "fetched:http://s/first", ""},
  };
  const StartPageFetcher fetch = [](const std::string& url, std::string& page) {
    page = "fetched:" + url;
    return true;
  };
  for (const auto& c : cases) {
    pugi::xml_document document;
    const std::string text = Doc("<localwakeup><procs><networkcheck><online>" + c.online +
                                 "</online></networkcheck></procs></localwakeup>");
    ASSERT_TRUE(document.load_string(text.c_str()));
    const TLocalWakeup w = EvaluateLocalWakeup(document.document_element(), fetch);
    EXPECT_EQ(w.set_mode_kind, c.kind) << c.online;
    EXPECT_EQ(w.start_page, c.start_page) << c.online;
    EXPECT_EQ(w.uploading_command, c.uploading_command) << c.online;
  }
}

TEST_F(AppInfoDocumentTest, TheLastOnlineElementWins) {
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(
      Doc("<localwakeup><procs><networkcheck>"
          "<online><setmode value=\"plumorabrowsercommand\"><parameter name=\"getfirstcommandurl\" value=\"http://f\"/>"
          "</setmode></online>"
          "<online><setmode value=\"url\"><parameter name=\"url\" value=\"http://h\"/></setmode></online>"
          "</networkcheck></procs></localwakeup>")
          .c_str()));
  const TLocalWakeup w = EvaluateLocalWakeup(document.document_element(), nullptr);
  EXPECT_EQ(w.set_mode_kind, 0);
  EXPECT_EQ(w.start_page, "http://h");
  EXPECT_EQ(w.first_command_url, "");
}

// Every cut and byte change of a real document reads without a fault: a document is hostile.
TEST_F(AppInfoDocumentTest, DamagedDocumentsNeverFault) {
  const std::string text = Doc(
      "<baseurl src=\"http://s/\" uploadapiver=\"2\"/><initialparams><imagelibcashmax kbyes=\"1\"/><collage>"
      "<sizesetting><type id=\"Basic\"><way><photosize width=\"1\" photoheight=\"2\"/><span left=\"1\"/></way>"
      "</type></sizesetting></collage></initialparams><errormessages><type value=\"a\" src=\"b\"/></errormessages>"
      "<localwakeup><procs><networkcheck><online><setmode value=\"url\"><parameter name=\"url\" value=\"u\"/>"
      "</setmode></online></networkcheck></procs></localwakeup><uis><menu name=\"debug\" disp=\"enable\"/></uis>");
  for (size_t cut = 0; cut < text.size(); cut += 7) {
    TMVGetAppInfoItem reader;
    reader.LoadFromText(text.substr(0, cut));
    std::string changed = text;
    changed[cut] = static_cast<char>(changed[cut] ^ 0x5A);
    if (reader.LoadFromText(changed)) {
      pugi::xml_node root = reader.Root();
      EvaluateLocalWakeup(root, nullptr);
    }
  }
}

}  // namespace
}  // namespace plb
