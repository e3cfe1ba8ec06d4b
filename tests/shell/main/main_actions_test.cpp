// The main window's commands as a user reaches them: keys sent through the window system to the
// focused part, actions triggered from the menus, on a folder of real photos. Every box the
// commands show is answered by the test. Pictures of the window with its menus and its
// information panel are kept in <build>/test-artifacts/main-window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/views/sorted_item_list.h"
#include "host/date_time.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/uploader_options.h"
#include "images/codec/image_load.h"
#include "images/effects/effect_panels.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/dialogs/cache_settings_form.h"
#include "shell/dialogs/exif_date_form.h"
#include "shell/dialogs/uploader_options_form.h"
#include "shell/library/effect_page.h"
#include "shell/library/info_pages.h"
#include "shell/library/trim_frame_view.h"
#include "shell/library/trimming_page.h"
#include "shell/library/library_page.h"
#include "shell/main/file_commands.h"
#include "shell/main/main_actions.h"
#include "shell/main_window.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "shell/viewer/photo_viewer.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

void Keep(QWidget& widget, const std::string& name) {
  const std::string folder = test::BinaryDir() + "/test-artifacts/main-window";
  fs::create_directories(folder);
  QApplication::processEvents();
  EXPECT_TRUE(widget.grab().save(QString::fromStdString(folder + "/" + name + ".png"))) << name;
}

class MainActions : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
    InitializeCatalogUpdater();
    InstallCatalogImageReader();
    pics_ = catalog_.Volume() + "/pics";
    fs::create_directories(pics_ + "/sub");
    fs::create_directories(pics_ + "/taken");
    fs::create_directories(catalog_.Volume() + "/out");
    fs::create_directories(catalog_.Volume() + "/empty");
    const std::string samples = test::TestDataDir() + "/exif-samples/jpg/";
    fs::copy_file(samples + "Canon_40D.jpg", pics_ + "/a.jpg");
    fs::copy_file(samples + "Nikon_D70.jpg", pics_ + "/b.jpg");
    fs::copy_file(samples + "Pentax_K10D.jpg", pics_ + "/c.jpg");
    folder_ = catalog_.ScannedFolder("pics", &items_);
    ASSERT_EQ(items_.size(), 3u);
    for (TCatalogItem* item : items_) item->ReadDimensions();
    empty_ = catalog_.ScannedFolder("empty");
    MakeWindow();
  }

  void TearDown() override {
    window_.reset();
    FinalizeCatalogUpdater();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }

  void MakeWindow(TPlumoraConfigItem* config = nullptr) {
    window_ = std::make_unique<TPlumoraMain2>(QStringLiteral("Plumora Browser"));
    TLibrarySources sources;
    sources.folders = &catalog_.Trees();
    window_->Library()->Attach(sources);
    if (config) window_->UseSettings(config);
    TActionBoxes& boxes = Actions().Boxes();
    boxes.ask = [this](const QString& text) {
      asked_ << text;
      return answer_;
    };
    boxes.error = [this](const QString& text) { errors_ << text; };
    boxes.information = [this](const QString& text) { infos_ << text; };
    boxes.chooseFolder = [this](const QString& caption, const QString&) {
      captions_ << caption;
      return chosen_;
    };
    boxes.inputText = [this](const QString& label, const QString&) {
      captions_ << label;
      return typed_;
    };
    boxes.inputNumber = [this](const QString&, int, int, int) { return number_; };
    window_->resize(1100, 760);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    window_->Library()->ShowFolder(folder_);
    Grid()->Grid()->setFocus();
    QApplication::processEvents();
  }

  TMainActions& Actions() { return *window_->Actions(); }
  TFrameCatalogDG* Grid() { return window_->Library()->Catalog(); }
  QAction* Act(const char* name) {
    QAction* action = Actions().Action(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  TCatalogItem* Item(const std::string& name) { return folder_->FindItem(name); }
  void Key(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(to, static_cast<Qt::Key>(key), modifiers);
    QApplication::processEvents();
  }
  // The grid's current photo alone selected.
  void Select(const std::string& name) {
    Grid()->SelectItem(Item(name));
    Actions().Refresh();
  }

  QtUiDispatcher dispatcher_;
  platform::ScopedUiDispatcher installed_{dispatcher_};
  test::VolumeCatalog catalog_;
  std::string pics_;
  TFolder* folder_ = nullptr;
  TFolder* empty_ = nullptr;
  std::vector<TCatalogItem*> items_;
  std::unique_ptr<TPlumoraMain2> window_;
  QStringList asked_, errors_, infos_, captions_;
  bool answer_ = true;
  QString chosen_;
  std::optional<QString> typed_;
  std::optional<int> number_;
};

TEST_F(MainActions, EveryCommandIsInTheMenusWithItsCaptionAndTheStatesFollowTheSituation) {
  // The captions and keys users know the commands by.
  const struct {
    const char* name;
    const char* caption;
    QKeySequence key;
  } known[] = {
      {"AcShowUpdate", "更新", QKeySequence(Qt::Key_F5)},
      {"AcShowFolder", "フォルダを表示", QKeySequence(Qt::Key_F3)},
      {"AcShowCalendar", "カレンダーを表示", QKeySequence(Qt::Key_F4)},
      {"AcShowViewer", "写真の拡大表示", QKeySequence(Qt::Key_F6)},
      {"AcShowMain", "写真一覧に戻る", QKeySequence()},
      {"AcEditMark", "お気に入り", QKeySequence(Qt::Key_F11)},
      {"AcEditMarkNo", "お気に入り解除", QKeySequence(Qt::Key_F12)},
      {"AcNeedHiddenDirectory", "隠しフォルダの写真もカレンダーに表示する", QKeySequence()},
      {"AcFileExportFolder", "カレンダーの出力", QKeySequence()},
      {"AcToolBootMessageAgent", "メッセージセンターを起動", QKeySequence()},
      {"AcFileClose", "閉じる", QKeySequence()},
      {"AcCsSmall2", "80 x 80", QKeySequence()},
      {"AcCsLarge2", "480 x 480", QKeySequence()},
      {"AcSortName", "ファイル名", QKeySequence()},
      {"AcSortExifDate", "撮影日時", QKeySequence()},
      {"AcSortUp", "昇順で整列", QKeySequence()},
      {"AcSortDown", "降順で整列", QKeySequence()},
      {"AcImageMouseDrag", "ドラッグ", QKeySequence()},
      {"AcImageMouseZoom", "ズーム", QKeySequence()},
      {"AcImageMouseNext", "進む・戻る", QKeySequence()},
      {"AcImageMousePoint", "QuickZoom", QKeySequence()},
      {"AcShowMarkOnly", "お気に入り", QKeySequence()},
      {"AcShowMovieOnly", "動画ファイル", QKeySequence()},
  };
  for (const auto& t : known) {
    QAction* action = Act(t.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(t.caption)) << t.name;
    EXPECT_EQ(action->shortcut(), t.key) << t.name;
  }
  // Every command of the list is reachable from the menu bar.
  QList<QAction*> inMenus;
  std::function<void(QMenu*)> collect = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      inMenus << a;
      if (a->menu()) collect(a->menu());
    }
  };
  for (QAction* top : window_->menuBar()->actions())
    if (top->menu()) collect(top->menu());
  for (QAction* action : Actions().All()) EXPECT_TRUE(inMenus.contains(action)) << action->objectName().toStdString();
  EXPECT_GT(Actions().ToolBar()->actions().size(), 10);

  // Enabled in: 0 an empty folder, 1 a photo selected, 2 the viewer, 3 the service page.
  const struct {
    const char* name;
    std::array<bool, 4> enabled;
  } table[] = {
      {"AcFileRename", {false, true, true, false}},     {"AcFileTrash", {false, true, true, false}},
      {"AcFileProperty", {false, true, true, false}},   {"AcFileSave", {false, true, true, false}},
      {"AcEditCopyImage", {false, true, true, false}},  {"AcEditCopy", {false, true, true, false}},
      {"AcEditMove", {false, true, true, false}},       {"AcEditRotateL", {false, true, true, false}},
      {"AcEditRotateR", {false, true, true, false}},    {"AcEditMark", {false, true, true, false}},
      {"AcEditSelectAll", {false, true, false, false}}, {"AcShowViewer", {false, true, false, false}},
      {"AcShowMain", {false, false, true, false}},      {"AcImageZoomIn", {false, false, true, false}},
      {"AcImageNext", {false, false, true, false}},     {"AcImageFitWindow", {false, false, true, false}},
      {"AcCsMiddle", {true, true, false, false}},       {"AcSortName", {true, true, false, false}},
      {"AcShowMarkOnly", {true, true, false, false}},   {"AcToolExifInfo", {false, true, true, false}},
      {"AcToolPrint", {false, true, true, false}},      {"AcToolCollage", {false, true, true, false}},
      {"AcEditCopyMark", {false, false, false, false}}, {"AcShowUpdate", {true, true, true, true}},
      {"AcFileClose", {true, true, true, true}},        {"AcShowWWW", {true, true, true, true}},
      {"AcHelpShowVersion", {true, true, true, true}},
  };
  auto situation = [&](int s) {
    if (s == 0) {
      window_->Library()->ShowFolder(empty_);
    } else if (s == 1) {
      window_->Library()->ShowFolder(folder_);
      Select("b.jpg");
    } else if (s == 2) {
      Act("AcShowViewer")->trigger();
      ASSERT_TRUE(window_->Library()->ViewerShown());
    } else {
      window_->ShowPage(0, 0);
      ASSERT_EQ(window_->CurrentPage(), 0);
    }
    Grid()->Grid()->setFocus();
    Actions().Refresh();
    for (const auto& row : table)
      EXPECT_EQ(Act(row.name)->isEnabled(), row.enabled[static_cast<size_t>(s)]) << row.name << " in situation " << s;
  };
  for (int s = 0; s < 4; ++s) situation(s);
  // F6 moved to the way back while the viewer was open; back on the library it leads to the viewer.
  window_->ShowPage(1, 0);
  window_->Library()->CloseViewer();
  EXPECT_EQ(Act("AcShowViewer")->shortcut(), QKeySequence(Qt::Key_F6));
  EXPECT_TRUE(Act("AcShowMain")->shortcut().isEmpty());
}

