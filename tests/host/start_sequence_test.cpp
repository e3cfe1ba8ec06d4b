#include "host/start_sequence.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/engine_error.h"
#include "host/log_file.h"
#include "support/test_env.h"

namespace plb {
namespace {

// Records everything the sequence asks of the system and the user, in order.
struct Recorder {
  std::vector<std::string> events;
  void Add(std::string e) { events.push_back(std::move(e)); }
  bool Has(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
  size_t IndexOf(const std::string& e) const { return std::find(events.begin(), events.end(), e) - events.begin(); }
};

class FakePlatform : public IStartPlatform {
 public:
  explicit FakePlatform(Recorder& r) : r_(r) {}
  InstanceState state = InstanceState::kFirst;
  bool running_elsewhere = true;
  InstanceState AcquireInstance() override { return state; }
  void ReleaseInstance() override { r_.Add("release instance"); }
  bool RunningInstanceExists() override { return running_elsewhere; }
  void AcquireRunningLock() override { r_.Add("acquire running"); }
  void ReleaseRunningLock() override { r_.Add("release running"); }
  bool HandOffToRunningInstance(const std::string& text) override {
    r_.Add("hand off:" + text);
    return true;
  }
  void SweepStaleProcesses() override { r_.Add("sweep"); }

 private:
  Recorder& r_;
};

class FakeUi : public IStartUi {
 public:
  explicit FakeUi(Recorder& r) : r_(r) {}
  void ShowStillRunningWarning(const std::string& text) override { r_.Add("warning:" + text); }
  void ShowStartError(const std::string& caption, const std::string& text) override {
    r_.Add("error box:" + caption);
    error_text = text;
  }
  void ShowBootErrorForm() override { r_.Add("boot error form"); }
  void SetApplicationTitle(const std::string& title) override { r_.Add("title:" + title); }
  std::string error_text;

