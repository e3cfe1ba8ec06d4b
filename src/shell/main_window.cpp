#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>

#include "host/log_file.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "service/api/plumora_api_params.h"
#include "shell/output/output_actions.h"
#include "shell/web/frame_plumora_home.h"

namespace plb::shell {
namespace {
constexpr int kDesignWidth = 1008;
constexpr int kDesignHeight = 731;
constexpr int kMinimumWidth = 1000;
constexpr int kMinimumHeight = 750;
}  // namespace

TPlumoraMain2::TPlumoraMain2(const QString& title, QWidget* parent) : QMainWindow(parent) {
  setObjectName("TPlumoraMain2");
  setWindowTitle(title);
  pages_ = new QStackedWidget(this);
  library_ = new TLibraryPage(pages_);
  pages_->addWidget(library_);
  setCentralWidget(pages_);
  CreateActions();
  resize(kDesignWidth, kDesignHeight);
  ApplyMinimumSize();
}

void TPlumoraMain2::CreateActions() {
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key, auto slot) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!key.isEmpty()) action->setShortcut(key);
    connect(action, &QAction::triggered, this, slot);
    menu->addAction(action);
    addAction(action);
    return action;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
  AddOutputActions(this, file, library_);
  file->addSeparator();
  add(file, "AcFileClose", QStringLiteral("閉じる"), QKeySequence(), [this] { close(); });
  QMenu* view = menuBar()->addMenu(QStringLiteral("表示"));
  add(view, "AcShowFolder", QStringLiteral("フォルダを表示"), QKeySequence(Qt::Key_F3),
      [this] { library_->ShowPanel(0); });
  add(view, "AcShowCalendar", QStringLiteral("カレンダーを表示"), QKeySequence(Qt::Key_F4),
      [this] { library_->ShowPanel(1); });
  add(view, "AcShowAlbum", QStringLiteral("タグを表示"), QKeySequence(), [this] { library_->ShowPanel(2); });
  view->addSeparator();
  // F6 moves to whichever of the two is not shown.
  add(view, "AcShowViewer", QStringLiteral("写真の拡大表示"), QKeySequence(Qt::Key_F6), [this] {
    if (library_->ViewerShown()) {
      library_->CloseViewer();
    } else {
      library_->OpenViewer(library_->Catalog()->CurrentItem());
    }
  });
  add(view, "AcShowMain", QStringLiteral("写真一覧に戻る"), QKeySequence(), [this] { library_->CloseViewer(); });
  view->addSeparator();
  const struct {
    const char* name;
    int size;
  } sizes[] = {{"AcCsSmall2", 80}, {"AcCsSmall", 160}, {"AcCsMiddle", 240}, {"AcCsLarge", 360}, {"AcCsLarge2", 480}};
  for (const auto& s : sizes) {
    const int size = s.size;
    add(view, s.name, QStringLiteral("%1 x %1").arg(size), QKeySequence(),
        [this, size] { library_->Catalog()->SetThumbnailSize(size); });
  }
  view->addSeparator();
  QAction* grouping = add(view, "AcShowGroupByDate", QStringLiteral("撮影日ごとに表示"), QKeySequence(),
                          [this](bool on) { library_->Catalog()->SetGroupByDay(on); });
  grouping->setCheckable(true);
  connect(library_->Catalog(), &TFrameCatalogDG::groupingChanged, grouping, &QAction::setChecked);
  QActionGroup* sort = new QActionGroup(this);
  QAction* byName = add(view, "AcSortName", QStringLiteral("ファイル名"), QKeySequence(),
                        [this] { library_->Catalog()->SetSortOrder(skFileName, library_->Catalog()->Ascending()); });
  QAction* byDate = add(view, "AcSortExifDate", QStringLiteral("撮影日時"), QKeySequence(), [this] {
    library_->Catalog()->SetSortOrder(skShootingDate, library_->Catalog()->Ascending());
  });
  view->addSeparator();
  QAction* up = add(view, "AcSortUp", QStringLiteral("昇順で整列"), QKeySequence(),
                    [this] { library_->Catalog()->SetSortOrder(library_->Catalog()->SortKey(), true); });
  QAction* down = add(view, "AcSortDown", QStringLiteral("降順で整列"), QKeySequence(),
                      [this] { library_->Catalog()->SetSortOrder(library_->Catalog()->SortKey(), false); });
  QActionGroup* direction = new QActionGroup(this);
  for (QAction* a : {byName, byDate}) {
    a->setCheckable(true);
    sort->addAction(a);
  }
  for (QAction* a : {up, down}) {
    a->setCheckable(true);
    direction->addAction(a);
  }
  connect(library_->Catalog(), &TFrameCatalogDG::sortOrderChanged, this,
          [byName, byDate, up, down](int key, bool ascending) {
            (key == skFileName ? byName : byDate)->setChecked(true);
            (ascending ? up : down)->setChecked(true);
          });
  view->addSeparator();
  add(view, "AcJumpHistoryPrev", QStringLiteral("戻る"), QKeySequence(Qt::ALT | Qt::Key_Left),
      [this] { emit historyRequested(-1); });
  add(view, "AcJumpHistoryNext", QStringLiteral("進む"), QKeySequence(Qt::ALT | Qt::Key_Right),
      [this] { emit historyRequested(1); });
  view->addSeparator();
  add(view, "AcShowUpdate", QStringLiteral("更新"), QKeySequence(Qt::Key_F5), [this] { emit updateRequested(); });
}

void TPlumoraMain2::ApplyMinimumSize() {
  QSize minimum(kMinimumWidth, kMinimumHeight);
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    minimum = minimum.boundedTo(area.size());
    // A work area smaller than the window: the window takes the whole screen at its origin.
    if (area.width() < width() || area.height() < height()) setGeometry(area);
  }
  setMinimumSize(minimum);
}

void TPlumoraMain2::EnqueueCommand(const std::string& text, QObject*) {
  WriteLog("EnqueueCommand( " + text + " )");
  command_queue_.push_back(text);
  emit commandQueued(QString::fromStdString(text));
}

TFramePlumoraHome* TPlumoraMain2::WebHome() {
  if (web_home_) return web_home_;
  // Made when first needed: the browser engine is heavy and the library page works without it.
  web_home_ = new TFramePlumoraHome(pages_);
  pages_->insertWidget(0, web_home_);
  web_home_->SetServiceUrl(PlumoraApiParams().Snapshot().base_url);
  connect(web_home_, &TFramePlumoraHome::commandReceived, this,
          [this](const std::string& command) { EnqueueCommand(command, web_home_); });
  connect(web_home_, &TFramePlumoraHome::sessionIdChanged, this,
          [this](const std::string& id) { EnqueueCommand("SessionIdChanged:" + id, web_home_); });
  web_home_->Start();
  return web_home_;
}

void TPlumoraMain2::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TPlumoraMain2::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  active_ = true;
}

void TPlumoraMain2::closeEvent(QCloseEvent* event) {
  active_ = false;
  QMainWindow::closeEvent(event);
}

}  // namespace plb::shell
