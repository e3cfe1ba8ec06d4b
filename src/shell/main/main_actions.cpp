#include "shell/main/main_actions.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <tuple>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/album_utils.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/history_list.h"
#include "engine/operations/folder_operations.h"
#include "engine/views/query_info.h"
#include "engine/views/sorted_item_list.h"
#include "engine/workers/folder_updater.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/uploader_options.h"
#include "host/version_info.h"
#include "images/codec/image_load.h"
#include "images/effects/effect_panels.h"
#include "platform/error.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "shell/dialogs/cache_settings_form.h"
#include "shell/dialogs/exif_date_form.h"
#include "shell/dialogs/uploader_options_form.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/info_pages.h"
#include "shell/library/library_page.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main/file_commands.h"
#include "shell/main/item_drops.h"
#include "shell/main_window.h"
#include "shell/output/output_actions.h"
#include "shell/qt_text.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/viewer/photo_viewer.h"
#include "shell/web/frame_plumora_home.h"

namespace plb::shell {
namespace {

enum TRotation { kRotateLeft, kRotateRight, kRotateNone };
enum TMarking { kMarkOn, kMarkOff, kMarkToggle };

constexpr int kThumbnailSizes[] = {80, 160, 240, 360, 480};
// The root of the user's own albums.
constexpr int kMinToolPanelWidth = 200;
constexpr int kDefaultToolPanelWidth = 300;
constexpr const char* kSizeActions[] = {"AcCsSmall2", "AcCsSmall", "AcCsMiddle", "AcCsLarge", "AcCsLarge2"};
constexpr const char* kMouseActions[] = {"AcImageMouseDrag", "AcImageMouseZoom", "AcImageMouseNext",
                                         "AcImageMousePoint"};

bool IsArrow(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// Unmodified keys that are the viewer's commands (arrows, zoom): elsewhere they move and search.
bool IsViewerKey(int key) {
  return IsArrow(key) || key == Qt::Key_0 || key == Qt::Key_1 || key == Qt::Key_Plus || key == Qt::Key_Minus;
}

// A widget where the user types or reads text: the window's shortcuts leave its keys alone.
bool IsEditor(const QWidget* widget) {
  if (!widget) return false;
  if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)) return true;
  // Read-only memos too: their keys select and copy text.
  return qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget);
}

// The service's help page, when it names one on the web.
QUrl HelpUrl() {
  const QUrl url(QString::fromStdString(PlumoraApiParams().Snapshot().help_url));
  return url.isValid() && (url.scheme() == "http" || url.scheme() == "https") ? url : QUrl();
}

bool Printable(const TCatalogItem* item) {
  return item && !item->Unavailable() && item->Kind() != fkMovie;
}

}  // namespace

TMainActions::TMainActions(TPlumoraMain2& window)
    : QObject(&window), window_(window), boxes_(TActionBoxes::Default(&window)) {
  setObjectName("TMainActions");
  files_ = std::make_unique<TFileCommands>(Library(), boxes_, &window);
  drops_ = new TItemDrops(Library(), *files_, boxes_, &window,
                          [this](const std::vector<TCatalogItem*>& items) { ItemsChanged(items); });
  drops_->setParent(this);  // gone before the commands it uses
  infoPages_ = new TFrameInfoPages(&Library());
  infoPages_->hide();
  infoPages_->SetTagRoot([this]() -> TAlbum* {
    TAlbumList* albums = Library().Sources().albums;
    return albums ? albums->Root(atTag) : nullptr;
  });
  Library().addWidget(infoPages_);
  Library().setStretchFactor(2, 0);
  AddOutputActions(&window, &Library(), [this] { return config_ ? config_->JpegQuality() : 90; });
  for (const char* name : {"AcFileSave", "AcToolPrint", "AcFileExportFolder", "AcToolCollage"}) {
    if (auto* action = window.findChild<QAction*>(name)) {
      actions_.push_back(action);
      byName_[name] = action;
    }
  }
  byName_["AcFileSave"]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  byName_["AcToolPrint"]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  CreateFileActions();
  CreateEditActions();
  CreateViewActions();
  CreateImageActions();
  CreateToolActions();
  CreateDebugActions();
  CreateMenus();
  CreateToolBar();
  ConnectContextMenus();
  WatchState();
  // Every command leaves the states right behind it (connected last: after its own handler).
  for (QAction* action : actions_) connect(action, &QAction::triggered, this, &TMainActions::Refresh);
  qApp->installEventFilter(this);
  Refresh();
}

TMainActions::~TMainActions() {
  qApp->removeEventFilter(this);
}

TLibraryPage& TMainActions::Library() const {
  return *window_.Library();
}

