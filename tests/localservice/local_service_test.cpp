// The local service's admin answers stay JSON a client can read, whatever bytes its clients sent.
#include "localservice/local_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "support/test_env.h"

namespace plb::localservice {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A real photo of 100 x 78 pixels.
std::string SmallJpeg() {
  return ReadFile(test::TestDataDir() + "/exif-samples/jpg/Kodak_CX7530.jpg");
}

const httplib::MultipartFormDataItems kIds = {{"version", "1", "", ""},
                                              {"sessionid", "S-1", "", ""},
                                              {"plbid_machineid", "M-1", "", ""},
                                              {"plbid_machineuserid", "MU-1", "", ""}};

httplib::MultipartFormDataItems With(httplib::MultipartFormDataItems items,
                                     const httplib::MultipartFormDataItems& more) {
  items.insert(items.end(), more.begin(), more.end());
  return items;
}

class LocalServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service_.Start(0);
    client_ = std::make_unique<httplib::Client>("127.0.0.1", service_.Port());
  }

  // An API request as the browser sends it: multipart fields and its user agent.
  std::string Api(const std::string& name, const httplib::MultipartFormDataItems& fields) {
    const auto result = client_->Post("/api/" + name + ".php", {{"User-Agent", "Plumora Browser"}}, fields);
    EXPECT_TRUE(result);
    return result ? result->body : "";
  }

  // A strict parse: an answer that is not valid JSON (or not UTF-8) fails the test.
  nlohmann::json Json(const httplib::Result& result, int status = 200) {
    EXPECT_TRUE(result);
    if (!result) return nullptr;
    EXPECT_EQ(result->status, status) << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    return nlohmann::json::parse(result->body);
  }

  LocalService service_{test::TestRoot() + "/service-data", "", true};
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(LocalServiceTest, StateOfAFileNameThatIsNotUtf8IsStillJson) {
  const httplib::MultipartFormDataItems ids = {{"version", "1", "", ""},
                                               {"sessionid", "S-1", "", ""},
                                               {"plbid_machineid", "M-1", "", ""},
                                               {"plbid_machineuserid", "MU-1", "", ""}};
  httplib::MultipartFormDataItems start = ids;
  start.insert(start.end(), {{"plumoraid", "", "", ""}, {"backtest", "0", "", ""}, {"photonum", "1", "", ""}});
  ASSERT_NE(Api("startUpload", start).find("plumoraid=\"B0001\""), std::string::npos);
  httplib::MultipartFormDataItems upload = ids;
  upload.insert(upload.end(), {{"plumoraid", "B0001", "", ""},
                               {"editmode", "0", "", ""},
                               {"photoindex", "0", "", ""},
                               {"resuuid", "", "", ""},
                               {"comment", "", "", ""},
                               {"orgfilename", "photo\xFF\xFE.jpg", "", ""},
                               {"data", SmallJpeg(), "photo.jpg", "image/jpeg"}});
  ASSERT_NE(Api("upload", upload).find("resuuid="), std::string::npos);

  const nlohmann::json state = Json(client_->Get("/test/state"));
  ASSERT_EQ(state["resources"].size(), 1u);
  EXPECT_EQ(state["resources"].begin().value()["orgfilename"], "photo\xEF\xBF\xBD\xEF\xBF\xBD.jpg");
  EXPECT_TRUE(Json(client_->Get("/local/books.json")).contains("B0001"));
  const nlohmann::json requests = Json(client_->Get("/test/requests"));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1]["path"], "/api/upload.php");
}

TEST_F(LocalServiceTest, AdminAnswersAreJsonObjects) {
  const nlohmann::json refused = Json(client_->Post("/test/fault?kind=status"), 400);
  EXPECT_EQ(refused, nlohmann::json({{"error", "bad fault"}}));
  EXPECT_EQ(Json(client_->Post("/test/fault?path=/api/logout.php&kind=status&status=503")), nlohmann::json::object());
  EXPECT_EQ(Json(client_->Post("/test/config?sessions=strict")), nlohmann::json::object());
  EXPECT_EQ(Json(client_->Post("/test/login?sessionid=S-9")), nlohmann::json::object());
  EXPECT_EQ(Json(client_->Get("/test/state"))["sessions"], nlohmann::json({"S-9"}));
  EXPECT_EQ(Json(client_->Post("/test/reset")), nlohmann::json::object());
  EXPECT_TRUE(Json(client_->Get("/test/state"))["sessions"].empty());
}


// The admin endpoints let any local process read what the browser sent and change what it is told:
// a service started for real use has none of them.
TEST(LocalServiceAdmin, TestEndpointsAnswerOnlyWhenTurnedOn) {
  for (const bool turned_on : {false, true}) {
    SCOPED_TRACE(turned_on);
    LocalService service(test::TestRoot() + "/service-data", "", turned_on);
    service.Start(0);
    httplib::Client client("127.0.0.1", service.Port());
    const int expected = turned_on ? 200 : 404;
    for (const char* path : {"/test/requests", "/test/state"}) {
      const auto got = client.Get(path);
      ASSERT_TRUE(got);
      EXPECT_EQ(got->status, expected) << path;
    }
    for (const char* path : {"/test/reset", "/test/config?sessions=strict", "/test/login?sessionid=S-9",
                             "/test/fault?path=/api/logout.php&kind=status&status=503"}) {
      const auto got = client.Post(path);
      ASSERT_TRUE(got);
      EXPECT_EQ(got->status, expected) << path;
    }
    const auto logout = client.Post("/api/logout.php", {{"User-Agent", "Plumora Browser"}},
                                    httplib::MultipartFormDataItems{{"sessionid", "S-1", "", ""}});
    ASSERT_TRUE(logout);
    EXPECT_EQ(logout->status == 503, turned_on) << "the fault was queued only through a test endpoint";
    EXPECT_EQ(service.Requests().size(), turned_on ? 1u : 0u) << "nothing is recorded for nobody";
  }
}

