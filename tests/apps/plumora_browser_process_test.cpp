// The real plumora-browser program, started as a user would start it (offscreen).
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
#include "platform/settings_store.h"
#include "browser_process.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::ReadFile;

class BrowserProcessTest : public test::BrowserProcess {
 protected:
  void SetUp() override {
    BrowserProcess::SetUp();
    log_folder_ = TPlumoraConfigItem().LogFolder();
  }

  // The diagnostic logs; the usage counters and the operation log live in the same folder.
  std::vector<std::string> LogFiles() const {
    std::vector<std::string> files;
    if (!fs::exists(log_folder_)) return files;
    for (const auto& e : fs::directory_iterator(log_folder_))
      if (e.path().extension() == ".log") files.push_back(e.path());
    return files;
  }

  std::string log_folder_;
};

TEST_F(BrowserProcessTest, SecondStartHandsItsCommandToTheFirstAndCloseFourEndsIt) {
  const pid_t first = Start({});
  ASSERT_TRUE(WaitForWindow());
  ASSERT_EQ(LogFiles().size(), 1u);

  const pid_t second = Start({"sessionid=abc", "mode=open"});
  EXPECT_EQ(WaitExit(second), 0);
  EXPECT_EQ(LogFiles().size(), 1u) << "the second start wrote a log";

  EXPECT_EQ(RequestClose(3), platform::HandOffStatus::kAnswered);  // not the close parameter
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "closed by a parameter other than 4";
  EXPECT_EQ(RequestClose(4), platform::HandOffStatus::kAnswered);
  EXPECT_EQ(WaitExit(first), 0);

  const std::string log = ReadFile(LogFiles().at(0));
  EXPECT_NE(log.find("\r\nSTART\r\n"), std::string::npos);
  EXPECT_NE(log.find("EnqueueCommand( \"sessionid=abc\",\"mode=open\" )"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nEND\r\n////"), std::string::npos);
  EXPECT_FALSE(fs::exists(dialogs_)) << ReadFile(dialogs_);

  // Every default of the configuration was saved at the stop.
  auto store = SettingsStore::ForHive(Hive::kCurrentUser);
  const std::string key = TPlumoraConfigItem::ClassSettingsKey();
  const auto values = store->ValueNames(key);
  const auto subkeys = store->SubkeyNames(key);
  auto stored = [&](const std::string& name) {
    return std::find(values.begin(), values.end(), name) != values.end() ||
           std::find(subkeys.begin(), subkeys.end(), name) != subkeys.end();
  };
  for (const auto& value : TPlumoraConfigItem().Describe()) EXPECT_TRUE(stored(value.name)) << value.name;
}

TEST_F(BrowserProcessTest, TerminationSignalStopsTheNormalWay) {
  const pid_t first = Start({});
  ASSERT_TRUE(WaitForWindow());
  kill(first, SIGTERM);
  EXPECT_EQ(WaitExit(first), 0);
  EXPECT_NE(ReadFile(LogFiles().at(0)).find("\r\nEND\r\n"), std::string::npos);
}

TEST_F(BrowserProcessTest, MoreTerminationSignalsDuringTheExitSaveLetTheSaveFinish) {
  const std::string pics = test::TestRoot() + "/pics";
  fs::create_directories(pics);
  std::ofstream(pics + "/a.jpg") << "not a picture";
  const std::string plb = test::BinaryDir() + "/bin/plb ";
  ASSERT_EQ(test::RunCommand(plb + "add " + pics + " >/dev/null 2>&1").status, 0);
  ASSERT_EQ(test::RunCommand(plb + "tag trip " + pics + "/a.jpg >/dev/null 2>&1").status, 0);
  // Each step of the exit save takes a quarter of a second: the later signals land inside it.
  setenv("PLB_TEST_SAVE_PAUSE_US", "250000", 1);
  const pid_t first = Start({});
  unsetenv("PLB_TEST_SAVE_PAUSE_US");
  ASSERT_TRUE(WaitForWindow());
  kill(first, SIGTERM);
  for (const int signal : {SIGTERM, SIGINT, SIGTERM}) {
    std::this_thread::sleep_for(300ms);
    kill(first, signal);
  }
  EXPECT_EQ(WaitExit(first), 0) << "ended by a signal during the save";

  const std::string data = TPlumoraConfigItem().DataFolder();
  for (const auto& e : fs::directory_iterator(data)) {
    const std::string name = e.path().filename().string();
    EXPECT_EQ(name.find(".new"), std::string::npos) << name << ": the save did not finish";
    EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
  }
  std::string log;
  for (const std::string& file : LogFiles()) {
    if (fs::path(file).filename() != "plb.log") log = ReadFile(file);
  }
  EXPECT_NE(log.find("\r\nEND\r\n"), std::string::npos) << "every stop step ran: " << log;
  const test::CommandRun tags = test::RunCommand(plb + "tags --json 2>&1");
  EXPECT_EQ(tags.status, 0) << tags.out;
  EXPECT_NE(tags.out.find("\"trip\""), std::string::npos) << tags.out;
}

TEST_F(BrowserProcessTest, StartWhileTheFirstIsStillStartingWarnsAndEnds) {
  // An instance that holds the instance lock but not yet the running lock, and has no window.
  platform::InstanceLocks starting;
  ASSERT_EQ(starting.AcquireInstance(), platform::LockResult::kAcquired);
  const pid_t second = Start({});
  EXPECT_EQ(WaitExit(second), 0);
  const std::string dialogs = ReadFile(dialogs_);
  EXPECT_EQ(dialogs.rfind("warning\t", 0), 0u) << dialogs;
  EXPECT_NE(dialogs.find("前回起動したプロセスが終了していないため"), std::string::npos);
  EXPECT_TRUE(LogFiles().empty());
}

TEST_F(BrowserProcessTest, DamagedSettingsFileIsKeptAsideAndTheProgramStartsWithDefaults) {
  const std::string settings = HiveFilePath(Hive::kCurrentUser);
  fs::create_directories(fs::path(settings).parent_path());
  std::ofstream(settings) << "{ \"SOFTWARE\\\\Morvane\": { not json";
  const pid_t first = Start({});
  ASSERT_TRUE(WaitForWindow());
  ASSERT_EQ(RequestClose(4), platform::HandOffStatus::kAnswered);
  EXPECT_EQ(WaitExit(first), 0);

  bool kept_aside = false;
  for (const auto& e : fs::directory_iterator(fs::path(settings).parent_path())) {
    if (e.path().filename().string().find("corrupt") != std::string::npos) {
      kept_aside = ReadFile(e.path()).find("not json") != std::string::npos;
    }
  }
  EXPECT_TRUE(kept_aside);
  const std::string log = ReadFile(LogFiles().at(0));
  EXPECT_NE(log.find(settings), std::string::npos) << log;
  auto store = SettingsStore::ForHive(Hive::kCurrentUser);
  EXPECT_TRUE(store->Read(TPlumoraConfigItem::ClassSettingsKey(), "CacheMaxSizeMB").has_value());
}

// A damaged catalog file at start: the dialog names the copies kept aside, and nothing is saved
// over the live files unless the user chose to put back the newest good copy.
TEST_F(BrowserProcessTest, ADamagedCatalogFileAsksTheUserAndSavesNothingUnlessRecoveryWasChosen) {
  const std::string pics = test::TestRoot() + "/pics";
  fs::create_directories(pics);
  std::ofstream(pics + "/a.jpg") << "not a picture";
  std::ofstream(pics + "/b.jpg") << "not a picture";
  const std::string plb = test::BinaryDir() + "/bin/plb ";
  const std::string data = TPlumoraConfigItem().DataFolder();
  for (const char* choice : {"read-only", "quit", "recover"}) {
    SCOPED_TRACE(choice);
    fs::remove_all(data);
    fs::remove(dialogs_);
    ASSERT_EQ(test::RunCommand(plb + "add " + pics + " >/dev/null 2>&1").status, 0);
    ASSERT_EQ(test::RunCommand(plb + "tag trip " + pics + "/a.jpg >/dev/null 2>&1").status, 0);
    ASSERT_EQ(test::RunCommand(plb + "tag trip " + pics + "/b.jpg >/dev/null 2>&1").status, 0);
    const std::string albums = data + "/OstraGroup.qdb";
    std::string damaged = ReadFile(albums);
    damaged[0] = 'X';
    std::ofstream(albums, std::ios::binary | std::ios::trunc) << damaged;
    const std::string tree = ReadFile(data + "/OstraData.qdb");

    setenv("PLB_UNATTENDED_LOAD_FAILURE", choice, 1);
    const pid_t first = Start({});
    unsetenv("PLB_UNATTENDED_LOAD_FAILURE");
    if (std::string(choice) != "quit") {
      ASSERT_TRUE(WaitForWindow());
      ASSERT_EQ(RequestClose(4), platform::HandOffStatus::kAnswered);
    }
    EXPECT_EQ(WaitExit(first), 0);

    const std::string dialogs = ReadFile(dialogs_);
    EXPECT_EQ(dialogs.rfind("load-failure\t", 0), 0u) << dialogs;
    EXPECT_NE(dialogs.find("OstraAlbums:データファイルのマーカが異常です。"), std::string::npos) << dialogs;
    EXPECT_NE(dialogs.find(albums + ".damaged-"), std::string::npos) << "names the copy kept aside: " << dialogs;
    const test::CommandRun tags = test::RunCommand(plb + "tags --json 2>/dev/null");
    if (std::string(choice) == "recover") {
      EXPECT_EQ(tags.status, 0);
      EXPECT_EQ(tags.out.find("b.jpg"), std::string::npos) << "the .bak has a.jpg only: " << tags.out;
      EXPECT_NE(tags.out.find("a.jpg"), std::string::npos) << tags.out;
    } else {
      EXPECT_EQ(ReadFile(albums), damaged) << "saved over the live files";
      EXPECT_EQ(ReadFile(data + "/OstraData.qdb"), tree);
      EXPECT_EQ(tags.status, 3);
    }
  }
}

}  // namespace
}  // namespace plb