QAction* TMainActions::Action(const QString& name) const {
  const auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

QMenu* TMainActions::Menu(const QString& objectName) const {
  return window_.menuBar()->findChild<QMenu*>(objectName);
}

QAction* TMainActions::Add(const char* name, const QString& caption, const QKeySequence& key) {
  auto* action = new QAction(caption, &window_);
  action->setObjectName(name);
  if (!key.isEmpty()) action->setShortcut(key);
  window_.addAction(action);
  actions_.push_back(action);
  byName_[name] = action;
  return action;
}

// --- The actions ---

void TMainActions::CreateFileActions() {
  connect(Add("AcFileCreateNew", QStringLiteral("新しいフォルダ"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)),
          &QAction::triggered, this, [this] {
            TFolderTreePanel* panel = Library().CurrentPanel();
            files_->CreateFolder(panel, TFolderTreePanel::NodeOf(panel->currentItem()));
          });
  connect(Add("AcFileRename", QStringLiteral("名前の変更"), QKeySequence(Qt::Key_F2)), &QAction::triggered, this,
          [this] {
            if (TFolderTreePanel* panel = FolderSubject()) {
              files_->StartFolderRename(*panel, TFolderTreePanel::NodeOf(panel->currentItem()));
            } else {
              files_->RenameItem(Library().CurrentItem());
            }
          });
  connect(Add("AcFileTrash", QStringLiteral("ごみ箱へ移動"), QKeySequence(Qt::Key_Delete)), &QAction::triggered, this,
          [this] {
            if (FolderSubject()) {
              files_->DeleteFolder(FolderNode());
            } else {
              files_->TrashItems(Library().WorkItems());
            }
          });
  connect(Add("AcFileDelete", QStringLiteral("フォルダの削除")), &QAction::triggered, this, [this] {
    TFolderTreePanel* panel = Library().CurrentPanel();
    files_->DeleteFolder(TFolderTreePanel::NodeOf(panel->currentItem()));
  });
  connect(Add("AcFileChangeExifDate", QStringLiteral("撮影日時の変更"), QKeySequence(Qt::CTRL | Qt::Key_D)),
          &QAction::triggered, this, &TMainActions::ChangeShootingDate);
  connect(Add("AcFileProperty", QStringLiteral("プロパティ"), QKeySequence(Qt::ALT | Qt::Key_Return)),
          &QAction::triggered, this, [this] { SetToolMode(tmInfo); });
  connect(Add("AcFileClose", QStringLiteral("閉じる")), &QAction::triggered, &window_, &QWidget::close);
}

void TMainActions::CreateEditActions() {
  connect(Add("AcEditCopyImage", QStringLiteral("写真をクリップボードにコピー"), QKeySequence(Qt::CTRL | Qt::Key_C)),
          &QAction::triggered, this, &TMainActions::CopyImage);
  connect(Add("AcEditCopy", QStringLiteral("フォルダへコピー")), &QAction::triggered, this, [this] {
    if (FolderSubject()) {
      files_->CopyMoveFolder(FolderNode(), true);
    } else {
      files_->CopyMoveItems(Library().WorkItems(), true);
    }
  });
  connect(Add("AcEditMove", QStringLiteral("フォルダへ移動")), &QAction::triggered, this, [this] {
    if (FolderSubject()) {
      files_->CopyMoveFolder(FolderNode(), false);
    } else {
      files_->CopyMoveItems(Library().WorkItems(), false);
    }
  });
  const struct {
    const char* name;
    const char* caption;
    QKeySequence key;
    int how;
    bool marked;
  } rotations[] = {
      {"AcEditRotateL", "左に回転", QKeySequence(Qt::CTRL | Qt::Key_L), kRotateLeft, false},
      {"AcEditRotateR", "右に回転", QKeySequence(Qt::CTRL | Qt::Key_R), kRotateRight, false},
      {"AcEditRotateNon", "回転を元に戻す", {}, kRotateNone, false},
      {"AcEditRotateLMark", "お気に入りの写真を左に回転", {}, kRotateLeft, true},
      {"AcEditRotateRMark", "お気に入りの写真を右に回転", {}, kRotateRight, true},
      {"AcEditRotateNonMark", "お気に入りの写真の回転を元に戻す", {}, kRotateNone, true},
  };
  for (const auto& r : rotations) {
    const int how = r.how;
    const bool marked = r.marked;
    connect(Add(r.name, QString::fromUtf8(r.caption), r.key), &QAction::triggered, this,
            [this, how, marked] { Rotate(marked ? MarkedItems() : Library().WorkItems(), how); });
  }
  connect(Add("AcEditMark", QStringLiteral("お気に入り"), QKeySequence(Qt::Key_F11)), &QAction::triggered, this,
          [this] { SetMarks(Library().WorkItems(), kMarkOn); });
  connect(Add("AcEditMarkNo", QStringLiteral("お気に入り解除"), QKeySequence(Qt::Key_F12)), &QAction::triggered, this,
          [this] { SetMarks(Library().WorkItems(), kMarkOff); });
  connect(Add("AcEditMarkChange", QStringLiteral("お気に入りの切り替え"), QKeySequence(Qt::CTRL | Qt::Key_M)),
          &QAction::triggered, this, [this] { SetMarks(Library().WorkItems(), kMarkToggle); });
  connect(Add("AcEditSelectMark", QStringLiteral("お気に入りの写真を選択")), &QAction::triggered, this,
          [this] { Library().Catalog()->SelectByKind(1); });
  connect(Add("AcEditSelectAll", QStringLiteral("すべて選択"), QKeySequence(Qt::CTRL | Qt::Key_A)), &QAction::triggered,
          this, [this] { Library().Catalog()->SelectByKind(5); });
  connect(Add("AcEditCopyMark", QStringLiteral("お気に入りの写真をフォルダへコピー")), &QAction::triggered, this,
          [this] { files_->CopyMoveItems(MarkedItems(), true); });
  connect(Add("AcEditMoveMark", QStringLiteral("お気に入りの写真をフォルダへ移動")), &QAction::triggered, this,
          [this] { files_->CopyMoveItems(MarkedItems(), false); });
  connect(Add("AcAlbumCreate", QStringLiteral("アルバムを作成")), &QAction::triggered, this,
          &TMainActions::CreateAlbum);
}

void TMainActions::CreateViewActions() {
  TLibraryPage& library = Library();
  auto showPanel = [this](int index) {
    window_.ShowPage(1, 0);
    Library().ShowPanel(index);
    Library().CurrentPanel()->setFocus();
  };
  // A folder's photos join the calendar or leave it; the folder and its catalog data stay. The
  // request ends the pass under way, so that the next one sees the new mode from its start.
  for (const auto& [name, caption, mode] : {std::tuple{"AcFolderCalendarIn", "カレンダーへ登録", 1},
                                            std::tuple{"AcFolderCalendarOut", "カレンダーから外す", 2}}) {
    connect(Add(name, QString::fromUtf8(caption)), &QAction::triggered, this, [this, mode = mode] {
      TCustomFolder* node = TFolderTreePanel::NodeOf(Library().FolderTree()->currentItem());
      if (!node || FolderClassOfKind(node->Kind()) != kFolderClassFolder) return;
      node->SetCalendarMode(mode);
      RequestUpdate();
      WriteLog(std::string(mode == 1 ? "カレンダーへ登録: " : "カレンダーから外す: ") + node->GetFullName());
    });
  }
  connect(Add("AcFolderUpdateAbort", QStringLiteral("更新を中止")), &QAction::triggered, this, [] { CancelUpdate(); });
  connect(Add("AcShowFolder", QStringLiteral("フォルダを表示"), QKeySequence(Qt::Key_F3)), &QAction::triggered, this,
          [showPanel] { showPanel(0); });
  connect(Add("AcShowCalendar", QStringLiteral("カレンダーを表示"), QKeySequence(Qt::Key_F4)), &QAction::triggered,
          this, [showPanel] { showPanel(1); });
  connect(Add("AcShowAlbum", QStringLiteral("タグを表示")), &QAction::triggered, this, [showPanel] { showPanel(2); });
  connect(Add("AcShowLocalSearch", QStringLiteral("写真の検索"), QKeySequence(Qt::CTRL | Qt::Key_F)),
          &QAction::triggered, this, &TMainActions::Search);
  // F6 belongs to whichever of the two leads away from what is shown (Refresh moves it).
  connect(Add("AcShowViewer", QStringLiteral("写真の拡大表示"), QKeySequence(Qt::Key_F6)), &QAction::triggered, this,
          [this] { Library().OpenViewer(Library().Catalog()->CurrentItem()); });
  connect(Add("AcShowMain", QStringLiteral("写真一覧に戻る")), &QAction::triggered, this,
          [this] { Library().CloseViewer(); });

  auto* sizes = new QActionGroup(this);
  for (size_t i = 0; i < std::size(kThumbnailSizes); ++i) {
    const int size = kThumbnailSizes[i];
    QAction* action = Add(kSizeActions[i], QStringLiteral("%1 x %1").arg(size));
    action->setCheckable(true);
    sizes->addAction(action);
    connect(action, &QAction::triggered, this, [this, size] { Library().Catalog()->SetThumbnailSize(size); });
  }
  auto* keys = new QActionGroup(this);
  auto* directions = new QActionGroup(this);
  QAction* byName = Add("AcSortName", QStringLiteral("ファイル名"));
  QAction* byDate = Add("AcSortExifDate", QStringLiteral("撮影日時"));
  QAction* up = Add("AcSortUp", QStringLiteral("昇順で整列"));
  QAction* down = Add("AcSortDown", QStringLiteral("降順で整列"));
  for (QAction* a : {byName, byDate}) keys->addAction(a);
  for (QAction* a : {up, down}) directions->addAction(a);
  for (QAction* a : {byName, byDate, up, down}) a->setCheckable(true);
  TFrameCatalogDG* catalog = library.Catalog();
  connect(byName, &QAction::triggered, this, [catalog] { catalog->SetSortOrder(skFileName, catalog->Ascending()); });
  connect(byDate, &QAction::triggered, this,
          [catalog] { catalog->SetSortOrder(skShootingDate, catalog->Ascending()); });
  connect(up, &QAction::triggered, this, [catalog] { catalog->SetSortOrder(catalog->SortKey(), true); });
  connect(down, &QAction::triggered, this, [catalog] { catalog->SetSortOrder(catalog->SortKey(), false); });

  QAction* grouping = Add("AcShowAlwaysTitleRow", QStringLiteral("撮影日ごとに表示"));
  grouping->setCheckable(true);
  connect(grouping, &QAction::triggered, this, [catalog](bool on) { catalog->SetGroupByDay(on); });
  QAction* markOnly = Add("AcShowMarkOnly", QStringLiteral("お気に入り"));
  QAction* movieOnly = Add("AcShowMovieOnly", QStringLiteral("動画ファイル"));
  for (QAction* a : {markOnly, movieOnly}) {
    a->setCheckable(true);
    connect(a, &QAction::triggered, this,
            [this, markOnly, movieOnly] { ApplyFilter(markOnly->isChecked(), movieOnly->isChecked()); });
  }

  // Back and forward walk the page's history on the service page, the folders shown on the library's.
  connect(Add("AcJumpHistoryPrev", QStringLiteral("戻る"), QKeySequence(Qt::ALT | Qt::Key_Left)), &QAction::triggered,
          this, [this] {
            if (window_.CurrentPage() == 0) {
              window_.WebHome()->Back();
            } else {
              emit window_.historyRequested(-1);
            }
          });
  connect(Add("AcJumpHistoryNext", QStringLiteral("進む"), QKeySequence(Qt::ALT | Qt::Key_Right)), &QAction::triggered,
          this, [this] {
            if (window_.CurrentPage() == 0) {
              window_.WebHome()->Forward();
            } else {
              emit window_.historyRequested(1);
            }
          });
  connect(Add("AcJumpFolder", QStringLiteral("写真のフォルダへ移動"), QKeySequence(Qt::CTRL | Qt::Key_J)),
          &QAction::triggered, this, &TMainActions::JumpToFolder);
  connect(Add("AcJumpCalendar", QStringLiteral("写真の撮影日へ移動"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J)),
          &QAction::triggered, this, &TMainActions::JumpToCalendar);
  connect(Add("AcJumpTag", QStringLiteral("写真のタグへ移動")), &QAction::triggered, this, &TMainActions::JumpToTag);
  connect(Add("AcShowUpdate", QStringLiteral("更新"), QKeySequence(Qt::Key_F5)), &QAction::triggered, this, [this] {
    if (window_.CurrentPage() == 0) {
      window_.WebHome()->Refresh();
    } else {
      emit window_.updateRequested();
    }
  });
  // The user's switch between the service's page and the library (page-change source 0).
  QAction* service = Add("AcShowWWW", QStringLiteral("プルモラのページを表示"));
  service->setCheckable(true);
  connect(service, &QAction::triggered, this, [this, service](bool on) {
    window_.ShowPage(on ? 0 : 1, 0);
    // A refused change (during an upload): the check follows the page.
    service->setChecked(window_.CurrentPage() == 0);
  });
}

void TMainActions::CreateImageActions() {
  TPhotoViewer* viewer = Library().Viewer();
  connect(Add("AcImagePrev", QStringLiteral("前の写真"), QKeySequence(Qt::Key_Left)), &QAction::triggered, viewer,
          &TPhotoViewer::Previous);
  connect(Add("AcImageNext", QStringLiteral("次の写真"), QKeySequence(Qt::Key_Right)), &QAction::triggered, viewer,
          &TPhotoViewer::Next);
  auto* sizes = new QActionGroup(this);
  QAction* original = Add("AcImageOriginalSize", QStringLiteral("原寸で表示"), QKeySequence(Qt::Key_1));
  QAction* fit = Add("AcImageFitWindow", QStringLiteral("ウィンドウに合わせて表示"), QKeySequence(Qt::Key_0));
  for (QAction* a : {original, fit}) {
    a->setCheckable(true);
    sizes->addAction(a);
  }
  connect(original, &QAction::triggered, viewer, [viewer] { viewer->SetZoom(1.0); });
  connect(fit, &QAction::triggered, viewer, &TPhotoViewer::FitToWindow);
  connect(Add("AcImageZoomIn", QStringLiteral("拡大"), QKeySequence(Qt::Key_Plus)), &QAction::triggered, viewer,
          &TPhotoViewer::ZoomIn);
  connect(Add("AcImageZoomOut", QStringLiteral("縮小"), QKeySequence(Qt::Key_Minus)), &QAction::triggered, viewer,
          &TPhotoViewer::ZoomOut);
  const char* const captions[] = {"ドラッグ", "ズーム", "進む・戻る", "QuickZoom"};
  auto* modes = new QActionGroup(this);
  for (int mode = 0; mode < 4; ++mode) {
    QAction* action = Add(kMouseActions[mode], QString::fromUtf8(captions[mode]));
    action->setCheckable(true);
    modes->addAction(action);
    connect(action, &QAction::triggered, this, [this, mode] { SetMouseMode(mode); });
  }
  QAction* automatic = Add("AcImageAutoCont", QStringLiteral("自動補正"));
  automatic->setCheckable(true);
  connect(automatic, &QAction::triggered, this, [this](bool on) {
    std::vector<TCatalogItem*> done;
    for (TCatalogItem* item : Library().WorkItems()) {
      if (!item) continue;
      TEffectPanelChoice choice = EffectPanelChoiceOf(item->Color());
      choice.automatic = on;
      if (StoreEffectChoice(*item, choice)) done.push_back(item);
    }
    ItemsChanged(done);
  });
  QAction* mark = Add("AcImageMarkChange", QStringLiteral("お気に入りにする"));
  mark->setCheckable(true);
  connect(mark, &QAction::triggered, this,
          [this](bool on) { SetMarks(Library().WorkItems(), on ? kMarkOn : kMarkOff); });
  connect(Add("AcImageComment", QStringLiteral("コメントの編集")), &QAction::triggered, this, [this] {
    SetToolMode(tmInfo);
    infoPages_->FocusComment();
  });
  connect(Add("AcImageUpdate", QStringLiteral("写真を読み直す")), &QAction::triggered, viewer, &TPhotoViewer::Reload);
  // F11 is the favourite mark's key, so full screen takes Shift+F11; Esc and a double click also
  // leave it.
  QAction* fullScreen = Add("AcImageFullScreen", QStringLiteral("全画面表示"), QKeySequence(Qt::SHIFT | Qt::Key_F11));
  fullScreen->setCheckable(true);
  connect(fullScreen, &QAction::triggered, this, [this](bool on) { Library().SetViewerFullScreen(on); });
  // The viewer's commands work on the full-screen window as on the main window.
  for (const char* name :
       {"AcImageFullScreen", "AcShowMain", "AcImagePrev", "AcImageNext", "AcImageOriginalSize", "AcImageFitWindow",
        "AcImageZoomIn", "AcImageZoomOut", "AcEditMark", "AcEditMarkNo", "AcEditRotateL", "AcEditRotateR"}) {
    if (QAction* action = Action(name)) Library().FullScreenWindow()->addAction(action);
  }
}

void TMainActions::CreateToolActions() {
  QAction* info = Add("AcToolExifInfo", QStringLiteral("写真情報"), QKeySequence(Qt::CTRL | Qt::Key_I));
  info->setCheckable(true);
  connect(info, &QAction::triggered, this, [this](bool on) { SetToolMode(on ? tmInfo : tmNone); });
  QAction* effect = Add("AcToolEffect", QStringLiteral("写真補正"), QKeySequence(Qt::CTRL | Qt::Key_E));
  effect->setCheckable(true);
  connect(effect, &QAction::triggered, this, [this](bool on) { SetToolMode(on ? tmEffect : tmNone); });
  QAction* trimming = Add("AcToolTriming", QStringLiteral("切り抜き"), QKeySequence(Qt::CTRL | Qt::Key_T));
  trimming->setCheckable(true);
  connect(trimming, &QAction::triggered, this, [this](bool on) { SetToolMode(on ? tmTrimming : tmNone); });
  connect(Add("AcToolBootMessageAgent", QStringLiteral("メッセージセンターを起動")), &QAction::triggered, this,
          [this] { window_.StartMessageAgent(); });
  QAction* network = Add("AcOptionDontCheckNetwork", QStringLiteral("ネットワークの接続を確認しない"));
  QAction* background = Add("AcOptionUseBackgroundUpload", QStringLiteral("バックグラウンドでアップロードする"));
  QAction* hidden = Add("AcNeedHiddenDirectory", QStringLiteral("隠しフォルダの写真もカレンダーに表示する"));
  QAction* addressBar = Add("AcDebugShowAddrBar", QStringLiteral("アドレスバーを表示"));
  QAction* mainMenu = Add("AcDebugShowMainMenu", QStringLiteral("メニューバーを表示"),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F10));
  mainMenu->setCheckable(true);
  mainMenu->setChecked(true);
  // Hidden, the menu bar's commands keep their keys; this one brings it back.
  connect(mainMenu, &QAction::triggered, this, [this](bool on) { window_.menuBar()->setVisible(on); });
  for (QAction* a : {network, background, hidden, addressBar}) {
    a->setCheckable(true);
    const QByteArray name = a->objectName().toLatin1();
    connect(a, &QAction::triggered, this, [this, name](bool on) { SetOption(name.constData(), on); });
  }
  connect(Add("AcToolUseFileCache", QStringLiteral("サムネイルキャッシュの設定...")), &QAction::triggered, this,
          &TMainActions::CacheSettings);
  connect(Add("AcOptionCompressionQuality", QStringLiteral("JPEGの圧縮品質...")), &QAction::triggered, this,
          &TMainActions::SetCompressionQuality);
  connect(Add("AcHelpShowVersion", QStringLiteral("バージョン情報")), &QAction::triggered, this,
          &TMainActions::ShowVersion);
  connect(Add("AcHelpShow", QStringLiteral("ヘルプ"), QKeySequence(Qt::Key_F1)), &QAction::triggered, this, [] {
    const QUrl url = HelpUrl();
    if (url.isValid()) QDesktopServices::openUrl(url);
  });
  connect(Add("AcUploaderOption", QStringLiteral("アップロードの設定...")), &QAction::triggered, this,
          &TMainActions::UploaderSettings);
  connect(Add("AcOptionMovieExt", QStringLiteral("動画として扱うファイルの種類...")), &QAction::triggered, this,
          &TMainActions::MovieTypes);
}