// A service left running for days must not keep every request it ever saw.
TEST_F(LocalServiceTest, TheRequestRecordKeepsOnlyTheNewest) {
  const size_t sent = kMaxRecordedRequests + 5;
  for (size_t i = 0; i < sent; ++i) {
    const auto got = client_->Post("/api/logout.php?n=" + std::to_string(i), {{"User-Agent", "Plumora Browser"}},
                                   httplib::MultipartFormDataItems{});
    ASSERT_TRUE(got);
  }
  const std::vector<RecordedRequest> kept = service_.Requests();
  ASSERT_EQ(kept.size(), kMaxRecordedRequests);
  EXPECT_EQ(kept.front().query, "n=5");
  EXPECT_EQ(kept.back().query, "n=" + std::to_string(sent - 1));
  EXPECT_EQ(Json(client_->Get("/test/requests")).size(), kMaxRecordedRequests);
}

}  // namespace
}  // namespace plb::localservice

namespace plb::localservice {
namespace {

TEST_F(LocalServiceTest, KeepsOnlyWholeImagesOfTheSizesItAskedAndRemembersThemAcrossARestart) {
  service_.State().Configure({{"thumb1", "80x80x85"}});
  ASSERT_NE(Api("startUpload", With(kIds, {{"plumoraid", "", "", ""}, {"backtest", "0", "", ""},
                                           {"photonum", "1", "", ""}}))
                .find("B0001"),
            std::string::npos);
  const auto upload = [&](const std::string& resuuid, const std::string& thumb, const std::string& data,
                          const std::string& edit_mode = "0", const std::string& index = "0") {
    httplib::MultipartFormDataItems fields = With(kIds, {{"plumoraid", "B0001", "", ""},
                                                         {"editmode", edit_mode, "", ""},
                                                         {"photoindex", index, "", ""},
                                                         {"resuuid", resuuid, "", ""},
                                                         {"comment", "", "", ""}});
    if (!thumb.empty()) fields.push_back({"thumbid", thumb, "", ""});
    fields.push_back({"orgfilename", "a.jpg", "", ""});
    fields.push_back({"data", data, "a.jpg", "image/jpeg"});
    return Api("upload", fields);
  };
  const std::string jpeg = SmallJpeg();
  const struct {
    std::string thumb, data, answer;
  } cases[] = {
      {"2", "JPEG", "BadImage"},                         // no JPEG
      {"2", jpeg.substr(0, jpeg.size() / 2), "BadImage"},  // cut short
      {"1", jpeg, "BadImage"},                           // 100 x 78 is larger than the 80 x 80 asked
      {"2", jpeg, "resuuid=\"R0001\""},
      {"", jpeg, "resuuid=\"R0001\""},                   // a lost answer: the same photo, not a new one
  };
  for (const auto& c : cases) EXPECT_NE(upload("", c.thumb, c.data).find(c.answer), std::string::npos) << c.thumb;
  // A jacket is the book's cover, not one more photo of it.
  EXPECT_NE(upload("", "", jpeg, "jacket", "1").find("resuuid=\"R0002\""), std::string::npos);
  const nlohmann::json expected = {
      {"id", "B0001"},
      {"title", "プルモラ B0001"},
      {"photos",
       {{{"index", 0}, {"resuuid", "R0001"}, {"full", true}, {"sizes", {{100, 78}, {100, 78}}}, {"slots", {0, 2}}}}},
      {"covers", {{"jacket", "R0002"}}},
      {"music", 0}};
  EXPECT_EQ(Json(client_->Get("/api/books/B0001")), expected);
  // The book's page shows what was received, and only that.
  const auto thumb = client_->Get("/local/photos/B0001/R0001_2.jpg");
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->status, 200);
  EXPECT_EQ(thumb->body, jpeg);
  for (const char* path : {"/local/photos/B0001/R0009.jpg", "/local/photos/B0001/..%2Fstate.json",
                           "/local/photos/../state.json"}) {
    const auto refused = client_->Get(path);
    ASSERT_TRUE(refused) << path;
    EXPECT_EQ(refused->status, 404) << path;
  }
  EXPECT_EQ(Json(client_->Get("/api/books/B9999"), 404)["error"], "no such photo book");
  service_.Stop();
  LocalService again(test::TestRoot() + "/service-data", "", false);
  again.Start(0);
  httplib::Client client("127.0.0.1", again.Port());
  EXPECT_EQ(Json(client.Get("/api/books/B0001")), expected);
}

}  // namespace
}  // namespace plb::localservice
