// The copy dialog as a real widget (offscreen): its texts, the questions it asks with their texts
// and buttons, and its result.
#include "shell/dialogs/copy_move_file_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QPushButton>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/volumes.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Answers each question by pressing the scripted button of the box, as a user would.
class ScriptedForm : public TCopyMoveFileFrm {
 public:
  using TCopyMoveFileFrm::TCopyMoveFileFrm;
  std::deque<TCopyMoveAnswer> answers;
  QStringList asked;

 protected:
  TCopyMoveAnswer AskQuestion(TCopyMoveQuestionBox& box) override {
    asked << box.Texts();
    const TCopyMoveAnswer answer = answers.empty() ? cmaCancel : answers.front();
    if (!answers.empty()) answers.pop_front();
    box.findChild<QPushButton*>(QStringLiteral("answer%1").arg(static_cast<int>(answer)))->click();
    return box.Answer();
  }
};

class CopyMoveFileForm : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    vol_ = catalog_.Volume();
    for (const char* n : {"a", "b"}) WriteFile(vol_ + "/src/" + n + ".jpg", std::string("new ") + n);
    WriteFile(vol_ + "/dst/b.jpg", "old b");
    src_ = catalog_.ScannedFolder("src", &items_);
  }
  // Shows the dialog and waits until it has closed itself.
  static void RunToEnd(ScriptedForm& form) {
    form.show();
    ASSERT_TRUE(test::PumpUntil([&form] { return !form.isVisible(); }));
  }

  QtUiDispatcher dispatcher_;
  platform::ScopedUiDispatcher installed_{dispatcher_};
  test::VolumeCatalog catalog_;
  TFolderTreeListEyeFi& trees_ = catalog_.Trees();
  std::string vol_;
  TFolder* src_ = nullptr;
  std::vector<TCatalogItem*> items_;
};

TEST_F(CopyMoveFileForm, CopiesAsksTheOverwriteQuestionAndClosesWithOk) {
  ScriptedForm form(trees_, items_, vol_ + "/dst", nullptr, true);
  form.answers = {cmaYes};
  EXPECT_EQ(form.windowTitle(), QStringLiteral("ファイルをコピーしています。"));
  EXPECT_EQ(form.SourceText().toStdString(), vol_ + "/src");
  RunToEnd(form);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.Thread().DoneCount(), 2);
  EXPECT_EQ(ReadFile(vol_ + "/dst/b.jpg"), "new b");
  ASSERT_EQ(form.asked.size(), 1);
  for (const char* text : {"ファイルの上書きの確認", "指定されたフォルダには、既に b.jpg が存在しています。",
                           "現在のファイル", "に、次の新しいファイルを上書きしますか？", "はい", "いいえ", "すべて",
                           "全ていいえ", "キャンセル", "ファイル名       :b.jpg"}) {
    EXPECT_TRUE(form.asked[0].contains(QString::fromUtf8(text))) << text << "\n" << form.asked[0].toStdString();
  }
}

TEST_F(CopyMoveFileForm, NothingDoneClosesWithCancel) {
  ::chmod((vol_ + "/dst/b.jpg").c_str(), 0444);
  ScriptedForm form(trees_, {items_[1]}, vol_ + "/dst", nullptr, false);
  form.answers = {cmaYesToAll, cmaNo};
  EXPECT_EQ(form.windowTitle(), QStringLiteral("ファイルを移動しています。"));
  RunToEnd(form);
  EXPECT_EQ(form.result(), QDialog::Rejected);
  ASSERT_EQ(form.asked.size(), 2);
  EXPECT_TRUE(form.asked[1].contains(QStringLiteral("読みとり専用ファイルの確認")));
  EXPECT_TRUE(form.asked[1].contains(QStringLiteral("このまま実行してよろしいですか？")));
  EXPECT_EQ(ReadFile(vol_ + "/dst/b.jpg"), "old b");
  EXPECT_TRUE(fs::exists(vol_ + "/src/b.jpg"));
}

}  // namespace
}  // namespace plb::shell
