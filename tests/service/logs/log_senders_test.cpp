// The two log senders against the local service: a file goes only once the service answered it,
// a file still being written is never touched, and files that are not logs are never sent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <thread>

#include "../local_service_process.h"
#include "platform/atomic_file.h"
#include "service/appinfo/check_app_info.h"
#include "service/logs/log_files.h"
#include "service/logs/operation_log.h"
#include "service/logs/operation_log_uploader.h"
#include "service/logs/plb_log_saver.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

class LogSenders : public ::testing::Test {
 protected:
  void SetUp() override {
    service_.UseAsService();
    fs::create_directories(folder_);
  }
  // A waiting period file for id, addressed to the local service.
  std::string MakeUpl(const std::string& id, int uploads = 1) {
    TPLBLogItem item;
    item.SetLogUrl(service_.ApiUrl() + "saveLog.php");
    item.SetLogLongSessionId(id);
    item.PageShown(1);
    for (int i = 0; i < uploads; ++i) item.Uploaded(3, 20);
    const std::string path = folder_ + "/" + id + ".upl";
    EXPECT_TRUE(item.ExportDataToFile(path, true));
    return path;
  }
  // An operation-log file as the log writes it.
  std::string MakePol() {
    TPlumoraOperationLog::Options options;
    options.log_folder = folder_;
    options.version = "1.0.0.1";
    TPlumoraOperationLog log(options);
    log.AddSystemLog(polBoot, "command=x");
    log.SaveLogFile();
    const std::vector<std::string> files = ListLogFiles(folder_, "POL", ".xml");
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? "" : files.back();
  }
  nlohmann::json Received() const { return service_.State()["log_records"]; }
  int RequestsTo(const std::string& path) const {
    int n = 0;
    for (const auto& request : service_.Requests()) n += request["path"] == path;
    return n;
  }
  // Waits (bounded) until done() holds; the test then checks what happened, not how fast.
  static bool Eventually(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  test::LocalServiceProcess service_;
  std::string folder_ = test::TestRoot() + "/log";
};

TEST_F(LogSenders, UsageReportReachesTheServiceAndItsFileGoesOnlyWhenAnswered) {
  const struct {
    const char* name;
    std::map<std::string, std::string> fault;  // empty: none
    bool removed;
  } cases[] = {
      {"answered", {}, true},
      {"error document", {{"kind", "error"}, {"code", "BadLog"}, {"message", "no"}}, true},
      {"status 503", {{"kind", "status"}, {"status", "503"}}, false},
      {"connection dropped", {{"kind", "drop"}}, false},
  };
  for (const auto& c : cases) {
    service_.Admin("test/reset");
    const std::string file = MakeUpl("P1");
    if (!c.fault.empty()) service_.Fault("/api/saveLog.php", c.fault);
    TPLBLogSaver saver(folder_, {});
    const TPLBLogSendReport report = saver.SendPending();
    EXPECT_EQ(!fs::exists(file), c.removed) << c.name;
    EXPECT_EQ(report.sent, c.removed ? 1 : 0) << c.name;
    EXPECT_EQ(report.kept, c.removed ? 0 : 1) << c.name;
    if (!c.removed) {
      // Kept for the next round, which sends it.
      EXPECT_EQ(saver.SendPending().sent, 1) << c.name;
      EXPECT_FALSE(fs::exists(file)) << c.name;
    }
  }
  // What arrived is a whole report of the file's own period.
  const nlohmann::json received = Received();
  ASSERT_FALSE(received.empty());
  const nlohmann::json last = received.back();
  EXPECT_EQ(last["endpoint"], "saveLog");
  EXPECT_EQ(last["longsessionid"], "P1");
  pugi::xml_document report;
  ASSERT_TRUE(report.load_file(last["file"].get<std::string>().c_str()));
  const pugi::xml_node uploader = report.child("PlumoraBrowserLog")
                                      .child("browselogs")
                                      .find_child_by_attribute("browselog", "mode", "PhotoLibraryUploader");
  EXPECT_STREQ(uploader.attribute("number").value(), "1");
  EXPECT_STREQ(uploader.child("uploadlog").attribute("photonum").value(), "3");
}

TEST_F(LogSenders, UsageSenderLeavesTemporaryFilesAndDropsWhatIsNoLog) {
  const std::string temporary = TemporaryNameBeside(folder_ + "/P2.upl");
  { std::ofstream(temporary, std::ios::binary) << "half"; }
  { std::ofstream(folder_ + "/garbage.upl", std::ios::binary) << std::string("\x01\xA0\0\0\xff\xff\xff\x7f", 8); }
  { std::ofstream(folder_ + "/wrong.upl", std::ios::binary) << "not a counter file at all"; }
  fs::create_directories(folder_ + "/folder.upl");
  const std::string outside = test::TestRoot() + "/outside.upl";
  MakeUpl("outside");
  fs::rename(folder_ + "/outside.upl", outside);
  fs::create_symlink(outside, folder_ + "/link.upl");

  TPLBLogSaver saver(folder_, {});
  const TPLBLogSendReport report = saver.SendPending();
  EXPECT_EQ(report.dropped, 2);
  EXPECT_EQ(report.sent, 0);
  EXPECT_EQ(RequestsTo("/api/saveLog.php"), 0);
  EXPECT_TRUE(fs::exists(temporary)) << "a file being written is never touched";
  EXPECT_FALSE(fs::exists(folder_ + "/garbage.upl"));
  EXPECT_FALSE(fs::exists(folder_ + "/wrong.upl"));
  EXPECT_TRUE(fs::is_directory(folder_ + "/folder.upl"));
  EXPECT_TRUE(fs::exists(outside)) << "a link is not followed";
}

TEST_F(LogSenders, SaverThreadSendsWhatWaitsAndStops) {
  const std::string file = MakeUpl("P3");
  int described = 0;
  TPLBLogSaver saver(folder_, [&](const std::function<bool()>&) {
    ++described;
    TPLBLibraryDescription library;
    library.cache_bytes = 4096;
    return library;
  }, 20);
  saver.Start();
  EXPECT_TRUE(Eventually([&] { return !fs::exists(file); }));
  saver.Stop();
  EXPECT_GE(described, 1);
  const nlohmann::json received = Received();
  ASSERT_EQ(received.size(), 1u);
  pugi::xml_document report;
  ASSERT_TRUE(report.load_file(received[0]["file"].get<std::string>().c_str()));
  EXPECT_STREQ(report.child("PlumoraBrowserLog").child("cache").attribute("kbyes").value(), "4");

  // The program's saver starts once and finishes without waiting out its ten seconds.
  StartLogSaver(folder_);
  StartLogSaver(folder_);
  FinishLogSaver();
  FinishLogSaver();
}

TEST_F(LogSenders, OperationLogFileGoesOnlyAfterStatus200) {
  const std::string url = service_.ApiUrl() + "operationLog.php";
  const std::string file = MakePol();
  service_.Fault("/api/operationLog.php", {{"kind", "status"}, {"status", "503"}, {"count", "3"}});
  TPlumoraOperationLogUploader uploader(folder_, url);
  TOperationLogSendReport report = uploader.SendPending();
  EXPECT_EQ(report.kept, 1);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(RequestsTo("/api/operationLog.php"), 3) << "three attempts";

  report = uploader.SendPending();
  EXPECT_EQ(report.sent, 1);
  EXPECT_FALSE(fs::exists(file));
  const nlohmann::json request = service_.Requests().back();
  EXPECT_EQ(request["user_agent"], "PlumoraBrowser OperationLog Uploader");
  ASSERT_EQ(request["parts"].size(), 1u);
  EXPECT_EQ(request["parts"][0]["name"], "infile");
  EXPECT_EQ(request["parts"][0]["filename"], fs::path(file).filename().string());
  EXPECT_EQ(request["parts"][0]["content_type"], "text/xml");
  pugi::xml_document received;
  ASSERT_TRUE(received.load_file(Received().back()["file"].get<std::string>().c_str()));
  EXPECT_STREQ(received.child("plumoraBrowserOperationLog").child("plblog_a").child("plblog").attribute(
                   "systemactioncode").value(),
               "boot");

  // Without a URL the file waits for one instead of being lost.
  const std::string next = MakePol();
  TPlumoraOperationLogUploader no_url(folder_, "");
  EXPECT_EQ(no_url.SendPending().kept, 1);
  EXPECT_TRUE(fs::exists(next));
}

TEST_F(LogSenders, OperationLogSenderLeavesTemporaryFilesAndDropsWhatIsNoLog) {
  const std::string temporary = TemporaryNameBeside(folder_ + "/POL20240101000000(000).xml");
  { std::ofstream(temporary, std::ios::binary) << "<plumoraBrowserOperationLog><plb"; }
  { std::ofstream(folder_ + "/POL1(000).xml", std::ios::binary) << "<plumoraBrowserOperationLog><plb"; }
  { std::ofstream(folder_ + "/POL2(000).xml", std::ios::binary) << "<other/>"; }
  { std::ofstream(folder_ + "/POL3(000).xml", std::ios::binary) << std::string("\0\xff\xfe", 3); }
  TPlumoraOperationLogUploader uploader(folder_, service_.ApiUrl() + "operationLog.php");
  const TOperationLogSendReport report = uploader.SendPending();
  EXPECT_EQ(report.dropped, 3);
  EXPECT_EQ(report.sent, 0);
  EXPECT_EQ(RequestsTo("/api/operationLog.php"), 0);
  EXPECT_TRUE(fs::exists(temporary));
  EXPECT_TRUE(ListLogFiles(folder_, "POL", ".xml").empty());
}

TEST_F(LogSenders, ProgramLogIsSentAtShutDownWhileTheServiceAllowsIt) {
  // A file left by an earlier run goes too.
  const std::string earlier = MakePol();
  TPlumoraOperationLog::Options options;
  options.log_folder = folder_;
  options.version = "1.0.0.1";
  DAL_InitializeWith(options);
  DAL_AddBootLog("command=startpage");
  DAL_SetUrlAndProcessID(service_.ApiUrl() + "operationLog.php", "5", false);
  DAL_AddActionLog("TMainForm", "actHelp", "Help");
  DAL_AddShutdownLog();
  EXPECT_TRUE(Eventually([&] { return ListLogFiles(folder_, "POL", ".xml").empty(); }));
  DAL_Finalize();
  const nlohmann::json received = Received();
  ASSERT_EQ(received.size(), 2u);
  bool found = false;
  for (const auto& record : received) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(record["file"].get<std::string>().c_str()));
    const pugi::xml_node root = document.child("plumoraBrowserOperationLog");
    if (std::string(root.attribute("plbprocessid").value()) != "5") continue;
    found = true;
    std::vector<std::string> kinds;
    for (pugi::xml_node r : root.child("plblog_a").children()) kinds.push_back(r.attribute("kind").value());
    EXPECT_EQ(kinds, (std::vector<std::string>{"system", "action", "system"}));
  }
  EXPECT_TRUE(found);
  (void)earlier;
}