// The support staff's commands, under the tool menu's "デバッグ".
void TMainActions::CreateDebugActions() {
  connect(Add("AcDebugShowParams", QStringLiteral("パラメータを表示")), &QAction::triggered, this, [this] {
    PlumoraApiParams().LogParams("AcDebugShowParams");
    const TPlumoraApiParamValues v = PlumoraApiParams().Snapshot();
    const std::string text = "Mode=" + std::string(PlumoraApiModeWord(v.mode)) + "\nSessionID=" + v.session_id +
                             "\nAppInfoUrl=" + v.app_info_url + "\nBaseUrl=" + v.base_url +
                             "\nPlumoraID=" + v.plumora_id + "\nPreviewUrl=" + v.preview_url +
                             "\nPhotoNum=" + std::to_string(v.photo_count) +
                             "\nRestPhotoNum=" + std::to_string(v.rest_photo_count);
    QMessageBox::information(&window_, window_.windowTitle(), QString::fromStdString(text));
  });
  connect(Add("AcDebugBgmLibrary", QStringLiteral("音楽ライブラリを表示")), &QAction::triggered, this,
          [this] { window_.ShowPage(2, 0); });
  connect(Add("AcDebugRefreshTray", QStringLiteral("トレイを更新")), &QAction::triggered, this, [this] {
    if (window_.Tray()) window_.Tray()->RefreshTray();
  });
  connect(Add("AcDebugGetMailAddress", QStringLiteral("メールアドレスを取得")), &QAction::triggered, this,
          [this] { window_.GetMailAddress(""); });
}

