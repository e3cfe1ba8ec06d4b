// The web home with real pages: a bridge page served by the local service on 127.0.0.1, clicked
// and called through Qt WebEngine offscreen.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <string>
#include <vector>

#include "host/version_info.h"
#include "service/local_service_process.h"
#include "shell/main_window.h"
#include "shell/qt_test_app.h"
#include "shell/web/frame_plumora_home.h"
#include "shell/web/html_dialog_form.h"
#include "shell/web/service_dialog_form.h"

namespace plb::shell {
namespace {

class WebHomeTest : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    home_ = std::make_unique<TFramePlumoraHome>();
    home_->resize(800, 600);
    home_->show();
    home_->SetDesktopOpener([this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
    QObject::connect(home_.get(), &TFramePlumoraHome::commandReceived,
                     [this](const std::string& command) { commands_.push_back(command); });
    QObject::connect(home_.get(), &TFramePlumoraHome::sessionIdChanged,
                     [this](const std::string& id) { sessions_.push_back(id); });
    QObject::connect(home_.get(), &TFramePlumoraHome::commandStateChanged,
                     [this](int index, bool enabled) { states_[index] = enabled; });
    home_->Start();
  }

  // Navigates the web home and waits until the page has loaded.
  void Open(const std::string& url) {
    bool loaded = false;
    auto c = QObject::connect(home_->View()->page(), &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
    home_->Navigate(url);
    ASSERT_TRUE(test::PumpUntil([&] { return loaded; })) << url;
    QObject::disconnect(c);
  }

  QVariant Eval(const QString& script) {
    bool done = false;
    QVariant result;
    home_->View()->page()->runJavaScript(script, [&](const QVariant& v) {
      result = v;
      done = true;
    });
    EXPECT_TRUE(test::PumpUntil([&] { return done; })) << script.toStdString();
    return result;
  }

  void Click(const char* id) { Eval(QStringLiteral("document.getElementById('%1').click()").arg(id)); }

  // A click of the mouse on the element, as a user makes it.
  void MouseClick(const char* id) {
    const QVariantList box =
        Eval(QStringLiteral("(function () { var r = document.getElementById('%1').getBoundingClientRect();"
                            " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                 .arg(id))
            .toList();
    ASSERT_EQ(box.size(), 2);
    const QPointF at(box[0].toDouble(), box[1].toDouble());
    QWidget* target = home_->View()->focusProxy();
    ASSERT_NE(target, nullptr);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(target, &event);
    }
  }

  test::LocalServiceProcess service_;
  std::unique_ptr<TFramePlumoraHome> home_;
  std::vector<std::string> commands_;
  std::vector<std::string> sessions_;
  std::vector<std::string> opened_;
  bool states_[3] = {false, false, false};  // back, forward, refresh
};

TEST_F(WebHomeTest, CommandFrameAndWakeupLinksReachTheOwnerAndNeverNavigate) {
  Open(service_.BaseUrl() + "bridge.html?sessionid=S1");
  const QString page = QString::fromStdString(home_->Location());
  EXPECT_TRUE(page.contains("version=")) << page.toStdString();

  MouseClick("command");
  ASSERT_TRUE(test::PumpUntil([&] { return commands_.size() == 1; }));
  // Parsed once: the values arrive decoded, the one with a comma and a blank quoted.
  EXPECT_EQ(commands_[0], "mode=startcreateplumora,\"sessionid=S,1\",\"pageurl=http://example.com/a b\"");
  test::PumpFor(300);
  EXPECT_EQ(Eval("frames['plb_command'].location.href").toString(), "about:blank");

  MouseClick("wakeup");
  ASSERT_TRUE(test::PumpUntil([&] { return commands_.size() == 2; }));
  EXPECT_EQ(commands_[1], "command=disppage,pageurl=http://x/?a=1");
  test::PumpFor(300);
  EXPECT_EQ(QString::fromStdString(home_->Location()), page);

  // A frame of another origin commands nothing, even with a command's query.
  Click("foreign");
  test::PumpFor(500);
  EXPECT_EQ(commands_.size(), 2u);

  // The session id of top-level addresses, once per change.
  Open(service_.BaseUrl() + "bridge.html?sessionid=S1&x=2");
  Open(service_.BaseUrl() + "bridge.html?sessionid=S2");
  EXPECT_EQ(sessions_, (std::vector<std::string>{"S1", "S2"}));
  EXPECT_TRUE(states_[0]);
  EXPECT_FALSE(states_[1]);
  EXPECT_TRUE(states_[2]);

  // Stopped, the page commands nothing.
  home_->Stop();
  Open(service_.BaseUrl() + "bridge.html");
  Click("command");
  test::PumpFor(300);
  EXPECT_EQ(commands_.size(), 2u);
}

TEST_F(WebHomeTest, ScriptCallsDeliverHostileValuesUnchangedAndRunNothingElse) {
  Open(service_.BaseUrl() + "bridge.html");
  const std::vector<std::string> hostile = {
      "'); window.pwned = 1; ('",
      "\\'; window.pwned = 2; //",
      "</script><script>window.pwned = 3</script>",
      "\"); window.pwned = 4; (\"",
      "line\xE2\x80\xA8sep\xE2\x80\xA9par\r\nend",
      "${window.pwned = 5}`",
      "日本語 <!-- x",
  };
  ASSERT_TRUE(home_->DoScriptEx("record", hostile));
  const QVariantList received = Eval("received").toList();
  ASSERT_EQ(received.size(), static_cast<qsizetype>(hostile.size()));
  for (size_t i = 0; i < hostile.size(); ++i) EXPECT_EQ(received[i].toString().toStdString(), hostile[i]);
  EXPECT_EQ(Eval("typeof window.pwned").toString(), "undefined");

  // A name that is code is refused; a function the page does not mention is not called.
  EXPECT_FALSE(home_->DoScriptEx("window.pwned=6;record", {"x"}));
  EXPECT_FALSE(home_->DoScriptEx("alert", {"x"}));
  EXPECT_TRUE(home_->HasScriptFunction("record"));
  EXPECT_FALSE(home_->HasScriptFunction("nowhere"));

  // "javascript:" addresses: literal arguments only, and only defined functions.
  home_->Navigate("javascript:record('a\\'b', 2)");
  EXPECT_EQ(Eval("received.join('|')").toString(), "a'b|2");
  EXPECT_THROW(home_->Navigate("javascript:record(window.pwned = 7)"), EFramePlumoraHomeError);
  try {
    home_->Navigate("javascript:nosuch('x')");
    ADD_FAILURE() << "an undefined function was called";
  } catch (const EFramePlumoraHomeError& e) {
    EXPECT_STREQ(e.what(), "JavaScript: nosuch が定義されていません。");
  }
  EXPECT_EQ(Eval("typeof window.pwned").toString(), "undefined");

  // The upload's progress and the tab, without waiting; the close question, waiting.
  home_->SendUploadProgress(42);
  home_->SetPageMode(2, 1);
  ASSERT_TRUE(test::PumpUntil([&] { return Eval("window.tab").toString() == "PhotoLibrary/plb_command"; }));
  EXPECT_EQ(Eval("window.progress").toString(), "42");
  EXPECT_TRUE(home_->AskClose());
  EXPECT_EQ(Eval("window.closingAsked").toString(), "");
  EXPECT_EQ(Eval("calls").toInt(), 2);
}

TEST_F(WebHomeTest, OnlyHttpPopupsAndWakeupAddressesReachTheDesktopBrowser) {
  Open(service_.BaseUrl() + "bridge.html");
  Click("file-popup");
  test::PumpFor(500);
  EXPECT_TRUE(opened_.empty());
  Click("http-popup");
  ASSERT_TRUE(test::PumpUntil([&] { return !opened_.empty(); }));
  EXPECT_EQ(opened_, std::vector<std::string>{"http://example.com/popup?x=1"});

  home_->WakeupIECommand("command=wakeupie,url=file:///etc/passwd");
  home_->WakeupIECommand("command=wakeupie,url=xterm");
  home_->WakeupIECommand("command=wakeupie,\"url=https://example.com/b?c=d,e\"");
  EXPECT_EQ(opened_, (std::vector<std::string>{"http://example.com/popup?x=1", "https://example.com/b?c=d,e"}));
  EXPECT_EQ(QString::fromStdString(home_->Location()).contains("bridge.html"), true);

  // A remade page keeps the rules: its pop-ups are still judged.
  QWebEngineView* old_view = home_->View();
  bool loaded = false;
  home_->RemakePage(service_.BaseUrl() + "bridge.html?again=1");
  ASSERT_NE(home_->View(), old_view);
  QObject::connect(home_->View()->page(), &QWebEnginePage::loadFinished, [&](bool ok) {
    loaded = ok && home_->Location().find("again=1") != std::string::npos;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return loaded; }));
  Click("http-popup");
  ASSERT_TRUE(test::PumpUntil([&] { return opened_.size() == 3; }));
}

TEST_F(WebHomeTest, AFailingHomePageIsReportedOnce) {
  int reports = 0;
  int loads_after_report = 0;
  home_->SetNavigateErrorHandler([&](int) { ++reports; });
  QObject::connect(home_->View()->page(), &QWebEnginePage::loadFinished, [&](bool) {
    if (reports == 1) ++loads_after_report;
  });
  // Nothing listens on port 9 of this machine.
  home_->Navigate("http://127.0.0.1:9/home");
  // The browser's error page gives way to a blank one.
  ASSERT_TRUE(test::PumpUntil([&] { return reports == 1 && home_->Location() == "about:blank"; }));
  EXPECT_EQ(home_->HomeUrl(), "http://127.0.0.1:9/home?version=" + FileVersion());
  // The failing home page again: whichever loads end first (the blank page's, the home page's
  // failure), the owner hears of the failure no more.
  const int before = loads_after_report;
  home_->Navigate("http://127.0.0.1:9/home");
  ASSERT_TRUE(test::PumpUntil([&] { return loads_after_report > before; }));
  EXPECT_EQ(reports, 1);
}

TEST_F(WebHomeTest, DialogsTakeTheirPageCommands) {
  home_.reset();
  THtmlDialogForm box("Plumora", service_.BaseUrl() + "dialog.html", 300, 200, hdbYes | hdbNo);
  EXPECT_EQ(box.FirstButton()->text(), QStringLiteral("はい(&Y)"));
  EXPECT_EQ(box.SecondButton()->text(), QStringLiteral("いいえ(&N)"));
  THtmlDialogForm ok_only("Plumora", "about:blank", 300, 200, hdbOk);
  EXPECT_EQ(ok_only.FirstButton()->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok_only.SecondButton()->isHidden());
  THtmlDialogForm bare("Plumora", "about:blank", 300, 200, 0);
  EXPECT_TRUE(bare.ButtonPanel()->isHidden());

  bool loaded = false;
  QObject::connect(box.Home()->View()->page(), &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
  box.show();
  ASSERT_TRUE(test::PumpUntil([&] { return loaded; }));
  box.Home()->View()->page()->runJavaScript("document.querySelector('button').click()");
  ASSERT_TRUE(test::PumpUntil([&] { return box.result() == QDialog::Accepted && !box.isVisible(); }));

  // The web dialog hands its page's commands on, keeps its size for sizes <= 0, and is reused.
  TServiceDialogForm dialog("Plumora");
  std::vector<std::string> dialog_commands;
  QObject::connect(&dialog, &TServiceDialogForm::commandReceived,
                   [&](const std::string& command) { dialog_commands.push_back(command); });
  loaded = false;
  QObject::connect(dialog.Home()->View()->page(), &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
  dialog.Open(service_.BaseUrl() + "dialog.html", 0, -1, nullptr);
  EXPECT_EQ(dialog.size(), QSize(TServiceDialogForm::kDesignWidth, TServiceDialogForm::kDesignHeight));
  ASSERT_TRUE(test::PumpUntil([&] { return loaded; }));
  dialog.Home()->View()->page()->runJavaScript("document.querySelector('button').click()");
  ASSERT_TRUE(test::PumpUntil([&] { return !dialog_commands.empty(); }));
  EXPECT_EQ(dialog_commands[0], "mode=closedialog");
  dialog.Open(service_.BaseUrl() + "dialog.html?x=1", 400, 300, nullptr);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.size(), QSize(400, 300));
  dialog.Close();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

// The service's own home page in the window: signing in and "create a book" reach the queue.
TEST(WebHomeInWindowTest, TheMainWindowQueuesWhatItsServicePageSends) {
  test::QtApp();
  test::LocalServiceProcess service;
  TPlumoraMain2 window("Plumora");
  window.show();
  std::vector<std::string> queued;
  QObject::connect(&window, &TPlumoraMain2::commandQueued,
                   [&](const QString& text) { queued.push_back(text.toStdString()); });
  TFramePlumoraHome* home = window.WebHome();
  ASSERT_EQ(window.WebHome(), home);
  bool loaded = false;
  QObject::connect(home->View()->page(), &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
  home->Navigate(service.BaseUrl() + "home.html?sessionid=S9");
  ASSERT_TRUE(test::PumpUntil([&] { return loaded; }));
  home->View()->page()->runJavaScript("document.getElementById('create').click()");
  ASSERT_TRUE(test::PumpUntil([&] { return queued.size() == 2; }));
  EXPECT_EQ(queued[0], "SessionIdChanged:S9");
  const std::string& create = queued[1];
  EXPECT_EQ(create.rfind("mode=startcreateplumora,sessionid=S9,dispplumoratray=enable,plumoraid=,", 0), 0u) << create;
  EXPECT_NE(create.find(",plumorarestphotonum=100,"), std::string::npos) << create;
  EXPECT_NE(create.find(",focuscount="), std::string::npos) << create;
}

}  // namespace
}  // namespace plb::shell
