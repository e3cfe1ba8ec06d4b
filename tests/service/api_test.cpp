// Every service request against the running local service: the fields and their order, the
// answers read back, and the classification of each kind of failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/log_file.h"
#include "local_service_process.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"

namespace plb {
namespace {

using Names = std::vector<std::string>;

std::string WriteData(const std::string& name, const std::string& bytes) {
  const std::string path = test::TestRoot() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A real photo of 100 x 78 pixels: the service decodes what it receives and checks its size.
std::string SmallJpeg() {
  return ReadText(test::TestDataDir() + "/exif-samples/jpg/Kodak_CX7530.jpg");
}

class ServiceApi : public testing::Test {
 protected:
  void SetUp() override { service_.UseAsService(); }

  // Starts an upload session and gives its item.
  TPlumoraUploadInfoItem::Values StartSession() {
    TPlumoraUploadInfoItem item;
    item.Update([](TPlumoraUploadInfoItem::Values& v) { v.photo_count = 2; });
    const TPLApiResult result = PLApi_StartUpload(item);
    EXPECT_TRUE(result.Success) << result.Code << " " << result.Message;
    return item.Get();
  }

  TPLApiResult Upload(const std::string& book, std::string& uuid, int thumb_id, const std::string& file,
                      int photo_index = 1) {
    return PLApi_UploadEx(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, 0, photo_index, uuid, "comment", thumb_id,
                          4000, 3000, {}, "/photos/IMG_1.JPG", file);
  }

  test::LocalServiceProcess service_;
};

TEST_F(ServiceApi, EveryRequestSendsItsFieldsInOrder) {
  const TPlumoraUploadInfoItem::Values session = StartSession();
  const std::string book = session.plumora_id;
  const std::string jpeg = WriteData("photo.jpg", SmallJpeg());
  const std::string local = WriteData("hand.xml", "<plumoraBrowserWakeup/>");
  std::string uuid, text, answer;
  std::vector<TPlumoraAlbum> albums;
  std::vector<TPlumoraRestItem> rest;
  pugi::xml_document info;
  const std::string bgm = "music bytes";
  const Names id4 = {"version", "sessionid", "plbid_machineid", "plbid_machineuserid"};
  const Names bid4 = {"version", "longsessionid", "plbid_machineid", "plbid_machineuserid"};
  auto plus = [](Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };

  struct Case {
    const char* what;
    std::function<TPLApiResult()> call;
    Names fields;
  };
  const Case cases[] = {
      {"start upload",
       [&] {
         TPlumoraUploadInfoItem item;
         return PLApi_StartUpload(item);
       },
       plus(id4, {"plumoraid", "backtest", "photonum"})},
      {"app info",
       [&] { return PLApi_GetAppInfo("LOG-1", "M-1", "MU-1", "enable", answer); },
       {"version", "sessionid", "loglongsessionid", "packagecode_plbid_machineid_list",
        "packagecode_plbid_machineuserid_list", "validma"}},
      {"albums",
       [&] {
         return PLApi_GetPlumoraAlbums({book, "B9999"}, &albums);
       },
       plus(id4, {"plumoraidary"})},
      {"upload, thumbnail",
       [&] {
         return PLApi_UploadEx(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, 1, 3, uuid, "コメント", 2, 4000, 3000,
                               {"旅行", "家族"}, "/photos/写真.JPG", jpeg);
       },
       plus(id4, {"plumoraid", "editmode", "photoindex", "resuuid", "comment", "thumbid", "orgwidth", "orgheight",
                  "phototag0", "phototag1", "orgfilename", "data"})},
      {"upload, full image", [&] { return Upload(book, uuid, -1, jpeg); },
       plus(id4, {"plumoraid", "editmode", "photoindex", "resuuid", "comment", "orgfilename", "data"})},
      {"finish, default",
       [&] {
         return PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, true, 0, 0, "", "tab", "", text);
       },
       plus(id4, {"plumoraid", "iscomplete", "tabname", "createmode"})},
      {"finish, calendar",
       [&] {
         return PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, false, 1, 1, "2024/05/17", "tab",
                                     "", text);
       },
       plus(id4, {"plumoraid", "iscomplete", "tabname", "createmode", "direct_type", "direct_photoday"})},
      {"finish, folder",
       [&] {
         return PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, false, 2, 2, "旅行", "tab", "",
                                     text);
       },
       plus(id4, {"plumoraid", "iscomplete", "tabname", "createmode", "direct_type", "direct_name"})},
      {"finish, hand-over document",
       [&] {
         return PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, true, 3, 0, "", "tab", local, text);
       },
       plus(id4, {"plumoraid", "iscomplete", "tabname", "createmode", "infile"})},
      {"body icon",
       [&] { return PLApi_UploadBodyIcon("/tmp/icon.jpg", &bgm, text); },
       {"sessionid", "plbid_machineid", "plbid_machineuserid", "data"}},
      {"music, empty title",
       [&] { return PLApi_UploadBGMStream(book, "/music/a.mp3", "", &bgm, text); },
       {"sessionid", "plbid_machineid", "plbid_machineuserid", "plumoraid", "title", "data"}},
      {"music ex, empty title",
       [&] { return PLApi_UploadBGMStreamEx(book, "/music/a.mp3", "", &bgm, text); },
       {"sessionid", "plbid_machineid", "plbid_machineuserid", "plumoraid", "data"}},
      {"music ex, title",
       [&] { return PLApi_UploadBGMStreamEx(book, "/music/a.mp3", "曲", &bgm, text); },
       {"sessionid", "plbid_machineid", "plbid_machineuserid", "plumoraid", "title", "data"}},
      {"upload back, full image",
       [&] { return PLApi_UploadBack(session.long_session_id, "M-1", "MU-1", -1, "", jpeg, uuid); },
       plus(bid4, {"resuuid", "data"})},
      {"upload back, thumbnail",
       [&] { return PLApi_UploadBack(session.long_session_id, "M-1", "MU-1", 4, "/photos/a.jpg", jpeg, uuid); },
       plus(bid4, {"resuuid", "thumbid", "orgfilename", "data"})},
      {"rest", [&] { return PLApi_GetRestUploadBack(session.long_session_id, "M-1", "MU-1", &rest); }, bid4},
      {"fail back", [&] { return PLApi_UploadFailBack(session.long_session_id, "M-1", "MU-1", uuid); },
       plus(bid4, {"resuuid"})},
      {"finish back", [&] { return PLApi_FinishedUploadBack(session.long_session_id, "M-1", "MU-1", true); },
       plus(bid4, {"iscomplete"})},
      {"save log",
       [&] {
         const std::string data = "<report/>";
         return PLApi_SaveLog(service_.ApiUrl() + "saveLog.php", "LOG-1", &data);
       },
       plus(id4, {"longsessionid", "logdata"})},
      {"log out", [&] { return PLApi_LogOut(); }, id4},
      {"first display url",
       [&] { return PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php?x=1&&y=2&=3", "", text); },
       {"x", "y"}},
      {"first command",
       [&] { return PLApi_GetFirstCommandCSV(service_.ApiUrl() + "getFirstCommand.php?a=1", local, info, text); },
       {"a", "infile"}},
      {"eye-fi directory",
       [&] { return EyeFi_GetDirectoryResources("D1", 7, answer); },
       {"sessionid", "dirid", "revision"}},
      {"eye-fi thumbnail",
       [&] { return EyeFi_loadThumbnail("R1", 160, 120, answer); },
       {"sessionid", "resid", "width", "height"}},
      {"eye-fi resource", [&] { return EyeFi_loadResource("R1", 0, answer); }, {"sessionid", "resid"}},
      {"eye-fi resource, revision",
       [&] { return EyeFi_loadResource("R1", 3, answer); },
       {"sessionid", "resid", "revision"}},
      {"eye-fi upload", [&] { return EyeFi_Upload(book, "R1", 2); }, {"sessionid", "plumoraid", "photoindex", "resid"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TPLApiResult result = c.call();
    EXPECT_TRUE(result.Success) << result.Code << " " << result.Message;
    EXPECT_EQ(result.Kind, plrkSuccessed);
    EXPECT_EQ(result.ErrorCode, "");
    EXPECT_EQ(service_.LastFieldNames(), c.fields);
  }
}

TEST_F(ServiceApi, ValuesAndPartsArriveAsTheServiceParsesThem) {
  const std::string book = StartSession().plumora_id;
  const std::string jpeg = WriteData("photo \"x\".jpg", SmallJpeg());
  std::string uuid;
  ASSERT_TRUE(PLApi_UploadEx(service_.ApiUrl(), "S-1", "M-1", "MU-1", book, 2, 3, uuid, "コメント", -1, 0, 0, {"旅行"},
                             "/photos/写真.JPG", jpeg)
                  .Success);
  const nlohmann::json request = service_.Requests().back();
  EXPECT_EQ(request["user_agent"], "Plumora Browser");
  EXPECT_EQ(request["path"], "/api/upload.php");
  std::map<std::string, nlohmann::json> parts;
  for (const auto& part : request["parts"]) parts[part["name"]] = part;
  EXPECT_EQ(parts["version"]["value"], PLApiVersion());
  EXPECT_EQ(parts["editmode"]["value"], "label");
  EXPECT_EQ(parts["comment"]["value"], "コメント");
  EXPECT_EQ(parts["phototag0"]["value"], "旅行");
  EXPECT_EQ(parts["orgfilename"]["value"], "/photos/写真.JPG");
  EXPECT_EQ(parts["comment"]["content_type"], "");
  EXPECT_EQ(parts["data"]["content_type"], "image/jpeg");
  EXPECT_EQ(parts["data"]["size"], SmallJpeg().size());
  // A quote in the file name is escaped, so it cannot end the part header.
  EXPECT_EQ(parts["data"]["filename"], test::TestRoot() + "/photo %22x%22.jpg");
  EXPECT_EQ(ReadText(service_.DataDir() + "/" + book + "/" + uuid + ".jpg"), ReadText(jpeg));
}

TEST_F(ServiceApi, UploadSessionWithReuploadsAgainstTheServiceState) {
  const TPlumoraUploadInfoItem::Values session = StartSession();
  EXPECT_EQ(session.plumora_id, "B0001");
  EXPECT_EQ(session.host_name, "127.0.0.1");
  EXPECT_FALSE(session.long_session_id.empty());
  EXPECT_TRUE(session.allow_parallel);
  EXPECT_EQ(session.original_max_width, 1600);
  EXPECT_EQ(session.retry_count, 2);
  EXPECT_EQ(session.thumbs[0], (ThumbSpec{1, 120, 120, 85}));
  EXPECT_EQ(session.thumbs[6], (ThumbSpec{7, 1024, 1024, 90}));
  EXPECT_EQ(session.session_id, "S-1");
  EXPECT_EQ(session.base_url, service_.ApiUrl());

  const std::string jpeg = WriteData("photo.jpg", SmallJpeg());
  std::string first, second;
  ASSERT_TRUE(Upload(session.plumora_id, first, 1, jpeg).Success);
  ASSERT_FALSE(first.empty());
  std::string same = first;
  ASSERT_TRUE(Upload(session.plumora_id, same, 2, jpeg).Success);
  EXPECT_EQ(same, first);  // further sizes of a photo join its resource
  ASSERT_TRUE(Upload(session.plumora_id, second, 1, jpeg, 2).Success);  // the next photo

  std::vector<TPlumoraRestItem> rest = {{"stale", "stale"}};
  ASSERT_TRUE(PLApi_GetRestUploadBack(session.long_session_id, "M-1", "MU-1", &rest).Success);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[0].res_uuid, first);
  EXPECT_EQ(rest[0].host_name, "127.0.0.1");

  ASSERT_TRUE(PLApi_UploadBack(session.long_session_id, "M-1", "MU-1", -1, "", jpeg, first).Success);
  ASSERT_TRUE(PLApi_UploadFailBack(session.long_session_id, "M-1", "MU-1", second).Success);
  ASSERT_TRUE(PLApi_GetRestUploadBack(session.long_session_id, "M-1", "MU-1", &rest).Success);
  EXPECT_TRUE(rest.empty());
  EXPECT_TRUE(service_.State()["resources"][first]["full"]);
  EXPECT_TRUE(service_.State()["resources"][second]["failed"]);

  ASSERT_TRUE(PLApi_FinishedUploadBack(session.long_session_id, "M-1", "MU-1", true).Success);
  const TPLApiResult closed = PLApi_GetRestUploadBack(session.long_session_id, "M-1", "MU-1", &rest);
  EXPECT_FALSE(closed.Success);
  EXPECT_EQ(closed.Code, "BadLongSessionid");

  std::vector<TPlumoraAlbum> albums;
  ASSERT_TRUE(PLApi_GetPlumoraAlbums({"B0001", "B0404"}, &albums).Success);
  ASSERT_EQ(albums.size(), 1u);
  EXPECT_EQ(albums[0].plumora_id, "B0001");
  EXPECT_FALSE(albums[0].title.empty());

  std::string next;
  ASSERT_TRUE(
      PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", "B0001", true, 0, 0, "", "t", "", next).Success);
  EXPECT_EQ(next, service_.BaseUrl() + "book.html?plumoraid=B0001");
  std::string music;
  const std::string bytes = "music";
  ASSERT_TRUE(PLApi_UploadBGMStream("B0001", "/m/a.mp3", "t", &bytes, music).Success);
  EXPECT_EQ(music.substr(0, 1), "M");
  ASSERT_TRUE(PLApi_UploadBGMStreamEx("B0001", "/m/a.mp3", "t", &bytes, next).Success);
  EXPECT_EQ(next, service_.BaseUrl() + "book.html?plumoraid=B0001");
}

TEST_F(ServiceApi, EmptyAlbumListSendsNothing) {
  std::vector<TPlumoraAlbum> albums;
  const TPLApiResult result = PLApi_GetPlumoraAlbums({}, &albums);
  EXPECT_FALSE(result.Success);
  EXPECT_EQ(result.Kind, plrkUnKnown);
  EXPECT_EQ(result.Code, "");
  EXPECT_TRUE(service_.Requests().empty());
}

// Argument checks come first, in their order, and nothing is sent when one fails.
TEST_F(ServiceApi, ArgumentChecksSendNothing) {
  const std::string jpeg = WriteData("photo.jpg", "jpeg");
  const std::string missing = test::TestRoot() + "/missing.jpg";
  const std::string empty_stream;
  std::string out;
  std::vector<TPlumoraRestItem> rest;
  struct Case {
    const char* what;
    std::function<void()> before;
    std::function<TPLApiResult()> call;
    std::string message;
    const char* code;
  };
  auto clear_base = [] { PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.base_url.clear(); }); };
  const Case cases[] = {
      {"upload without book", {}, [&] { return Upload("", out, 1, jpeg); }, "PlumoraId is empty.", "EE0005"},
      {"upload without file",
       {},
       [&] { return Upload("B1", out, 1, missing); },
       "File not Exists : " + missing,
       "EE0100"},
      {"upload without url",
       {},
       [&] { return PLApi_UploadEx("", "S", "M", "U", "B1", 0, 1, out, "", 1, 0, 0, {}, "", jpeg); },
       "Url = nil",
       "EE0002"},
      {"start without base", clear_base,
       [&] {
         TPlumoraUploadInfoItem i;
         return PLApi_StartUpload(i);
       },
       "Url = nil", "EE0002"},
      {"back without long session",
       {},
       [&] { return PLApi_UploadBack("", "M", "U", -1, "", jpeg, "R"); },
       "LongSessionId is empty.",
       "EE0100"},
      {"back without resource",
       {},
       [&] { return PLApi_UploadBack("L", "M", "U", -1, "", jpeg, ""); },
       "ResourceUuid is empty.",
       "EE0100"},
      {"rest without list",
       {},
       [&] { return PLApi_GetRestUploadBack("L", "M", "U", nullptr); },
       "RestItems = nil",
       "EE0100"},
      {"body icon without stream",
       {},
       [&] { return PLApi_UploadBodyIcon("a.jpg", nullptr, out); },
       "IconStream = nil",
       "EE0100"},
      {"body icon empty",
       {},
       [&] { return PLApi_UploadBodyIcon("a.jpg", &empty_stream, out); },
       "IconStream is Empty",
       "EE0100"},
      {"music without stream",
       {},
       [&] { return PLApi_UploadBGMStream("B1", "a", "", nullptr, out); },
       "BgmStream = nil",
       "EE0100"},
      {"music without book",
       {},
       [&] { return PLApi_UploadBGMStreamEx("", "a", "", &empty_stream, out); },
       "PlumoraId is empty.",
       "EE0005"},
      {"save log without data",
       {},
       [&] { return PLApi_SaveLog("http://127.0.0.1:1/", "L", nullptr); },
       "Data = nil",
       "EE0100"},
      {"save log without session",
       {},
       [&] {
         std::string d;
         return PLApi_SaveLog("http://127.0.0.1:1/", "", &d);
       },
       "LongSessionID = nil",
       "EE0100"},
      {"albums without list", {}, [&] { return PLApi_GetPlumoraAlbums({"B1"}, nullptr); }, "Albums = nil", "EE0100"},
      {"eye-fi upload without session",
       [] { PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.session_id.clear(); }); },
       [&] { return EyeFi_Upload("B1", "R", 1); }, "SessionId is empty.", "EE0001"},
      {"finish with unknown create mode",
       {},
       [&] { return PLApi_FinishedUpload(service_.ApiUrl(), "S", "M", "U", "B1", true, 7, 0, "", "", "", out); },
       "UnKnown PlumoraCreateMode. (plcm = 7)",
       "EE0100"},
      {"finish with unknown source type",
       {},
       [&] { return PLApi_FinishedUpload(service_.ApiUrl(), "S", "M", "U", "B1", true, 1, 9, "", "", "", out); },
       "UnKnown PlumoraApiSourceType. (plast = 9)",
       "EE0100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    service_.UseAsService();
    if (c.before) c.before();
    const TPLApiResult result = c.call();
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.Kind, plrkException);
    EXPECT_EQ(result.Code, "EPlumoraApiError");
    EXPECT_EQ(result.Message, c.message);
    EXPECT_EQ(result.ErrorCode, c.code);
  }
  EXPECT_TRUE(service_.Requests().empty());
}