void TMainActions::CreateMenus() {
  QMenuBar* bar = window_.menuBar();
  auto menu = [bar](const char* name, const QString& caption) {
    QMenu* m = bar->addMenu(caption);
    m->setObjectName(name);
    return m;
  };
  auto put = [this](QMenu* m, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (!*name) {
        m->addSeparator();
      } else if (QAction* action = Action(name)) {
        m->addAction(action);
      }
    }
  };
  QMenu* file = menu("MenuFile", QStringLiteral("ファイル"));
  put(file, {"AcFileCreateNew", "AcFileRename", "AcFileTrash", "AcFileDelete", "", "AcFolderCalendarIn",
             "AcFolderCalendarOut", "", "AcFileChangeExifDate", "", "AcFileSave", "AcFileExportFolder", "",
             "AcFileProperty", "", "AcFileClose"});
  QMenu* edit = menu("MenuEdit", QStringLiteral("編集"));
  put(edit, {"AcEditCopyImage", "AcEditCopy", "AcEditMove", "", "AcEditRotateL", "AcEditRotateR", "AcEditRotateNon", "",
             "AcEditMark", "AcEditMarkNo", "AcEditMarkChange", "", "AcEditSelectAll", "AcEditSelectMark", "",
             "AcAlbumCreate"});
  QMenu* marked = edit->addMenu(QStringLiteral("お気に入りの写真"));
  marked->setObjectName("MenuEditMarked");
  put(marked,
      {"AcEditCopyMark", "AcEditMoveMark", "", "AcEditRotateLMark", "AcEditRotateRMark", "AcEditRotateNonMark"});
  QMenu* view = menu("MenuView", QStringLiteral("表示"));
  put(view, {"AcShowFolder", "AcShowCalendar", "AcShowAlbum", "AcShowLocalSearch", "", "AcShowViewer", "AcShowMain",
             "AcImageFullScreen", ""});
  QMenu* size = view->addMenu(QStringLiteral("サムネイルの大きさ"));
  size->setObjectName("MenuViewSize");
  for (const char* name : kSizeActions) put(size, {name});
  QMenu* sort = view->addMenu(QStringLiteral("並べ替え"));
  sort->setObjectName("MenuViewSort");
  put(sort, {"AcSortName", "AcSortExifDate", "", "AcSortUp", "AcSortDown"});
  QMenu* filter = view->addMenu(QStringLiteral("絞り込み"));
  filter->setObjectName("MenuViewFilter");
  put(filter, {"AcShowMarkOnly", "AcShowMovieOnly"});
  put(view, {"AcShowAlwaysTitleRow", "", "AcShowUpdate", "AcFolderUpdateAbort", "", "AcShowWWW"});
  QMenu* jump = menu("MenuJump", QStringLiteral("移動"));
  put(jump, {"AcJumpHistoryPrev", "AcJumpHistoryNext", "", "AcJumpFolder", "AcJumpCalendar", "AcJumpTag"});
  QMenu* image = menu("MenuImage", QStringLiteral("写真"));
  put(image, {"AcImagePrev", "AcImageNext", "", "AcImageOriginalSize", "AcImageFitWindow", "AcImageZoomIn",
              "AcImageZoomOut", ""});
  QMenu* mouse = image->addMenu(QStringLiteral("マウスの動作"));
  mouse->setObjectName("MenuImageMouse");
  for (const char* name : kMouseActions) put(mouse, {name});
  put(image, {"", "AcImageAutoCont", "AcImageMarkChange", "AcImageComment", "AcImageUpdate"});
  QMenu* tool = menu("MenuTool", QStringLiteral("ツール"));
  put(tool, {"AcToolExifInfo", "AcToolEffect", "AcToolTriming", "AcToolPrint", "AcToolCollage", "",
             "AcToolBootMessageAgent", ""});
  QMenu* options = tool->addMenu(QStringLiteral("オプション"));
  options->setObjectName("MenuToolOption");
  options->menuAction()->setObjectName("AcToolOption");
  byName_["AcToolOption"] = options->menuAction();
  put(options, {"AcOptionDontCheckNetwork", "AcOptionUseBackgroundUpload", "AcOptionCompressionQuality", "",
                "AcNeedHiddenDirectory", "AcToolUseFileCache", "AcOptionMovieExt", "", "AcUploaderOption", "",
                "AcDebugShowAddrBar", "AcDebugShowMainMenu"});
  QMenu* debug = tool->addMenu(QStringLiteral("デバッグ"));
  debug->setObjectName("MenuToolDebug");
  put(debug, {"AcDebugShowParams", "AcDebugBgmLibrary", "AcDebugRefreshTray", "AcDebugGetMailAddress"});
  QMenu* help = menu("MenuHelp", QStringLiteral("ヘルプ"));
  put(help, {"AcHelpShow", "", "AcHelpShowVersion"});
}