TEST_F(MainActions, RenameByKeyRenamesTheFileAndAFailureLeavesItWithTheReason) {
  Select("a.jpg");
  typed_ = QStringLiteral("renamed.jpg");
  Key(Grid()->Grid(), Qt::Key_F2);
  EXPECT_TRUE(fs::exists(pics_ + "/renamed.jpg"));
  EXPECT_FALSE(fs::exists(pics_ + "/a.jpg"));
  TCatalogItem* renamed = Item("renamed.jpg");
  ASSERT_NE(renamed, nullptr);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();

  // A name another file has: nothing is replaced, the user reads why.
  Grid()->SelectItem(renamed);
  typed_ = QStringLiteral("b.jpg");
  Key(Grid()->Grid(), Qt::Key_F2);
  EXPECT_TRUE(fs::exists(pics_ + "/renamed.jpg"));
  EXPECT_EQ(renamed->FileName(), "renamed.jpg");
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_.front().contains(QStringLiteral("ファイル名の変更に失敗しました。"))) << errors_.front().toStdString();
  // Cancelled: nothing happens.
  typed_.reset();
  Key(Grid()->Grid(), Qt::Key_F2);
  EXPECT_EQ(errors_.size(), 1);
  EXPECT_TRUE(fs::exists(pics_ + "/renamed.jpg"));
}

TEST_F(MainActions, FolderRenameInThePanelRestoresTheLabelWhenItFails) {
  TFolderTreePanel* tree = window_->Library()->FolderTree();
  TFolder* sub = catalog_.ScannedFolder("pics/sub");
  ASSERT_NE(sub, nullptr);
  ASSERT_TRUE(tree->SelectNode(sub));
  window_->Library()->ShowPanel(0);
  tree->setFocus();
  Actions().Refresh();
  ASSERT_TRUE(Act("AcFileRename")->isEnabled());
  Key(tree, Qt::Key_F2);
  QTreeWidgetItem* label = tree->ItemOf(sub);
  ASSERT_NE(label, nullptr);
  const QString before = label->text(0);
  // The user types the name of the folder beside it.
  label->setText(0, QStringLiteral("taken"));
  EXPECT_EQ(label->text(0), before);
  EXPECT_EQ(errors_, QStringList{QStringLiteral("フォルダ名の変更に失敗しました。")});
  EXPECT_TRUE(fs::is_directory(pics_ + "/sub"));

  // A free name renames the folder on disk and in the panel.
  ASSERT_TRUE(Actions().Files().StartFolderRename(*tree, sub));
  tree->ItemOf(sub)->setText(0, QStringLiteral("fresh"));
  EXPECT_TRUE(fs::is_directory(pics_ + "/fresh"));
  EXPECT_FALSE(fs::exists(pics_ + "/sub"));
  EXPECT_EQ(sub->GetName(), "fresh");
  EXPECT_TRUE(tree->ItemOf(sub)->text(0).startsWith(QStringLiteral("fresh")));
  EXPECT_EQ(errors_.size(), 1);
}

