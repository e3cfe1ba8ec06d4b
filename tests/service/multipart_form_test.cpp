// The multipart bodies the client builds, and what the local service does with malformed ones.
#include "service/http/multipart_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/log_file.h"
#include "local_service_process.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"

namespace plb {
namespace {

TEST(MultipartForm, SelfBuiltBodyHasTheExactShape) {
  const std::string boundary = TimeBoundary();
  ASSERT_EQ(boundary.size(), 23u);
  EXPECT_EQ(boundary.substr(0, 8), "--------");
  EXPECT_EQ(boundary.find_first_not_of("0123456789", 8), std::string::npos);

  TMultipartForm form(boundary);
  form.AddField("sessionid", "S-1");
  form.AddFileBytes("data", "/music/曲 \"a\".mp3", ContentTypeForFile("/music/曲 \"a\".mp3"), "BYTES");
  EXPECT_EQ(form.ContentType(), "multipart/form-data; boundary=" + boundary);
  EXPECT_EQ(form.Bytes(),
            "--" + boundary + "\r\nContent-Disposition: form-data; name=\"sessionid\"\r\n\r\nS-1\r\n" + "--" +
                boundary +
                "\r\nContent-Disposition: form-data; name=\"data\"; filename=\"/music/曲 %22a%22.mp3\"\r\n"
                "Content-Type: audio/mpeg\r\n\r\nBYTES\r\n--" +
                boundary + "--\r\n");
  EXPECT_EQ(form.Size(), form.Bytes().size());
  EXPECT_EQ(form.Head(10), form.Bytes().substr(0, 10));
}

TEST(MultipartForm, FilePartsAreReadFromDisk) {
  const std::string path = test::TestRoot() + "/a.JPG";
  std::ofstream(path, std::ios::binary) << "0123456789";
  TMultipartForm form("B");
  form.AddFile("data", path, path, ContentTypeForFile(path));
  form.AddField("after", "x");
  EXPECT_EQ(form.Bytes(), "--B\r\nContent-Disposition: form-data; name=\"data\"; filename=\"" + path +
                              "\"\r\nContent-Type: image/jpeg\r\n\r\n0123456789\r\n--B\r\n"
                              "Content-Disposition: form-data; name=\"after\"\r\n\r\nx\r\n--B--\r\n");
  EXPECT_EQ(form.Size(), form.Bytes().size());
  EXPECT_EQ(ContentTypeForFile("/x/y.xml"), "text/xml");
  EXPECT_EQ(ContentTypeForFile("/x.d/noext"), "application/octet-stream");
  EXPECT_EQ(ContentTypeForFile("/x/y.bin"), "application/octet-stream");
}

TEST(MultipartForm, TheBoundaryIsFoundInsideGivenBytes) {
  TMultipartForm form("--------0101240000001");
  form.AddFileBytes("data", "a", "x", "before --------0101240000001 after");
  EXPECT_TRUE(form.BoundaryOccursInBytes());
}

// The local service refuses what a broken client would send, so client regressions show.
TEST(LocalServiceValidation, RequestsWithoutRequiredFieldsOrUserAgentAreRefused) {
  test::LocalServiceProcess service;
  TMultipartForm missing;
  missing.AddField("version", "1");
  THttpRequest request;
  request.url = service.ApiUrl() + "startUpload.php";
  request.form = &missing;
  EXPECT_NE(HttpSend(request).body.find("<code>BadRequest</code><message>missing field sessionid</message>"),
            std::string::npos);

  TMultipartForm complete;
  for (const char* name : {"version", "sessionid", "plbid_machineid", "plbid_machineuserid"})
    complete.AddField(name, "v");
  request.url = service.ApiUrl() + "logout.php";
  request.form = &complete;
  request.user_agent = "curl";
  EXPECT_NE(HttpSend(request).body.find("<code>BadRequest</code>"), std::string::npos);
  request.user_agent = "Plumora Browser";
  EXPECT_NE(HttpSend(request).body.find("<logout_response"), std::string::npos);
}

TEST(LocalServiceState, StrictSessionsRefuseUnknownIds) {
  test::LocalServiceProcess service;
  service.UseAsService();
  service.Configure({{"sessions", "strict"}});
  TPlumoraUploadInfoItem item;
  EXPECT_EQ(PLApi_StartUpload(item).Code, "BadSessionid");
  service.Admin("test/login", {{"sessionid", "S-1"}});
  EXPECT_TRUE(PLApi_StartUpload(item).Success);
}

TEST(PlumoraApiParams, ParameterLogLines) {
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "p.log");
  TPlumoraApiParams store;
  store.SetParamsFromCSVLocked(
      "mode=startpage,sessionid=S,getappinfourl=http://i/,plumorapreviewurl=a%20b,"
      "localparamfile=/h.xml",
      true);
  store.LogParams("CmdLine");
  CloseLog();
  std::ifstream in(folder + "/p.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("CmdLine Params( Mode=startpage : SessionID=S : AppInfoUrl=http://i/ : BaseUrl= : "
                     "PlumoraID= : PreviewUrl=a b )"),
            std::string::npos);
  EXPECT_NE(log.find("LocalParamFile=/h.xml"), std::string::npos);
}

}  // namespace
}  // namespace plb
