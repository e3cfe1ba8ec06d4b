// The command language: CSV items, percent-decoding, wake-up URLs, the command-line conversion,
// and the parameter store with its twenty-one modes.
#include <gtest/gtest.h>

#include "service/commands/command_csv.h"
#include "service/api/plumora_api_params.h"

namespace plb {
namespace {

using Items = std::vector<std::string>;

TEST(CommandCSV, ParsesItems) {
  struct Case {
    const char* csv;
    Items items;
  };
  const Case cases[] = {
      {R"("command=startpage","pageurl=http://h/p?a=1,b")", {"command=startpage", "pageurl=http://h/p?a=1,b"}},
      {R"("a=say ""hi""",b=2)", {"a=say \"hi\"", "b=2"}},
      {"x=a b", {"x=a", "b"}},
      {"  a=1 ,\t b=2  ", {"a=1", "b=2"}},
      {"a=1,", {"a=1", ""}},
      {"a=1,,b=2", {"a=1", "", "b=2"}},
      {"", {}},
      {"\"unterminated=yes", {"unterminated=yes"}},
      {"a=\x01z", {"a=", "z"}},
      {"name=日本語", {"name=日本語"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csv);
    EXPECT_EQ(ParseCommandCSV(c.csv), c.items);
  }
}

TEST(CommandCSV, WritesQuotesOnlyWhereNeededAndRoundTrips) {
  EXPECT_EQ(WriteCommandCSV({"a=1", "b=x,y", "c=say \"hi\"", "d=a b", "e=tab\there"}),
            "a=1,\"b=x,y\",\"c=say \"\"hi\"\"\",\"d=a b\",\"e=tab\there\"");
  for (const Items& items : {Items{"a=1", ""}, Items{""}, Items{"", "a"}, Items{"q=\"", "x=, ,"}}) {
    EXPECT_EQ(ParseCommandCSV(WriteCommandCSV(items)), items);
  }
  EXPECT_EQ(QuoteCSVItem("a=\"b\""), "\"a=\"\"b\"\"\"");
}

TEST(CommandCSV, FirstItemOfANameWinsWithoutRegardToCase) {
  const Items items = {"Mode=first", "mode=second", "novalue", "=nameless"};
  EXPECT_EQ(FindItem(items, "MODE"), "first");
  EXPECT_EQ(FindItem(items, "novalue"), std::nullopt);
  EXPECT_EQ(ItemName("novalue"), "");
  EXPECT_EQ(ItemValue("a=b=c"), "b=c");
}

TEST(PercentDecode, DropsWhatIsNotAWholeValidSequence) {
  struct Case {
    const char* text;
    const char* decoded;
  };
  const Case cases[] = {
      {"%41%2C1", "A,1"}, {"a+b", "a+b"},      {"x%zzy", "xy"}, {"%4", ""},    {"ab%", "ab"},
      {"ab%4", "ab"},     {"%e6%97%a5", "日"}, {"%00x", "x"},   {"%%41", "1"}, {"%4G1", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PercentDecode(c.text), c.decoded);
  }
}

TEST(WakeupUrl, DecodesValuesNotNames) {
  struct Case {
    const char* text;
    bool wakeup;
    const char* csv;
  };
  const Case cases[] = {
      {"plumorabrowser://wakeup/?a=%41%2C1", true, "\"a=A,1\""},
      {"PlumoraBrowser://WakeUp/?b%41=1&c=%zz2&d=+", true, "b%41=1,c=2,d=+"},
      {"plumorabrowser://wakeup/?", true, "\"\""},
      {"plumorabrowser://wakeup/?mode=startpage&pageurl=http%3A%2F%2Fh%2Fp%3Fx%3D1", true,
       "mode=startpage,pageurl=http://h/p?x=1"},
      {"plumorabrowser://wakeup/?trailing=%4", true, "trailing="},
      {"http://example.com/?a=1", false, ""},
      {"plumorabrowser://other/?a=1", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TPlumoraBrowserCommand command = GetPlumoraBrowserCommandEx(c.text);
    EXPECT_EQ(command.is_wakeup, c.wakeup);
    EXPECT_EQ(command.csv, c.csv);
  }
}

TEST(WakeupUrl, HugeFieldsSurviveWhole) {
  const std::string big(1 << 20, 'x');
  const TPlumoraBrowserCommand command = GetPlumoraBrowserCommandEx("plumorabrowser://wakeup/?v=" + big + "%41");
  EXPECT_EQ(command.csv, "v=" + big + "A");
  const std::string escapes(300000, '%');  // every "%" an incomplete or invalid sequence
  EXPECT_EQ(PercentDecode(escapes), "");
}

TEST(GetPLBCommand, TakesTheQueryOfACommandFrameUrl) {
  EXPECT_EQ(GetPLBCommand("http://h/plb/cmd?mode=disppage&pageurl=http%3A%2F%2Fh%2Fa%2Cb"),
            "mode=disppage,\"pageurl=http://h/a,b\"");
  EXPECT_EQ(GetPLBCommand("http://h/plb/cmd"), "");
  EXPECT_EQ(PLBCommandToCSV(';', "a=%41;b=2", false), "a=%41,b=2");
}

TEST(CommandLineCSV, ConvertsEachKindOfArgument) {
  EXPECT_EQ(CommandLineCSV({"sessionid=abc"}), "\"sessionid=abc\"");
  EXPECT_EQ(CommandLineCSV({"plumorabrowser://wakeup/?mode=startpage&sessionid=S&pageurl=http%3A%2F%2Fh%2F"}),
            "mode=startpage,sessionid=S,pageurl=http://h/");
  EXPECT_EQ(CommandLineCSV({"UrlEncodedParam=mode=disppage&pageurl=a%20b"}), "mode=disppage,\"pageurl=a b\"");
  EXPECT_EQ(CommandLineCSV({"urlencodedparam=plumorabrowser://wakeup/?a=%41"}), "a=A");
  EXPECT_EQ(CommandLineCSV({"x=say \"hi\"", "y=1"}), "\"x=say \"\"hi\"\"\",\"y=1\"");
  EXPECT_EQ(CommandLineCSV({}), "");
}

TEST(PlumoraApiModes, WordsAndCodesOfAllTwentyOne) {
  const char* words[] = {"dontboot",
                         "disppage",
                         "remakepage",
                         "createplumora",
                         "hiddencreateplumora",
                         "appendplumora",
                         "startcreateplumora",
                         "startappendplumora",
                         "startchangejacket",
                         "startchangelabel",
                         "startchangebodyicon",
                         "startmybgmdialog",
                         "startappendplumorabgm",
                         "close",
                         "startdialog",
                         "startpage",
                         "updatecheck",
                         "restart",
                         "calljsfunc",
                         "wakeupie",
                         "cancelupload"};
  for (int mode = 0; mode < kPlumoraApiModeCount; ++mode) {
    EXPECT_EQ(PlumoraApiModeWord(mode), words[mode]);
    EXPECT_EQ(PlumoraApiModeOf(words[mode]), mode);
  }
  EXPECT_EQ(PlumoraApiModeOf("StartCreatePlumora"), 6);
  EXPECT_EQ(PlumoraApiModeOf("foo"), 0);
  EXPECT_EQ(PlumoraApiModeWord(99), "dontboot");
}

// The stored mode and the store's own side effects of every mode, from the same starting values.
TEST(PlumoraApiParams, ModeTableSideEffects) {
  struct Case {
    const char* word;
    int mode;
    const char* plumora_id;
    const char* bgm;
    const char* page_url;
    int tray;
    int bgm_counter;
  };
  const Case cases[] = {
      {"dontboot", 0, "B1", "U1", "p", 0, 0},
      {"disppage", 1, "B1", "U1", "p", 0, 0},
      {"remakepage", 2, "B1", "U1", "p", 0, 0},
      {"createplumora", 3, "", "", "p", 0, 0},
      {"hiddencreateplumora", 4, "B1", "U1", "p", 0, 0},
      {"appendplumora", 5, "B1", "U1", "", 0, 0},
      {"startcreateplumora", 6, "", "", "p", 5, 0},
      {"startappendplumora", 7, "B1", "U1", "p", 5, 0},
      {"startchangejacket", 8, "B1", "U1", "p", 5, 0},
      {"startchangelabel", 9, "B1", "U1", "p", 5, 0},
      {"startchangebodyicon", 10, "B1", "U1", "p", 5, 0},
      {"startmybgmdialog", 6, "", "", "p", 5, 1},
      {"startappendplumorabgm", 12, "B1", "U1", "p", 0, 0},
      {"close", 13, "B1", "U1", "p", 0, 0},
      {"startdialog", 14, "B1", "U1", "p", 0, 0},
      {"startpage", 15, "B1", "U1", "p", 0, 0},
      {"updatecheck", 16, "B1", "U1", "p", 0, 0},
      {"restart", 17, "B1", "U1", "p", 0, 0},
      {"calljsfunc", 18, "B1", "U1", "p", 0, 0},
      {"wakeupie", 19, "B1", "U1", "p", 0, 0},
      {"cancelupload", 20, "B1", "U1", "p", 0, 0},
      {"nonsense", 0, "B1", "U1", "p", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    TPlumoraApiParams store;
    ASSERT_TRUE(store.SetParamsFromCSVLocked(
        std::string("command=") + c.word + ",plumoraid=B1,plumorabgmresuuid=U1,pageurl=p", true));
    const TPlumoraApiParamValues v = store.Snapshot();
    EXPECT_EQ(v.mode, c.mode);
    EXPECT_EQ(v.plumora_id, c.plumora_id);
    EXPECT_EQ(v.bgm_res_uuid, c.bgm);
    EXPECT_EQ(v.page_url, c.page_url);
    EXPECT_EQ(v.tray_request, c.tray);
    EXPECT_EQ(v.bgm_dialog_counter, c.bgm_counter);
    EXPECT_EQ(v.bgm_dialog_plumora_id, c.bgm_counter ? "B1" : "");
  }
}

TEST(PlumoraApiParams, TrayRequestWordsAndTheDefaultOfStartModes) {
  struct Case {
    const char* csv;
    int tray;
  };
  const Case cases[] = {
      {"dispplumoratray=enable", 5},
      {"dispplumoratray=FOLD", 9},
      {"dispplumoratray=disable", 10},
      {"dispplumoratray=other", 0},
      {"mode=startappendplumora,dispplumoratray=fold", 9},
      {"mode=startappendplumora,dispplumoratray=other", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csv);
    TPlumoraApiParams store;
    store.SetParamsFromCSVLocked(c.csv, true);
    EXPECT_EQ(store.Snapshot().tray_request, c.tray);
  }
}

TEST(PlumoraApiParams, TabFlags) {
  struct Case {
    const char* csv;
    int flags;
  };
  const Case cases[] = {
      {"disptabmode=ver1,disptab=hidden", 6},
      {"disptabmode=VER2", 5},
      {"disptabmode=none", 8},
      {"disptabmode=what", 0},
      {"disptab=enable", 6},
      {"disptab=disable", 0},
      {"disptab=hidden", 14},
      {"dispframe=hidden", 15},
      {"dispframe=disable,disptab=enable", 6},
      {"dispframe=enable", 7},
      {"a=1", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csv);
    TPlumoraApiParams store;
    store.SetParamsFromCSVLocked(c.csv, true);
    EXPECT_EQ(store.Snapshot().tab_flags, c.flags);
  }
}

TEST(PlumoraApiParams, ValuesCountersAndResets) {
  TPlumoraApiParams store;
  ASSERT_TRUE(store.SetParamsFromCSVLocked(
      "sessionid=abc,pageurl=a,url=b,appinfourl=i2,getappinfourl=i1,plumoraphotonum=12,plumorarestphotonum=x,"
      "bodyiconwidth=99999999999,bodyiconheight=-3,updatecheck=DISABLE,dispsplash=disable,focuscount=3,"
      "plumoradotnetcount=7,dispmainpage=Enable,dispmainpagewidth=420,displogwindow=enable,"
      "plumorapreviewurl=http%3A%2F%2Fh%2Fp,localparamfile=/tmp/x.xml",
      true));
  TPlumoraApiParamValues v = store.Snapshot();
  EXPECT_EQ(v.session_id, "abc");
  EXPECT_EQ(v.renewal_counter, 1);
  EXPECT_EQ(v.page_url, "a");
  EXPECT_EQ(v.page_counter, 1);
  EXPECT_EQ(v.app_info_url, "i1");
  EXPECT_EQ(v.photo_count, 12);
  EXPECT_EQ(v.rest_photo_count, 0);
  EXPECT_EQ(v.body_icon_width, 0);
  EXPECT_EQ(v.body_icon_height, -3);
  EXPECT_FALSE(v.update_check);
  EXPECT_FALSE(v.splash);
  EXPECT_EQ(v.focus_count, "3");
  EXPECT_EQ(v.count_text, "7");
  EXPECT_TRUE(v.main_page_shown);
  EXPECT_EQ(v.main_page_width, 420);
  EXPECT_TRUE(v.log_window_shown);
  EXPECT_EQ(store.PreviewUrl(), "http://h/p");
  EXPECT_EQ(store.LocalParamFile(), "/tmp/x.xml");

  // The same session id in other letters does not renew; renewappinfo does; switches come back.
  ASSERT_TRUE(store.SetParamsFromCSVLocked("sessionid=ABC,dispmainpage=enable,dispmainpagewidth=wide", false));
  v = store.Snapshot();
  EXPECT_EQ(v.renewal_counter, 1);
  EXPECT_TRUE(v.update_check);
  EXPECT_TRUE(v.splash);
  EXPECT_EQ(v.main_page_width, 420);
  ASSERT_TRUE(store.SetParamsFromCSVLocked("renewappinfo=TRUE,sessionid=other,url=c", false));
  v = store.Snapshot();
  EXPECT_EQ(v.renewal_counter, 3);
  EXPECT_EQ(v.page_url, "c");
  EXPECT_EQ(v.page_counter, 2);
}

TEST(PlumoraApiParams, LockedEntryResetRules) {
  TPlumoraApiParams store;
  store.Update([](TPlumoraApiParamValues& v) {
    v.mode = 2;
    v.tab_shown = false;
    v.body_icon_width = 10;
    v.tray_request = 9;
  });
  EXPECT_FALSE(store.SetParamsFromCSVLocked("", true));
  EXPECT_EQ(store.Snapshot().tray_request, 9);  // an empty CSV applies nothing

  ASSERT_TRUE(store.SetParamsFromCSVLocked("a=1", false));
  TPlumoraApiParamValues v = store.Snapshot();
  EXPECT_EQ(v.mode, 2);
  EXPECT_EQ(v.body_icon_width, 10);
  EXPECT_EQ(v.tray_request, 0);

  ASSERT_TRUE(store.SetParamsFromCSVLocked("a=1", true));
  v = store.Snapshot();
  EXPECT_EQ(v.mode, 0);
  EXPECT_TRUE(v.tab_shown);
  EXPECT_EQ(v.body_icon_width, 240);
  EXPECT_EQ(v.body_icon_height, 240);
}

TEST(PlumoraApiParams, DialogValuesOnlyInDialogMode) {
  TPlumoraApiParams store;
  store.SetParamsFromCSVLocked("mode=startpage,dialogurl=http://d/,width=300,height=200", true);
  EXPECT_EQ(store.Snapshot().dialog_url, "");
  store.SetParamsFromCSVLocked("mode=startdialog,dialogurl=http://d/,width=300,height=x", true);
  const TPlumoraApiParamValues v = store.Snapshot();
  EXPECT_EQ(v.dialog_url, "http://d/");
  EXPECT_EQ(v.dialog_width, 300);
  EXPECT_EQ(v.dialog_height, 0);
}

TEST(PlumoraApiParams, WakeupItemsInsideACSVAreExpandedInPlace) {
  TPlumoraApiParams store;
  ASSERT_TRUE(store.SetParamsFromCSVLocked(
      "\"urlencodedparam=plumorabrowser://wakeup/?plumoraid=W%31&pageurl=http%3A%2F%2Fw%2F\",plumoraid=later,"
      "mode=startappendplumora",
      true));
  const TPlumoraApiParamValues v = store.Snapshot();
  EXPECT_EQ(v.plumora_id, "W1");  // the expanded items stand where the wake-up item stood
  EXPECT_EQ(v.page_url, "http://w/");
  EXPECT_EQ(v.mode, 7);
}

TEST(PlumoraApiParams, CommandLineInitialisationAppliesWithReset) {
  TPlumoraApiParams store;
  store.Update([](TPlumoraApiParamValues& v) { v.mode = 9; });
  ASSERT_TRUE(store.InitializeFromCommandLine({"sessionid=S", "plumorabrowser://wakeup/?mode=disppage&pageurl=p"}));
  const TPlumoraApiParamValues v = store.Snapshot();
  EXPECT_EQ(v.mode, 1);
  EXPECT_EQ(v.session_id, "S");
  EXPECT_EQ(v.page_url, "p");
  EXPECT_FALSE(store.InitializeFromCommandLine({}));
}

TEST(PlumoraApiParams, NamedValuesCoverTheStore) {
  TPlumoraApiParams store;
  store.SetParamsFromCSVLocked("mode=startdialog,sessionid=S,dialogurl=u", true);
  const auto named = store.Snapshot().Named();
  auto value_of = [&](const std::string& name) {
    for (const auto& [n, v] : named)
      if (n == name) return v;
    return std::string("<absent>");
  };
  EXPECT_EQ(value_of("mode"), "14");
  EXPECT_EQ(value_of("sessionid"), "S");
  EXPECT_EQ(value_of("dialogurl"), "u");
  EXPECT_EQ(value_of("tabflags"), "7");
  EXPECT_EQ(value_of("updatecheck"), "true");
}

}  // namespace
}  // namespace plb