TEST_F(MainActions, TrashAsksWithTheCountAndSendsTheSelectedPhotos) {
  Select("a.jpg");
  answer_ = false;
  Key(Grid()->Grid(), Qt::Key_Delete);
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("1 個のファイルを\r\n\r\n ごみ箱へ移動します\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(pics_ + "/a.jpg"));

  answer_ = true;
  Key(Grid()->Grid(), Qt::Key_Delete);
  EXPECT_FALSE(fs::exists(pics_ + "/a.jpg"));
  EXPECT_EQ(Item("a.jpg"), nullptr);
  // The grid drops it when the catalog's event arrives.
  EXPECT_TRUE(test::PumpUntil([&] { return Grid()->ShownItems().size() == 2u; }, 5000)) << Grid()->ShownItems().size();
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
}

TEST_F(MainActions, FolderDeleteAsksWithTheFolderTextAndSendsItToTheTrash) {
  TFolderTreePanel* tree = window_->Library()->FolderTree();
  TFolder* sub = catalog_.ScannedFolder("pics/sub");
  ASSERT_TRUE(tree->SelectNode(sub));
  Actions().Refresh();
  answer_ = false;
  Act("AcFileDelete")->trigger();
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QString::fromStdString("フォルダを削除します。\r\n\r\n削除対象\t：" + sub->GetFullName() +
                                                   "\r\n\r\n実行してよろしいですか？"));
  EXPECT_TRUE(fs::is_directory(pics_ + "/sub"));
  answer_ = true;
  Act("AcFileDelete")->trigger();
  EXPECT_FALSE(fs::exists(pics_ + "/sub"));
}

TEST_F(MainActions, CreateFolderMakesANewFolderBelowThePanelsNode) {
  TFolderTreePanel* tree = window_->Library()->FolderTree();
  ASSERT_TRUE(tree->SelectNode(folder_));
  Actions().Refresh();
  ASSERT_TRUE(Act("AcFileCreateNew")->isEnabled());
  Act("AcFileCreateNew")->trigger();
  EXPECT_TRUE(fs::is_directory(pics_ + "/新しいフォルダ"));
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
}