void TMainActions::CreateToolBar() {
  toolBar_ = window_.addToolBar(QStringLiteral("ツールバー"));
  toolBar_->setObjectName("MainToolBar");
  toolBar_->setMovable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (const char* name : {"AcJumpHistoryPrev",
                           "AcJumpHistoryNext",
                           "AcShowUpdate",
                           "",
                           "AcShowFolder",
                           "AcShowCalendar",
                           "AcShowAlbum",
                           "",
                           "AcShowViewer",
                           "AcShowMain",
                           "",
                           "AcEditRotateL",
                           "AcEditRotateR",
                           "AcEditMark",
                           "",
                           "AcToolExifInfo",
                           "AcToolEffect",
                           "AcToolTriming",
                           "AcToolPrint",
                           "AcToolCollage",
                           "",
                           "AcShowWWW"}) {
    if (!*name) {
      toolBar_->addSeparator();
    } else if (QAction* action = Action(name)) {
      toolBar_->addAction(action);
    }
  }
}

void TMainActions::ConnectContextMenus() {
  TCatalogGridView* grid = Library().Catalog()->Grid();
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint& pos) {
    // The photos are the subject, wherever the focus was.
    gridContext_ = true;
    Refresh();
    QMenu menu;
    menu.setObjectName("GridContextMenu");
    for (const char* name : {"AcShowViewer",
                             "",
                             "AcEditMark",
                             "AcEditMarkNo",
                             "",
                             "AcEditRotateL",
                             "AcEditRotateR",
                             "AcEditRotateNon",
                             "",
                             "AcEditCopy",
                             "AcEditMove",
                             "AcFileRename",
                             "AcFileTrash",
                             "",
                             "AcFileChangeExifDate",
                             "AcFileSave",
                             "AcToolPrint",
                             "AcAlbumCreate",
                             "",
                             "AcJumpFolder",
                             "AcJumpCalendar",
                             "AcToolExifInfo"}) {
      if (!*name) {
        menu.addSeparator();
      } else {
        menu.addAction(Action(name));
      }
    }
    // The tray's own actions on the selection, when the window has a tray.
    bool trayShown = false;
    for (const char* name : {"AcTrayIn", "AcTrayOut"}) {
      if (QAction* tray = window_.findChild<QAction*>(name)) {
        if (!trayShown) menu.addSeparator();
        trayShown = true;
        menu.addAction(tray);
      }
    }
    menu.exec(grid->viewport()->mapToGlobal(pos));
    gridContext_ = false;
    RefreshSoon();
  });
  TPhotoViewer* viewer = Library().Viewer();
  connect(viewer, &TPhotoViewer::contextMenuWanted, this, [this](const QPoint& globalPos) {
    Refresh();
    QMenu menu;
    menu.setObjectName("ViewerContextMenu");
    for (const char* name : {"AcImageFullScreen", "AcShowMain", "", "AcImagePrev", "AcImageNext", "",
                             "AcImageOriginalSize", "AcImageFitWindow", "AcImageZoomIn", "AcImageZoomOut", "",
                             "AcEditMark", "AcEditMarkNo", "AcEditRotateL", "AcEditRotateR"})
      *name ? (void)menu.addAction(Action(name)) : (void)menu.addSeparator();
    menu.exec(globalPos);
    RefreshSoon();
  });
  for (TFolderTreePanel* panel : {Library().FolderTree(), Library().CalendarTree(), Library().TagTree()}) {
    panel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(panel, &QWidget::customContextMenuRequested, this, [this, panel](const QPoint& pos) {
      if (QTreeWidgetItem* item = panel->itemAt(pos)) panel->setCurrentItem(item);
      // The folder commands work on this panel's node while its menu is open.
      contextPanel_ = panel;
      Refresh();
      QMenu menu;
      menu.setObjectName("FolderContextMenu");
      for (const char* name : {"AcFileCreateNew", "AcFileRename", "AcFileDelete", "", "AcEditCopy", "AcEditMove"})
        *name ? (void)menu.addAction(Action(name)) : (void)menu.addSeparator();
      if (panel == Library().TagTree()) {
        menu.addSeparator();
        menu.addAction(Action("AcAlbumCreate"));
      }
      if (panel == Library().FolderTree()) {
        menu.addSeparator();
        menu.addAction(Action("AcFolderCalendarIn"));
        menu.addAction(Action("AcFolderCalendarOut"));
      }
      menu.exec(panel->viewport()->mapToGlobal(pos));
      contextPanel_ = nullptr;
      RefreshSoon();
    });
    connect(panel, &TFolderTreePanel::labelEdited, this,
            [this, panel](TCustomFolder* node, QTreeWidgetItem* item, const QString& name) {
              files_->FolderLabelEdited(*panel, node, item, name);
            });
    // Choosing another folder switches the filters off.
    connect(panel, &TFolderTreePanel::folderChosen, this, [this] {
      QAction* markOnly = Action("AcShowMarkOnly");
      QAction* movieOnly = Action("AcShowMovieOnly");
      if (!markOnly->isChecked() && !movieOnly->isChecked()) return;
      markOnly->setChecked(false);
      movieOnly->setChecked(false);
      ApplyFilter(false, false);
    });
  }
}

void TMainActions::WatchState() {
  TFrameCatalogDG* catalog = Library().Catalog();
  connect(catalog, &TFrameCatalogDG::currentItemChanged, this, [this](TCatalogItem* item) {
    if (!Library().ViewerShown()) infoPages_->ShowItem(Library().CurrentItem());
    // The day the user was looking at, for the calendar at the next start.
    if (config_ && item && item->DateKnown()) config_->SetLastViewDate(item->ShootingDate());
    RefreshSoon();
  });
  connect(Library().Viewer(), &TPhotoViewer::currentItemChanged, this, [this](TCatalogItem* item) {
    infoPages_->ShowItem(item);
    RefreshSoon();
  });
  connect(catalog, &TFrameCatalogDG::selectionChanged, this, &TMainActions::RefreshSoon);
  connect(catalog, &TFrameCatalogDG::countChanged, this, &TMainActions::RefreshSoon);
  connect(catalog, &TFrameCatalogDG::folderShown, this, &TMainActions::RefreshSoon);
  connect(catalog, &TFrameCatalogDG::groupingChanged, this, &TMainActions::RefreshSoon);
  connect(catalog, &TFrameCatalogDG::sortOrderChanged, this, &TMainActions::RefreshSoon);
  connect(&Library(), &TLibraryPage::viewChanged, this, [this](bool viewerShown) {
    if (!viewerShown) infoPages_->ShowItem(Library().CurrentItem());
    Refresh();
  });
  connect(&Library(), &TLibraryPage::fullScreenChanged, this, &TMainActions::Refresh);
  connect(&window_, &TPlumoraMain2::pageChanged, this, &TMainActions::Refresh);
  connect(infoPages_, &TFrameInfoPages::itemEdited, this, [this](TCatalogItem* item, int kind) {
    if (kind == cukEffectChanged) {
      // The same correction for every other selected photo.
      std::vector<TCatalogItem*> changed{item};
      for (TCatalogItem* other : Library().WorkItems()) {
        if (!other || other == item || other->Unavailable() || other->Kind() == fkMovie) continue;
        other->SetColor(item->Color());
        RaiseCatalogUpdateEvent(other, cukEffectChanged);
        changed.push_back(other);
      }
      ItemsChanged(changed);
    } else {
      ItemsChanged({item});
    }
  });
  // The user's choice of page is the tool mode.
  connect(infoPages_, &QTabWidget::currentChanged, this, [this](int page) {
    if (!infoPages_->isVisible()) return;
    const int mode = page == TFrameInfoPages::kEffectPage     ? tmEffect
                     : page == TFrameInfoPages::kTrimmingPage ? tmTrimming
                                                              : tmInfo;
    if (mode != toolMode_) SetToolMode(mode);
  });
  connect(qApp, &QApplication::focusChanged, this, &TMainActions::RefreshSoon);
}

