// The real plumora-browser program against the local service: an offered update ends the start
// and its installer runs when the process ends; the restart command starts the program again with
// the same arguments and the local parameter file's content.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/plumora_config_item.h"
#include "platform/hand_off.h"
#include "platform/instance_lock.h"
#include "platform/private_temp.h"
#include "browser_process.h"
#include "service/local_service_process.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::ReadFile;
using test::WaitFor;

class BrowserUpdateProcessTest : public test::BrowserProcess {
 protected:
  void SetUp() override {
    BrowserProcess::SetUp();
    // The installer is kept in the data folder, which an earlier run has made.
    std::filesystem::create_directories(TPlumoraConfigItem().DataFolder());
  }
};

TEST_F(BrowserUpdateProcessTest, AnOfferedUpdateEndsTheStartAndItsInstallerRunsLast) {
  const std::string marker = test::TestRoot() + "/installer-ran";
  test::LocalServiceProcess service({"--config", "update=offer&installermarker=" + marker});
  const pid_t pid = Start({"getappinfourl=" + service.ApiUrl() + "getAppInfo.php"});
  EXPECT_EQ(WaitExit(pid), 0);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(marker) == "/VERYSILENT\n/autoupdate\n"; }));
  // The installer reached its name whole; nothing else was left beside it.
  EXPECT_TRUE(fs::exists(TPlumoraConfigItem().DataFolder() + "/PLBUpdater.exe"));
  bool logged = false;
  for (const auto& entry : fs::directory_iterator(TPlumoraConfigItem().LogFolder()))
    logged |= ReadFile(entry.path()).find("Exit. (Start Update.)") != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(BrowserUpdateProcessTest, RestartStartsTheProgramAgainWithTheLocalParameterContent) {
  test::LocalServiceProcess service;
  const std::string param_file = test::TestRoot() + "/wakeup.xml";
  const std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plumoraBrowserWakeup><a b=\"1\"/></plumoraBrowserWakeup>\n";
  std::ofstream(param_file) << content;
  const pid_t first = Start({"getappinfourl=" + service.ApiUrl() + "getAppInfo.php", "updatecheck=disable",
                             "dispsplash=disable", "localparamfile=" + param_file});
  ASSERT_TRUE(WaitFor(WindowAnswers));
  fs::remove(param_file);
  SendCommand("command=restart");
  EXPECT_EQ(WaitExit(first), 0);
  // The program runs again (its own process, not our child), reading the reboot copy.
  const std::string copy = platform::PrivateTempFolder() + "/RebootPLBParam.xml";
  EXPECT_TRUE(WaitFor(WindowAnswers));
  // The second run took the copy as its local parameter file: read (this content is no hand-over
  // document, which is logged) and deleted, as every hand-over document is once read.
  auto logs = [] {
    std::string all;
    for (const auto& entry : fs::directory_iterator(TPlumoraConfigItem().LogFolder())) all += ReadFile(entry.path());
    return all;
  };
  EXPECT_TRUE(WaitFor([&] { return logs().find("LocalParamFile=" + copy) != std::string::npos; })) << logs();
  EXPECT_TRUE(WaitFor([&] { return logs().find("CheckLocalParamFileEx") != std::string::npos; })) << logs();
  EXPECT_TRUE(WaitFor([&] { return !fs::exists(copy); }));
  platform::HandOffMessage close;
  close.type = platform::HandOffType::kClose;
  close.kind = 4;
  platform::SendHandOff(close);
  // It is not our child: its end shows in the instance lock it gives up last.
  EXPECT_TRUE(WaitFor([] {
    platform::InstanceLocks locks;
    if (locks.AcquireInstance() != platform::LockResult::kAcquired) return false;
    locks.ReleaseInstance();
    return true;
  }));
}

// A run's operation log (its boot and shut-down records) reaches the service when the run ends,
// and the usage counters are kept for the next run.
TEST_F(BrowserUpdateProcessTest, ARunsOperationLogReachesTheServiceAndItsCountersAreKept) {
  test::LocalServiceProcess service;
  const pid_t pid = Start({"getappinfourl=" + service.ApiUrl() + "getAppInfo.php", "updatecheck=disable",
                           "dispsplash=disable"});
  ASSERT_TRUE(WaitFor(WindowAnswers));
  platform::HandOffMessage close;
  close.type = platform::HandOffType::kClose;
  close.kind = 4;
  platform::SendHandOff(close);
  EXPECT_EQ(WaitExit(pid), 0);
  std::string received;
  const nlohmann::json state = service.State();
  for (const auto& record : state["log_records"])
    if (record["endpoint"] == "operationLog") received += ReadFile(record["file"].get<std::string>());
  EXPECT_NE(received.find("systemactioncode=\"boot\""), std::string::npos) << state.dump();
  EXPECT_NE(received.find("systemactioncode=\"shutdown\""), std::string::npos) << received;
  // Sent means gone: no operation-log file waits in the log folder.
  for (const auto& entry : fs::directory_iterator(TPlumoraConfigItem().LogFolder()))
    EXPECT_NE(entry.path().filename().string().rfind("POL", 0), 0u) << entry.path();
  EXPECT_TRUE(fs::exists(TPlumoraConfigItem().LogFolder() + "/PLBLOG"));
}

}  // namespace
}  // namespace plb
