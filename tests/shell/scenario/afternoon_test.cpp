// A user's afternoon, done only through the window: a card's folder dropped on the window, the
// shooting date of one camera's photos put right in the date dialog, a mark, a comment and a tag
// given in the information panel, one photo corrected and one trimmed with the frame dragged by
// hand, two photos moved into a new folder, an album made, a sheet printed to a PDF file and a
// copy saved. The window is closed, a new one starts on the same home, and every change is found
// again. The engine is only started, stopped and looked at. A picture of every step is kept in
// <build>/test-artifacts/afternoon.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/ostra_engine.h"
#include "engine/workers/folder_updater.h"
#include "host/date_time.h"
#include "images/codec/image_load.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "platform/ui_dispatcher.h"
#include "shell/dialogs/exif_date_form.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/effect_page.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/info_pages.h"
#include "shell/library/library_page.h"
#include "shell/library/library_session.h"
#include "shell/library/trim_frame_view.h"
#include "shell/library/trimming_page.h"
#include "shell/main/main_actions.h"
#include "shell/main_window.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

// Answers the modal dialogs the window opens, in their order, as a user would: each step gets
// the next modal dialog that appears. Dialogs that close by themselves (progress) are let be; any
// other dialog nobody expected is cancelled and reported.
class ModalScript : public QObject {
 public:
  using Step = std::function<void(QWidget*)>;
  ModalScript() {
    timer_.setInterval(25);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::Tick);
    timer_.start();
  }
  void Then(Step step) { steps_.push_back(std::move(step)); }
  void LetBe(const char* className) { letBe_.insert(className); }
  bool Done() const { return steps_.empty(); }
  QStringList unexpected;

 private:
  void Tick() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    for (const QPointer<QWidget>& seen : seen_)
      if (seen == modal) return;
    if (letBe_.count(modal->metaObject()->className())) return;
    seen_.emplace_back(modal);
    if (steps_.empty()) {
      unexpected << QString::fromLatin1(modal->metaObject()->className()) + ": " + modal->windowTitle();
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    // The step runs on its own turn: a dialog it opens in turn is answered by the next tick,
    // which a timer still inside its own handler would never get.
    auto step = std::make_shared<Step>(std::move(steps_.front()));
    steps_.pop_front();
    QPointer<QWidget> target(modal);
    QTimer::singleShot(0, this, [step, target] {
      if (target) (*step)(target);
    });
  }

  QTimer timer_;
  std::deque<Step> steps_;
  std::vector<QPointer<QWidget>> seen_;
  std::set<std::string> letBe_;
};

void Keep(QWidget& widget, const std::string& name) {
  EXPECT_TRUE(test::KeepPicture(widget, "afternoon", name)) << name;
}

// A file dialog given a path typed into its name box.
void TypePath(QWidget* modal, const std::string& path) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
  if (dialog->fileMode() == QFileDialog::Directory) {
    // Choosing a folder: the user goes into it and takes it.
    dialog->setDirectory(QString::fromStdString(path));
    if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->clear();
  } else {
    // Naming a file: the user goes to its folder and types its name in the name box.
    const fs::path target(path);
    dialog->setDirectory(QString::fromStdString(target.parent_path().string()));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(target.filename().string()));
  }
  static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
}

void Press(QWidget* modal, QDialogButtonBox::StandardButton which) {
  auto* buttons = modal->findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr) << modal->metaObject()->className();
  ASSERT_NE(buttons->button(which), nullptr);
  QTest::mouseClick(buttons->button(which), Qt::LeftButton);
}

// Typed text as an input method delivers it: one key event per character, with its text.
void Type(QWidget* to, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(to, &release);
  }
  QApplication::processEvents();
}

