// The service's start and stop steps in the real sequence, offscreen, against the local service:
// the application information applied, the re-upload thread running exactly while the window is,
// the log-out at exit, an offered update that ends the start and runs its installer last, and the
// local parameter file handed to a restart.
#include "shell/start/service_start_steps.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/relaunch.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/app_info_item.h"
#include "service/appinfo/check_app_info.h"
#include "service/commands/local_param_file.h"
#include "service/local_service_process.h"
#include "service/updater/application_updater.h"
#include "service/upload/back_uploader.h"
#include "shell/qt_test_app.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

class FirstInstance : public IStartPlatform {
 public:
  InstanceState AcquireInstance() override { return InstanceState::kFirst; }
  void ReleaseInstance() override {}
  bool RunningInstanceExists() override { return false; }
  void AcquireRunningLock() override {}
  void ReleaseRunningLock() override {}
  bool HandOffToRunningInstance(const std::string&) override { return false; }
  void SweepStaleProcesses() override {}
};

class RecordingUi : public IStartUi {
 public:
  void ShowStillRunningWarning(const std::string&) override {}
  void ShowStartError(const std::string& caption, const std::string&) override { start_errors.push_back(caption); }
  void ShowBootErrorForm() override { ++boot_error_forms; }
  void SetApplicationTitle(const std::string&) override {}
  std::vector<std::string> start_errors;
  int boot_error_forms = 0;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ServiceStartStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    TApplicationUpdater::Reset();
    updater_folder_ = test::TestRoot() + "/updater";
    fs::create_directories(updater_folder_);
    TApplicationUpdater::SetUpdaterFolder(updater_folder_);
    context_.executable = "/bin/true";
    context_.log_folder = test::TestRoot() + "/logs";
    context_.temp_folder = test::TestRoot() + "/tmp";
    context_.window_title = "Plumora Browser";
  }
  void TearDown() override {
    AbortPlumoraBackUploader();
    TApplicationUpdater::Reset();
  }

  StartHooks Hooks(TServiceStartOptions options = {.splash_ms = 0, .back_upload_wait_ms = 50}) {
    StartHooks hooks;
    hooks.read_start_parameters = [](const std::vector<std::string>& args) {
      PlumoraApiParams().InitializeFromCommandLine(args);
    };
    hooks.log_start_parameters = [](const std::string& label) { PlumoraApiParams().LogParams(label); };
    AddServiceStartSteps(hooks, options);
    hooks.run_main_window = [this] {
      ++windows_run_;
      uploader_ran_with_window_ = PlumoraBackUploaderRunning();
      base_url_with_window_ = PlumoraApiParams().BaseUrl();
    };
    return hooks;
  }

  std::vector<std::string> Args(std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {"getappinfourl=" + service_.ApiUrl() + "getAppInfo.php"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  int Requests(const std::string& path) const {
    int n = 0;
    for (const auto& request : service_.Requests()) n += request["path"] == path;
    return n;
  }

  test::LocalServiceProcess service_;
  StartContext context_;
  FirstInstance platform_;
  RecordingUi ui_;
  std::string updater_folder_;
  int windows_run_ = 0;
  bool uploader_ran_with_window_ = false;
  std::string base_url_with_window_;
};

TEST_F(ServiceStartStepsTest, TheDocumentIsAppliedAndTheReUploadThreadRunsWhileTheWindowDoes) {
  context_.args = Args({"updatecheck=disable", "dispsplash=disable"});
  TStartSequence sequence(context_, Hooks(), platform_, ui_);
  EXPECT_EQ(sequence.Run(), 0);
  EXPECT_EQ(sequence.LastOutcome(), TStartSequence::Outcome::kRan);
  EXPECT_EQ(windows_run_, 1);
  EXPECT_EQ(base_url_with_window_, service_.ApiUrl());
  EXPECT_TRUE(uploader_ran_with_window_);
  // Stopped by its stop step, and the service was logged out of.
  EXPECT_FALSE(PlumoraBackUploaderRunning());
  EXPECT_EQ(Requests("/api/logout.php"), 1);
  EXPECT_EQ(ui_.boot_error_forms, 0);
  // No update offered: nothing downloaded, nothing pending.
  EXPECT_EQ(Requests("/api/installer.php"), 0);
}

TEST_F(ServiceStartStepsTest, AnOfferedUpdateEndsTheStartAndItsInstallerRunsAtTheEnd) {
  const std::string marker = test::TestRoot() + "/installer-ran";
  service_.Configure({{"update", "offer"}, {"installermarker", marker}});
  context_.args = Args();
  TStartSequence sequence(context_, Hooks(), platform_, ui_);
  EXPECT_EQ(sequence.Run(), 0);
  EXPECT_EQ(sequence.LastOutcome(), TStartSequence::Outcome::kUpdateStarted);
  // The window and the background services never started; the log-out still went.
  EXPECT_EQ(windows_run_, 0);
  EXPECT_FALSE(PlumoraBackUploaderRunning());
  EXPECT_EQ(Requests("/api/logout.php"), 1);
  // The splash went with the check.
  test::PumpFor(50);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "TUpdateSplashForm");
  EXPECT_TRUE(test::PumpUntil([&] { return ReadAll(marker) == "/VERYSILENT\n/autoupdate\n"; }, 10000));
  EXPECT_FALSE(TApplicationUpdater::Pending());
}