TEST_F(MainActions, CopyAndMoveAskForTheFolderAndCarryThePhotos) {
  const std::string out = catalog_.Volume() + "/out";
  Grid()->SelectByKind(5);  // every photo
  Grid()->SelectItem(Item("a.jpg"));
  Grid()->SelectItem(Item("b.jpg"), true);
  Actions().Refresh();
  ASSERT_EQ(Grid()->SelectedItems().size(), 2u);
  // Cancelled at the folder: nothing.
  Act("AcEditCopy")->trigger();
  EXPECT_EQ(captions_, QStringList{QStringLiteral("コピー先のフォルダを指定してください。")});
  EXPECT_TRUE(asked_.isEmpty());

  chosen_ = QString::fromStdString(out);
  Act("AcEditCopy")->trigger();
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_.front(), QStringLiteral("2 個のファイルを\r\n\r\n outへコピーします\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(out + "/a.jpg"));
  EXPECT_TRUE(fs::exists(out + "/b.jpg"));
  EXPECT_TRUE(fs::exists(pics_ + "/a.jpg"));

  Select("c.jpg");
  Act("AcEditMove")->trigger();
  EXPECT_EQ(captions_.back(), QStringLiteral("移動先のフォルダを指定してください。"));
  EXPECT_EQ(asked_.back(), QStringLiteral("1 個のファイルを\r\n\r\n outへ移動します\r\n\r\nよろしいですか？"));
  EXPECT_TRUE(fs::exists(out + "/c.jpg"));
  EXPECT_FALSE(fs::exists(pics_ + "/c.jpg"));
  TFolder* outFolder = catalog_.Trees().FolderOf(out);
  ASSERT_NE(outFolder, nullptr);
  EXPECT_NE(outFolder->FindItem("c.jpg"), nullptr);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();
}

TEST_F(MainActions, RotationAndMarksChangeTheSelectedOrTheMarkedPhotos) {
  Select("b.jpg");
  TCatalogItem* b = Item("b.jpg");
  const uint16_t own = b->Orientation();
  Key(Grid()->Grid(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(b->Orientation(), RotateOrientationRight(own));
  Key(Grid()->Grid(), Qt::Key_R, Qt::ControlModifier);
  Act("AcEditRotateNon")->trigger();
  EXPECT_EQ(b->Orientation(), own);
  Key(Grid()->Grid(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(b->Orientation(), RotateOrientationLeft(own));
  Act("AcEditRotateNon")->trigger();

  // Marks by F11 and F12; the favourites filter shows the marked photo alone.
  Key(Grid()->Grid(), Qt::Key_F11);
  EXPECT_TRUE(b->Mark());
  EXPECT_TRUE(Act("AcEditCopyMark")->isEnabled());
  Act("AcEditRotateRMark")->trigger();
  EXPECT_EQ(b->Orientation(), RotateOrientationRight(own));
  EXPECT_EQ(Item("a.jpg")->Orientation(), 1);
  Act("AcShowMarkOnly")->trigger();
  EXPECT_EQ(Grid()->ShownItems(), std::vector<TCatalogItem*>{b});
  Act("AcShowMarkOnly")->trigger();
  EXPECT_EQ(Grid()->ShownItems().size(), 3u);
  Select("a.jpg");
  Act("AcEditMarkChange")->trigger();
  EXPECT_TRUE(Item("a.jpg")->Mark());
  Act("AcEditSelectMark")->trigger();
  EXPECT_EQ(Grid()->SelectedItems().size(), 2u);
  Key(Grid()->Grid(), Qt::Key_F12);
  EXPECT_FALSE(Item("a.jpg")->Mark());
  EXPECT_FALSE(b->Mark());
  // Choosing a folder switches the filter off again.
  Act("AcShowMarkOnly")->trigger();
  EXPECT_TRUE(Grid()->QueryOn());
  emit window_->Library()->FolderTree()->folderChosen(folder_);
  EXPECT_FALSE(Act("AcShowMarkOnly")->isChecked());
  EXPECT_FALSE(Grid()->QueryOn());
}

TEST_F(MainActions, KeysGoToTheGridTheViewerAndTheEditorsBeforeTheWindowsShortcuts) {
  Grid()->SelectItem(items_.front());
  // The arrows move in the grid.
  Key(Grid()->Grid(), Qt::Key_Right);
  EXPECT_EQ(Grid()->CurrentItem(), items_[1]);
  // In the viewer they step through the photos (its own commands).
  Key(Grid()->Grid(), Qt::Key_F6);
  ASSERT_TRUE(window_->Library()->ViewerShown());
  TPhotoViewer* viewer = window_->Library()->Viewer();
  EXPECT_EQ(viewer->Item(), items_[1]);
  Key(viewer, Qt::Key_Right);
  EXPECT_EQ(viewer->Item(), items_[2]);
  Key(viewer, Qt::Key_Left);
  EXPECT_EQ(viewer->Item(), items_[1]);
  // The viewer's digit keys are its own only while it has the focus: in the folder panel they
  // search, and the viewer keeps its size.
  ASSERT_TRUE(viewer->Fitted());
  window_->Library()->FolderTree()->setFocus();
  Key(window_->Library()->FolderTree(), Qt::Key_1);
  EXPECT_TRUE(viewer->Fitted());
  viewer->setFocus();
  Key(viewer, Qt::Key_1);
  EXPECT_FALSE(viewer->Fitted());
  Key(viewer, Qt::Key_0);
  EXPECT_TRUE(viewer->Fitted());
  Key(viewer, Qt::Key_F6);
  EXPECT_FALSE(window_->Library()->ViewerShown());
  // Typing a comment: F11 is the editor's, not the favourite mark.
  Act("AcToolExifInfo")->trigger();
  TFrameInfoPages* info = Actions().InfoPages();
  ASSERT_TRUE(info->isVisible());
  info->FocusComment();
  Key(info->CommentEdit(), Qt::Key_F11);
  EXPECT_FALSE(items_[1]->Mark());
  EXPECT_FALSE(Actions().ShortcutPasses(Qt::Key_F11, Qt::NoModifier));
  Grid()->Grid()->setFocus();
  EXPECT_TRUE(Actions().ShortcutPasses(Qt::Key_F11, Qt::NoModifier));
  EXPECT_FALSE(Actions().ShortcutPasses(Qt::Key_Left, Qt::NoModifier));
  // Arrow keys on an empty folder do nothing harmful.
  window_->Library()->ShowFolder(empty_);
  Grid()->Grid()->setFocus();
  for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Left}) Key(Grid()->Grid(), key);
  EXPECT_EQ(Grid()->CurrentItem(), nullptr);
}

TEST_F(MainActions, TheInformationPanelShowsTheExifTextsAndEditsMarkAndComment) {
  Select("a.jpg");
  Act("AcToolExifInfo")->trigger();
  TFrameInfoPages* info = Actions().InfoPages();
  ASSERT_TRUE(info->isVisible());
  EXPECT_EQ(info->Item(), Item("a.jpg"));
  EXPECT_TRUE(info->ExifText().contains(QStringLiteral("Canon"))) << info->ExifText().toStdString();
  EXPECT_TRUE(info->FileText().contains(QStringLiteral("a.jpg")));
  info->MarkBox()->click();
  EXPECT_TRUE(Item("a.jpg")->Mark());
  info->CommentEdit()->setPlainText(QStringLiteral("海で\n二行目"));
  // Moving to the next photo keeps the comment typed for the last.
  Key(Grid()->Grid(), Qt::Key_Right);
  EXPECT_EQ(info->Item(), Item("b.jpg"));
  EXPECT_EQ(Item("a.jpg")->Comment(), "海で\r\n二行目");
  EXPECT_TRUE(info->ExifText().contains(QStringLiteral("NIKON"))) << info->ExifText().toStdString();
  Keep(*window_, "library-with-information-panel");
  // The menus as the user opens them.
  for (const char* name : {"MenuFile", "MenuEdit", "MenuView"}) {
    QMenu* menu = Actions().Menu(name);
    ASSERT_NE(menu, nullptr) << name;
    menu->popup(window_->mapToGlobal(QPoint(10, 30)));
    QApplication::processEvents();
    Keep(*menu, std::string("menu-") + name);
    menu->hide();
  }
}

TEST_F(MainActions, CorrectionAndTrimmingPagesEditThePhotoAndUndoToTheOriginal) {
  Grid()->SelectItem(Item("a.jpg"));
  Grid()->SelectItem(Item("b.jpg"), true);
  Grid()->SelectItem(Item("a.jpg"), false);
  Grid()->SelectItem(Item("b.jpg"), true);
  Actions().Refresh();
  ASSERT_EQ(Grid()->SelectedItems().size(), 2u);
  TCatalogItem* a = Item("a.jpg");
  TCatalogItem* b = Item("b.jpg");
  ASSERT_TRUE(Act("AcToolEffect")->isEnabled());
  Act("AcToolEffect")->trigger();
  TFrameInfoPages* panel = Actions().InfoPages();
  ASSERT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->currentIndex(), TFrameInfoPages::kEffectPage);
  TFrameEffectPage* effect = panel->EffectPage();
  TCatalogItem* current = effect->Item();
  ASSERT_TRUE(current == a || current == b);
  // +1.5 EV: the current photo and the other selected one take it.
  effect->Exposure()->setCurrentIndex(15);
  EXPECT_EQ(a->Color().meido, 50);
  EXPECT_EQ(b->Color().meido, 50);
  EXPECT_TRUE(a->Color().enabled);
  Keep(*window_, "correction-page");
  effect->Clear()->click();
  EXPECT_FALSE(current->Color().enabled);
  EXPECT_EQ(effect->Exposure()->currentIndex(), 10);
  // The automatic correction from the menu, checked by the photo.
  Act("AcImageAutoCont")->trigger();
  EXPECT_TRUE(EffectPanelChoiceOf(a->Color()).automatic);
  EXPECT_TRUE(Act("AcImageAutoCont")->isChecked());
  Act("AcImageAutoCont")->trigger();
  EXPECT_FALSE(EffectPanelChoiceOf(a->Color()).automatic);

  // Trimming: a square frame, switched on and off.
  Select("c.jpg");
  Act("AcToolTriming")->trigger();
  EXPECT_EQ(panel->currentIndex(), TFrameInfoPages::kTrimmingPage);
  EXPECT_TRUE(Act("AcToolTriming")->isChecked());
  EXPECT_FALSE(Act("AcToolEffect")->isChecked());
  TFrameTrimmingPage* trimming = panel->TrimmingPage();
  TCatalogItem* c = Item("c.jpg");
  ASSERT_EQ(trimming->Item(), c);
  trimming->Aspect()->setCurrentIndex(2);  // square
  const TTrimRect square = c->TrimRect();
  EXPECT_EQ(square.right - square.left, square.bottom - square.top);
  EXPECT_GT(square.right - square.left, 0);
  EXPECT_FALSE(trimming->Preview().isNull());
  trimming->TrimButton()->click();
  EXPECT_TRUE(c->TrimmingInForce());
  EXPECT_TRUE(trimming->UndoButton()->isEnabled());
  Keep(*window_, "trimming-page");
  trimming->UndoButton()->click();
  EXPECT_FALSE(c->TrimmingInForce());

  // A movie cannot be trimmed.
  test::WriteFile(pics_ + "/clip.avi", std::string(2048, 'x'));
  SetMovieExtensions(".avi");
  folder_ = catalog_.ScannedFolder("pics", nullptr);
  SetMovieExtensions("");
  Grid()->Refill();
  TCatalogItem* clip = Item("clip.avi");
  ASSERT_NE(clip, nullptr);
  trimming->ShowItem(clip);
  EXPECT_EQ(trimming->StatusText(), QStringLiteral("動画は切り抜くことができません。"));
  EXPECT_FALSE(trimming->TrimButton()->isEnabled());
}

TEST_F(MainActions, ShootingDatesChangeInTheFilesAndTheCatalogFromTheDateDialog) {
  Select("a.jpg");
  TCatalogItem* a = Item("a.jpg");
  const TDateTime wanted = EncodeDate(2020, 5, 6) + EncodeTime(7, 8, 9, 0);
  double shownCurrent = -1;
  Actions().Boxes().editDate = [&](TEditExifDateFormSimple& logic, double current) {
    shownCurrent = current;
    logic.SetDateChecked(true);
    logic.SetTimeChecked(true);
    logic.SetPickedDate(EncodeDate(2020, 5, 6));
    logic.SetPickedTime(EncodeTime(7, 8, 9, 0));
    return true;
  };
  const double before = a->ShootingDate();
  Key(Grid()->Grid(), Qt::Key_D, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(shownCurrent, before);
  EXPECT_NEAR(a->ShootingDate(), wanted, 1.0 / 86400);
  EXPECT_NEAR(GetImageInfo(a->FullPath(), 1).shooting_date, wanted, 1.0 / 86400);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join('|').toStdString();

  // The dialog itself: OK only with something to change, the pickers follow their boxes.
  TEditExifDateFormSimple logic(15, wanted);
  TEditExifDateForm form(logic, wanted, window_.get());
  form.show();
  EXPECT_TRUE(logic.TimeChecked());
  form.TimeCheck()->setChecked(false);
  form.DateCheck()->setChecked(false);
  EXPECT_FALSE(logic.OkEnabled());
  EXPECT_FALSE(form.DateEdit()->isEnabled());
  form.DateCheck()->setChecked(true);
  form.DateEdit()->setDate(QDate(2021, 2, 3));
  EXPECT_DOUBLE_EQ(std::trunc(logic.Target()), EncodeDate(2021, 2, 3));
  Keep(form, "shooting-date-dialog");
}

TEST_F(MainActions, ThumbnailCacheSettingsAreStoredAndTheUserIsToldWhetherAnythingChanged) {
  window_.reset();
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  MakeWindow(&config);
  ASSERT_EQ(config.CacheKind(), 1);  // on disk by design
  bool fileFieldWasDisabled = false;
  Actions().Boxes().run = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TCacheSettingsForm&>(dialog);
    EXPECT_TRUE(form.FileSize()->isEnabled());
    EXPECT_FALSE(form.MemorySize()->isEnabled());
    form.MemoryChoice()->setChecked(true);
    fileFieldWasDisabled = !form.FileSize()->isEnabled();
    form.MemorySize()->setValue(32);
    Keep(form, "thumbnail-cache-settings");
    return static_cast<int>(QDialog::Accepted);
  };
  Act("AcToolUseFileCache")->trigger();
  EXPECT_TRUE(fileFieldWasDisabled);
  EXPECT_EQ(config.CacheKind(), 0);
  EXPECT_EQ(config.CacheMaxSizeMB(), 32);
  ASSERT_EQ(infos_.size(), 1);
  EXPECT_EQ(infos_.back(), TCacheSettingsForm::ChangedText());
  // OK without a change.
  Actions().Boxes().run = [](QDialog&) { return static_cast<int>(QDialog::Accepted); };
  Act("AcToolUseFileCache")->trigger();
  EXPECT_EQ(infos_.back(), QStringLiteral("サムネイルキャッシュの設定は変更されていません。"));
  EXPECT_EQ(config.CacheMaxSizeMB(), 32);
  window_.reset();
}

TEST_F(MainActions, MovieTypesAreKeptCleanAndBadOnesRefused) {
  typed_ = QStringLiteral(".MP4, mts;mp4");
  Act("AcOptionMovieExt")->trigger();
  EXPECT_EQ(ReadSupportMovieTypeUser(), "mp4,mts");
  EXPECT_EQ(infos_.size(), 1);
  typed_ = QStringLiteral("mkv ../x");
  Act("AcOptionMovieExt")->trigger();
  EXPECT_EQ(ReadSupportMovieTypeUser(), "mp4,mts");
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_.front().contains(QStringLiteral("../x")));
}

TEST_F(MainActions, UploaderOptionsAreKeptAndUsedFromTheDialog) {
  const TUploaderOptions before = UploaderOptions();
  bool countFollowedParallel = false;
  Actions().Boxes().run = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TUploaderOptionsForm&>(dialog);
    form.UseOption()->setChecked(true);
    form.AllowParallel()->setChecked(false);
    countFollowedParallel = !form.UploaderCount()->isEnabled();
    form.ConnectTimeout()->setValue(3000);
    form.ReadTimeout()->setValue(9000);
    Keep(form, "uploader-options");
    return static_cast<int>(QDialog::Accepted);
  };
  Act("AcUploaderOption")->trigger();
  EXPECT_TRUE(countFollowedParallel);
  const TUploaderOptions now = UploaderOptions();
  EXPECT_TRUE(now.use_option);
  EXPECT_FALSE(now.allow_parallel);
  EXPECT_EQ(now.connect_timeout, 3000);
  EXPECT_EQ(now.read_timeout, 9000);
  // Stored: a new read of the settings gives them again.
  LoadUploaderOptions(test::TestRoot() + "/no-debug.ini");
  EXPECT_EQ(UploaderOptions(), now);
  // Cancelled: nothing changes.
  Actions().Boxes().run = [](QDialog& dialog) {
    dynamic_cast<TUploaderOptionsForm&>(dialog).UseOption()->setChecked(false);
    return static_cast<int>(QDialog::Rejected);
  };
  Act("AcUploaderOption")->trigger();
  EXPECT_EQ(UploaderOptions(), now);
  SaveUploaderOptions(before);
}

