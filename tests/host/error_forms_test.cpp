#include "host/error_forms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "host/engine_error.h"
#include "host/host_errors.h"
#include "host/log_file.h"
#include "support/test_env.h"

namespace plb {
namespace {

TEST(ErrorForms, WrapTheInnerClassNameAndMessageInTheirFixedTexts) {
  const EReadError inner("Stream read error");
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {ErrorOccurredText("CopyDataToHWnd", inner),
       "CopyDataToHWnd でエラーが発生しました。\r\n\r\nEReadError\r\nStream read error\r\n"},
      {RaisedInText("GetFileUpdateDateTime", inner),
       "EReadError Raised in GetFileUpdateDateTime. ( Stream read error )"},
      {RaisedInParenText("LoadFromFile", inner), "EReadError Raised in LoadFromFile (Stream read error)"},
      {RaisedInMemberText("TAlbumList", "LoadFromStream", inner),
       "EReadError Raised in TAlbumList.LoadFromStream ( Stream read error )"},
      {MemberRaisedText("TCatalogUpdater", "Execute", inner),
       "TCatalogUpdater.Execute : EReadError Raised. (Stream read error)"},
      {DoEventErrorText("TFolderUpdateMaster", "TFolderTreeList", "futAdd", "boom"),
       "\r\n\r\nTFolderUpdateMaster.DoEvent でエラーが発生しました。\r\n\r\n\tEventOwner\t:TFolderTreeList"
       "\r\n\tEventType\t:futAdd\r\n\r\nboom\r\n\r\n"},
      // Any standard error is "Exception"; percent signs in arguments are kept as they are.
      {RaisedInText("Op", std::runtime_error("100% done")), "Exception Raised in Op. ( 100% done )"},
      {ErrorOccurredText("Op", "EFoo", "%s %d"), "Op でエラーが発生しました。\r\n\r\nEFoo\r\n%s %d\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
}

TEST(HostErrors, FileFunctionsAndCopyDataErrorsCarryTheirForms) {
  try {
    RaiseFileFunctionsError("SetFileUpdateDateTime", ERangeError("Range check error"));
    FAIL() << "no error";
  } catch (const EFileFunctionsError& e) {
    EXPECT_STREQ(e.ClassName(), "EFileFunctionsError");
    EXPECT_EQ(e.Message(), "ERangeError Raised in SetFileUpdateDateTime. ( Range check error )");
  }
  const EHCCopyDataError missing = CopyDataTargetMissingError();
  EXPECT_STREQ(missing.ClassName(), "EHCCopyDataError");
  EXPECT_EQ(missing.Message(), "CopyDataToHWnd でエラーが発生しました。\r\n\r\nException\r\nTargetHWnd = 0\r\n");
}

std::string LogContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(EngineErrors, EachFormIsLoggedAndRaisedAsItsClass) {
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "engine.log");
  const EReadError inner("bad marker");
  using Raise = std::function<void()>;
  const struct {
    Raise raise;
    std::string text;
    const char* class_name;
    bool is_start_error;
    bool is_load_error;
  } cases[] = {
      {[&] { RaiseEngineInitializeError(inner, "OstraAlbums"); },
       "OstraAlbums の初期化に失敗しました。\r\n\r\nEReadError\r\nbad marker\r\n", "EOstraEngineInitializeError", true,
       false},
      {[&] { RaiseEngineReleaseError(inner, "FFolderUpdateMaster"); },
       "FFolderUpdateMaster の解放に失敗しました。\r\n\r\nEReadError\r\nbad marker\r\n", "EOstraEngineError", false,
       false},
      {[&] { RaiseEngineLoadDataError(inner, "OstraFolders"); },
       "OstraFolders のデータの読込に失敗しました。\r\n\r\nEReadError\r\nbad marker\r\n", "EOstraEngineLoadDataError",
       true, true},
      {[&] { RaiseEngineSaveDataError(inner, "OstraEngine"); },
       "OstraEngine のデータの保存に失敗しました。\r\n\r\nEReadError\r\nbad marker\r\n", "EOstraEngineError", false,
       false},
      {[&] { RaiseEngineSetupDataError(inner, "OstraCalendars"); },
       "OstraCalendars のデータのセットアップに失敗しました。\r\n\r\nEReadError\r\nbad marker\r\n", "EOstraEngineError",
       false, false},
      {[&] { RaiseEngineError("plain text\r\nas given"); }, "plain text\r\nas given", "EOstraEngineError", false,
       false},
  };
  for (const auto& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const EOstraEngineError& e) {
      EXPECT_EQ(e.Message(), c.text);
      EXPECT_STREQ(e.ClassName(), c.class_name);
      EXPECT_EQ(dynamic_cast<const EOstraEngineInitializeError*>(&e) != nullptr, c.is_start_error);
      EXPECT_EQ(dynamic_cast<const EOstraEngineLoadDataError*>(&e) != nullptr, c.is_load_error);
    }
  }
  CloseLog();
  const std::string log = LogContent(folder + "/engine.log");
  for (const auto& c : cases) EXPECT_NE(log.find("\r\n" + c.text + "\r\n"), std::string::npos) << c.text;
}

TEST(EngineErrors, AFailedStepIsWrappedOnceMoreByTheWholeStart) {
  std::string text;
  try {
    try {
      RaiseEngineInitializeError(EReadError("bad"), "OstraAlbums");
    } catch (const std::exception& step) {
      RaiseEngineInitializeError(step, "OstraEngine");
    }
  } catch (const EOstraEngineInitializeError& e) {
    text = e.Message();
  }
  EXPECT_EQ(text,
            "OstraEngine の初期化に失敗しました。\r\n\r\nEOstraEngineInitializeError\r\n"
            "OstraAlbums の初期化に失敗しました。\r\n\r\nEReadError\r\nbad\r\n\r\n");
  // The start-log error is a start error too.
  const EOstraEngineStartLogError start_log("x");
  EXPECT_NE(dynamic_cast<const EOstraEngineInitializeError*>(&start_log), nullptr);
  EXPECT_STREQ(start_log.ClassName(), "EOstraEngineStartLogError");
}

}  // namespace
}  // namespace plb