TEST_F(ServiceApi, EyeFiRequestsWithoutSessionStayCleared) {
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.session_id.clear(); });
  std::string answer = "old";
  const TPLApiResult result = EyeFi_GetDirectoryResources("D", 1, answer);
  EXPECT_EQ(result.Kind, plrkUnKnown);
  EXPECT_EQ(answer, "");
  EXPECT_EQ(EyeFi_loadThumbnail("R", 1, 1, answer).Kind, plrkUnKnown);
  EXPECT_TRUE(service_.Requests().empty());
}

// Each fault of the service, on an operation of each family, and the result it gives.
TEST_F(ServiceApi, FailuresAreClassified) {
  const std::string jpeg = WriteData("photo.jpg", "jpeg");
  const std::string book = StartSession().plumora_id;
  std::string out;
  auto app_info = [&] { return PLApi_GetAppInfo("", "", "", "", out); };
  auto upload = [&] { return Upload(book, out, 1, jpeg); };
  auto start = [&] {
    TPlumoraUploadInfoItem item;
    return PLApi_StartUpload(item);
  };
  auto logout = [&] { return PLApi_LogOut(); };
  auto eyefi_dir = [&] { return EyeFi_GetDirectoryResources("D", 1, out); };
  auto eyefi_resource = [&] { return EyeFi_loadResource("R", 2, out); };
  struct Case {
    const char* what;
    std::string path;
    std::map<std::string, std::string> fault;
    std::function<TPLApiResult()> call;
    TPLApiResult expected;
  };
  const Case cases[] = {
      {"error document without children",
       "/api/upload.php",
       {{"kind", "error"}},
       upload,
       {false, "", "", plrkRequestFailed, "ER0001", ""}},
      {"error document",
       "/api/startUpload.php",
       {{"kind", "error"}, {"code", "BadSessionid"}, {"message", "expired"}},
       start,
       {false, "BadSessionid", "expired", plrkRequestFailed, "ER0001", ""}},
      {"204 on the first family",
       "/api/getAppInfo.php",
       {{"kind", "status"}, {"status", "204"}},
       app_info,
       {false, "204", "HTTP/1.1 204 No Content", plrkRequestFailed, "ER1000", ""}},
      {"204 on the second family",
       "/api/upload.php",
       {{"kind", "status"}, {"status", "204"}},
       upload,
       {false, "204", "HTTP/1.1 204 No Content", plrkUnKnown, "", ""}},
      {"404 on the first family",
       "/api/getAppInfo.php",
       {{"kind", "status"}, {"status", "404"}},
       app_info,
       {false, "EHttpProtocolError", "HTTP/1.1 404 Not Found", plrkSocketError, "ES0003", ""}},
      {"404 on the second family",
       "/api/upload.php",
       {{"kind", "status"}, {"status", "404"}},
       upload,
       {false, "404", "HTTP/1.1 404 Not Found", plrkUnKnown, "", ""}},
      {"500 on the second family",
       "/api/logout.php",
       {{"kind", "status"}, {"status", "500"}},
       logout,
       {false, "500", "HTTP/1.1 500 Internal Server Error", plrkUnKnown, "", ""}},
      {"bad XML, own reader",
       "/api/startUpload.php",
       {{"kind", "badxml"}},
       start,
       {false, "EXmlParseError", "*", plrkException, "EE1000", ""}},
      {"bad XML, classified only",
       "/api/logout.php",
       {{"kind", "badxml"}},
       logout,
       {false, "EPlumoraApiError", "EXmlParseError Raised ( *", plrkException, "EE0100", ""}},
      {"empty body",
       "/api/upload.php",
       {{"kind", "empty"}},
       upload,
       {false, "EPlumoraApiError", "GetApiResultFromElement : XmlNode = nil", plrkException, "EE0100", ""}},
      {"any root is success when only classified",
       "/api/logout.php",
       {{"kind", "body"}, {"body", "<whatever/>"}},
       logout,
       {true, "whatever", "", plrkSuccessed, "", ""}},
      {"dropped connection, first family",
       "/api/getAppInfo.php",
       {{"kind", "drop"}},
       app_info,
       {false, "EHttpConnectionClosed", "*", plrkSocketError, "ES1000", ""}},
      {"dropped connection, second family",
       "/api/upload.php",
       {{"kind", "drop"}},
       upload,
       {false, "200", "HTTP/1.1 200 OK", plrkUnKnown, "", ""}},
      {"304 on the Eye-Fi directory",
       "/eyefi/getDirectoryResources.php",
       {{"kind", "status"}, {"status", "304"}},
       eyefi_dir,
       {false, "304", "HTTP/1.1 304 Not Modified", plrkNotModified, "", ""}},
      {"304 on an Eye-Fi resource",
       "/eyefi/loadResource.php",
       {{"kind", "status"}, {"status", "304"}},
       eyefi_resource,
       {false, "304", "HTTP/1.1 304 Not Modified", plrkNotModified, "", ""}},
      {"command on an error document",
       "/api/logout.php",
       {{"kind", "body"},
        {"body",
         "<error><code>C</code><message>M</message><plumoraBrowserCommand command=\"startpage\">"
         "<parameter name=\"pageurl\" value='say \"x\"'/></plumoraBrowserCommand></error>"}},
       logout,
       {false, "C", "M", plrkRequestFailed, "ER0001", "\"command=startpage\",\"pageurl=say \"\"x\"\"\""}},
      {"Shift_JIS answer",
       "/api/logout.php",
       {{"kind", "body"},
        {"body", std::string("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><error><code>C</code><message>") +
                     "\x83\x65\x83\x58\x83\x67" + "</message></error>"}},
       logout,
       {false, "C", "テスト", plrkRequestFailed, "ER0001", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    service_.Fault(c.path, c.fault);
    const TPLApiResult result = c.call();
    EXPECT_EQ(result.Success, c.expected.Success);
    EXPECT_EQ(result.Code, c.expected.Code);
    if (!c.expected.Message.empty() && c.expected.Message.back() == '*')
      EXPECT_EQ(result.Message.substr(0, c.expected.Message.size() - 1),
                c.expected.Message.substr(0, c.expected.Message.size() - 1));
    else
      EXPECT_EQ(result.Message, c.expected.Message);
    EXPECT_EQ(result.Kind, c.expected.Kind);
    EXPECT_EQ(result.ErrorCode, c.expected.ErrorCode);
    EXPECT_EQ(result.Command, c.expected.Command);
  }
}

TEST_F(ServiceApi, TransportFailuresNeverHang) {
  std::string out;
  const std::string jpeg = WriteData("photo.jpg", "jpeg");
  TPLApiCallOptions quick;
  quick.read_timeout_ms = 300;

  // Nobody listens: a socket error, or only the status "-1" for the second family.
  const int closed_port = [&] {
    test::LocalServiceProcess other;
    const std::string url = other.BaseUrl();
    other.Stop();
    return std::stoi(url.substr(url.rfind(':') + 1));
  }();
  const std::string dead = "http://127.0.0.1:" + std::to_string(closed_port) + "/api/";
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) { v.app_info_url = dead + "getAppInfo.php"; });
  TPLApiResult result = PLApi_GetAppInfo("", "", "", "", out);
  EXPECT_EQ(result.Code, "EHttpSocketError");
  EXPECT_EQ(result.Kind, plrkSocketError);
  EXPECT_EQ(result.ErrorCode, "ES0001");
  result = PLApi_UploadEx(dead, "S", "M", "U", "B", 0, 1, out, "", 1, 0, 0, {}, "", jpeg);
  EXPECT_EQ(result.Code, "-1");
  EXPECT_EQ(result.Kind, plrkUnKnown);

  // Not http or https: nothing is read or sent, whatever the scheme.
  for (const std::string url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "getAppInfo.php", "gopher://h/"}) {
    SCOPED_TRACE(url);
    PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) { v.app_info_url = url; });
    result = PLApi_GetAppInfo("", "", "", "", out);
    EXPECT_EQ(result.Code, "EHttpUnknownProtocol");
    EXPECT_EQ(result.ErrorCode, "ES0002");
    EXPECT_EQ(out, "");
  }
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.base_url.clear(); });
  EXPECT_EQ(PLApi_LogOut().Code, "-1");  // the bare "logout.php" goes nowhere

  // A service that does not answer in time.
  service_.UseAsService();
  service_.Fault("/api/getAppInfo.php", {{"kind", "delay"}, {"delay", "20000"}});
  result = PLApi_GetAppInfo("", "", "", "", out, quick);
  EXPECT_EQ(result.Code, "EHttpTimeout");
  EXPECT_EQ(result.ErrorCode, "ES1000");
  service_.Fault("/api/upload.php", {{"kind", "slowbody"}, {"delay", "20000"}});
  result = PLApi_UploadEx(service_.ApiUrl(), "S-1", "M", "U", "B", 0, 1, out, "", 1, 0, 0, {}, "", jpeg, quick);
  EXPECT_EQ(result.Code, "200");
  EXPECT_EQ(result.Kind, plrkUnKnown);
}