TEST_F(MainActions, TheUsersChoicesAndOptionsComeBackInTheNextWindow) {
  window_.reset();
  {
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    MakeWindow(&config);
    Act("AcCsLarge")->trigger();
    Act("AcSortName")->trigger();
    Act("AcSortDown")->trigger();
    if (Act("AcShowAlwaysTitleRow")->isChecked()) Act("AcShowAlwaysTitleRow")->trigger();
    Act("AcImageMouseZoom")->trigger();
    Select("a.jpg");
    Act("AcShowViewer")->trigger();
    Act("AcImageOriginalSize")->trigger();
    Act("AcShowMain")->trigger();
    Act("AcOptionDontCheckNetwork")->trigger();
    Act("AcOptionUseBackgroundUpload")->trigger();  // on by design: off now
    // The tool panel, widened by the user.
    Act("AcToolExifInfo")->trigger();
    QList<int> sizes = window_->Library()->sizes();
    ASSERT_EQ(sizes.size(), 3);
    sizes[1] -= 333 - sizes[2];
    sizes[2] = 333;
    window_->Library()->setSizes(sizes);
    number_ = 75;
    Act("AcOptionCompressionQuality")->trigger();
    EXPECT_FALSE(PlumoraErrorCommand().NetworkCheck());
    // The day of the photo looked at last is kept for the calendar.
    Item("a.jpg")->SetShootingDate(EncodeDate(2019, 1, 2) + EncodeTime(3, 4, 5, 0));
    Item("a.jpg")->SetDateKnown(true);
    Select("b.jpg");
    Select("a.jpg");
    EXPECT_DOUBLE_EQ(config.LastViewDate(), Item("a.jpg")->ShootingDate());
    ASSERT_TRUE(window_->close());
    window_.reset();
    config.SaveToRegistry();
  }
  PlumoraErrorCommand().SetNetworkCheck(true);
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  MakeWindow(&config);
  EXPECT_EQ(Grid()->ThumbnailSize(), 360);
  EXPECT_TRUE(Act("AcCsLarge")->isChecked());
  EXPECT_EQ(Grid()->SortKey(), skFileName);
  EXPECT_FALSE(Grid()->Ascending());
  EXPECT_TRUE(Act("AcSortDown")->isChecked());
  EXPECT_FALSE(Grid()->GroupByDay());
  EXPECT_EQ(window_->Library()->Viewer()->MouseMode(), TPhotoViewer::mmZoom);
  EXPECT_TRUE(Act("AcImageMouseZoom")->isChecked());
  EXPECT_FALSE(window_->Library()->Viewer()->Fitted());
  EXPECT_TRUE(Act("AcOptionDontCheckNetwork")->isChecked());
  EXPECT_FALSE(PlumoraErrorCommand().NetworkCheck());
  EXPECT_FALSE(Act("AcOptionUseBackgroundUpload")->isChecked());
  EXPECT_EQ(config.JpegQuality(), 75);
  Act("AcToolExifInfo")->trigger();
  EXPECT_EQ(window_->Library()->sizes().value(2), 333);
  PlumoraErrorCommand().SetNetworkCheck(true);
  window_.reset();
}