// --- Commands ---

TFolderTreePanel* TMainActions::FolderSubject() const {
  if (contextPanel_) return contextPanel_;
  if (gridContext_) return nullptr;
  for (TFolderTreePanel* panel : {Library().FolderTree(), Library().CalendarTree(), Library().TagTree()})
    if (panel->hasFocus()) return panel;
  return nullptr;
}

TCustomFolder* TMainActions::FolderNode() const {
  TFolderTreePanel* panel = FolderSubject();
  return panel ? TFolderTreePanel::NodeOf(panel->currentItem()) : nullptr;
}

std::vector<TCatalogItem*> TMainActions::MarkedItems() const {
  return Library().Catalog()->SelectedItemsByKind(1, true);
}

void TMainActions::ItemsChanged(const std::vector<TCatalogItem*>& items) {
  TPhotoViewer* viewer = Library().Viewer();
  if (Library().ViewerShown() && std::find(items.begin(), items.end(), viewer->Item()) != items.end()) viewer->Reload();
  if (std::find(items.begin(), items.end(), infoPages_->Item()) != items.end()) infoPages_->Reload();
  RefreshSoon();
}

void TMainActions::Rotate(const std::vector<TCatalogItem*>& items, int how) {
  std::vector<TCatalogItem*> done;
  for (TCatalogItem* item : items) {
    if (!item || item->Unavailable()) continue;
    if (how == kRotateLeft) {
      item->RotateLeft();
    } else if (how == kRotateRight) {
      item->RotateRight();
    } else {
      // Back to the orientation the file itself records.
      const TImageInfoRec info = GetImageInfo(item->FullPath(), item->Kind());
      item->SetOrientation(info.orientation >= 1 && info.orientation <= 8 ? static_cast<uint16_t>(info.orientation)
                                                                          : 1);
    }
    RaiseCatalogUpdateEvent(item, cukOrientationChanged);
    done.push_back(item);
  }
  ItemsChanged(done);
}

void TMainActions::SetMarks(const std::vector<TCatalogItem*>& items, int how) {
  std::vector<TCatalogItem*> done;
  for (TCatalogItem* item : items) {
    if (!item) continue;
    const bool on = how == kMarkOn || (how == kMarkToggle && !item->Mark());
    if (item->Mark() == on) continue;
    item->SetMark(on);
    RaiseCatalogUpdateEvent(item, cukMarkChanged);
    done.push_back(item);
  }
  ItemsChanged(done);
  // Under the favourites filter an unmarked photo leaves the list.
  if (Action("AcShowMarkOnly")->isChecked() && !done.empty()) Library().Catalog()->Refill();
}

void TMainActions::ApplyFilter(bool markOnly, bool moviesOnly) {
  TFrameCatalogDG* catalog = Library().Catalog();
  TQueryInfoRecord query = catalog->QueryOn() ? catalog->Query() : TQueryInfoRecord::Fresh();
  query.markOnly = markOnly;
  query.moviesOnly = moviesOnly;
  const bool textOn = std::any_of(query.textOn.begin(), query.textOn.end(), [](bool on) { return on; });
  catalog->SetQuery(query, markOnly || moviesOnly || textOn);
  RefreshSoon();
}

void TMainActions::Search() {
  TFrameCatalogDG* catalog = Library().Catalog();
  TQueryInfoRecord query = catalog->QueryOn() ? catalog->Query() : TQueryInfoRecord::Fresh();
  const QString current =
      query.textOn[TQueryInfoRecord::qtFileName] ? Utf8(query.pattern[TQueryInfoRecord::qtFileName]) : QString();
  const std::optional<QString> pattern =
      boxes_.inputText(QStringLiteral("ファイル名に含まれる文字（; で区切って複数指定、空欄で解除）"), current);
  if (!pattern) return;
  query.pattern[TQueryInfoRecord::qtFileName] = pattern->trimmed().toStdString();
  query.textOn[TQueryInfoRecord::qtFileName] = !pattern->trimmed().isEmpty();
  catalog->SetQuery(query, query.textOn[TQueryInfoRecord::qtFileName] || query.markOnly || query.moviesOnly);
  RefreshSoon();
}

void TMainActions::ChangeShootingDate() {
  std::vector<TCatalogItem*> items;
  for (TCatalogItem* item : Library().WorkItems())
    if (TFileCommands::Movable(item)) items.push_back(item);
  if (items.empty()) return;
  const double current = items.front()->ShootingDate();
  TEditExifDateFormSimple logic(items.size() == 1 ? 15 : 7, current);
  if (!boxes_.editDate(logic, current) || !logic.OkEnabled()) return;
  TExifDateProgressForm progress([this](const QString& text) { boxes_.error(text); }, &window_);
  progress.Run(items, logic.Flags(), logic.Target());
  ItemsChanged(items);
}

void TMainActions::CreateAlbum() {
  TAlbumList* albums = Library().Sources().albums;
  std::vector<TCatalogItem*> items;
  for (TCatalogItem* item : Library().WorkItems())
    if (item && !item->Unavailable()) items.push_back(item);
  if (!albums || items.empty()) return;
  const std::optional<QString> typed = boxes_.inputText(QStringLiteral("アルバム名"), QStringLiteral("新しいアルバム"));
  if (!typed) return;
  TCustomFolder* album = nullptr;
  try {
    std::string name = typed->trimmed().toStdString();
    album = OstraEngineCreateChild(files_->Model(), albums->Root(atAlbum), name);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.AcAlbumCreate", e);
    QApplication::beep();
    boxes_.error(Utf8(MessageOf(e)));
    return;
  }
  // Entries made by the user's commands carry the group 0.
  OstraAddItemsToAlbum(static_cast<TAlbum*>(album), &items, 0, true, true);
  if (Library().ViewerShown()) Library().CloseViewer();
  Library().ShowFolder(album);
}

void TMainActions::CopyImage() {
  TCatalogItem* item = Library().CurrentItem();
  if (!Printable(item)) return;
  QImageReader reader(Utf8(item->FullPath()));
  reader.setAutoTransform(true);
  const QImage image = reader.read();
  if (image.isNull()) {
    QApplication::beep();
    boxes_.error(QStringLiteral("写真を読み込めませんでした。\r\n\r\n") + Utf8(item->FullPath()));
    return;
  }
  QApplication::clipboard()->setImage(image);
}

void TMainActions::JumpToFolder() {
  TCatalogItem* item = Library().CurrentItem();
  if (!item || !item->Owner()) return;
  if (Library().ViewerShown()) Library().CloseViewer();
  Library().ShowFolder(item->Owner());
  Library().Catalog()->SelectItem(item);
}

void TMainActions::JumpToCalendar() {
  TCatalogItem* item = Library().CurrentItem();
  TCalendarRoot* calendar = Library().Sources().calendar;
  if (!item || !calendar || !item->DateKnown()) return;
  TCalendar* day = calendar->LeafFor(false, item->ShootingDate());
  if (!day) return;
  if (Library().ViewerShown()) Library().CloseViewer();
  Library().ShowFolder(day);
  Library().Catalog()->SelectItem(item);
}