TEST_F(ServiceApi, CancelFromAnotherThreadEndsTheRequest) {
  std::string out;
  std::atomic<bool> cancel{false};
  TPLApiCallOptions options;
  options.cancelled = [&] { return cancel.load(); };
  service_.Fault("/api/getAppInfo.php", {{"kind", "delay"}, {"delay", "60000"}});
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  const auto started = std::chrono::steady_clock::now();
  const TPLApiResult result = PLApi_GetAppInfo("", "", "", "", out, options);
  const auto waited = std::chrono::steady_clock::now() - started;
  canceller.join();
  EXPECT_EQ(result.Code, "EHttpCancelled");
  EXPECT_EQ(result.ErrorCode, "ES1000");
  // The service would have held the answer for a minute.
  EXPECT_LT(waited, std::chrono::seconds(30));
}

TEST_F(ServiceApi, ProgressReportsTheBytesSent) {
  const std::string book = StartSession().plumora_id;
  const std::string music(3 << 20, 'm');
  uint64_t last_sent = 0, last_total = 0;
  bool went_backwards = false;
  TPLApiCallOptions options;
  options.progress = [&](uint64_t sent, uint64_t total) {
    went_backwards |= sent < last_sent;
    last_sent = sent;
    last_total = total;
  };
  std::string next;
  ASSERT_TRUE(PLApi_UploadBGMStreamEx(book, "/m/a.mp3", "", &music, next, options).Success);
  EXPECT_FALSE(went_backwards);
  EXPECT_GT(last_total, music.size());
  EXPECT_EQ(last_sent, last_total);
}

