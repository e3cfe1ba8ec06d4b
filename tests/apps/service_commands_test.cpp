// plb command and plb api as a user runs them, against the local service program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "../service/local_service_process.h"
#include "host/plumora_config_item.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

using PlbRun = test::CommandRun;
using test::RunPlb;

TEST(CommandCommand, DecodesEachCarrierIntoTheStore) {
  struct Case {
    std::string args;
    int mode;
    const char* word;
    std::map<std::string, std::string> params;
  };
  const Case cases[] = {
      {"'\"command=StartCreatePlumora\",plumoraid=B1,sessionid=S'",
       6,
       "startcreateplumora",
       {{"plumoraid", ""}, {"sessionid", "S"}, {"trayrequest", "5"}}},
      {"'plumorabrowser://wakeup/?mode=startmybgmdialog&plumoraid=B%31'",
       6,
       "startcreateplumora",
       {{"bgmdialogplumoraid", "B1"}, {"bgmdialogcounter", "1"}}},
      {"--args sessionid=abc 'urlencodedparam=mode=disppage&pageurl=http%3A%2F%2Fh%2F'",
       1,
       "disppage",
       {{"sessionid", "abc"}, {"pageurl", "http://h/"}, {"pagecounter", "1"}}},
      {"command=foo", 0, "dontboot", {{"tabflags", "7"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const PlbRun run = RunPlb("command --json " + c.args);
    ASSERT_EQ(run.status, 0) << run.out;
    const nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["mode"], c.mode);
    EXPECT_EQ(result["word"], c.word);
    for (const auto& [name, value] : c.params) EXPECT_EQ(result["params"][name], value) << name;
  }
  EXPECT_NE(RunPlb("command ''").status, 0);
}

TEST(ApiCommand, SendsOneRequestAndPrintsTheResult) {
  test::LocalServiceProcess service;
  const std::string base = " --base " + service.BaseUrl();
  PlbRun run = RunPlb("api --json StartUpload sessionid=S machineid=M machineuserid=U photonum=2" + base);
  ASSERT_EQ(run.status, 0) << run.out;
  nlohmann::json result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["Success"], true);
  EXPECT_EQ(result["Code"], "startUpload_response");
  EXPECT_EQ(result["plumoraid"], "B0001");

  service.Fault("/api/logout.php", {{"kind", "error"}, {"code", "BadSessionid"}, {"message", "expired"}});
  run = RunPlb("api LogOut sessionid=S" + base);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Code: BadSessionid"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Kind: 3 requestFalied"), std::string::npos);
  EXPECT_NE(run.out.find("ErrorCode: ER0001"), std::string::npos);

  EXPECT_NE(RunPlb("api NoSuchRequest").status, 0);
}

// A usage counter file of one period addressed to url, as the program writes it.
std::string UsageFile(const std::string& url, const std::string& period) {
  std::string bytes;
  const auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
  };
  const auto text = [&](const std::string& t) {
    u32(static_cast<uint32_t>(t.size()));
    bytes += t;
  };
  u32(40961);
  text(url);
  text(period);
  bytes += std::string(8 + 3 * 12, '\0');  // start time and three empty pages
  u32(0);                                  // no upload sessions
  return bytes;
}

TEST(LogsCommand, ListsAndSendsWhatWaitsKeepingWhatTheServiceDidNotTake) {
  test::LocalServiceProcess service;
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  const std::string folder = config.LogFolder();
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/P7.upl", std::ios::binary) << UsageFile(service.ApiUrl() + "saveLog.php", "P7");
  std::ofstream(folder + "/POL20240101000000(000).xml")
      << "<?xml version=\"1.0\"?><plumoraBrowserOperationLog ver=\"1\"><plblog_a/></plumoraBrowserOperationLog>";

  // A catalog for the report to describe: two photos, one of them tagged.
  const std::string photos = test::TestRoot() + "/photos";
  std::filesystem::create_directories(photos);
  for (const char* name : {"Canon_40D.jpg", "Canon_PowerShot_S40.jpg"})
    std::filesystem::copy_file(test::TestDataDir() + "/exif-samples/jpg/" + name, photos + "/" + name);
  ASSERT_EQ(RunPlb("add " + photos).status, 0);
  ASSERT_EQ(RunPlb("tag beach " + photos + "/Canon_40D.jpg").status, 0);

  PlbRun run = RunPlb("logs");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("P7.upl  period P7"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("POL20240101000000(000).xml"), std::string::npos) << run.out;

  service.Fault("/api/operationLog.php", {{"kind", "status"}, {"status", "503"}, {"count", "3"}});
  run = RunPlb("logs --send --base " + service.BaseUrl());
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("usage reports: 1 sent"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("operation logs: 0 sent, 1 kept"), std::string::npos) << run.out;
  EXPECT_FALSE(std::filesystem::exists(folder + "/P7.upl"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/POL20240101000000(000).xml"));

  run = RunPlb("logs --send --base " + service.BaseUrl());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_FALSE(std::filesystem::exists(folder + "/POL20240101000000(000).xml"));
  const nlohmann::json received = service.State()["log_records"];
  ASSERT_EQ(received.size(), 2u);
  std::ifstream in(received[0]["file"].get<std::string>());
  const std::string report((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(report.find("<photoindexs dirnum=\"1\" totalnum=\"2\">"), std::string::npos) << report;
  EXPECT_NE(report.find("<tag name=\"beach\" photonum=\"1\"/>"), std::string::npos) << report;
}

}  // namespace
}  // namespace plb
