// The browser-free rules of the web home: escaping of script arguments, function names, calls
// written as text, navigation classes, the version query, session ids, desktop addresses and the
// page services.
#include <gtest/gtest.h>

#include <memory>

#include "shell/web/page_services.h"
#include "shell/web/script_call.h"
#include "shell/web/web_home_rules.h"

namespace plb::shell {
namespace {

TEST(JsStringLiteral, EscapesEverythingThatCouldEndTheLiteralOrTheScript) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", "''"},
      {"plain 日本語", "'plain 日本語'"},
      {"'); alert(1); ('", "'\\'); alert(1); (\\''"},
      {"back\\slash\\'", "'back\\\\slash\\\\\\''"},
      {"\"double\"", "'\\\"double\\\"'"},
      {"</script><script>x()</script>", "'\\x3C/script\\x3E\\x3Cscript\\x3Ex()\\x3C/script\\x3E'"},
      {"<!--", "'\\x3C!--'"},
      {"a\nb\rc\td", "'a\\nb\\rc\\td'"},
      {"line\xE2\x80\xA8sep\xE2\x80\xA9par", "'line\\u2028sep\\u2029par'"},
      {std::string("nul\0bell\x07", 9), "'nul\\x00bell\\x07'"},
      {"${x}`", "'${x}`'"},
  };
  for (const auto& c : cases) EXPECT_EQ(JsStringLiteral(c.in), c.out) << c.in;
}

TEST(ScriptFunctionName, AcceptsOnlyIdentifierPaths) {
  for (const char* good : {"f", "changedUploadProgress", "$_x1", "app.result", "a.b.c"})
    EXPECT_TRUE(IsScriptFunctionName(good)) << good;
  for (const char* bad : {"", "1f", "alert(1);f", "a..b", ".a", "a.", "a b", "a-b", "a['x']", "f()", "é"})
    EXPECT_FALSE(IsScriptFunctionName(bad)) << bad;
  EXPECT_FALSE(IsScriptFunctionName(std::string(201, 'a')));
}

TEST(ScriptCallText, CarriesNameAndArgumentsAsLiteralsOnly) {
  const std::string script = ScriptCallText("record", {"a'b", "</script>"}, true);
  EXPECT_NE(script.find("('record', ['a\\'b', '\\x3C/script\\x3E'], true)"), std::string::npos) << script;
  EXPECT_NE(ScriptCallText("f", {}, false).find("('f', [], false)"), std::string::npos);
}

TEST(ScriptCallTextParsing, TakesOnlyCallsWithLiteralArguments) {
  const struct {
    const char* text;
    bool ok;
    std::string name;
    std::vector<std::string> literals;
  } cases[] = {
      {"foo('a', \"b\", 12, -3.5, true, null)", true, "foo", {"'a'", "\"b\"", "12", "-3.5", "true", "null"}},
      {"  app.show('x,)'); ", true, "app.show", {"'x,)'"}},
      {"foo()", true, "foo", {}},
      {"foo", true, "foo", {}},
      {"foo('it\\'s')", true, "foo", {"'it\\'s'"}},
      {"foo(alert(1))", false, "", {}},
      {"foo('a'), bar('b')", false, "", {}},
      {"foo('a' + document.cookie)", false, "", {}},
      {"foo('unterminated)", false, "", {}},
      {"foo('a\\", false, "", {}},
      {"alert(1);foo('x')", false, "", {}},
      {"foo(1.)", false, "", {}},
      {"(foo)('x')", false, "", {}},
  };
  for (const auto& c : cases) {
    const auto call = ParseScriptCallText(c.text);
    ASSERT_EQ(call.has_value(), c.ok) << c.text;
    if (!call) continue;
    EXPECT_EQ(call->name, c.name) << c.text;
    EXPECT_EQ(call->literals, c.literals) << c.text;
  }
  EXPECT_EQ(ScriptFunctionNameOf("foo(1)"), "foo");
  EXPECT_EQ(ScriptFunctionNameOf("(x)"), "(x)");
  EXPECT_EQ(ScriptFunctionNameOf("bare"), "bare");
}

TEST(ClassifyNavigation, WakeupAndCommandFramesAreCancelledAndCarryTheirCommand) {
  const struct {
    const char* url;
    bool main_frame;
    bool service;
    TNavigationKind kind;
    bool accept;
    std::string command;
  } cases[] = {
      {"PLUMORABROWSER://wakeup/?command=disppage&pageurl=http%3A%2F%2Fx%2F", true, false, TNavigationKind::kWakeup,
       false, "command=disppage,pageurl=http://x/"},
      {"plumorabrowser://wakeup/?a=%41%2C1", false, false, TNavigationKind::kWakeup, false, "\"a=A,1\""},
      {"http://svc/c?mode=close", false, true, TNavigationKind::kCommand, false, "mode=close"},
      {"http://svc/c?mode=close", false, false, TNavigationKind::kOther, true, ""},
      {"http://svc/c", false, true, TNavigationKind::kOther, true, ""},
      {"http://svc/c?mode=close", true, true, TNavigationKind::kTopLevel, true, ""},
      {"about:blank", false, false, TNavigationKind::kOther, true, ""},
      {"smb://h/share/run.desktop", true, true, TNavigationKind::kRefused, false, ""},
      {"mailto:a@b?subject=x", false, true, TNavigationKind::kRefused, false, ""},
      {"vscode://file/etc/passwd", true, false, TNavigationKind::kRefused, false, ""},
  };
  for (const auto& c : cases) {
    const TNavigationDecision d = ClassifyNavigation(c.url, c.main_frame, c.service);
    EXPECT_EQ(d.kind, c.kind) << c.url;
    EXPECT_EQ(d.accept, c.accept) << c.url;
    EXPECT_EQ(d.command, c.command) << c.url;
  }
}