TEST_F(ServiceApi, StartUploadAnswerIsReadDefensively) {
  auto start_with = [&](const std::string& inner) {
    service_.Fault("/api/startUpload.php",
                   {{"kind", "body"}, {"body", "<startUpload_response>" + inner + "</startUpload_response>"}});
    TPlumoraUploadInfoItem item;
    item.Update([](TPlumoraUploadInfoItem::Values& v) {
      v.original_max_width = 77;
      v.plumora_id = "OLD";
    });
    const TPLApiResult result = PLApi_StartUpload(item);
    return std::make_pair(result, item.Get());
  };

  auto [result, v] = start_with(
      "<unknown/><thumbnails><thumbnail thumbid=\"9\" width=\"1\" height=\"1\" jpegquality=\"1\"/>"
      "<thumbnail thumbid=\"3\" width=\"240\" height=\"180\"/><thumbnail thumbid=\"5\" width=\"w\"/></thumbnails>"
      "<allowparallel value=\"True\"/><originalmax height=\"h\"/><retrycount value=\"1000000\"/>");
  EXPECT_TRUE(result.Success);
  EXPECT_EQ(v.thumbs[2], (ThumbSpec{3, 240, 180, 85}));
  EXPECT_EQ(v.thumbs[4], (ThumbSpec{5, -1, -1, 85}));
  for (int slot : {0, 1, 3, 5, 6}) EXPECT_EQ(v.thumbs[slot], ThumbSpec{});
  EXPECT_FALSE(v.allow_parallel);
  EXPECT_EQ(v.original_max_width, 77);  // absent: unchanged
  EXPECT_EQ(v.original_max_height, 0);  // not a number: 0
  EXPECT_EQ(v.original_jpeg_quality, 90);
  EXPECT_EQ(v.retry_count, kMaxRetryCount);

  std::tie(result, v) = start_with("<retrycount value=\"-5\"/>");
  EXPECT_EQ(v.retry_count, 0);

  std::tie(result, v) = start_with("<retrycount value=\"x\"/>");
  EXPECT_FALSE(result.Success);
  EXPECT_EQ(result.Kind, plrkException);
  EXPECT_EQ(result.Code, "EConvertError");
  EXPECT_EQ(result.ErrorCode, "EE1000");

  // The identity that was sent is kept even when the answer is an error document.
  service_.Fault("/api/startUpload.php", {{"kind", "error"}, {"code", "BadSessionid"}, {"message", "m"}});
  TPlumoraUploadInfoItem item;
  result = PLApi_StartUpload(item);
  EXPECT_EQ(result.Code, "BadSessionid");
  EXPECT_EQ(item.Get().session_id, "S-1");
  EXPECT_EQ(item.Get().machine_user_id, "MU-1");
  EXPECT_EQ(item.Get().base_url, service_.ApiUrl());
}

