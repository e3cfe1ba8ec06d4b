// The command queue and its dispatch against a recording stand-in for the window: which call each
// command makes, in which order, one command per turn of the event loop, and no turn while
// nothing waits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "service/api/plumora_api_params.h"
#include "shell/main/command_dispatcher.h"
#include "shell/qt_test_app.h"

namespace plb::shell {
namespace {

class RecordingTargets : public TCommandTargets {
 public:
  TCommandDispatcher* dispatcher = nullptr;
  std::vector<std::string> calls;
  // Queue length seen by each handler: one command leaves the queue per step.
  std::vector<size_t> queue_seen;
  int page = 1;
  bool update_wants_close = false;
  std::function<void()> on_callax;

  void Note(const std::string& call) {
    calls.push_back(call);
    if (dispatcher) queue_seen.push_back(dispatcher->Queue().size());
  }
  void CallAx(const std::string& text) override {
    Note("callax " + text);
    if (on_callax) on_callax();
  }
  void GetMailAddress(const std::string& text) override { Note("mail " + text); }
  void StartMessageAgent() override { Note("agent"); }
  bool UpdateCheck() override {
    Note("updatecheck");
    return update_wants_close;
  }
  void CallJsFunc(const std::string& c, const std::string& n, const std::string& a) override {
    Note("js " + c + " " + n + "(" + a + ")");
  }
  void WakeupIE(const std::string& text) override { Note("wakeup " + text); }
  void CancelUpload() override { Note("cancelupload"); }
  void CloseWebDialog() override { Note("closedialog"); }
  bool ReloadAppInfo() override {
    Note("renew");
    return true;
  }
  int CurrentPage() const override { return page; }
  void ShowPage(int p, int kind) override {
    Note("show " + std::to_string(p) + "/" + std::to_string(kind));
    page = p;
  }
  void Navigate(const std::string& url) override { Note("navigate " + url); }
  void RemakePage(const std::string& url) override { Note("remake " + url); }
  void OpenWebDialog(const std::string& url, int w, int h) override {
    Note("dialog " + url + " " + std::to_string(w) + "x" + std::to_string(h));
  }
  void BringToFront() override { Note("front"); }
  void LeaveTools() override { Note("leavetools"); }
  void ConfigureTray(const TPlumoraApiParamValues&, int mode) override { Note("tray " + std::to_string(mode)); }
  void StartTrayUpload() override { Note("upload"); }
  std::string RunBgmDialog(const std::string&, const std::string& book) override {
    Note("bgm " + book);
    return {};
  }
  void CloseWindow() override { Note("close"); }
  void SetRestartFlag() override { Note("restartflag"); }
};

struct DispatchFixture : ::testing::Test {
  DispatchFixture() {
    test::QtApp();
    targets.dispatcher = &dispatcher;
  }
  // Runs the event loop until nothing is armed.
  void Drain() {
    ASSERT_TRUE(test::PumpUntil([&] { return !dispatcher.Armed(); }, 5000));
  }
  TPlumoraApiParams params;
  RecordingTargets targets;
  TCommandDispatcher dispatcher{targets, params};
};

struct Case {
  const char* text;
  TCommandSource source;
  std::vector<std::string> calls;
};

TEST_F(DispatchFixture, EachCommandReachesItsHandler) {
  const TCommandSource web = TCommandSource::kWebHome, none = TCommandSource::kNone;
  const std::vector<Case> cases = {
      {"command=callax,x=1", none, {"callax command=callax,x=1"}},
      {"mode=GetMailAddress", none, {"mail mode=GetMailAddress"}},
      {"command=startmessageagent", none, {"agent"}},
      {"command=updatecheck", none, {"updatecheck"}},
      {"command=calljsfunc,container=Main,funcname=f,funcarg=1", none, {"js main f(1)"}},
      {"command=calljsfunc,container=elsewhere,funcname=f", none, {}},
      {"command=wakeupie,url=http://a/", none, {"wakeup command=wakeupie,url=http://a/"}},
      {"mode=cancelupload", none, {"cancelupload"}},
      {"command=closedialog", none, {"closedialog"}},
      // A value that merely holds a keyword is not that keyword.
      {"mode=disppage,pageurl=http://h/?editmode=cancelupload", none,
       {"show 0/2", "navigate http://h/?editmode=cancelupload", "tray 0"}},
      // The page's own "disppage" leaves the page alone.
      {"mode=disppage,pageurl=http://h/", web, {"tray 0"}},
      {"mode=disppage", none, {"show 0/2", "navigate ", "tray 0"}},
      {"mode=remakepage,pageurl=http://h/r", web, {"show 0/1", "remake http://h/r", "tray 0"}},
      {"mode=createplumora,pageurl=http://h/c", web, {"closedialog", "leavetools", "navigate http://h/c", "tray 0"}},
      {"mode=createplumora,pageurl=http://h/c", none,
       {"closedialog", "leavetools", "show 1/2", "navigate http://h/c", "tray 0"}},
      {"mode=hiddencreateplumora", none, {"leavetools", "tray 0", "upload"}},
      {"mode=startchangejacket", none, {"closedialog", "leavetools", "show 1/2", "tray 1"}},
      {"mode=startchangelabel", none, {"closedialog", "leavetools", "show 1/2", "tray 2"}},
      {"mode=startchangebodyicon", none, {"closedialog", "leavetools", "show 1/2", "tray 3"}},
      {"mode=startappendplumorabgm", none, {"show 2/2", "tray 0"}},
      {"mode=startdialog,dialogurl=http://h/d,width=0,height=300", none,
       {"show 1/2", "tray 0", "dialog http://h/d 0x300"}},
      {"mode=nonsense", none, {"tray 0"}},
      {"mode=restart", none, {"restartflag", "close", "tray 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TPlumoraApiParams params;
    RecordingTargets targets;
    TCommandDispatcher dispatcher(targets, params);
    dispatcher.SetActive(true);
    dispatcher.Enqueue(c.text, c.source);
    ASSERT_TRUE(test::PumpUntil([&] { return !dispatcher.Armed(); }, 5000));
    EXPECT_EQ(targets.calls, c.calls);
  }
}

TEST_F(DispatchFixture, CommandsRunInOrderOnePerTurnAndNothingRunsWhenTheQueueIsEmpty) {
  dispatcher.Enqueue("command=callax,n=1", TCommandSource::kNone);
  dispatcher.Enqueue("command=startmessageagent", TCommandSource::kNone);
  dispatcher.Enqueue("command=closedialog", TCommandSource::kNone);
  // Not shown yet: nothing runs and no turn is asked for.
  EXPECT_FALSE(dispatcher.Armed());
  test::PumpFor(50);
  EXPECT_TRUE(targets.calls.empty());
  dispatcher.SetActive(true);
  EXPECT_TRUE(dispatcher.Armed());
  Drain();
  EXPECT_EQ(targets.calls, (std::vector<std::string>{"callax command=callax,n=1", "agent", "closedialog"}));
  EXPECT_EQ(targets.queue_seen, (std::vector<size_t>{2, 1, 0}));
  EXPECT_EQ(dispatcher.Steps(), 3);
  // An empty queue asks for no turn: the event loop stays idle.
  test::PumpFor(100);
  EXPECT_FALSE(dispatcher.Armed());
  EXPECT_EQ(dispatcher.Steps(), 3);
}

TEST_F(DispatchFixture, AHandlerThatQueuesAndSpinsTheEventLoopDoesNotRunTheNextCommandInside) {
  dispatcher.SetActive(true);
  std::vector<std::string> inside;
  targets.on_callax = [&] {
    // What a modal box inside a handler does: a nested event loop.
    dispatcher.Enqueue("command=closedialog", TCommandSource::kNone);
    test::PumpFor(50);
    inside = targets.calls;
  };
  dispatcher.Enqueue("command=callax", TCommandSource::kNone);
  Drain();
  EXPECT_EQ(inside, (std::vector<std::string>{"callax command=callax"}));
  EXPECT_EQ(targets.calls, (std::vector<std::string>{"callax command=callax", "closedialog"}));
}

TEST_F(DispatchFixture, WhileUploadingOnlyTheCancelRunsAndTheRestWaitsForTheEnd) {
  dispatcher.SetActive(true);
  dispatcher.UploadStarted();
  dispatcher.Enqueue("command=callax,n=1", TCommandSource::kNone);
  dispatcher.Enqueue("mode=cancelupload", TCommandSource::kWebHome);
  dispatcher.Enqueue("command=startmessageagent", TCommandSource::kNone);
  Drain();
  EXPECT_EQ(targets.calls, (std::vector<std::string>{"cancelupload"}));
  EXPECT_EQ(dispatcher.Queue().size(), 2u);
  test::PumpFor(50);
  EXPECT_FALSE(dispatcher.Armed());
  dispatcher.UploadEnded(true, "command=closedialog");
  Drain();
  EXPECT_EQ(targets.calls,
            (std::vector<std::string>{"cancelupload", "callax command=callax,n=1", "agent", "closedialog"}));
}

TEST_F(DispatchFixture, ThePageSendingTheSameCommandTwiceActsOnceUnlessItStartsSomething) {
  dispatcher.SetActive(true);
  dispatcher.PageCommand("command=callax,n=1");
  dispatcher.PageCommand("command=callax,n=1");
  dispatcher.PageCommand("mode=getMailAddress");
  dispatcher.PageCommand("mode=getMailAddress");
  Drain();
  EXPECT_EQ(targets.calls,
            (std::vector<std::string>{"callax command=callax,n=1", "mail mode=getMailAddress", "mail mode=getMailAddress"}));
  // The end of an upload lets the same page command act again.
  dispatcher.PageCommand("command=callax,n=2");
  dispatcher.UploadStarted();
  dispatcher.UploadEnded(false, "");
  dispatcher.PageCommand("command=callax,n=2");
  Drain();
  EXPECT_EQ(std::count(targets.calls.begin(), targets.calls.end(), "callax command=callax,n=2"), 2);
}

TEST_F(DispatchFixture, SessionReportsAndTokensActOnlyOnAChange) {
  dispatcher.SetActive(true);
  dispatcher.SessionReport("S1");
  dispatcher.SessionReport("S1");
  Drain();
  EXPECT_EQ(dispatcher.Steps(), 1);
  // Focus and home counters: a repeated value does not steal the focus or switch pages again.
  dispatcher.Enqueue("mode=hiddencreateplumora,focuscount=7,plumoradotnetcount=1", TCommandSource::kNone);
  dispatcher.Enqueue("mode=hiddencreateplumora,focuscount=7,plumoradotnetcount=1", TCommandSource::kNone);
  Drain();
  EXPECT_EQ(std::count(targets.calls.begin(), targets.calls.end(), "front"), 1);
  EXPECT_EQ(std::count(targets.calls.begin(), targets.calls.end(), "show 0/1"), 1);
  // A new session id renews the application information once.
  targets.calls.clear();
  dispatcher.Enqueue("mode=hiddencreateplumora,sessionid=S2", TCommandSource::kNone);
  dispatcher.Enqueue("mode=hiddencreateplumora,sessionid=s2", TCommandSource::kNone);
  Drain();
  EXPECT_EQ(std::count(targets.calls.begin(), targets.calls.end(), "renew"), 1);
}

TEST_F(DispatchFixture, CloseAndBgmDialogRunOnTheirOwnTurns) {
  dispatcher.SetActive(true);
  dispatcher.Enqueue("mode=startmybgmdialog,plumoraid=B7", TCommandSource::kNone);
  dispatcher.Enqueue("mode=close", TCommandSource::kNone);
  Drain();
  // The BGM dialog on the turn after its command; "close" closes on the turn after its own.
  const std::vector<std::string>& c = targets.calls;
  const auto bgm = std::find(c.begin(), c.end(), "bgm B7");
  ASSERT_NE(bgm, c.end());
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c.back(), "close");
  EXPECT_TRUE(dispatcher.CloseRequested());
}

TEST_F(DispatchFixture, TheServicePageRequestKeepsAnAddressWithQuotesAndCommasWhole) {
  const std::string url = "http://h/p?a=\"x\",mode=close";
  dispatcher.SetActive(true);
  dispatcher.Enqueue(ServicePageCommand(url), TCommandSource::kTray);
  Drain();
  EXPECT_EQ(targets.calls, (std::vector<std::string>{"show 0/2", "navigate " + url, "tray 0"}));
  EXPECT_FALSE(dispatcher.CloseRequested());
}

TEST_F(DispatchFixture, UpdateCheckThatWantsToCloseMarksTheCloseAsAskedFor) {
  dispatcher.SetActive(true);
  targets.update_wants_close = true;
  dispatcher.Enqueue("command=updatecheck", TCommandSource::kNone);
  Drain();
  EXPECT_TRUE(dispatcher.CloseRequested());
  EXPECT_EQ(targets.calls.at(1), "close");
}

}  // namespace
}  // namespace plb::shell
