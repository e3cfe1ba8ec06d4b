// Upload sessions end to end: plb upload against the real local service, with faults injected on
// every kind of request. Whatever happens, each photo is either held by the service in every size
// it asked for (the service decodes what it receives) or waits in the re-upload queue, which a
// later pass delivers; nothing is reported uploaded that the service does not hold, and no photo
// becomes two resources.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "../local_service_process.h"
#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Photos(size_t count) {
  std::vector<std::string> photos;
  for (const auto& entry : fs::directory_iterator(test::TestDataDir() + "/exif-samples/jpg/orientation"))
    if (entry.path().extension() == ".jpg") photos.push_back(entry.path().string());
  std::sort(photos.begin(), photos.end());
  if (photos.size() > count) photos.resize(count);
  return photos;
}

std::string Joined(const std::vector<std::string>& files) {
  std::string out;
  for (const auto& f : files) out += " '" + f + "'";
  return out;
}

struct UploadRun {
  int status = 0;
  std::vector<nlohmann::json> photos;
  nlohmann::json summary;
  nlohmann::json queue;
};

UploadRun Upload(const test::LocalServiceProcess& service, const std::string& args) {
  const test::CommandRun run =
      test::RunPlbStdout("upload --json --pass-wait 50 --base " + service.BaseUrl() + " " + args);
  UploadRun out;
  out.status = run.status;
  for (const auto& row : test::JsonLines(run.out)) {
    if (row.contains("file")) out.photos.push_back(row);
    if (row.contains("book")) out.summary = row;
    if (row.contains("queue_left")) out.queue = row;
  }
  return out;
}

nlohmann::json Book(const test::LocalServiceProcess& service, const std::string& id) {
  THttpRequest request;
  request.url = service.BaseUrl() + "api/books/" + id;
  request.get = true;
  return nlohmann::json::parse(HttpSend(request).body);
}

// The invariants of every run: photos reported uploaded are held whole; after the queue ran
// empty, so are the queued ones; one resource per photo.
void ExpectDelivered(const test::LocalServiceProcess& service, const UploadRun& run, size_t photos) {
  ASSERT_TRUE(run.summary.contains("book")) << run.status;
  const nlohmann::json book = Book(service, run.summary["book"]);
  std::map<std::string, nlohmann::json> held;
  for (const auto& photo : book["photos"]) held[photo["resuuid"]] = photo;
  std::set<int> indexes;
  for (const auto& photo : book["photos"]) EXPECT_TRUE(indexes.insert(photo["index"].get<int>()).second) << photo;
  EXPECT_LE(held.size(), photos);
  const bool queue_empty = run.queue.value("queue_left", 1) == 0;
  for (const auto& row : run.photos) {
    if (row["status"] == "failed") continue;
    if (row["status"] == "queued" && !queue_empty) continue;
    ASSERT_EQ(held.count(row["resuuid"]), 1u) << row;
    const nlohmann::json& photo = held[row["resuuid"]];
    EXPECT_TRUE(photo["full"].get<bool>()) << photo;
    // Full image and thumbnails 1 to 5 (slots 6 and 7 are larger than these photos).
    EXPECT_EQ(photo["sizes"].size(), 6u) << photo;
  }
}

TEST(Upload, EveryPhotoArrivesInEverySizeWithAndWithoutTheQueue) {
  test::LocalServiceProcess service;
  const std::vector<std::string> photos = Photos(16);
  for (const char* route : {"--no-background", ""}) {
    const UploadRun run = Upload(service, std::string(route) + Joined(photos));
    EXPECT_EQ(run.status, 0) << route;
    EXPECT_EQ(run.photos.size(), photos.size()) << route;
    EXPECT_EQ(run.summary["failed"], 0) << route;
    EXPECT_EQ(run.summary[std::string(route).empty() ? "queued" : "uploaded"], static_cast<int>(photos.size()));
    EXPECT_EQ(run.queue["queue_left"], 0);
    ExpectDelivered(service, run, photos.size());
    const nlohmann::json book = Book(service, run.summary["book"]);
    EXPECT_EQ(book["photos"].size(), photos.size()) << route;
    // A turned photo (orientation 6) arrives upright, within the box.
    for (const auto& photo : book["photos"]) {
      if (photo["index"] != 13) continue;
      EXPECT_LT(photo["sizes"][0][0].get<int>(), photo["sizes"][0][1].get<int>()) << photo;
    }
  }
}