TEST_F(ServiceApi, FirstDisplayUrlIsMadeAbsolute) {
  const std::string host = service_.BaseUrl().substr(0, service_.BaseUrl().size() - 1);
  struct Case {
    const char* start_page;
    std::string expected;
  };
  const Case cases[] = {
      {"/book/1", host + "/book/1"},
      {"book/1", host + "/book/1"},
      {"HTTP://Example.com/x", "HTTP://Example.com/x"},
      {"https://example.com/x", "https://example.com/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start_page);
    service_.Configure({{"startpage", c.start_page}});
    std::string url;
    ASSERT_TRUE(PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php", "", url).Success);
    EXPECT_EQ(url, c.expected);
  }
  service_.Fault("/api/getUrl.php", {{"kind", "body"}, {"body", "<getUrl_response/>"}});
  std::string url;
  ASSERT_TRUE(PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php", "", url).Success);
  EXPECT_EQ(url, host + "/");
}

// Only a web page is absolute: a start page of any other scheme would be opened as it is (a local
// file, another program's protocol), so it fails the request the way a failed exchange does.
TEST_F(ServiceApi, AStartPageOfAnotherSchemeFailsTheRequest) {
  for (const char* start_page : {"file:///etc/passwd", "FILE:///home/user/x.html", "plumorabrowser://command",
                                 "javascript:alert(1)", "data:text/html,<b>x</b>", "http://", "ftp://example.com/x"}) {
    SCOPED_TRACE(start_page);
    service_.Configure({{"startpage", start_page}});
    std::string url;
    const TPLApiResult result = PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php", "", url);
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.ErrorCode, "EE0100");
    EXPECT_EQ(url, "");
  }
  const std::string host = service_.BaseUrl().substr(0, service_.BaseUrl().size() - 1);
  for (const char* relative : {"book/1:2", "page?at=x:y", "/a#b:c"}) {
    service_.Configure({{"startpage", relative}});
    std::string url;
    EXPECT_TRUE(PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php", "", url).Success) << relative;
    EXPECT_EQ(url.rfind(host + "/", 0), 0u) << url;
  }
}

TEST_F(ServiceApi, CommandsComeFromTheAnswer) {
  // The Command field needs the "command" attribute; the first command takes the parameters alone.
  service_.Configure({{"command", "startpage"}, {"commandparams", "pageurl=http://h/p&focuscount=1"}});
  std::string next;
  const TPLApiResult finished = PLApi_FinishedUpload(service_.ApiUrl(), "S-1", "M-1", "MU-1", StartSession().plumora_id,
                                                     true, 0, 0, "", "", "", next);
  EXPECT_EQ(finished.Command, "\"command=startpage\",\"pageurl=http://h/p\",\"focuscount=1\"");

  const std::string without_command =
      "<X_response><plumoraBrowserCommand><PARAMETER name=\"mode\" value=\"disppage\"/><parameter name=\"n\"/>"
      "</plumoraBrowserCommand><appInfo ver=\"9\"><baseurl src=\"http://b/\"/></appInfo></X_response>";
  service_.Fault("/api/getFirstCommand.php", {{"kind", "body"}, {"body", without_command}});
  pugi::xml_document info;
  std::string csv;
  const TPLApiResult first = PLApi_GetFirstCommandCSV(service_.ApiUrl() + "getFirstCommand.php", "", info, csv);
  EXPECT_TRUE(first.Success);
  EXPECT_EQ(first.Command, "");
  EXPECT_EQ(csv, "\"mode=disppage\"");
  const pugi::xml_node copy = info.document_element();
  EXPECT_STREQ(copy.name(), "appInfo");
  EXPECT_STREQ(copy.attribute("ver").value(), "1.0");
  EXPECT_STREQ(copy.attribute("source").value(), "X_response");
  EXPECT_STREQ(copy.child("baseurl").attribute("src").value(), "http://b/");

  // The local service's own first command points at its home page and carries its document.
  pugi::xml_document own;
  ASSERT_TRUE(PLApi_GetFirstCommandCSV(service_.ApiUrl() + "getFirstCommand.php", "", own, csv).Success);
  EXPECT_EQ(csv, "\"command=startpage\",\"pageurl=" + service_.BaseUrl() + "home.html\"");
  EXPECT_STREQ(own.document_element().child("baseurl").attribute("src").value(), service_.ApiUrl().c_str());
}

TEST_F(ServiceApi, FailedExchangesAreTracedInTheLog) {
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "trace.log");
  const std::string big = WriteData("big.jpg", std::string(50000, 'J'));
  const std::string book = StartSession().plumora_id;
  std::string uuid;

  service_.Fault("/api/upload.php", {{"kind", "status"}, {"status", "500"}});
  Upload(book, uuid, 1, big);
  service_.Fault("/api/startUpload.php", {{"kind", "badxml"}});
  TPlumoraUploadInfoItem item;
  PLApi_StartUpload(item);
  service_.Fault("/api/getUrl.php", {{"kind", "status"}, {"status", "500"}});
  std::string url;
  PLApi_GetFirstDisplayUrl(service_.ApiUrl() + "getUrl.php", "", url);
  CloseLog();

  const std::string log = ReadText(folder + "/trace.log");
  EXPECT_NE(log.find("PLApi_UploadEx : EHttpProtocolError Raised ( HTTP/1.1 500 Internal Server Error ; " +
                     service_.ApiUrl() + "upload.php )"),
            std::string::npos);
  const size_t request = log.find("PLApi_UploadEx request to " + service_.ApiUrl() + "upload.php\r\n\r\n--");
  ASSERT_NE(request, std::string::npos);
  EXPECT_EQ(log.find("PLApi_UploadEx receive form"), std::string::npos);
  // The trace holds the first 10240 bytes of the body, not the whole photo.
  EXPECT_NE(log.find(std::string(5000, 'J'), request), std::string::npos);
  EXPECT_EQ(log.find(std::string(10240, 'J'), request), std::string::npos);

  EXPECT_NE(log.find("PLApi_StartUpload is Failed. ( EXmlParseError Raised ( "), std::string::npos);
  EXPECT_NE(log.find("PLApi_StartUpload request to "), std::string::npos);
  EXPECT_NE(log.find("PLApi_StartUpload receive form " + service_.ApiUrl() + "startUpload.php\r\n\r\n<?xml"),
            std::string::npos);
  EXPECT_EQ(log.find("PLApi_GetFirstDisplayUrl request to"), std::string::npos);
}

TEST(LocalServiceProgram, StopsCleanlyOnSigterm) {
  test::LocalServiceProcess service;
  EXPECT_EQ(service.BaseUrl().rfind("http://127.0.0.1:", 0), 0u);
  EXPECT_NE(service.Admin("home.html", {}, true).find("plb_command"), std::string::npos);
  EXPECT_EQ(service.Stop(), 0);
}

// scripts/run starts the service without --test: nothing under /test/ answers, so no other local
// process can read what the browser sent or change what it is told.
TEST(LocalServiceProgram, TestEndpointsOnlyWithTheTestFlag) {
  test::LocalServiceProcess service({}, false);
  for (const char* path : {"test/requests", "test/state"}) {
    try {
      service.Admin(path, {}, true);
      ADD_FAILURE() << path << " answered";
    } catch (const EHttpProtocolError& e) {
      EXPECT_NE(std::string(e.what()).find("404"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(service.Admin("test/reset"), EHttpProtocolError);
  EXPECT_NE(service.Admin("home.html", {}, true).find("plb_command"), std::string::npos) << "the pages still answer";
}

TEST(LocalServiceProgram, FaultsCanBeSetAtStart) {
  test::LocalServiceProcess service({"--fault", "path=/api/logout.php&kind=status&status=503&count=2"});
  service.UseAsService();
  EXPECT_EQ(PLApi_LogOut().Code, "503");
  EXPECT_EQ(PLApi_LogOut().Code, "503");
  EXPECT_TRUE(PLApi_LogOut().Success);
}

}  // namespace
}  // namespace plb