QPushButton* ButtonOf(QWidget* parent, const QString& text) {
  for (QPushButton* button : parent->findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

class Afternoon : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    InstallEngineImageCache();
    InstallCatalogImageReader();
    home_ = fs::canonical(getenv("HOME")).string();
    card_ = home_ + "/Card/DCIM/100CAMERA";
    fs::create_directories(card_);
    for (const auto& entry : fs::directory_iterator(test::TestDataDir() + "/exif-samples/jpg")) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || entry.path().extension() != ".jpg" || name == "corrupted.jpg") continue;
      fs::copy_file(entry.path(), card_ + "/" + name);
      ++photos_;
    }
  }

  void TearDown() override { Close(); }

  void Open() {
    engine_ = std::make_unique<TOstraEngine>();
    engine_->Start();
    engine_->StartWatchers();
    window_ = std::make_unique<TPlumoraMain2>("Plumora Browser");
    window_->resize(1200, 820);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    session_ = std::make_unique<TLibrarySession>(*engine_, *window_);
    session_->Start();
  }

  void Close() {
    if (session_) session_->Stop();
    if (window_) window_->close();
    session_.reset();
    window_.reset();
    if (engine_) engine_->Stop();
    engine_.reset();
  }

  TLibraryPage* Library() { return window_->Library(); }
  TFrameCatalogDG* Grid() { return Library()->Catalog(); }
  QAction* Act(const char* name) {
    QAction* action = window_->Actions()->Action(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  TFolder* FolderAt(const std::string& path) { return engine_->Folders()->FindFolderOf(path); }
  TCatalogItem* Photo(const std::string& folder, const std::string& name) {
    TFolder* f = FolderAt(folder);
    return f ? f->FindItem(name) : nullptr;
  }
  TCatalogItem* OnCard(const std::string& name) { return Photo(card_, name); }

  // Opens the node's parents and clicks its row.
  void ChooseNode(TFolderTreePanel* panel, TCustomFolder* node) {
    std::vector<TCustomFolder*> up;
    for (TCustomFolder* n = node->GetParent(); n; n = n->GetParent()) up.insert(up.begin(), n);
    for (TCustomFolder* n : up)
      if (QTreeWidgetItem* row = panel->ItemOf(n)) row->setExpanded(true);
    panel->ApplyPendingEvents();
    QTreeWidgetItem* row = panel->ItemOf(node);
    ASSERT_NE(row, nullptr) << node->GetName();
    panel->scrollToItem(row);
    QTest::mouseClick(panel->viewport(), Qt::LeftButton, Qt::NoModifier, panel->visualItemRect(row).center());
    QApplication::processEvents();
    ASSERT_EQ(Grid()->CurrentFolder(), node);
  }

  // Scrolls the grid to the photo as a user would and clicks it.
  void ClickPhoto(TCatalogItem* item, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    ASSERT_NE(item, nullptr);
    QWidget* viewport = Grid()->Grid()->viewport();
    QScrollBar* bar = Grid()->Grid()->verticalScrollBar();
    for (int i = 0; i < 100 && !viewport->rect().contains(Grid()->ItemRect(item).center()); ++i) {
      const QRect r = Grid()->ItemRect(item);
      bar->setValue(bar->value() + (r.top() < 0 ? -bar->singleStep() : bar->singleStep()));
      QApplication::processEvents();
    }
    const QRect r = Grid()->ItemRect(item);
    ASSERT_TRUE(viewport->rect().contains(r.center())) << item->FileName();
    QTest::mouseClick(viewport, Qt::LeftButton, modifiers, r.center());
    QApplication::processEvents();
  }

  void SelectPhotos(const std::vector<TCatalogItem*>& items) {
    for (size_t i = 0; i < items.size(); ++i) ClickPhoto(items[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    std::vector<TCatalogItem*> selected = Grid()->SelectedItems();
    std::vector<TCatalogItem*> wanted = items;
    std::sort(selected.begin(), selected.end());
    std::sort(wanted.begin(), wanted.end());
    ASSERT_EQ(selected, wanted);
  }

  void Key(QWidget* to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // Back from a dialog, the user's next key goes to the window again.
    if (!to->window()->isActiveWindow()) {
      to->window()->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(to->window()));
    }
    QTest::keyClick(to, key, modifiers);
    QApplication::processEvents();
  }

  std::string home_, card_;
  int photos_ = 0;
  QtUiDispatcher dispatcher_;
  platform::ScopedUiDispatcher installed_{dispatcher_};
  std::unique_ptr<TOstraEngine> engine_;
  std::unique_ptr<TPlumoraMain2> window_;
  std::unique_ptr<TLibrarySession> session_;
};

TEST_F(Afternoon, EveryChangeOfAnAfternoonThroughTheWindowIsFoundAgainAfterARestart) {
  ASSERT_GT(photos_, 15);
  ASSERT_NO_FATAL_FAILURE(Open());
  ModalScript dialogs;
  dialogs.LetBe("plb::shell::TExifDateProgressForm");
  dialogs.LetBe("plb::shell::TCopyMoveFileFrm");

  // 1. The card's photo folder, dropped on the window from a file manager, comes into the catalog.
  ASSERT_TRUE(test::PumpUntil([] { return FileUpdaterRunning(); })) << "the window has started";
  QMimeData dropped;
  dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(card_))});
  QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &drop);
  auto imported = [&] {
        TFolder* card = FolderAt(card_);
        if (!card || card->ItemCount() != photos_) return false;
        std::vector<TCatalogItem*> items;
        card->GetItems(items);
        return std::all_of(items.begin(), items.end(), [](TCatalogItem* i) { return i->DateKnown() || !i->Owner(); });
      };
  ASSERT_TRUE(test::PumpUntil(imported, 60000))
      << (FolderAt(card_) ? FolderAt(card_)->ItemCount() : -1) << " mode "
      << (FolderAt(card_) ? int(FolderAt(card_)->GetCalendarMode()) : -1) << " running " << FileUpdaterRunning();
  Act("AcCsSmall2")->trigger();
  ASSERT_NO_FATAL_FAILURE(ChooseNode(Library()->FolderTree(), FolderAt(card_)));
  ASSERT_EQ(Grid()->ShownItems().size(), static_cast<size_t>(photos_));
  Keep(*window_, "01-card-imported");

  // 2. The Canon's clock was wrong: its photos get the day of the outing in the date dialog.
  std::vector<TCatalogItem*> canon;
  for (TCatalogItem* item : Grid()->ShownItems())
    // The camera's own files (not the one a program re-saved).
    if (item->FileName().rfind("Canon_", 0) == 0 && item->FileName().find("import") == std::string::npos)
      canon.push_back(item);
  ASSERT_GE(canon.size(), 3u);
  ASSERT_NO_FATAL_FAILURE(SelectPhotos(canon));
  const TDateTime outing = EncodeDate(2024, 5, 3);
  dialogs.Then([&](QWidget* modal) {
    auto* form = qobject_cast<TEditExifDateForm*>(modal);
    ASSERT_NE(form, nullptr) << modal->metaObject()->className();
    form->DateCheck()->setChecked(true);
    form->TimeCheck()->setChecked(false);
    form->DateEdit()->setDate(QDate(2024, 5, 3));
    Keep(*form, "02-date-dialog");
    Press(form, QDialogButtonBox::Ok);
  });
  Key(Grid()->Grid(), Qt::Key_D, Qt::ControlModifier);
  ASSERT_TRUE(test::PumpUntil([&] {
    return std::all_of(canon.begin(), canon.end(), [&](TCatalogItem* i) { return std::floor(i->ShootingDate()) == outing; });
  }));
  for (TCatalogItem* item : canon)
    EXPECT_EQ(std::floor(GetImageInfo(item->FullPath(), 1).shooting_date), outing) << item->FileName();
  Keep(*window_, "02-dates-fixed");

  // 3. The information panel: a mark, a comment and a tag for the Nikon's photo.
  TCatalogItem* nikon = OnCard("Nikon_D70.jpg");
  ASSERT_NO_FATAL_FAILURE(ClickPhoto(nikon));
  Key(Grid()->Grid(), Qt::Key_I, Qt::ControlModifier);
  TFrameInfoPages* info = window_->Actions()->InfoPages();
  ASSERT_TRUE(info->isVisible());
  ASSERT_EQ(info->Item(), nikon);
  QTest::mouseClick(info->MarkBox(), Qt::LeftButton, Qt::NoModifier, QPoint(6, info->MarkBox()->height() / 2));
  EXPECT_TRUE(nikon->Mark());
  QTest::mouseClick(info->CommentEdit()->viewport(), Qt::LeftButton);
  Type(info->CommentEdit(), QStringLiteral("川沿いの散歩"));
  QTest::mouseClick(info->findChild<QPushButton*>("InfoKeepComment"), Qt::LeftButton);
  EXPECT_EQ(nikon->Comment(), "川沿いの散歩");
  QListWidget* tags = info->TagList();
  ASSERT_TRUE(tags->isEnabled());
  const QList<QListWidgetItem*> travel = tags->findItems(QStringLiteral("旅行"), Qt::MatchExactly);
  ASSERT_EQ(travel.size(), 1) << "the sample tags of the first start";
  tags->setFocus();
  tags->setCurrentItem(travel.front());
  Key(tags, Qt::Key_Space);
  TAlbum* travelTag = engine_->Albums()->Root(8)->FindChild("旅行");
  ASSERT_NE(travelTag, nullptr);
  EXPECT_NE(travelTag->FindEntry(nikon), nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return info->TagText().contains(QStringLiteral("旅行")); }, 5000))
      << info->TagText().toStdString();
  Keep(*window_, "03-information-panel");

  // 4. The Olympus's photo is too dark: +1.5 EV on the correction page.
  TCatalogItem* olympus = OnCard("Olympus_C8080WZ.jpg");
  ASSERT_NO_FATAL_FAILURE(ClickPhoto(olympus));
  Key(Grid()->Grid(), Qt::Key_E, Qt::ControlModifier);
  TFrameEffectPage* effect = info->EffectPage();
  ASSERT_TRUE(effect->isVisible());
  ASSERT_EQ(effect->Item(), olympus);
  effect->Exposure()->setCurrentIndex(15);
  EXPECT_TRUE(olympus->Color().enabled);
  EXPECT_EQ(olympus->Color().meido, 50);
  Keep(*window_, "04-corrected");

  // 5. The Pentax's photo is trimmed to a square, its frame dragged into place.
  TCatalogItem* pentax = OnCard("Pentax_K10D.jpg");
  ASSERT_NO_FATAL_FAILURE(ClickPhoto(pentax));
  Key(Grid()->Grid(), Qt::Key_T, Qt::ControlModifier);
  TFrameTrimmingPage* trimming = info->TrimmingPage();
  ASSERT_TRUE(trimming->isVisible());
  ASSERT_EQ(trimming->Item(), pentax);
  trimming->Aspect()->setCurrentIndex(2);
  QTest::mouseClick(trimming->TrimButton(), Qt::LeftButton);
  ASSERT_TRUE(pentax->TrimmingInForce());
  TTrimFrameView* frameView = trimming->FrameView();
  const QRect before = frameView->Frame();
  const QPoint from = frameView->PictureArea().topLeft() + before.center();
  QTest::mousePress(frameView, Qt::LeftButton, Qt::NoModifier, from);
  QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(8, -4)), frameView->mapToGlobal(QPointF(from + QPoint(8, -4))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frameView, &move);
  QTest::mouseRelease(frameView, Qt::LeftButton, Qt::NoModifier, from + QPoint(8, -4));
  EXPECT_NE(frameView->Frame(), before);
  const TTrimRect trimmed = pentax->TrimRect();
  EXPECT_EQ(pentax->DisplayedTrimRect(frameView->Picture().width(), frameView->Picture().height()),
            (TTrimRect{frameView->Frame().left(), frameView->Frame().top(),
                       frameView->Frame().left() + frameView->Frame().width(),
                       frameView->Frame().top() + frameView->Frame().height()}));
  Keep(*window_, "05-trimmed");
  Key(Grid()->Grid(), Qt::Key_T, Qt::ControlModifier);  // the panel closes

  // 6. A new folder on the card for the walk, named in the panel; two photos moved into it.
  TFolderTreePanel* folders = Library()->FolderTree();
  ASSERT_NO_FATAL_FAILURE(ChooseNode(folders, FolderAt(card_)));
  folders->setFocus();
  Key(folders, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  const std::string walk = card_ + "/散歩";
  ASSERT_TRUE(fs::is_directory(card_ + "/新しいフォルダ"));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr) << "the new folder's name is open for typing";
  qobject_cast<QLineEdit*>(editor)->selectAll();
  Type(editor, QStringLiteral("散歩"));
  Key(editor, Qt::Key_Return);
  ASSERT_TRUE(test::PumpUntil([&] { return fs::is_directory(walk); }, 5000));
  Keep(*window_, "06-new-folder");
  test::PumpFor(500);  // the panels and the grid take in the new folder
  ASSERT_NO_FATAL_FAILURE(ChooseNode(folders, FolderAt(card_)));
  TCatalogItem* ricoh = OnCard("Ricoh_Caplio_RR330.jpg");
  TCatalogItem* sony = OnCard("Sony_HDR-HC3.jpg");
  ASSERT_NO_FATAL_FAILURE(SelectPhotos({ricoh, sony}));
  dialogs.Then([&](QWidget* modal) { TypePath(modal, walk); });
  dialogs.Then([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << modal->metaObject()->className();
    EXPECT_TRUE(box->text().contains(QStringLiteral("2 個のファイルを"))) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains(QStringLiteral("散歩へ移動"))) << box->text().toStdString();
    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
  });
  Act("AcEditMove")->trigger();
  EXPECT_TRUE(dialogs.Done());
  ASSERT_TRUE(test::PumpUntil([&] { return Photo(walk, "Sony_HDR-HC3.jpg") && Photo(walk, "Ricoh_Caplio_RR330.jpg"); }))
      << fs::exists(walk + "/Sony_HDR-HC3.jpg") << " " << (FolderAt(walk) != nullptr) << " "
      << dialogs.unexpected.join(" | ").toStdString();
  EXPECT_TRUE(fs::exists(walk + "/Sony_HDR-HC3.jpg"));
  EXPECT_FALSE(fs::exists(card_ + "/Sony_HDR-HC3.jpg"));
  Keep(*window_, "06-photos-moved");

  // 7. An album of three photos, made from the selection and named by the user.
  ASSERT_NO_FATAL_FAILURE(ChooseNode(folders, FolderAt(card_)));
  TCatalogItem* fuji = OnCard("Fujifilm_FinePix_E500.jpg");
  ASSERT_NO_FATAL_FAILURE(SelectPhotos({nikon, olympus, fuji}));
  dialogs.Then([&](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr) << modal->metaObject()->className();
    input->setTextValue(QStringLiteral("川沿いの午後"));
    Keep(*input, "07-album-name");
    Press(input, QDialogButtonBox::Ok);
  });
  ASSERT_TRUE(Act("AcAlbumCreate")->isEnabled());
  Act("AcAlbumCreate")->trigger();
  TAlbum* album = engine_->Albums()->Root(0)->FindChild("川沿いの午後");
  ASSERT_NE(album, nullptr);
  EXPECT_EQ(album->EntryCount(), 3);
  EXPECT_EQ(Grid()->CurrentFolder(), album) << "the new album is shown";
  EXPECT_EQ(Library()->TagTree()->currentItem(), Library()->TagTree()->ItemOf(album));
  Keep(*window_, "07-album");

  // 8. The album printed to a PDF file, and a copy of the Nikon's photo saved into the walk.
  Act("AcEditSelectAll")->trigger();
  const std::string pdf = home_ + "/afternoon.pdf";
  dialogs.Then([&](QWidget* modal) {
    Keep(*modal, "08-print-dialog");
    QTest::mouseClick(modal->findChild<QPushButton*>("AcPrintPdf"), Qt::LeftButton);
    QTest::mouseClick(ButtonOf(modal, QStringLiteral("閉じる")), Qt::LeftButton);
  });
  dialogs.Then([&](QWidget* modal) { TypePath(modal, pdf); });
  Key(Grid()->Grid(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(dialogs.Done());
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_NE(test::RunCommand("pdfinfo '" + pdf + "'").out.find("Pages:"), std::string::npos);
  const std::string copy = walk + "/Nikon_D70_copy.jpg";
  ASSERT_NO_FATAL_FAILURE(ClickPhoto(nikon));
  dialogs.Then([&](QWidget* modal) {
    Keep(*modal, "08-save-dialog");
    Press(modal, QDialogButtonBox::Ok);
  });
  dialogs.Then([&](QWidget* modal) { TypePath(modal, copy); });
  Key(Grid()->Grid(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(dialogs.Done());
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_TRUE(dialogs.unexpected.isEmpty()) << dialogs.unexpected.join(" | ").toStdString();

  // The window closes; a new one starts on the same home.
  Close();
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(test::PumpUntil([&] { return Photo(walk, "Nikon_D70_copy.jpg") != nullptr; }, 60000))
      << "the saved copy comes into the catalog";
  ASSERT_NO_FATAL_FAILURE(ChooseNode(Library()->FolderTree(), FolderAt(card_)));
  Keep(*window_, "09-after-restart");

  // Dates, in the files and the catalog's calendar.
  for (const char* name : {"Canon_40D.jpg", "Canon_DIGITAL_IXUS_400.jpg", "Canon_PowerShot_S40.jpg"}) {
    TCatalogItem* item = OnCard(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(std::floor(item->ShootingDate()), outing) << name;
    EXPECT_EQ(std::floor(GetImageInfo(item->FullPath(), 1).shooting_date), outing) << name;
  }
  TCalendar* day = engine_->Calendar()->LeafFor(false, outing);
  ASSERT_NE(day, nullptr);
  EXPECT_GE(day->ItemCount(), static_cast<int32_t>(canon.size()));
  // Mark, comment and tag.
  nikon = OnCard("Nikon_D70.jpg");
  ASSERT_NE(nikon, nullptr);
  EXPECT_TRUE(nikon->Mark());
  EXPECT_EQ(nikon->Comment(), "川沿いの散歩");
  travelTag = engine_->Albums()->Root(8)->FindChild("旅行");
  ASSERT_NE(travelTag, nullptr);
  EXPECT_NE(travelTag->FindEntry(nikon), nullptr);
  ASSERT_NO_FATAL_FAILURE(ClickPhoto(nikon));
  Key(Grid()->Grid(), Qt::Key_I, Qt::ControlModifier);
  info = window_->Actions()->InfoPages();
  EXPECT_TRUE(info->TagText().contains(QStringLiteral("旅行"))) << info->TagText().toStdString();
  Keep(*window_, "09-information-again");
  // Correction and trimming.
  olympus = OnCard("Olympus_C8080WZ.jpg");
  ASSERT_NE(olympus, nullptr);
  EXPECT_TRUE(olympus->Color().enabled);
  EXPECT_EQ(olympus->Color().meido, 50);
  pentax = OnCard("Pentax_K10D.jpg");
  ASSERT_NE(pentax, nullptr);
  EXPECT_TRUE(pentax->TrimmingInForce());
  EXPECT_EQ(pentax->TrimRect(), trimmed);
  // Moved files, in their new folder only.
  EXPECT_NE(Photo(walk, "Ricoh_Caplio_RR330.jpg"), nullptr);
  EXPECT_NE(Photo(walk, "Sony_HDR-HC3.jpg"), nullptr);
  EXPECT_EQ(OnCard("Sony_HDR-HC3.jpg"), nullptr);
  EXPECT_EQ(OnCard("Ricoh_Caplio_RR330.jpg"), nullptr);
  // The album, in the tag panel with its three photos.
  album = engine_->Albums()->Root(0)->FindChild("川沿いの午後");
  ASSERT_NE(album, nullptr);
  ASSERT_NO_FATAL_FAILURE(ChooseNode(Library()->TagTree(), album));
  EXPECT_EQ(Grid()->ShownItems().size(), 3u);
  Keep(*window_, "09-album-again");
  // The saved copy and the PDF stay where they were put.
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_TRUE(fs::exists(pdf));
}

}  // namespace
}  // namespace plb::shell