TEST(Upload, FaultsOnEveryKindOfRequestLoseNothingAndDuplicateNothing) {
  const std::vector<std::string> photos = Photos(8);
  const struct {
    const char* path;
    std::map<std::string, std::string> fault;
  } cases[] = {
      {"/api/upload.php", {{"kind", "status"}, {"status", "500"}, {"count", "3"}}},
      {"/api/upload.php", {{"kind", "drop"}, {"count", "2"}, {"skip", "4"}}},
      {"/api/upload.php", {{"kind", "badxml"}, {"count", "3"}, {"skip", "1"}}},
      {"/api/upload.php", {{"kind", "empty"}, {"count", "2"}}},
      {"/api/uploadBack.php", {{"kind", "status"}, {"status", "500"}, {"count", "5"}}},
      {"/api/uploadBack.php", {{"kind", "drop"}, {"count", "3"}, {"skip", "2"}}},
      {"/api/uploadBack.php", {{"kind", "badxml"}, {"count", "3"}}},
      {"/api/getRestUploadBack.php", {{"kind", "status"}, {"status", "500"}}},
      {"/api/finishedUploadBack.php", {{"kind", "drop"}}},
      {"/api/finishedUpload.php", {{"kind", "badxml"}}},
  };
  for (const auto& c : cases) {
    test::LocalServiceProcess service;
    service.Fault(c.path, c.fault);
    const UploadRun run = Upload(service, Joined(photos));
    SCOPED_TRACE(std::string(c.path) + " " + c.fault.at("kind"));
    ExpectDelivered(service, run, photos.size());
    EXPECT_EQ(run.queue.value("queue_left", -1), 0);
  }
}

TEST(Upload, ARefusedSessionSendsNothingAndSaysSo) {
  test::LocalServiceProcess service;
  service.Fault("/api/startUpload.php", {{"kind", "error"}, {"code", "BadSessionid"}, {"message", "x"}});
  const test::CommandRun run =
      test::RunPlb("upload --base " + service.BaseUrl() + " '" + Photos(1)[0] + "'");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("sign in again"), std::string::npos) << run.out;
  for (const auto& request : service.Requests()) EXPECT_NE(request["path"], "/api/upload.php");
}

TEST(Upload, ARefusedLongSessionIsDroppedAndClosedIncomplete) {
  test::LocalServiceProcess service;
  service.Fault("/api/uploadBack.php", {{"kind", "error"}, {"code", "BadLongSessionid"}, {"message", "gone"}});
  const UploadRun run = Upload(service, Joined(Photos(3)));
  EXPECT_EQ(run.queue["queue_left"], 0);
  EXPECT_GE(run.queue["queue_dropped"].get<int>(), 1);
  int back_requests = 0;
  std::string complete;
  for (const auto& request : service.Requests()) {
    if (request["path"] == "/api/uploadBack.php") ++back_requests;
    if (request["path"] == "/api/finishedUploadBack.php")
      for (const auto& part : request["parts"])
        if (part["name"] == "iscomplete") complete = part["value"];
  }
  EXPECT_EQ(back_requests, 1);  // every later item of that long session goes without a request
  EXPECT_EQ(complete, "false");
}