// The application-information document drives both logs: its period id ends the period that the
// counters carried over from the last run, and its operation-log URL starts the uploader.
TEST_F(LogSenders, ServiceDocumentHandsThePeriodOverAndStartsTheOperationLog) {
  PLBLogItem().Initialize(folder_);
  PLBLogItem().SetLogUrl("http://127.0.0.1:1/old");
  PLBLogItem().SetLogLongSessionId("OLD");
  PLBLogItem().PageShown(1);
  TPlumoraOperationLog::Options options;
  options.log_folder = folder_;
  DAL_InitializeWith(options);
  DAL_AddBootLog("");

  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  bool asked_with_old = false;
  for (const auto& request : service_.Requests())
    for (const auto& part : request["parts"])
      asked_with_old |= part["name"] == "loglongsessionid" && part["value"] == "OLD";
  EXPECT_TRUE(asked_with_old) << "the request names the period the counters hold";
  EXPECT_EQ(PLBLogItem().LogLongSessionId(), "LOG-1");
  EXPECT_EQ(PLBLogItem().GetPageCount(1), 0);
  TPLBLogItem handed_over;
  ASSERT_TRUE(handed_over.InportDataFromFile(folder_ + "/OLD.upl"));
  EXPECT_EQ(handed_over.LogUrl(), service_.ApiUrl() + "saveLog.php");
  EXPECT_EQ(handed_over.GetPageCount(1), 1);

  TPLBLogSaver saver(folder_, {});
  EXPECT_EQ(saver.SendPending().sent, 1);
  DAL_AddShutdownLog();
  EXPECT_TRUE(Eventually([&] { return ListLogFiles(folder_, "POL", ".xml").empty(); }));
  DAL_Finalize();
  int operation_logs = 0;
  for (const auto& record : Received()) operation_logs += record["endpoint"] == "operationLog";
  EXPECT_EQ(operation_logs, 1);
}

}  // namespace
}  // namespace plb
