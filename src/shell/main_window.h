#pragma once
// The application's only main window. It is the single place where commands from every source
// are queued (TCommandDispatcher) and carried out; a second start of the program hands its
// command text here. It shows either the service page (the web home) or the library page.
#include <QMainWindow>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "shell/main/command_targets.h"

class QPlainTextEdit;
class QSplitter;
class QStackedWidget;

namespace plb {
class TPlumoraConfigItem;
class TPlumoraUploader;
}  // namespace plb

namespace plb::shell {

class TCommandDispatcher;
class TLibraryPage;
class TPageTabs;
class TMainActions;
class TFramePlumoraHome;
class TFrameBgmLibrary;
class TServiceDialogForm;
class TFramePlumoraTray;
class TTrayActions;

class TPlumoraMain2 : public QMainWindow, public TCommandTargets {
  Q_OBJECT
 public:
  explicit TPlumoraMain2(const QString& title, QWidget* parent = nullptr);
  ~TPlumoraMain2() override;

  // The only way a command gets in; source is the object that produced the text, or null.
  void EnqueueCommand(const std::string& text, QObject* source = nullptr);
  TCommandDispatcher& Dispatcher() const { return *dispatcher_; }

  bool Active() const;

  // The photo browser: folder, calendar and tag trees, the catalog grid and the viewer.
  TLibraryPage* Library() const { return library_; }
  // The title area's page tabs.
  TPageTabs* Tabs() const { return tabs_; }
  // The menus' and tool bar's commands and their states.
  TMainActions* Actions() const { return actions_; }

  // The service page: the web home, made on first use. Its page's commands and session ids are
  // queued here (source: the web home); calls into the page (upload progress, the tab) go
  // through it.
  TFramePlumoraHome* WebHome();
  // The music page (page 2): songs for the photo book the service's page named; made on first use.
  TFrameBgmLibrary* MusicPage();
  TServiceDialogForm* WebDialog() const { return web_dialog_; }

  // The configuration the window's placement, panels, sort and sizes are kept in: restored at
  // once, written back when the window closes (the engine saves the configuration at its stop).
  void UseSettings(TPlumoraConfigItem* config);

  // The tray's upload session: while it runs commands wait, pages stay, and closing asks first.
  void UploadStarted(TPlumoraUploader* session);
  // The session's end (on the UI thread); on success the result command is queued.
  void UploadEnded(bool success, const std::string& result_command);
  // The tray asks for the service's default page.
  void RequestServicePage();
  // The upload's progress on the service page.
  void UploadProgress(int percent);
  // How the window asks the user a yes/no question (replaceable for tests); true for yes.
  void SetQuestionBox(std::function<bool(const QString& text)> ask) { ask_ = std::move(ask); }

  // Restores the window when minimised and brings it to the front (a second start asks this).
  void BringToFront() override;

  // --- Command targets ---
  void CallAx(const std::string& text) override;
  void GetMailAddress(const std::string& text) override;
  void StartMessageAgent() override;
  void CallJsFunc(const std::string& container, const std::string& name, const std::string& arg) override;
  void WakeupIE(const std::string& text) override;
  void CancelUpload() override;
  void CloseWebDialog() override;
  bool ReloadAppInfo() override;
  int CurrentPage() const override;
  void ShowPage(int page, int kind) override;
  void Navigate(const std::string& url) override;
  void RemakePage(const std::string& url) override;
  void OpenWebDialog(const std::string& url, int width, int height) override;
  std::string RunBgmDialog(const std::string& session_id, const std::string& book_id) override;
  void LeaveTools() override;
  void CloseWindow() override { close(); }
  void SetRestartFlag() override { emit restartRequested(); }
  // The update check with its splash, as the start sequence runs it; true when an update waits
  // to be installed and the window is to close for it.
  void SetUpdateCheck(std::function<bool()> check) { update_check_ = std::move(check); }
  bool UpdateCheck() override { return update_check_ ? update_check_() : TCommandTargets::UpdateCheck(); }
  void CommandProcessed(const std::string& text, TCommandSource source) override;
  void ApplyDisplay(const TPlumoraApiParamValues& values) override;
  // The log panel at the bottom ("displogwindow"), or null while it was never shown.
  QWidget* LogPanel() const;

  // --- The tray ---
  // The tray panel below the library (its grid exists once the window has been shown).
  TFramePlumoraTray* Tray() const { return tray_; }
  TTrayActions* TrayActions() const { return tray_actions_; }
  int TrayMode() const override;
  void ConfigureTray(const TPlumoraApiParamValues& values, int tray_mode) override;
  void StartTrayUpload() override;
  void SetCatalogUploadMode(bool on) override;
  void RefreshActions() override;

  // The text asked when closing during an upload and the parameter store has none.
  static const QString kUploadingCloseQuestion;

 signals:
  void commandQueued(const QString& text);
  // "更新" on the library page: list the catalog again and ask the updater for a pass.
  void updateRequested();
  // The history's back and forward on the library page.
  void historyRequested(int step);
  // The restart command: the start sequence starts the program again after the window closed.
  void restartRequested();
  // The page shown changed (0 service, 1 library).
  void pageChanged(int page);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Folders from a file manager join the calendar.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ApplyMinimumSize();
  void CreateActions();
  void ShowFirstPage();
  bool Ask(const QString& text);
  // The close query's decision; true when the window may close now.
  bool MayClose();

  void NavigationFailed();

  QSplitter* body_ = nullptr;
  TPageTabs* tabs_ = nullptr;
  QPlainTextEdit* log_panel_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  TLibraryPage* library_ = nullptr;
  TMainActions* actions_ = nullptr;
  // The library page with the tray panel below it.
  QSplitter* library_side_ = nullptr;
  TFramePlumoraTray* tray_ = nullptr;
  TTrayActions* tray_actions_ = nullptr;
  void CreateTray();
  void StartTray();
  void ApplyTrayDisplay(const TPlumoraApiParamValues& values);
  TFramePlumoraHome* web_home_ = nullptr;
  TFrameBgmLibrary* music_ = nullptr;
  TServiceDialogForm* web_dialog_ = nullptr;
  std::unique_ptr<TCommandDispatcher> dispatcher_;
  TPlumoraConfigItem* config_ = nullptr;
  TPlumoraUploader* upload_ = nullptr;
  // Yes to the close question during an upload: the window closes when the upload has ended.
  bool close_after_upload_ = false;
  bool shown_once_ = false;
  std::function<bool(const QString&)> ask_;
  std::function<bool()> update_check_;
};

}  // namespace plb::shell