 private:
  Recorder& r_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class StartSequenceTest : public testing::Test {
 protected:
  StartSequenceTest() : platform(r), ui(r) {
    context.executable = "/bin/true";
    context.log_folder = test::TestRoot() + "/data/Log";
    context.temp_folder = test::TestRoot() + "/runtime";
    context.window_title = "Plumora Browser";
    hooks.forwarded_command_text = [](const std::vector<std::string>& args) {
      std::string text;
      for (const auto& a : args) text += (text.empty() ? "" : ",") + a;
      return text;
    };
    hooks.check_application_information = [this] {
      r.Add("app info");
      return app_info_ok;
    };
    hooks.log_out = [this] { r.Add("logout"); };
    hooks.start_engine = [this](TStopStack& stop) {
      r.Add("start engine");
      if (engine_fails) throw EOstraEngineInitializeError("OstraEngine の初期化に失敗しました。");
      stop.Arm("engine", [this] { r.Add("stop engine"); });
    };
    hooks.boot = [this](TStopStack& stop, const std::string&) {
      stop.Arm("shutdown", [this] { r.Add("shutdown action"); });
    };
    hooks.run_main_window = [this] { r.Add("main window"); };
  }

  std::string LogText() const {
    for (const auto& e : std::filesystem::directory_iterator(context.log_folder)) return ReadAll(e.path());
    return "";
  }

  Recorder r;
  FakePlatform platform;
  FakeUi ui;
  StartContext context;
  StartHooks hooks;
  bool app_info_ok = true;
  bool engine_fails = false;
};

TEST_F(StartSequenceTest, NormalRunStopsInReverseAndClosesTheLogLast) {
  TStartSequence seq(context, hooks, platform, ui);
  EXPECT_EQ(seq.Run(), 0);
  EXPECT_EQ(seq.LastOutcome(), TStartSequence::Outcome::kRan);
  const std::vector<std::string> expected = {
      "sweep",           "app info",        "title:Plumora Browser", "start engine", "acquire running", "main window",
      "shutdown action", "release running", "stop engine",           "logout",       "release instance"};
  EXPECT_EQ(r.events, expected);
  const std::string log = LogText();
  EXPECT_NE(log.find("\r\nSTART\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\nEND\r\n"), std::string::npos);
}

TEST_F(StartSequenceTest, SecondStartHandsOffWithoutDialogOrLog) {
  platform.state = IStartPlatform::InstanceState::kSecond;
  context.args = {"sessionid=abc", "mode=open"};
  TStartSequence seq(context, hooks, platform, ui);
  EXPECT_EQ(seq.Run(), 0);
  EXPECT_EQ(r.events, std::vector<std::string>{"hand off:sessionid=abc,mode=open"});
  EXPECT_FALSE(std::filesystem::exists(context.log_folder));
}

TEST_F(StartSequenceTest, SecondStartWithoutArgumentsWhileTheFirstIsStartingWarnsThenStillRaisesIt) {
  platform.state = IStartPlatform::InstanceState::kSecond;
  platform.running_elsewhere = false;
  TStartSequence seq(context, hooks, platform, ui);
  seq.Run();
  ASSERT_EQ(r.events.size(), 2u);
  EXPECT_EQ(r.events[0], std::string("warning:") + TStartSequence::kStillRunningWarning);
  EXPECT_EQ(r.events[1], "hand off:");
}

TEST_F(StartSequenceTest, FailedApplicationInformationShowsTheFormAndStops) {
  app_info_ok = false;
  TStartSequence seq(context, hooks, platform, ui);
  seq.Run();
  EXPECT_EQ(seq.LastOutcome(), TStartSequence::Outcome::kAppInfoFailed);
  EXPECT_TRUE(r.Has("boot error form"));
  EXPECT_FALSE(r.Has("start engine"));
  EXPECT_FALSE(r.Has("logout"));  // armed only after a successful check
  EXPECT_NE(LogText().find("Exit. (CheckAppInfoEx Failed.)"), std::string::npos);
}

TEST_F(StartSequenceTest, StartedUpdateNeverStartsTheEngineButLogsOut) {
  hooks.update_started = [] { return true; };
  TStartSequence seq(context, hooks, platform, ui);
  seq.Run();
  EXPECT_EQ(seq.LastOutcome(), TStartSequence::Outcome::kUpdateStarted);
  EXPECT_FALSE(r.Has("start engine"));
  EXPECT_TRUE(r.Has("logout"));
  EXPECT_NE(LogText().find("Exit. (Start Update.)"), std::string::npos);
}

TEST_F(StartSequenceTest, StartErrorRunsArmedStopStepsBeforeTheMessages) {
  engine_fails = true;
  TStartSequence seq(context, hooks, platform, ui);
  EXPECT_NE(seq.Run(), 0);
  EXPECT_EQ(seq.LastOutcome(), TStartSequence::Outcome::kStartError);
  EXPECT_LT(r.IndexOf("logout"), r.IndexOf("error box:EOstraEngineInitializeError"));
  EXPECT_LT(r.IndexOf("release instance"), r.IndexOf("error box:EOstraEngineInitializeError"));
  EXPECT_LT(r.IndexOf("error box:EOstraEngineInitializeError"), r.IndexOf("boot error form"));
  EXPECT_EQ(ui.error_text, "OstraEngine の初期化に失敗しました。");
  EXPECT_FALSE(r.Has("main window"));
}

TEST_F(StartSequenceTest, UnwritableLogFolderIsAStartLogError) {
  const std::string blocker = test::TestRoot() + "/data/file";
  std::ofstream(blocker) << "x";
  context.log_folder = blocker + "/Log";
  TStartSequence seq(context, hooks, platform, ui);
  seq.Run();
  EXPECT_TRUE(r.Has("error box:EOstraEngineStartLogError"));
  EXPECT_EQ(ui.error_text.rfind("ログファイルの初期化中にエラーが発生しました。\r\n\r\nEFileFunctionsError\r\n"
                                "ログフォルダの作成に失敗しました。( " +
                                    context.log_folder + " )",
                                0),
            0u);
}

TEST_F(StartSequenceTest, RestartRelaunchesWithTheSameArgumentsAfterEverythingStopped) {
  const std::string out = test::TestRoot() + "/relaunched.txt";
  const std::string script = test::TestRoot() + "/program.sh";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > " << out << "\n";
  chmod(script.c_str(), 0755);
  context.executable = script;
  context.args = {"a b", "localparamfile=/somewhere/p.xml"};
  hooks.local_parameter_content = [] { return std::string("<plumoraBrowserWakeup/>"); };
  TStartSequence* seq_ptr = nullptr;
  hooks.run_main_window = [&] { seq_ptr->RequestRestart(); };
  TStartSequence seq(context, hooks, platform, ui);
  seq_ptr = &seq;
  seq.Run();
  for (int i = 0; i < 100 && !std::filesystem::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::string copy = context.temp_folder + "/RebootPLBParam.xml";
  EXPECT_EQ(ReadAll(out), "a b|localparamfile=" + copy + "|");
  EXPECT_EQ(ReadAll(copy), "<plumoraBrowserWakeup/>");
}

TEST_F(StartSequenceTest, PendingInstallerWinsOverRestart) {
  bool installer_ran = false;
  hooks.run_pending_installer = [&] { return installer_ran = true; };
  TStartSequence* seq_ptr = nullptr;
  hooks.run_main_window = [&] { seq_ptr->RequestRestart(); };
  context.executable = test::TestRoot() + "/does-not-exist";
  TStartSequence seq(context, hooks, platform, ui);
  seq_ptr = &seq;
  seq.Run();
  EXPECT_TRUE(installer_ran);
}

TEST(WindowTitle, FallsBackToTheProductName) {
  EXPECT_EQ(WindowTitleOrDefault(""), "Plumora Browser");
  EXPECT_EQ(WindowTitleOrDefault("My Browser"), "My Browser");
}

}  // namespace
}  // namespace plb