TEST(Upload, AKilledSessionLeavesItsQueueForTheNextRun) {
  const std::vector<std::string> photos = Photos(6);
  {
    test::LocalServiceProcess service;
    // The fourth photo's first file stalls; the process dies meanwhile.
    service.Fault("/api/upload.php", {{"kind", "delay"}, {"delay", "30000"}, {"skip", "3"}});
    test::RunCommand("timeout -s KILL 4 " + test::BinaryDir() + "/bin/plb upload --base " + service.BaseUrl() +
                     Joined(photos) + " >/dev/null 2>&1");
  }
  // The photos whose files were registered; a photo cut off before that never counted as sent.
  std::set<std::string> registered;
  for (const auto& entry : fs::recursive_directory_iterator(test::TestRoot())) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".bu") registered.insert(name.substr(0, name.find('_')));
  }
  EXPECT_FALSE(registered.empty());
  // The service comes back with its books; the queue delivers what was registered.
  test::LocalServiceProcess service;
  const test::CommandRun run = test::RunPlbStdout("upload --json --queue --pass-wait 50 --base " + service.BaseUrl());
  EXPECT_EQ(run.status, 0) << run.out;
  const nlohmann::json book = Book(service, "B0001");
  size_t delivered = 0;
  for (const auto& photo : book["photos"]) {
    if (registered.count(photo["resuuid"]) == 0) continue;
    ++delivered;
    EXPECT_TRUE(photo["full"].get<bool>()) << photo;
    EXPECT_EQ(photo["sizes"].size(), 6u) << photo;
  }
  EXPECT_EQ(delivered, registered.size());
}

TEST(Upload, AHostileServiceStaysInsideTheCacheAndEnds) {
  test::LocalServiceProcess service;
  service.Fault("/api/startUpload.php",
                {{"kind", "body"},
                 {"body",
                  "<startUpload_response><plumora plumoraid=\"../../x\" hostname=\"a/../..\"/>"
                  "<background longsessionid=\"../../L\"/><allowparallel value=\"true\"/>"
                  "<originalmax width=\"100000\" height=\"100000\" jpegquality=\"90\"/><thumbnails>"
                  "<thumbnail thumbid=\"1\" width=\"100000\" height=\"1\" jpegquality=\"85\"/></thumbnails>"
                  "<retrycount value=\"1000000000\"/></startUpload_response>"}});
  const UploadRun run = Upload(service, "--no-background" + Joined(Photos(1)));
  EXPECT_EQ(run.summary["failed"], 1);  // the service knows no such book
  int uploads = 0;
  for (const auto& request : service.Requests()) uploads += request["path"] == "/api/upload.php";
  EXPECT_LE(uploads, 2 * 101);  // the retry count is bounded
  const std::string image_lib = test::TestRoot() + "/data/Morvane/ImageLib";
  for (const auto& entry : fs::recursive_directory_iterator(test::TestRoot())) {
    const std::string name = entry.path().filename().string();
    EXPECT_NE(name, "x") << entry.path();
    EXPECT_NE(name, "L") << entry.path();
  }
  EXPECT_FALSE(fs::exists(test::TestRoot() + "/data/x"));
  EXPECT_TRUE(fs::exists(image_lib + "/Cache"));
}

}  // namespace
}  // namespace plb

namespace plb {
namespace {

TEST(Upload, InterruptingAStalledSessionFinishesItIncomplete) {
  test::LocalServiceProcess service;
  service.Fault("/api/upload.php", {{"kind", "delay"}, {"delay", "60000"}, {"count", "100"}});
  // SIGINT a moment after the start; the stalled transfers are aborted, the session is finished
  // as incomplete, and the process ends (the timeout's KILL would show as status 137).
  const test::CommandRun run = test::RunCommand("timeout -k 20 -s INT 2 " + test::BinaryDir() +
                                                "/bin/plb upload --base " + service.BaseUrl() + Joined(Photos(4)) +
                                                " >/dev/null 2>&1; echo $?");
  EXPECT_NE(run.out, "137\n");
  std::string complete;
  for (const auto& request : service.Requests())
    if (request["path"] == "/api/finishedUpload.php")
      for (const auto& part : request["parts"])
        if (part["name"] == "iscomplete") complete = part["value"];
  EXPECT_EQ(complete, "false");
}

}  // namespace
}  // namespace plb
