#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "host/log_file.h"
#include "shell/grid/frame_catalog_dg.h"
#include "engine/model/folder.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/library_page.h"
#include "service/logs/operation_log.h"
#include "service/logs/plb_log_item.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/check_app_info.h"
#include "service/upload/plumora_uploader.h"
#include "shell/main/command_dispatcher.h"
#include "shell/main/folder_drop.h"
#include "shell/main/main_actions.h"
#include "shell/main/page_tabs.h"
#include "shell/main/window_settings.h"
#include "shell/music/bgm_dialog_form.h"
#include "shell/music/frame_bgm_library.h"
#include "shell/web/frame_plumora_home.h"
#include "shell/web/service_dialog_form.h"
#include "shell/tray/frame_plumora_tray.h"
#include "shell/tray/tray_hand_over.h"
#include "shell/tray/tray_actions.h"

namespace plb::shell {
namespace {
constexpr int kDesignWidth = 1008;
constexpr int kDesignHeight = 731;
constexpr int kMinimumWidth = 1000;
constexpr int kMinimumHeight = 750;
constexpr int kLogPanelHeight = 100;
constexpr int kLogSplitterHeight = 4;
constexpr const char* kMessageAgentProgram = "PlumoraMessageCenter.exe";
}  // namespace

const QString TPlumoraMain2::kUploadingCloseQuestion =
    QStringLiteral("アップロード中です。\r\nアップロードを中止して終了してよろしいですか？");

TPlumoraMain2::TPlumoraMain2(const QString& title, QWidget* parent)
    : QMainWindow(parent), dispatcher_(std::make_unique<TCommandDispatcher>(*this, PlumoraApiParams())) {
  setObjectName("TPlumoraMain2");
  setWindowTitle(title);
  // The pages above the log panel, which is made when a command first asks for it.
  body_ = new QSplitter(Qt::Vertical, this);
  body_->setHandleWidth(kLogSplitterHeight);
  pages_ = new QStackedWidget(body_);
  library_side_ = new QSplitter(Qt::Vertical, pages_);
  library_ = new TLibraryPage(library_side_);
  pages_->addWidget(library_side_);
  body_->addWidget(pages_);
  body_->setStretchFactor(0, 1);
  // The title area's tabs above the pages.
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  tabs_ = new TPageTabs(central);
  column->addWidget(tabs_);
  column->addWidget(body_, 1);
  body_->setParent(central);
  setCentralWidget(central);
  connect(tabs_, &TPageTabs::pageRequested, this, [this](int page) {
    ShowPage(page, 0);
    tabs_->FollowPage(CurrentPage());  // a refused change leaves the tab where it was
  });
  connect(this, &TPlumoraMain2::pageChanged, tabs_, &TPageTabs::FollowPage);
  CreateActions();
  CreateTray();
  resize(kDesignWidth, kDesignHeight);
  ApplyMinimumSize();
  setAcceptDrops(true);
}

void TPlumoraMain2::dragEnterEvent(QDragEnterEvent* event) {
  if (library_->Sources().folders && !DroppedFolders(event->mimeData()).empty()) event->acceptProposedAction();
}

void TPlumoraMain2::dropEvent(QDropEvent* event) {
  TFolderTreeList* trees = library_->Sources().folders;
  const std::vector<std::string> folders = DroppedFolders(event->mimeData());
  if (!trees || folders.empty()) return;
  event->acceptProposedAction();
  const std::vector<TFolder*> added = AddDroppedFolders(*trees, folders);
  if (added.empty()) return;
  ShowPage(1, 0);
  library_->ShowPanel(0);
  library_->FolderTree()->SelectNode(added.front());
}

void TPlumoraMain2::CreateActions() {
  // The menus, the tool bar, the tool panel and the states of the commands.
  actions_ = new TMainActions(*this);
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

TPlumoraMain2::~TPlumoraMain2() = default;

bool TPlumoraMain2::Active() const { return dispatcher_->Active(); }

void TPlumoraMain2::EnqueueCommand(const std::string& text, QObject* source) {
  dispatcher_->Enqueue(text, source && source == web_home_ ? TCommandSource::kWebHome : TCommandSource::kNone);
  emit commandQueued(QString::fromStdString(text));
}

TFramePlumoraHome* TPlumoraMain2::WebHome() {
  if (web_home_) return web_home_;
  // Made when first needed: the browser engine is heavy and the library page works without it.
  web_home_ = new TFramePlumoraHome(pages_);
  pages_->insertWidget(0, web_home_);
  web_home_->SetServiceUrl(PlumoraApiParams().Snapshot().base_url);
  connect(web_home_, &TFramePlumoraHome::commandReceived, this, [this](const std::string& command) {
    dispatcher_->PageCommand(command);
    emit commandQueued(QString::fromStdString(command));
  });
  connect(web_home_, &TFramePlumoraHome::sessionIdChanged, this, [this](const std::string& id) {
    dispatcher_->SessionReport(id);
    emit commandQueued(QString::fromStdString("SessionIdChanged:" + id));
  });
  web_home_->SetNavigateErrorHandler([this](int) { NavigationFailed(); });
  web_home_->Start();
  return web_home_;
}

void TPlumoraMain2::UseSettings(TPlumoraConfigItem* config) {
  config_ = config;
  if (config_) RestoreWindowSettings(*this, *config_);
  actions_->UseSettings(config_);
}

void TPlumoraMain2::UploadStarted(TPlumoraUploader* session) {
  upload_ = session;
  dispatcher_->UploadStarted();
}

void TPlumoraMain2::UploadEnded(bool success, const std::string& result_command) {
  upload_ = nullptr;
  dispatcher_->UploadEnded(success, result_command);
  if (close_after_upload_) {
    close_after_upload_ = false;
    // The user already said yes: closed on the next turn as asked for, so the service page is
    // not asked again either.
    dispatcher_->RequestClose();
  }
}

void TPlumoraMain2::RequestServicePage() {
  const std::string home = web_home_ ? web_home_->HomeUrl() : std::string();
  dispatcher_->Enqueue(ServicePageCommand(home.empty() ? PlumoraApiParams().BaseUrl() : home), TCommandSource::kTray);
}

void TPlumoraMain2::UploadProgress(int percent) {
  if (web_home_) web_home_->SendUploadProgress(percent);
}

void TPlumoraMain2::NavigationFailed() {
  const std::string command = NavigationErrorCommand();
  if (command.empty()) {
    WriteLog("The service page failed to load and the service names no error page");
    return;
  }
  dispatcher_->Enqueue(command, TCommandSource::kWebHome);
}

void TPlumoraMain2::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

// --- Command targets ---

void TPlumoraMain2::CallAx(const std::string& text) { WebHome()->DoActiveXCommand(text); }

void TPlumoraMain2::GetMailAddress(const std::string& text) { WebHome()->DoGetMailAddress(text); }

void TPlumoraMain2::StartMessageAgent() {
  const std::string program =
      QCoreApplication::applicationDirPath().toStdString() + "/" + kMessageAgentProgram;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(program, ec)) {
    WriteLog(std::string("startmessageagent: ") + kMessageAgentProgram + " is not installed beside the program");
    return;
  }
  if (!QProcess::startDetached(QString::fromStdString(program), {})) WriteLog("startmessageagent: could not start " + program);
}

void TPlumoraMain2::CallJsFunc(const std::string& container, const std::string& name, const std::string& arg) {
  if (container == "main") {
    WebHome()->PostScript(name, {arg});
  } else if (container == "dialog") {
    if (web_dialog_ && web_dialog_->isVisible()) web_dialog_->Home()->PostScript(name, {arg});
  } else if (container == "plumorapreview") {
    tray_->CallPreviewScript(name, arg);
  } else {
    TCommandTargets::CallJsFunc(container, name, arg);
  }
}

void TPlumoraMain2::WakeupIE(const std::string& text) { WebHome()->WakeupIECommand(text); }

void TPlumoraMain2::CancelUpload() {
  if (tray_->Tray() && tray_->Tray()->IsUploading()) {
    tray_->Tray()->CancelUpload();
    return;
  }
  if (!upload_) {
    WriteLog("cancelupload: no upload is running");
    return;
  }
  upload_->Cancel();
}

void TPlumoraMain2::CloseWebDialog() {
  if (web_dialog_ && web_dialog_->isVisible()) web_dialog_->Close();
}

bool TPlumoraMain2::ReloadAppInfo() {
  try {
    return PLApi_CheckAppInfoEx(false);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.RenewAppInfo", e);
    return false;
  }
}

int TPlumoraMain2::CurrentPage() const {
  if (web_home_ && pages_->currentWidget() == web_home_) return 0;
  if (music_ && pages_->currentWidget() == music_) return 2;
  return 1;
}

TFrameBgmLibrary* TPlumoraMain2::MusicPage() {
  if (music_) return music_;
  music_ = new TFrameBgmLibrary(pages_);
  pages_->addWidget(music_);
  connect(music_, &TFrameBgmLibrary::backRequested, this, [this] { ShowPage(1, 0); });
  // The service names the book's page after taking the song: carried out like any command.
  connect(music_, &TFrameBgmLibrary::uploaded, this, [this](const QString& command) {
    if (!command.isEmpty()) EnqueueCommand(command.toStdString());
  });
  return music_;
}

std::string TPlumoraMain2::RunBgmDialog(const std::string& /*session_id*/, const std::string& book_id) {
  // The session is the one of the parameter store, which every request of the service reads.
  TBgmDialogForm dialog(book_id, this);
  dialog.exec();
  return dialog.NextCommand();
}

void TPlumoraMain2::ShowPage(int page, int kind) {
  if (page == CurrentPage()) return;
  if (dispatcher_->Uploading()) {
    // No page change while the tray uploads.
    QApplication::beep();
    return;
  }
  setUpdatesEnabled(false);
  if (page == 0) {
    pages_->setCurrentWidget(WebHome());
  } else if (page == 2) {
    MusicPage()->ShowFor(PlumoraApiParams().Snapshot().plumora_id);
    pages_->setCurrentWidget(music_);
  } else {
    pages_->setCurrentWidget(library_side_);
  }
  setUpdatesEnabled(true);
  if (tray_) tray_->SetTabName(page);
  if (web_home_) web_home_->SetPageMode(page, kind);
  PLBLogItem().PageShown(page);  // the usage report counts time per page
  WriteLog("Page shown: " + std::to_string(page));
  emit pageChanged(page);
}

void TPlumoraMain2::Navigate(const std::string& url) {
  TFramePlumoraHome* home = WebHome();
  std::string target = url;
  if (target.empty()) target = home->HomeUrl().empty() ? PlumoraApiParams().BaseUrl() : home->HomeUrl();
  if (target.empty()) {
    WriteLog("Navigate: the service has no default page");
    return;
  }
  home->Navigate(target);
}

void TPlumoraMain2::RemakePage(const std::string& url) { WebHome()->RemakePage(url); }

void TPlumoraMain2::OpenWebDialog(const std::string& url, int width, int height) {
  if (!web_dialog_) {
    web_dialog_ = new TServiceDialogForm(windowTitle(), this);
    // The dialog's page commands the program through the same filter as the web home's.
    connect(web_dialog_, &TServiceDialogForm::commandReceived, this,
            [this](const std::string& command) { dispatcher_->PageCommand(command); });
  }
  web_dialog_->Open(url, width, height, [this](int code) {
    WriteLog("The web dialog's page failed to load (" + std::to_string(code) + ")");
    dispatcher_->Enqueue("command=closedialog", TCommandSource::kProgram);
  });
}

void TPlumoraMain2::LeaveTools() {
  if (library_->ViewerShown()) library_->CloseViewer();
}

void TPlumoraMain2::CommandProcessed(const std::string& text, TCommandSource source) {
  DAL_AddCommandLog(text, source == TCommandSource::kWebHome ? "TFramePlumoraHome"
                          : source == TCommandSource::kTray  ? "TFramePlumoraTray"
                                                             : "TPlumoraMain2");
  if (log_panel_ && log_panel_->isVisible()) log_panel_->appendPlainText(QString::fromStdString(text));
  actions_->RefreshSoon();
}

void TPlumoraMain2::ApplyDisplay(const TPlumoraApiParamValues& values) {
  if (values.log_window_shown && !log_panel_) {
    log_panel_ = new QPlainTextEdit(body_);
    log_panel_->setObjectName("LogPanel");
    log_panel_->setReadOnly(true);
    log_panel_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_panel_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    body_->addWidget(log_panel_);
    body_->setStretchFactor(1, 0);
    body_->setSizes({std::max(0, body_->height() - kLogPanelHeight), kLogPanelHeight});
  }
  if (log_panel_) log_panel_->setVisible(values.log_window_shown);
  ApplyTrayDisplay(values);
  tabs_->ApplyFlags(values.tab_flags);
  // The side-by-side service page on the library page belongs to a part this window does not
  // have yet.
  if (values.main_page_shown) NotAvailable("ApplyDisplay", "dispmainpage");
}

QWidget* TPlumoraMain2::LogPanel() const { return log_panel_; }

// --- Showing and closing ---

void TPlumoraMain2::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  if (library_->ViewerShown()) library_->CloseViewer();
  dispatcher_->SetActive(true);
  StartTray();
  ShowFirstPage();
}