TEST(WithVersionQuery, AddsTheVersionBeforeAnyFragment) {
  EXPECT_EQ(WithVersionQuery("http://h/p", "1.0.0.1"), "http://h/p?version=1.0.0.1");
  EXPECT_EQ(WithVersionQuery("http://h/p?a=1", "1.0.0.1"), "http://h/p?a=1&version=1.0.0.1");
  EXPECT_EQ(WithVersionQuery("http://h/p#top", "V"), "http://h/p?version=V#top");
  EXPECT_EQ(WithVersionQuery("http://h/p?a=1#x?y", "V"), "http://h/p?a=1&version=V#x?y");
  EXPECT_EQ(WithVersionQuery("", "V"), "about:blank");
  EXPECT_TRUE(IsScriptAddress("JavaScript:f()"));
  EXPECT_FALSE(IsScriptAddress("javascript:"));
}

TEST(SessionIdTracker, ReportsEachNewNonEmptyIdOnce) {
  TSessionIdTracker tracker;
  EXPECT_EQ(tracker.Report("http://h/a?sessionid=S1"), "S1");
  EXPECT_EQ(tracker.Report("http://h/b?x=1&sessionid=S1"), std::nullopt);
  EXPECT_EQ(tracker.Report("http://h/c?sessionid="), std::nullopt);
  EXPECT_EQ(tracker.Report("http://h/d"), std::nullopt);
  EXPECT_EQ(tracker.Report("http://h/e?SessionId=S2"), "S2");
  EXPECT_EQ(tracker.LastSessionId(), "S2");
}

TEST(DesktopBrowserUrl, OnlyHttpAndHttpsLeaveTheProgram) {
  for (const char* good : {"http://example.com/", "HTTPS://example.com/a?b=c"})
    EXPECT_TRUE(IsDesktopBrowserUrl(good)) << good;
  for (const char* bad : {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)", "mailto:a@b", "http://",
                          "ftp://h/", "plumorabrowser://wakeup/?a=1", "http://h/\n--help", "smb://h/x", ""})
    EXPECT_FALSE(IsDesktopBrowserUrl(bad)) << bad;
  EXPECT_EQ(PageModeName(0), "PlumoraDotNet");
  EXPECT_EQ(PageModeName(2), "PhotoLibrary");
  EXPECT_EQ(PageModeSource(1), "plb_command");
  EXPECT_EQ(PageModeSource(2), "plbprocess");
}

class FakeTool : public IServiceTool {
 public:
  explicit FakeTool(std::vector<std::string>* log) : log_(log) {}
  bool HasMethod(const std::string& name) override { return name == "SetCurrentUrl" || name == "open"; }
  std::string Invoke(const std::string& name, const std::vector<std::string>& args) override {
    std::string line = name;
    for (const auto& a : args) line += "|" + a;
    log_->push_back(line);
    return "opened";
  }

 private:
  std::vector<std::string>* log_;
};

TEST(PageServices, ServiceToolCallsAndTheirAnswers) {
  std::vector<std::string> log;
  int made = 0;
  const TServiceToolFactory factory = [&](const std::string& id) -> std::unique_ptr<IServiceTool> {
    ++made;
    EXPECT_EQ(id, kServiceToolProgId);
    return std::make_unique<FakeTool>(&log);
  };
  auto calls = RunServiceToolCommand(
      "command=callax,axfunc=open,axparam_2=second,resultfunc=done,axparam_1=first", "http://h/p", factory);
  EXPECT_EQ(log, (std::vector<std::string>{"SetCurrentUrl|http://h/p", "open|second|first"}));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "done");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{"opened"});

  // Without the tool, or for an unknown method, the page hears "false".
  calls = RunServiceToolCommand("command=callax,axfunc=open,resultfunc=done", "x", nullptr);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, std::vector<std::string>{"false"});
  calls = RunServiceToolCommand("command=callax,axfunc=format,resultfunc=done", "x", factory);
  EXPECT_EQ(calls[0].args, std::vector<std::string>{"false"});

  // Another mode makes no call at all.
  made = 0;
  EXPECT_TRUE(RunServiceToolCommand("command=callax,mode=other,axfunc=open,resultfunc=done", "x", factory).empty());
  EXPECT_EQ(made, 0);
}

TEST(PageServices, MailAddressesAndTheFinishCall) {
  // No address book here: only the finish call, with an empty argument.
  auto calls = RunMailAddressCommand("command=getmailaddress,resultfunc=add,finishedfunc=fin", nullptr);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "fin");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{""});
  const TAddressBook book = [](const std::string& caption) -> std::optional<std::vector<TMailRecipient>> {
    EXPECT_EQ(caption, "アドレスを指定してください。");
    return std::vector<TMailRecipient>{{"Ann", "ann@example.com"}, {"O'Neil", "o@example.com"}};
  };
  calls = RunMailAddressCommand("command=getmailaddress,resultfunc=add", book);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].args, std::vector<std::string>{"O'Neil,o@example.com"});
  EXPECT_TRUE(RunMailAddressCommand("command=getmailaddress,finishedfunc=fin", book).empty());
  EXPECT_EQ(WakeupBrowserUrl("command=wakeupie,\"url=http://h/a,b\""), "http://h/a,b");
}

}  // namespace
}  // namespace plb::shell