TEST_F(MainActions, FineWheelStepsAddUpInTheGridAndTheViewer) {
  Act("AcCsLarge2")->trigger();
  window_->resize(1000, 700);
  // Enough photos for the grid to scroll.
  for (int i = 0; i < 12; ++i)
    fs::copy_file(pics_ + "/a.jpg", pics_ + "/z" + std::to_string(i) + ".jpg");
  folder_ = catalog_.ScannedFolder("pics", nullptr);
  Grid()->ShowFolder(folder_);
  QApplication::processEvents();
  QScrollBar* bar = Grid()->Grid()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  auto wheel = [](QWidget* to, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at(to->width() / 2.0, to->height() / 2.0);
    QWheelEvent event(at, to->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &event);
  };
  // A touchpad's small steps: three of 40 make one row.
  wheel(Grid()->Grid()->viewport(), -40);
  wheel(Grid()->Grid()->viewport(), -40);
  EXPECT_EQ(bar->value(), 0);
  wheel(Grid()->Grid()->viewport(), -40);
  EXPECT_GT(bar->value(), 0);

  // The viewer: a small step with control does not zoom out at once.
  Grid()->SelectItem(Item("a.jpg"));
  Act("AcShowViewer")->trigger();
  TPhotoViewer* viewer = window_->Library()->Viewer();
  Act("AcImageOriginalSize")->trigger();
  const double zoom = viewer->Zoom();
  wheel(viewer, 30, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(viewer->Zoom(), zoom);
  for (int i = 0; i < 3; ++i) wheel(viewer, 30, Qt::ControlModifier);
  EXPECT_GT(viewer->Zoom(), zoom);
}

}  // namespace
}  // namespace plb::shell

