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
#include "service/local_service_process.h"
#include "support/test_env.h"

extern char** environ;

namespace plb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

class BrowserUpdateProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    program_ = test::BinaryDir() + "/bin/plumora-browser";
    if (!fs::exists(program_)) GTEST_SKIP() << "plumora-browser is not built (no Qt)";
    setenv("PLB_UNATTENDED_DIALOGS", (test::TestRoot() + "/dialogs.txt").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The installer is kept in the data folder, which an earlier run has made.
    fs::create_directories(TPlumoraConfigItem().DataFolder());
  }

  pid_t Start(const std::vector<std::string>& args) {
    std::vector<char*> argv{program_.data()};
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    return pid;
  }

  static int WaitExit(pid_t pid) {
    int code = -1;
    WaitFor([&] {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) != pid) return false;
      code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      return true;
    });
    if (code == -1) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return code;
  }

  static bool WindowAnswers() {
    platform::HandOffMessage ping;
    ping.type = platform::HandOffType::kActivate;
    return platform::SendHandOff(ping, platform::DefaultHandOffPath(), 1000).status ==
           platform::HandOffStatus::kAnswered;
  }

  static void SendCommand(const std::string& text) {
    platform::HandOffMessage command;
    command.type = platform::HandOffType::kCommandText;
    command.text = text;
    platform::SendHandOff(command);
  }

  std::string program_;
};

TEST_F(BrowserUpdateProcessTest, AnOfferedUpdateEndsTheStartAndItsInstallerRunsLast) {
  const std::string marker = test::TestRoot() + "/installer-ran";
  test::LocalServiceProcess service({"--config", "update=offer&installermarker=" + marker});
  const pid_t pid = Start({"getappinfourl=" + service.ApiUrl() + "getAppInfo.php"});
  EXPECT_EQ(WaitExit(pid), 0);
  EXPECT_TRUE(WaitFor([&] { return ReadAll(marker) == "/VERYSILENT\n/autoupdate\n"; }));
  // The installer reached its name whole; nothing else was left beside it.
  EXPECT_TRUE(fs::exists(TPlumoraConfigItem().DataFolder() + "/PLBUpdater.exe"));
  bool logged = false;
  for (const auto& entry : fs::directory_iterator(TPlumoraConfigItem().LogFolder()))
    logged |= ReadAll(entry.path()).find("Exit. (Start Update.)") != std::string::npos;
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
  EXPECT_EQ(ReadAll(copy), content);
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
    if (record["endpoint"] == "operationLog") received += ReadAll(record["file"].get<std::string>());
  EXPECT_NE(received.find("systemactioncode=\"boot\""), std::string::npos) << state.dump();
  EXPECT_NE(received.find("systemactioncode=\"shutdown\""), std::string::npos) << received;
  // Sent means gone: no operation-log file waits in the log folder.
  for (const auto& entry : fs::directory_iterator(TPlumoraConfigItem().LogFolder()))
    EXPECT_NE(entry.path().filename().string().rfind("POL", 0), 0u) << entry.path();
  EXPECT_TRUE(fs::exists(TPlumoraConfigItem().LogFolder() + "/PLBLOG"));
}

}  // namespace
}  // namespace plb
