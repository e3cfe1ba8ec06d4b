#pragma once
// The web home: the service's pages inside the program, and the bridge between them and the
// main window. The page commands the program by navigating its hidden "plb_command" frame to an
// address whose query is a command CSV, or by opening a "plumorabrowser://wakeup/?" address:
// both navigations are cancelled and the command is handed on through commandReceived, parsed
// by the one command parser of the service layer. The program reaches the page by calling its
// functions, every argument an escaped string literal (script_call.h).
#include <QVariant>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "shell/web/page_services.h"
#include "shell/web/web_home_rules.h"

class QComboBox;
class QUrl;
class QVBoxLayout;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineView;

namespace plb::shell {

PLB_DECLARE_ERROR(EFramePlumoraHomeError, Error);

class TPlumoraWebPage;

class TFramePlumoraHome : public QWidget {
  Q_OBJECT
 public:
  explicit TFramePlumoraHome(QWidget* parent = nullptr);
  ~TFramePlumoraHome() override;

  // Started by the owner; while stopped nothing is handed on and no script runs.
  void Start();
  // Stops: leaves the page for about:blank and waits a little for it to settle.
  void Stop();
  bool Active() const { return active_; }

  // Navigates to url with the program's version in its query (before any "#"); the first such
  // address is the home address, whose failure is reported once. A "javascript:" address is a
  // call of a page function (DoScript). The current address is reloaded from the network.
  // Raises EFramePlumoraHomeError only for a "javascript:" address that cannot be called.
  void Navigate(const std::string& url);
  // Shows url as it is, without the version query, always reloading from the network.
  void LoadExact(const std::string& url);
  // A fresh browser, then Navigate(url).
  void RemakePage(const std::string& url);
  void Back();
  void Forward();
  void Refresh();
  // The current address; "Error" when it cannot be read.
  std::string Location() const;
  const std::string& HomeUrl() const { return home_url_; }
  // Besides the home page's, the origin of this address (the service's base address) may command
  // the program through its frames.
  void SetServiceUrl(const std::string& url);

  // --- Calls into the page ---
  // Whether an inline script of the page mentions name (waits for the page, at most timeout_ms;
  // false on time-out).
  bool HasScriptFunction(const std::string& name, int timeout_ms = kScriptWaitMs);
  // Calls name(args...) when the page offers it and waits for the answer: true when it was called.
  // An invalid name, a missing function, a throwing function or a time-out give false (logged).
  bool DoScriptEx(const std::string& name, const std::vector<std::string>& args, int timeout_ms = kScriptWaitMs);
  // The same without waiting; done (optional) receives whether the function was called.
  void PostScript(const std::string& name, const std::vector<std::string>& args,
                  std::function<void(bool)> done = {});
  // A call written as text ("name('a', 1)"): raises EFramePlumoraHomeError when the page does not
  // define the function or the text is not a plain call with literal arguments.
  void DoScript(const std::string& text);
  // DoScriptEx that raises EFramePlumoraHomeError when the call could not be made.
  void CallScript(const std::string& name, const std::vector<std::string>& args);
  // Tells the page which page of the window is shown and why: changedPlumoraBrowserTab.
  void SetPageMode(int page, int source);
  int PageIndex() const { return page_index_; }
  // Asks the page whether it handles the close itself ("closingPlumoraBrowser" defined and
  // called); false when not, or when the page does not answer in time.
  bool AskClose();
  // The upload's progress on the page: changedUploadProgress('<percent>'), without waiting.
  void SendUploadProgress(int percent);

  // --- Services for the owner's commands ---
  void DoActiveXCommand(const std::string& command);
  void DoGetMailAddress(const std::string& command);
  // "wakeupie": the "url" item in the desktop browser (http and https only).
  void WakeupIECommand(const std::string& command);
  // Opens url in the desktop browser when it is http or https; false (logged) otherwise.
  bool OpenInDesktopBrowser(const std::string& url);

  // --- Hooks ---
  // Called once with the error code when the home address fails to load; cleared after the call.
  void SetNavigateErrorHandler(std::function<void(int code)> handler) { navigate_error_ = std::move(handler); }
  // What starts the desktop browser (by default xdg-open); only ever given http and https.
  void SetDesktopOpener(std::function<bool(const std::string&)> opener) { opener_ = std::move(opener); }
  void SetServiceToolFactory(TServiceToolFactory factory) { tool_factory_ = std::move(factory); }
  void SetAddressBook(TAddressBook book) { address_book_ = std::move(book); }
  // The debug address bar (hidden unless asked for).
  void SetAddressBarVisible(bool visible);

  QWebEngineView* View() const { return view_; }
  std::string LastSessionId() const { return sessions_.LastSessionId(); }

  static constexpr int kScriptWaitMs = 2000;

 signals:
  // A command from the page: the command CSV (the "plb_command" frame's query or a wake-up
  // address's items).
  void commandReceived(const std::string& command);
  // A new session id in a top-level address.
  void sessionIdChanged(const std::string& session_id);
  // index 0 back, 1 forward, 2 refresh.
  void commandStateChanged(int index, bool enabled);

 private:
  friend class TPlumoraWebPage;
  bool AcceptNavigation(const QUrl& url, bool main_frame);
  bool IsServiceOrigin(const QUrl& url) const;
  void CreateView();
  void OnLoadingChanged(const QWebEngineLoadingInfo& info);
  void OnNewWindow(QWebEngineNewWindowRequest& request);
  void UpdateHistoryStates();
  // Runs script and waits at most timeout_ms; the page's answer, or nothing.
  std::optional<QVariant> RunAndWait(const std::string& script, int timeout_ms);
  void RunPageCalls(const std::vector<TPageCall>& calls);
  void AddToAddressBar(const QString& url);

  QVBoxLayout* layout_ = nullptr;
  QWidget* address_bar_ = nullptr;
  QComboBox* address_ = nullptr;
  QWebEngineView* view_ = nullptr;
  bool active_ = false;
  std::string home_url_;
  std::string service_url_;
  std::string version_;
  std::string last_url_;
  int page_index_ = 0;
  bool can_back_ = false;
  bool can_forward_ = false;
  TSessionIdTracker sessions_;
  std::function<void(int)> navigate_error_;
  std::function<bool(const std::string&)> opener_;
  TServiceToolFactory tool_factory_;
  TAddressBook address_book_;
  // Shared with script callbacks that may outlive a wait.
  std::shared_ptr<bool> alive_;
};

}  // namespace plb::shell