namespace plb::shell {
namespace {

// The picture point under pos, as a fraction of the picture's sides.
QPointF PictureFraction(const TPhotoViewer& viewer, const QPoint& pos) {
  const QRect r = viewer.PictureRect();
  return {static_cast<double>(pos.x() - r.left()) / r.width(), static_cast<double>(pos.y() - r.top()) / r.height()};
}

void Click(QWidget* to, Qt::MouseButton button, const QPoint& at, bool twice = false) {
  QTest::mouseClick(to, button, Qt::NoModifier, at);
  if (twice) QTest::mouseDClick(to, button, Qt::NoModifier, at);
  QApplication::processEvents();
}

TEST_F(MainActions, TheViewerGoesFullScreenWithItsKeysAndTheWindowComesBackAsItWas) {
  Act("AcToolExifInfo")->trigger();
  window_->showMaximized();
  QApplication::processEvents();
  const QRect geometry = window_->geometry();
  const bool maximized = window_->isMaximized();
  const QList<int> sizes = window_->Library()->sizes();
  Select("a.jpg");
  Act("AcShowViewer")->trigger();
  TLibraryPage* library = window_->Library();
  TPhotoViewer* viewer = library->Viewer();
  ASSERT_TRUE(library->ViewerShown());
  ASSERT_TRUE(Act("AcImageFullScreen")->isEnabled());
  EXPECT_FALSE(Act("AcImageFullScreen")->isChecked());

  // Shift+F11 (F11 is the favourite mark): the viewer alone covers the window's screen, on black.
  Key(viewer, Qt::Key_F11, Qt::ShiftModifier);
  ASSERT_TRUE(library->ViewerFullScreen());
  QWidget* screen = library->FullScreenWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  EXPECT_EQ(viewer->window(), screen);
  EXPECT_TRUE(screen->windowState() & Qt::WindowFullScreen);
  EXPECT_EQ(screen->geometry(), window_->screen()->geometry());
  EXPECT_EQ(viewer->size(), screen->size());
  EXPECT_TRUE(Act("AcImageFullScreen")->isChecked());
  EXPECT_TRUE(library->ViewerShown()) << "the commands still work on the viewer's photo";
  const QImage shot = viewer->grab().toImage();
  EXPECT_EQ(shot.pixel(0, 0) & 0xFFFFFF, 0u) << "a black surround";
  EXPECT_GT(test::DistinctColours(shot, viewer->PictureRect()), 30);
  Keep(*screen, "viewer-full-screen");

  // Next, zoom and the mark keep working there.
  Key(viewer, Qt::Key_Right);
  EXPECT_EQ(viewer->Item(), Item("b.jpg"));
  Key(viewer, Qt::Key_Plus);
  EXPECT_FALSE(viewer->Fitted());
  Key(viewer, Qt::Key_0);
  EXPECT_TRUE(viewer->Fitted());
  Key(viewer, Qt::Key_F11);
  EXPECT_TRUE(Item("b.jpg")->Mark());

  // Esc leaves full screen, not the viewer, and the window is as it was.
  Key(viewer, Qt::Key_Escape);
  EXPECT_FALSE(library->ViewerFullScreen());
  EXPECT_TRUE(library->ViewerShown());
  EXPECT_FALSE(screen->isVisible());
  EXPECT_EQ(viewer->window(), window_.get());
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(window_->geometry(), geometry);
  EXPECT_EQ(window_->isMaximized(), maximized);
  EXPECT_EQ(library->sizes(), sizes);
  EXPECT_TRUE(Actions().InfoPages()->isVisible());
  EXPECT_FALSE(Act("AcImageFullScreen")->isChecked());

  // A double click goes in and out; Shift+F11 leaves too.
  Click(viewer, Qt::LeftButton, viewer->rect().center(), true);
  ASSERT_TRUE(library->ViewerFullScreen());
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  Click(viewer, Qt::LeftButton, viewer->rect().center(), true);
  EXPECT_FALSE(library->ViewerFullScreen());
  Act("AcImageFullScreen")->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  Key(viewer, Qt::Key_F11, Qt::ShiftModifier);
  EXPECT_FALSE(library->ViewerFullScreen());

  // The viewer's context menu offers it.
  QStringList offered;
  QTimer::singleShot(0, [&offered] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) offered << action->objectName();
      menu->close();
    }
  });
  QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, viewer->rect().center(), viewer->mapToGlobal(viewer->rect().center()));
  QApplication::sendEvent(viewer, &menuKey);
  EXPECT_TRUE(offered.contains("AcImageFullScreen")) << offered.join(",").toStdString();

  // From the grid, full screen opens the current photo; F6 in full screen goes back to the grid.
  Key(viewer, Qt::Key_F6);
  ASSERT_FALSE(library->ViewerShown());
  Select("c.jpg");
  Act("AcImageFullScreen")->trigger();
  ASSERT_TRUE(library->ViewerFullScreen());
  EXPECT_EQ(viewer->Item(), Item("c.jpg"));
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  Key(viewer, Qt::Key_F6);
  EXPECT_FALSE(library->ViewerShown());
  EXPECT_FALSE(screen->isVisible());
  EXPECT_EQ(window_->geometry(), geometry);
}

TEST_F(MainActions, ZoomFollowsThePointerWithTheWheelAndInEveryMouseMode) {
  Select("a.jpg");
  Act("AcShowViewer")->trigger();
  TPhotoViewer* viewer = window_->Library()->Viewer();
  ASSERT_FALSE(viewer->Picture().isNull());
  const QPoint at(viewer->width() / 3, viewer->height() / 3);
  auto stays = [&](const QPointF& before) {
    const QPointF after = PictureFraction(*viewer, at);
    // A pixel or two of rounding on the screen.
    EXPECT_NEAR(after.x(), before.x(), 2.0 / viewer->PictureRect().width());
    EXPECT_NEAR(after.y(), before.y(), 2.0 / viewer->PictureRect().height());
  };
  auto wheel = [&](int delta) {
    QWheelEvent event(at, viewer->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewer, &event);
  };

  // Control and the wheel: the point under the pointer stays; two notches at once zoom twice.
  const double fitted = viewer->Zoom();
  QPointF before = PictureFraction(*viewer, at);
  wheel(240);
  EXPECT_NEAR(viewer->Zoom(), fitted * 1.25 * 1.25, 1e-9);
  stays(before);
  before = PictureFraction(*viewer, at);
  wheel(-120);
  EXPECT_NEAR(viewer->Zoom(), fitted * 1.25, 1e-9);
  stays(before);

  // Zoom mode: a click zooms in at the pointer, the right button out, and no menu opens.
  Act("AcImageMouseZoom")->trigger();
  Act("AcImageFitWindow")->trigger();
  before = PictureFraction(*viewer, at);
  Click(viewer, Qt::LeftButton, at);
  EXPECT_NEAR(viewer->Zoom(), fitted * 1.25, 1e-9);
  stays(before);
  bool menu = false;
  QObject::connect(viewer, &TPhotoViewer::contextMenuWanted, [&menu] { menu = true; });
  Click(viewer, Qt::RightButton, at);
  QContextMenuEvent right(QContextMenuEvent::Mouse, at, viewer->mapToGlobal(at));
  QApplication::sendEvent(viewer, &right);
  EXPECT_NEAR(viewer->Zoom(), fitted, 1e-9);
  EXPECT_FALSE(menu);
  // A quick second click is one more zoom step, not full screen.
  Click(viewer, Qt::LeftButton, at, true);
  EXPECT_NEAR(viewer->Zoom(), fitted * 1.25 * 1.25, 1e-9);
  EXPECT_FALSE(window_->Library()->ViewerFullScreen());

  // Next/previous mode: left forward, right back.
  Act("AcImageMouseNext")->trigger();
  Click(viewer, Qt::LeftButton, at);
  EXPECT_EQ(viewer->Item(), Item("b.jpg"));
  Click(viewer, Qt::RightButton, at);
  EXPECT_EQ(viewer->Item(), Item("a.jpg"));

  // Quick zoom: the original size around the pointer while held, the fitted view again after.
  Act("AcImageMousePoint")->trigger();
  Act("AcImageFitWindow")->trigger();
  before = PictureFraction(*viewer, at);
  QTest::mousePress(viewer, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_DOUBLE_EQ(viewer->Zoom(), 1.0);
  stays(before);
  QTest::mouseRelease(viewer, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_TRUE(viewer->Fitted());

  // Drag mode: the zoomed picture follows the pointer.
  Act("AcImageMouseDrag")->trigger();
  Act("AcImageOriginalSize")->trigger();
  const QRect start = viewer->PictureRect();
  QTest::mousePress(viewer, Qt::LeftButton, Qt::NoModifier, at);
  QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)), viewer->mapToGlobal(QPointF(at + QPoint(30, 20))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer, &move);
  QTest::mouseRelease(viewer, Qt::LeftButton, Qt::NoModifier, at + QPoint(30, 20));
  EXPECT_EQ(viewer->PictureRect().topLeft(), start.topLeft() + QPoint(30, 20));
}