TEST_F(ServiceStartStepsTest, WithoutAnUpdateTheSplashStaysForItsTimeAndTheStartGoesOn) {
  context_.args = Args({"updatecheck=disable"});
  StartHooks hooks = Hooks({.splash_ms = 200, .back_upload_wait_ms = 50});
  bool splash_with_window = false;
  hooks.run_main_window = [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      splash_with_window |= w->objectName() == "TUpdateSplashForm" && w->isVisible();
  };
  TStartSequence sequence(context_, hooks, platform_, ui_);
  EXPECT_EQ(sequence.Run(), 0);
  EXPECT_TRUE(splash_with_window);
  EXPECT_TRUE(test::PumpUntil([] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "TUpdateSplashForm") return false;
    return true;
  }));
}

TEST_F(ServiceStartStepsTest, AStartWithTheServiceDownShowsTheErrorPage) {
  context_.args = Args({"updatecheck=disable", "dispsplash=disable"});
  // The error pages are the service's own: a document read earlier in the process holds them.
  // Without its local copy and with the service gone, nothing can be loaded this time.
  service_.UseAsService();
  ASSERT_TRUE(PLApi_CheckAppInfoEx(false));
  fs::remove(AppInfoLocalCopyPath());
  service_.Stop();
  TStartSequence sequence(context_, Hooks(), platform_, ui_);
  EXPECT_EQ(sequence.Run(), 0);
  // Nothing loaded: the window opens on the error page of the failure.
  EXPECT_EQ(windows_run_, 1);
  EXPECT_EQ(PlumoraApiParams().Mode(), pamDispPage);
  EXPECT_FALSE(PlumoraApiParams().Snapshot().display_page.empty());
}

TEST_F(ServiceStartStepsTest, AFirstStartWithoutTheServiceShowsTheShippedErrorPage) {
  // No document was ever read, so the service's error pages are unknown: the window still opens
  // on a page that says what happened, the one shipped beside the program.
  context_.args = Args({"updatecheck=disable", "dispsplash=disable"});
  service_.Stop();
  TStartSequence sequence(context_, Hooks(), platform_, ui_);
  EXPECT_EQ(sequence.Run(), 0);
  EXPECT_EQ(windows_run_, 1);
  EXPECT_EQ(PlumoraApiParams().Mode(), pamDispPage);
  const std::string page = PlumoraApiParams().Snapshot().display_page;
  EXPECT_NE(page.find("pageurl=file://"), std::string::npos) << page;
  EXPECT_NE(page.find("/docroot/startup_error.html"), std::string::npos) << page;
}

TEST_F(ServiceStartStepsTest, AFailedCheckTakesTheStartErrorPathAndStartsNothing) {
  context_.args = Args({"updatecheck=disable", "dispsplash=disable"});
  StartHooks hooks = Hooks();
  hooks.check_application_information = [] { return false; };
  TStartSequence sequence(context_, hooks, platform_, ui_);
  sequence.Run();
  EXPECT_EQ(sequence.LastOutcome(), TStartSequence::Outcome::kAppInfoFailed);
  EXPECT_EQ(ui_.boot_error_forms, 1);
  EXPECT_EQ(windows_run_, 0);
  EXPECT_FALSE(PlumoraBackUploaderRunning());
  // The log-out is armed only by a successful check.
  EXPECT_EQ(Requests("/api/logout.php"), 0);
}

TEST_F(ServiceStartStepsTest, ARestartHandsOnTheLocalParameterFileEvenWhenItIsGone) {
  const std::string param_file = test::TestRoot() + "/wakeup.xml";
  const std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plumoraBrowserWakeup><param name=\"a\" value=\"1\"/></plumoraBrowserWakeup>\n";
  std::ofstream(param_file) << content;
  fs::create_directories(context_.temp_folder);
  // The relaunched program notes its arguments and the reboot copy's content.
  const std::string relaunched = test::TestRoot() + "/relaunched";
  context_.executable = test::TestRoot() + "/program.sh";
  std::ofstream(context_.executable) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + relaunched +
                                            ".args'\ncat \"${2#localparamfile=}\" > '" + relaunched + ".copy'\n";
  fs::permissions(context_.executable, fs::perms::owner_all);
  context_.args = Args({"localparamfile=" + param_file, "updatecheck=disable", "dispsplash=disable"});
  StartHooks hooks = Hooks();
  TStartSequence* running = nullptr;
  hooks.run_main_window = [&] {
    // The file goes while the program runs (the service's page took it); the restart is asked.
    fs::remove(param_file);
    running->RequestRestart();
  };
  TStartSequence sequence(context_, hooks, platform_, ui_);
  running = &sequence;
  sequence.Run();
  const std::string copy = context_.temp_folder + "/RebootPLBParam.xml";
  EXPECT_TRUE(test::PumpUntil([&] { return !ReadAll(relaunched + ".copy").empty(); }, 10000));
  EXPECT_EQ(ReadAll(relaunched + ".args"), context_.args[0] + "\nlocalparamfile=" + copy +
                                                "\nupdatecheck=disable\ndispsplash=disable\n");
  EXPECT_EQ(ReadAll(relaunched + ".copy"), content);
}

}  // namespace
}  // namespace plb::shell