void TMainActions::JumpToTag() {
  TCatalogItem* item = Library().CurrentItem();
  if (!item) return;
  const std::vector<TCustomFolder*> tags = item->Tags();
  if (tags.empty()) return;
  if (Library().ViewerShown()) Library().CloseViewer();
  Library().ShowFolder(tags.front());
  Library().Catalog()->SelectItem(item);
}

void TMainActions::ShowVersion() {
  const std::string version = FileVersion();
  boxes_.information(window_.windowTitle() + QStringLiteral("\r\nバージョン ") +
                     (version.empty() ? QStringLiteral("（不明）") : Utf8(version)));
}

void TMainActions::SetCompressionQuality() {
  if (!config_) return;
  const std::optional<int> quality =
      boxes_.inputNumber(QStringLiteral("JPEGの圧縮品質（1〜100）"), config_->JpegQuality(), 1, 100);
  if (!quality) return;
  config_->SetCompressionQuality(*quality);
}

void TMainActions::MovieTypes() {
  const std::optional<QString> typed = boxes_.inputText(
      QStringLiteral("動画として扱うファイルの拡張子（カンマ区切り、例: mp4,mts）"), Utf8(ReadSupportMovieTypeUser()));
  if (!typed) return;
  // Kept as the list is written: extensions without dots, separated by commas.
  QStringList types;
  for (const QString& given : typed->split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts)) {
    QString type = given.trimmed().toLower();
    while (type.startsWith('.')) type.remove(0, 1);
    const bool plain = !type.isEmpty() && std::all_of(type.begin(), type.end(), [](QChar c) {
      return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
    if (!plain) {
      QApplication::beep();
      boxes_.error(QStringLiteral("拡張子に使えない文字が含まれています。\r\n\r\n") + given);
      return;
    }
    if (!types.contains(type)) types << type;
  }
  WriteSupportMovieTypeUser(types.join(',').toStdString());
  boxes_.information(QStringLiteral("動画として扱うファイルの種類を変更しました。\r\n次回の起動から有効になります。"));
}

void TMainActions::UploaderSettings() {
  TUploaderOptionsForm form(UploaderOptions(), &window_);
  if (boxes_.run(form) != QDialog::Accepted) return;
  const TUploaderOptions options = form.Options();
  if (options == UploaderOptions()) return;
  try {
    SaveUploaderOptions(options);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.AcUploaderOption", e);
    QApplication::beep();
    boxes_.error(QStringLiteral("アップロードの設定を保存できませんでした。\r\n\r\n") +
                 QString::fromStdString(MessageOf(e)));
  }
}

void TMainActions::CacheSettings() {
  if (!config_) return;
  TCacheSettingsForm form(*config_, &window_);
  if (boxes_.run(form) != QDialog::Accepted) return;
  QApplication::beep();
  if (form.Apply()) {
    boxes_.information(TCacheSettingsForm::ChangedText());
  } else {
    boxes_.information(TCacheSettingsForm::UnchangedText());
  }
}

void TMainActions::SetOption(const char* name, bool on) {
  const QString option = QString::fromLatin1(name);
  if (option == "AcOptionDontCheckNetwork") {
    PlumoraErrorCommand().SetNetworkCheck(!on);
    if (config_) config_->SetDontCheckNetwork(on);
  } else if (option == "AcOptionUseBackgroundUpload") {
    if (config_) config_->SetUseBackgroundUpload(on);
  } else if (option == "AcNeedHiddenDirectory") {
    if (config_) config_->SetNeedHiddenDirectory(on);
    // The calendar follows at once: the updater makes a pass with the new rule.
    ::plb::SetIncludeHidden(on, true);
  } else if (option == "AcDebugShowAddrBar") {
    if (config_) config_->SetShowAddrBar(on);
    if (window_.CurrentPage() == 0) window_.WebHome()->SetAddressBarVisible(on);
  }
}

void TMainActions::SetMouseMode(int mode) {
  Library().Viewer()->SetMouseMode(static_cast<uint8_t>(mode));
  RefreshSoon();
}

void TMainActions::SetToolMode(int mode) {
  toolMode_ = mode;
  const bool panel = mode == tmInfo || mode == tmEffect || mode == tmTrimming;
  if (panel && infoPages_->isHidden()) {
    // The panel comes back as wide as the user left it.
    const int stored = config_ ? config_->ToolPanelW() : 0;
    const int width = stored >= kMinToolPanelWidth ? stored : kDefaultToolPanelWidth;
    QList<int> sizes = Library().sizes();
    if (sizes.size() >= 3) {
      const int room = sizes[1] + sizes[2];
      sizes[2] = std::min(width, std::max(kMinToolPanelWidth, room - kMinToolPanelWidth));
      sizes[1] = std::max(0, room - sizes[2]);
      infoPages_->show();
      Library().setSizes(sizes);
    }
  }
  if (panel) {
    infoPages_->setCurrentIndex(mode == tmEffect     ? TFrameInfoPages::kEffectPage
                                : mode == tmTrimming ? TFrameInfoPages::kTrimmingPage
                                                     : TFrameInfoPages::kInfoPage);
    infoPages_->ShowItem(Library().CurrentItem());
  }
  infoPages_->setVisible(panel);
  Refresh();
}

void TMainActions::UseSettings(TPlumoraConfigItem* config) {
  config_ = config;
  if (config_) PlumoraErrorCommand().SetNetworkCheck(!config_->DontCheckNetwork());
  Refresh();
}

// --- States ---

void TMainActions::RefreshSoon() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshPending_ = false;
    Refresh();
  });
}