void TPlumoraMain2::ShowFirstPage() {
  const TPlumoraApiParamValues values = PlumoraApiParams().Snapshot();
  if (values.mode != pamDispPage && values.mode != pamStartPage) {
    WriteLog("Page shown first: 1");
    return;
  }
  ShowPage(0, 2);
  Navigate(values.page_url);
}

bool TPlumoraMain2::Ask(const QString& text) {
  QApplication::beep();
  if (ask_) return ask_(text);
  return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TPlumoraMain2::MayClose() {
  if (dispatcher_->Uploading()) {
    // Stopping now would free the albums the upload still writes: cancel it, and close when it
    // has ended.
    const std::string stored = PlumoraApiParams().Snapshot().uploading_message;
    const QString text = stored.empty() ? kUploadingCloseQuestion : QString::fromStdString(stored);
    if (!Ask(text)) return false;
    close_after_upload_ = true;
    CancelUpload();
    return false;
  }
  // The service page may want to confirm itself; it answers later with "mode=close".
  if (!dispatcher_->CloseRequested() && PlumoraApiParams().Mode() != pamClose && CurrentPage() == 0 && web_home_ &&
      web_home_->AskClose()) {
    return false;
  }
  return true;
}

void TPlumoraMain2::closeEvent(QCloseEvent* event) {
  if (!MayClose()) {
    event->ignore();
    return;
  }
  dispatcher_->SetActive(false);
  if (web_dialog_) web_dialog_->close();
  if (config_) SaveWindowSettings(*this, *config_);
  if (tray_) tray_->Stop();
  QMainWindow::closeEvent(event);
}

// --- The tray ---

void TPlumoraMain2::CreateTray() {
  tray_ = new TFramePlumoraTray(library_side_);
  library_side_->addWidget(library_);
  library_side_->addWidget(tray_);
  library_side_->setStretchFactor(0, 1);
  library_side_->setStretchFactor(1, 0);
  library_side_->setCollapsible(0, false);
  // The splitter above the tray is there only while the tray is.
  connect(tray_, &TFramePlumoraTray::shownChanged, this,
          [this](bool shown) { library_side_->setHandleWidth(shown ? kLogSplitterHeight : 0); });
  tray_actions_ = new TTrayActions(*this, *tray_);
}

void TPlumoraMain2::StartTray() {
  const TLibrarySources& sources = library_->Sources();
  if (!sources.albums) return;
  try {
    tray_->Start(*sources.albums, sources.cache, config_);
    tray_actions_->TrayStarted();
    dispatcher_->SetTrayShown(true);
    // Photos another program handed over on the command line wait in the tray. The document is
    // deleted once read; its content was kept at the start for a restart, which hands it on.
    const std::string handed = PlumoraApiParams().LocalParamFile();
    if (!handed.empty() && sources.folders) {
      TakeLocalParamFile(handed, *sources.folders, *tray_->Tray());
      PlumoraApiParams().SetLocalParamFile("");
    }
    const QList<int> sizes = library_side_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const int trayHeight = tray_->height();
    library_side_->setSizes({std::max(0, total - trayHeight), trayHeight});
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.StartTray", e);
  }
}

int TPlumoraMain2::TrayMode() const { return tray_->Tray() ? tray_->Tray()->TrayMode() : 0; }

void TPlumoraMain2::ConfigureTray(const TPlumoraApiParamValues& values, int tray_mode) {
  TTrayConfiguration c;
  c.book_id = values.plumora_id;
  c.preview_url = PlumoraApiParams().PreviewUrl();
  c.body_icon_width = values.body_icon_width;
  c.body_icon_height = values.body_icon_height;
  c.photo_count = values.photo_count;
  c.rest_count = values.rest_photo_count;
  c.tray_mode = tray_mode;
  c.bgm_res_id = values.bgm_res_uuid;
  tray_->Configure(c);
  tray_actions_->Refresh();
}

void TPlumoraMain2::StartTrayUpload() {
  if (!tray_->Tray()) {
    WriteLog("hiddencreateplumora: the tray has not started");
    return;
  }
  try {
    tray_->Tray()->StartHiddenUpload();
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.StartHiddenUpload", e);
  }
}

void TPlumoraMain2::ApplyTrayDisplay(const TPlumoraApiParamValues& values) {
  if (values.tray_request == 0) return;
  const bool enabled = ApplyTrayRequest(*tray_, values.tray_request, dispatcher_->TrayShown());
  if (enabled == dispatcher_->TrayShown()) return;
  dispatcher_->SetTrayShown(enabled);
  SetCatalogUploadMode(enabled && !dispatcher_->Uploading() && !values.session_id.empty() &&
                       (values.mode == pamCreatePlumora || values.mode == pamStartCreatePlumora));
}

void TPlumoraMain2::SetCatalogUploadMode(bool on) { tray_actions_->SetCatalogUploadMode(on); }

void TPlumoraMain2::RefreshActions() {
  actions_->RefreshSoon();
  tray_actions_->Refresh();
}

}  // namespace plb::shell