void Drag(QWidget* to, const QPoint& from, const QPoint& by) {
  QTest::mousePress(to, Qt::LeftButton, Qt::NoModifier, from);
  const QPointF mid = from + by / 2, end = from + by;
  for (const QPointF& at : {mid, end}) {
    QMouseEvent move(QEvent::MouseMove, at, to->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(to, &move);
  }
  QTest::mouseRelease(to, Qt::LeftButton, Qt::NoModifier, from + by);
  QApplication::processEvents();
}

Qt::CursorShape CursorOver(QWidget* view, const QPoint& at) {
  QMouseEvent hover(QEvent::MouseMove, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(view, &hover);
  return view->cursor().shape();
}

QRect Shown(TCatalogItem* item, const QSize& preview) {
  const TTrimRect r = item->DisplayedTrimRect(preview.width(), preview.height());
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

TEST_F(MainActions, TheTrimmingFrameIsMovedAndSizedByHandAndNudgedWithTheArrows) {
  Select("c.jpg");
  Act("AcToolTriming")->trigger();
  TFrameTrimmingPage* trimming = Actions().InfoPages()->TrimmingPage();
  TCatalogItem* c = Item("c.jpg");
  ASSERT_EQ(trimming->Item(), c);
  trimming->Aspect()->setCurrentIndex(2);  // square
  trimming->TrimButton()->click();
  ASSERT_TRUE(c->TrimmingInForce());
  std::vector<TCatalogItem*> told;
  QObject::connect(trimming, &TFrameTrimmingPage::trimmingChanged, [&told](TCatalogItem* item) { told.push_back(item); });
  TTrimFrameView* view = trimming->FrameView();
  ASSERT_TRUE(view->isVisible());
  const QSize preview = view->Picture().size();
  const QPoint origin = view->PictureArea().topLeft();
  const QRect start = view->Frame();
  ASSERT_EQ(start, Shown(c, preview));

  // The cursor tells what a drag does: move inside, size at the corners, nothing outside.
  EXPECT_EQ(CursorOver(view, origin + start.center()), Qt::SizeAllCursor);
  EXPECT_EQ(CursorOver(view, origin + start.bottomRight()), Qt::SizeFDiagCursor);
  EXPECT_EQ(CursorOver(view, origin + start.topRight()), Qt::SizeBDiagCursor);
  EXPECT_EQ(CursorOver(view, origin + QPoint(1, 1)), Qt::ArrowCursor);

  // Moved: the catalog holds the new place when the drag ends, and the page says so.
  Drag(view, origin + start.center(), QPoint(-9, 6));
  EXPECT_EQ(view->Frame(), start.translated(-9, 6));
  EXPECT_EQ(Shown(c, preview), view->Frame());
  EXPECT_EQ(told, std::vector<TCatalogItem*>{c});
  Keep(*window_, "trimming-frame-moved");
  // Dragged far past the left edge: it stops at the photo's side.
  Drag(view, origin + view->Frame().center(), QPoint(-500, 0));
  EXPECT_EQ(view->Frame().left(), 0);
  EXPECT_EQ(view->Frame().size(), start.size());
  EXPECT_EQ(Shown(c, preview), view->Frame());

  // Sized at a corner, the square stays square and inside the photo, however far the pointer goes.
  Drag(view, origin + view->Frame().bottomRight(), QPoint(25, 5));
  QRect frame = view->Frame();
  EXPECT_EQ(frame.topLeft(), QPoint(0, start.top() + 6));
  EXPECT_EQ(frame.width(), frame.height());
  EXPECT_GT(frame.width(), start.width());
  Drag(view, origin + frame.bottomRight(), QPoint(900, 900));
  frame = view->Frame();
  EXPECT_EQ(frame.width(), frame.height());
  EXPECT_TRUE(QRect(QPoint(), preview).contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width();
  EXPECT_TRUE(frame.right() == preview.width() - 1 || frame.bottom() == preview.height() - 1);
  const QRect stored = Shown(c, preview);
  EXPECT_LE(std::abs(stored.width() - frame.width()), 1);
  EXPECT_LE(std::abs(stored.height() - frame.height()), 1);

  // Free proportions: the top-left corner goes in along one side only.
  trimming->Aspect()->setCurrentIndex(0);
  frame = view->Frame();
  Drag(view, origin + frame.topLeft(), QPoint(20, 0));
  EXPECT_EQ(view->Frame().width(), frame.width() - 20);
  EXPECT_EQ(view->Frame().height(), frame.height());
  EXPECT_EQ(view->Frame().bottomRight(), frame.bottomRight());

  // The arrows nudge it, Shift by ten; each nudge is stored.
  frame = view->Frame();
  view->setFocus();
  ASSERT_GE(frame.left(), 10);
  ASSERT_GE(frame.top(), 1);
  Key(view, Qt::Key_Right);
  Key(view, Qt::Key_Left, Qt::ShiftModifier);
  Key(view, Qt::Key_Up);
  EXPECT_EQ(view->Frame(), frame.translated(-9, -1));
  EXPECT_EQ(Shown(c, preview), view->Frame());
  EXPECT_EQ(Grid()->CurrentItem(), c) << "the grid did not take the arrows";
  EXPECT_TRUE(c->TrimmingInForce());
}

}  // namespace
}  // namespace plb::shell