void TMainActions::Refresh() {
  TLibraryPage& library = Library();
  TFrameCatalogDG* catalog = library.Catalog();
  const bool onLibrary = window_.CurrentPage() == 1;
  const bool viewer = onLibrary && library.ViewerShown();
  const bool uploading = window_.Dispatcher().Uploading();
  TCatalogItem* item = onLibrary ? library.CurrentItem() : nullptr;
  const std::vector<TCatalogItem*> work = onLibrary ? library.WorkItems() : std::vector<TCatalogItem*>{};
  const bool anyWork = !work.empty();
  const bool anyMovable =
      std::any_of(work.begin(), work.end(), [](TCatalogItem* i) { return TFileCommands::Movable(i); });
  const bool anyPrintable = std::any_of(work.begin(), work.end(), Printable);
  const bool anyShown = onLibrary && !catalog->ShownItems().empty();
  const bool anyMarked = anyShown && !MarkedItems().empty();
  TFolderTreePanel* subject = onLibrary ? FolderSubject() : nullptr;
  TCustomFolder* node = subject ? TFolderTreePanel::NodeOf(subject->currentItem()) : nullptr;
  TCustomFolder* panelNode = onLibrary ? TFolderTreePanel::NodeOf(library.CurrentPanel()->currentItem()) : nullptr;
  THistoryList* history = library.Sources().history;

  auto set = [this](const char* name, bool enabled) {
    if (QAction* action = Action(name)) action->setEnabled(enabled);
  };
  auto check = [this](const char* name, bool checked) {
    if (QAction* action = Action(name)) action->setChecked(checked);
  };

  // Files: the folder panel's node when it has the focus, else the photos.
  set("AcFileCreateNew", onLibrary && TFileCommands::CanHoldChildren(panelNode));
  set("AcFileRename", subject ? TFileCommands::Renamable(node) : TFileCommands::Movable(item));
  set("AcFileTrash", subject ? TFileCommands::Deletable(node) : anyMovable);
  set("AcFileDelete", onLibrary && TFileCommands::Deletable(panelNode));
  set("AcFileProperty", item != nullptr);
  set("AcFileChangeExifDate", anyMovable);
  set("AcFileSave", anyPrintable);
  set("AcFileExportFolder", !uploading && library.Sources().calendar != nullptr);
  set("AcFileClose", true);

  // The folder panel's file-system folder in or out of the calendar.
  TCustomFolder* folderNode = onLibrary ? TFolderTreePanel::NodeOf(library.FolderTree()->currentItem()) : nullptr;
  const bool fileFolder = folderNode && FolderClassOfKind(folderNode->Kind()) == kFolderClassFolder;
  set("AcFolderCalendarIn", fileFolder && folderNode->GetCalendarMode() != 1);
  set("AcFolderCalendarOut", fileFolder && folderNode->GetCalendarMode() != 2);
  set("AcFolderUpdateAbort", FileUpdaterRunning());

  // Edits: the photos of the page.
  set("AcEditCopyImage", Printable(item));
  set("AcEditCopy",
      subject ? TFileCommands::Renamable(node) && FolderClassOfKind(node->Kind()) == kFolderClassFolder : anyWork);
  set("AcEditMove",
      subject ? TFileCommands::Renamable(node) && FolderClassOfKind(node->Kind()) == kFolderClassFolder : anyMovable);
  for (const char* name :
       {"AcEditRotateL", "AcEditRotateR", "AcEditRotateNon", "AcEditMark", "AcEditMarkNo", "AcEditMarkChange"})
    set(name, anyWork);
  set("AcEditSelectAll", anyShown && !viewer);
  set("AcEditSelectMark", anyShown && !viewer);
  set("AcAlbumCreate", onLibrary && library.Sources().albums && !library.WorkItems().empty());
  for (const char* name :
       {"AcEditCopyMark", "AcEditMoveMark", "AcEditRotateLMark", "AcEditRotateRMark", "AcEditRotateNonMark"})
    set(name, anyMarked && !viewer);

  // The view.
  for (const char* name : {"AcShowFolder", "AcShowCalendar", "AcShowAlbum"}) set(name, !uploading || onLibrary);
  set("AcShowLocalSearch", onLibrary && !viewer);
  set("AcShowViewer", onLibrary && !viewer && catalog->CurrentItem() != nullptr);
  set("AcShowMain", viewer);
  // F6 leads away from what is shown.
  Action("AcShowViewer")->setShortcut(viewer ? QKeySequence() : QKeySequence(Qt::Key_F6));
  Action("AcShowMain")->setShortcut(viewer ? QKeySequence(Qt::Key_F6) : QKeySequence());
  for (size_t i = 0; i < std::size(kThumbnailSizes); ++i) {
    set(kSizeActions[i], onLibrary && !viewer);
    check(kSizeActions[i], catalog->ThumbnailSize() == kThumbnailSizes[i]);
  }
  for (const char* name : {"AcSortName", "AcSortExifDate", "AcSortUp", "AcSortDown", "AcShowAlwaysTitleRow",
                           "AcShowMarkOnly", "AcShowMovieOnly"})
    set(name, onLibrary && !viewer);
  check("AcSortName", catalog->SortKey() == skFileName);
  check("AcSortExifDate", catalog->SortKey() != skFileName);
  check("AcSortUp", catalog->Ascending());
  check("AcSortDown", !catalog->Ascending());
  check("AcShowAlwaysTitleRow", catalog->GroupByDay());
  check("AcShowMarkOnly", catalog->QueryOn() && catalog->Query().markOnly);
  check("AcShowMovieOnly", catalog->QueryOn() && catalog->Query().moviesOnly);
  set("AcShowUpdate", true);
  set("AcShowWWW", !uploading);
  check("AcShowWWW", window_.CurrentPage() == 0);

  // Jumps: the service page's history there, the folders shown on the library page.
  set("AcJumpHistoryPrev", onLibrary ? !history || history->CanGoBack() : true);
  set("AcJumpHistoryNext", onLibrary ? !history || history->CanGoForward() : true);
  set("AcJumpFolder", item && item->Owner() && catalog->CurrentFolder() != item->Owner());
  set("AcJumpCalendar", item && item->DateKnown() && library.Sources().calendar);
  set("AcJumpTag", item && !item->Tags().empty());

  // The viewer.
  for (const char* name : {"AcImagePrev", "AcImageNext", "AcImageOriginalSize", "AcImageFitWindow", "AcImageZoomIn",
                           "AcImageZoomOut", "AcImageUpdate"})
    set(name, viewer);
  set("AcImageFullScreen", onLibrary && (viewer || catalog->CurrentItem() != nullptr));
  check("AcImageFullScreen", library.ViewerFullScreen());
  check("AcImageOriginalSize", !library.Viewer()->Fitted());
  check("AcImageFitWindow", library.Viewer()->Fitted());
  for (int mode = 0; mode < 4; ++mode) {
    set(kMouseActions[mode], onLibrary);
    check(kMouseActions[mode], library.Viewer()->MouseMode() == mode);
  }
  set("AcImageMarkChange", item != nullptr);
  check("AcImageMarkChange", item && item->Mark());
  set("AcImageComment", item != nullptr);

  // Tools: the library page with a photo, or their own panel open.
  set("AcToolExifInfo", onLibrary && (item || toolMode_ == tmInfo));
  check("AcToolExifInfo", toolMode_ == tmInfo);
  set("AcToolEffect", onLibrary && (Printable(item) || toolMode_ == tmEffect));
  check("AcToolEffect", toolMode_ == tmEffect);
  set("AcToolTriming", onLibrary && (Printable(item) || toolMode_ == tmTrimming));
  check("AcToolTriming", toolMode_ == tmTrimming);
  set("AcImageAutoCont", anyPrintable);
  check("AcImageAutoCont", Printable(item) && EffectPanelChoiceOf(item->Color()).automatic);
  set("AcToolPrint", anyPrintable && !uploading);
  set("AcToolCollage", anyPrintable && !uploading);
  set("AcToolBootMessageAgent", true);
  check("AcOptionDontCheckNetwork", config_ ? config_->DontCheckNetwork() : false);
  check("AcOptionUseBackgroundUpload", config_ && config_->UseBackgroundUpload());
  check("AcNeedHiddenDirectory", config_ && config_->NeedHiddenDirectory());
  check("AcDebugShowAddrBar", config_ && config_->ShowAddrBar());
  check("AcDebugShowMainMenu", window_.menuBar()->isVisibleTo(&window_));
  for (const char* name : {"AcOptionDontCheckNetwork", "AcOptionUseBackgroundUpload", "AcOptionCompressionQuality",
                           "AcNeedHiddenDirectory", "AcDebugShowAddrBar", "AcToolUseFileCache"})
    set(name, config_ != nullptr);
  set("AcHelpShowVersion", true);
  set("AcHelpShow", HelpUrl().isValid());
  set("AcOptionMovieExt", true);
  // Not while an upload runs with the options in force.
  set("AcUploaderOption", !uploading);
}

// --- Keys ---

bool TMainActions::ShortcutPasses(int key, Qt::KeyboardModifiers modifiers) const {
  QWidget* focus = QApplication::focusWidget();
  // Typing a name or a comment: every key is the editor's.
  if (IsEditor(focus)) return false;
  // The service page keeps its keys but for Home and F5.
  if (window_.CurrentPage() == 0) return key == Qt::Key_Home || key == Qt::Key_F5;
  const bool plain = !(modifiers & (Qt::AltModifier | Qt::ControlModifier));
  // The arrows move through the grid and the trees, digits search in them; the viewer alone takes
  // them as commands.
  if (plain && IsViewerKey(key)) return focus == Library().Viewer();
  if (toolMode_ == tmPrint || toolMode_ == tmCollage) return key == Qt::Key_Escape || IsArrow(key) || key == Qt::Key_F6;
  return true;
}

bool TMainActions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == &window_) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (!ShortcutPasses(key->key(), key->modifiers())) {
        // Accepted here, the key goes to the focused widget instead of the window's shortcut.
        event->accept();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace plb::shell
