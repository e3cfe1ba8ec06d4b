#include "shell/web/frame_plumora_home.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "host/ascii_case.h"
#include "host/file_functions.h"
#include "host/log_file.h"
#include "host/version_info.h"
#include "shell/web/script_call.h"
#include "shell/web/web_view_release.h"

namespace plb::shell {

// The page of the web home: its navigations go through the frame's rules before they happen.
class TPlumoraWebPage : public QWebEnginePage {
 public:
  TPlumoraWebPage(TFramePlumoraHome* frame, QObject* parent) : QWebEnginePage(parent), frame_(frame) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame) override {
    return frame_->AcceptNavigation(url, main_frame);
  }

 private:
  TFramePlumoraHome* frame_;
};

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }

// The address exactly as navigated: percent sequences stay as the page wrote them, so the command
// parser decodes each value once.
std::string EncodedUrl(const QUrl& url) { return url.toEncoded().toStdString(); }

QString Origin(const QUrl& url) {
  if (!url.isValid() || url.scheme().isEmpty()) return QString();
  return url.scheme().toLower() + "://" + url.host().toLower() + ":" + QString::number(url.port(-1));
}

}  // namespace

TFramePlumoraHome::TFramePlumoraHome(QWidget* parent)
    : QWidget(parent), version_(FileVersion()), alive_(std::make_shared<bool>(true)) {
  setObjectName("TFramePlumoraHome");
  setWindowTitle("Plumora Home");
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  address_bar_ = new QWidget(this);
  auto* bar = new QHBoxLayout(address_bar_);
  bar->setContentsMargins(2, 2, 2, 2);
  address_ = new QComboBox(address_bar_);
  address_->setEditable(true);
  address_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  auto* show = new QPushButton(QStringLiteral("表示"), address_bar_);
  bar->addWidget(address_);
  bar->addWidget(show);
  connect(show, &QPushButton::clicked, this, [this] {
    try {
      Navigate(Utf8(address_->currentText()));
    } catch (const std::exception& e) {
      LogException("TFramePlumoraHome.AddressBar", e);
    }
  });
  address_bar_->hide();
  layout_->addWidget(address_bar_);
  opener_ = [](const std::string& url) { return ShellOpen(url); };
  CreateView();
}

TFramePlumoraHome::~TFramePlumoraHome() { *alive_ = false; }

void TFramePlumoraHome::CreateView() {
  view_ = new QWebEngineView(this);
  auto* page = new TPlumoraWebPage(this, view_);
  // Every navigation, whatever its scheme and whether a user started it, goes through the
  // navigation rules first: they take wake-up addresses and cancel every other scheme that is not
  // the web's, so nothing reaches the desktop's scheme handlers from here.
  page->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
  view_->setPage(page);
  view_->setAcceptDrops(false);
  connect(page, &QWebEnginePage::loadingChanged, this, &TFramePlumoraHome::OnLoadingChanged);
  connect(page, &QWebEnginePage::newWindowRequested, this, &TFramePlumoraHome::OnNewWindow);
  connect(page, &QWebEnginePage::urlChanged, this, &TFramePlumoraHome::UpdateHistoryStates);
  // A page's window.close() is ignored: the window belongs to the program.
  layout_->addWidget(view_, 1);
  view_->setUrl(QUrl("about:blank"));
}

void TFramePlumoraHome::Start() { active_ = true; }

void TFramePlumoraHome::Stop() {
  active_ = false;
  try {
    ReleaseWebView(view_);
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.CleanupIEComponent", e);
  }
}

bool TFramePlumoraHome::IsServiceOrigin(const QUrl& url) const {
  const QString origin = Origin(url);
  if (origin.isEmpty()) return false;
  for (const std::string& known : {home_url_, service_url_}) {
    if (!known.empty() && Origin(QUrl(QString::fromStdString(known))) == origin) return true;
  }
  return false;
}

bool TFramePlumoraHome::AcceptNavigation(const QUrl& url, bool main_frame) {
  const std::string text = EncodedUrl(url);
  try {
    const TNavigationDecision decision = ClassifyNavigation(text, main_frame, IsServiceOrigin(url));
    switch (decision.kind) {
      case TNavigationKind::kWakeup:
      case TNavigationKind::kCommand:
        if (active_ && !decision.command.empty()) emit commandReceived(decision.command);
        break;
      case TNavigationKind::kTopLevel:
        last_url_ = text;
        if (const auto id = sessions_.Report(text); id && active_) emit sessionIdChanged(*id);
        if (address_bar_->isVisible()) AddToAddressBar(url.toString());
        break;
      case TNavigationKind::kOther:
        break;
      case TNavigationKind::kRefused:
        WriteLog("TFramePlumoraHome.BeforeNavigate2( " + text + " ) is refused: not a web address");
        break;
    }
    return decision.accept;
  } catch (const std::exception& e) {
    // Whatever the page sends, the window shows no error for it.
    LogException("TFramePlumoraHome.BeforeNavigate2( " + text + " )", e);
    return false;
  }
}

void TFramePlumoraHome::AddToAddressBar(const QString& url) {
  address_->insertItem(0, url);
  address_->setCurrentIndex(0);
}

void TFramePlumoraHome::SetAddressBarVisible(bool visible) { address_bar_->setVisible(visible); }

void TFramePlumoraHome::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    emit commandStateChanged(2, false);
    return;
  }
  emit commandStateChanged(2, true);
  UpdateHistoryStates();
  if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || !navigate_error_) return;
  const std::string home = EncodedUrl(QUrl::fromEncoded(QByteArray::fromStdString(home_url_)));
  if (!AsciiEqualsNoCase(EncodedUrl(info.url()), home)) return;
  // One report per installation: the owner shows its own page instead of the browser's.
  const std::function<void(int)> handler = std::move(navigate_error_);
  navigate_error_ = nullptr;
  view_->setUrl(QUrl("about:blank"));
  handler(info.errorCode());
}

void TFramePlumoraHome::UpdateHistoryStates() {
  QWebEngineHistory* history = view_->history();
  const bool back = history->canGoBack();
  const bool forward = history->canGoForward();
  if (forward != can_forward_) emit commandStateChanged(1, can_forward_ = forward);
  if (back != can_back_) emit commandStateChanged(0, can_back_ = back);
}

void TFramePlumoraHome::OnNewWindow(QWebEngineNewWindowRequest& request) {
  // The page's pop-up opens in the desktop browser, without the embedded session; the request is
  // left unanswered, so no window of the program opens.
  OpenInDesktopBrowser(EncodedUrl(request.requestedUrl()));
}

bool TFramePlumoraHome::OpenInDesktopBrowser(const std::string& url) {
  if (!IsDesktopBrowserUrl(url)) {
    WriteLog("TFramePlumoraHome.OpenInDesktopBrowser( " + url + " ) is refused: only http and https open outside");
    return false;
  }
  return opener_ && opener_(url);
}

void TFramePlumoraHome::Navigate(const std::string& url) {
  if (IsScriptAddress(url)) {
    DoScript(url.substr(std::string_view("javascript:").size()));
    return;
  }
  try {
    const std::string target = WithVersionQuery(url, version_);
    if (home_url_.empty() && !url.empty()) home_url_ = target;
    const QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(target));
    if (address == view_->url()) {
      // The same address again: fetched anew, without a second history entry.
      view_->page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    } else {
      view_->setUrl(address);
    }
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.SetPreviewUrl( " + url + " )", e);
  }
}

void TFramePlumoraHome::LoadExact(const std::string& url) {
  if (home_url_.empty() && !url.empty()) home_url_ = url;
  const QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(url.empty() ? "about:blank" : url));
  if (address == view_->url()) {
    view_->page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
  } else {
    view_->setUrl(address);
  }
}

void TFramePlumoraHome::RemakePage(const std::string& url) {
  try {
    const bool was_active = active_;
    Stop();
    delete view_;
    can_back_ = can_forward_ = false;
    CreateView();
    active_ = was_active;
    Start();
    Navigate(url);
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.RemakePage", e);
  }
}

void TFramePlumoraHome::Back() { view_->back(); }
void TFramePlumoraHome::Forward() { view_->forward(); }
void TFramePlumoraHome::Refresh() { view_->reload(); }

std::string TFramePlumoraHome::Location() const {
  const QUrl url = view_ ? view_->url() : QUrl();
  return url.isValid() ? EncodedUrl(url) : "Error";
}

void TFramePlumoraHome::SetServiceUrl(const std::string& url) { service_url_ = url; }

std::optional<QVariant> TFramePlumoraHome::RunAndWait(const std::string& script, int timeout_ms) {
  struct Wait {
    QEventLoop loop;
    std::optional<QVariant> answer;
  };
  auto wait = std::make_shared<Wait>();
  std::weak_ptr<Wait> weak = wait;
  view_->page()->runJavaScript(QString::fromStdString(script), [weak](const QVariant& answer) {
    if (auto w = weak.lock()) {
      w->answer = answer;
      w->loop.quit();
    }
  });
  if (!wait->answer) {
    QTimer::singleShot(timeout_ms, &wait->loop, &QEventLoop::quit);
    wait->loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return wait->answer;
}

bool TFramePlumoraHome::HasScriptFunction(const std::string& name, int timeout_ms) {
  if (!IsScriptFunctionName(name)) return false;
  try {
    const auto answer = RunAndWait(ScriptCallText(name, {}, false), timeout_ms);
    return answer && answer->typeId() == QMetaType::Bool && answer->toBool();
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.CheckJavaScript( " + name + " )", e);
    return false;
  }
}

bool TFramePlumoraHome::DoScriptEx(const std::string& name, const std::vector<std::string>& args, int timeout_ms) {
  if (!active_) return false;
  if (!IsScriptFunctionName(name)) {
    WriteLog("TFramePlumoraHome.DoScriptEx( " + name + " ) is refused: not a function name");
    return false;
  }
  const auto answer = RunAndWait(ScriptCallText(name, args, true), timeout_ms);
  if (!answer) {
    WriteLog("TFramePlumoraHome.DoScriptEx( " + name + " ): the page did not answer");
    return false;
  }
  if (answer->typeId() == QMetaType::QString)
    WriteLog("TFramePlumoraHome.DoScriptEx( " + name + " ): " + Utf8(answer->toString()));
  return answer->typeId() == QMetaType::Bool && answer->toBool();
}

void TFramePlumoraHome::PostScript(const std::string& name, const std::vector<std::string>& args,
                                   std::function<void(bool)> done) {
  if (!active_ || !IsScriptFunctionName(name)) {
    if (active_) WriteLog("TFramePlumoraHome.DoScriptEx( " + name + " ) is refused: not a function name");
    if (done) done(false);
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  view_->page()->runJavaScript(QString::fromStdString(ScriptCallText(name, args, true)),
                               [alive, name, done = std::move(done)](const QVariant& answer) {
                                 if (alive.expired()) return;
                                 if (answer.typeId() == QMetaType::QString)
                                   WriteLog("TFramePlumoraHome.DoScriptEx( " + name + " ): " +
                                            Utf8(answer.toString()));
                                 if (done) done(answer.typeId() == QMetaType::Bool && answer.toBool());
                               });
}

void TFramePlumoraHome::DoScript(const std::string& text) {
  const std::string name = ScriptFunctionNameOf(text);
  const std::optional<TScriptCallText> call = ParseScriptCallText(text);
  if (!call) {
    // Only a call of a page function with literal arguments runs: anything else could be any code
    // that an address handed to the program carried.
    throw EFramePlumoraHomeError("JavaScript: " + text + " は関数の呼び出しではありません。");
  }
  if (!HasScriptFunction(call->name)) throw EFramePlumoraHomeError("JavaScript: " + name + " が定義されていません。");
  const auto answer = RunAndWait(ScriptCallText(*call), kScriptWaitMs);
  if (answer && answer->typeId() == QMetaType::QString) {
    throw EFramePlumoraHomeError("EFramePlumoraHomeError raised in TFramePlumoraHome.DoScript (" +
                                 Utf8(answer->toString()) + ")");
  }
}

void TFramePlumoraHome::CallScript(const std::string& name, const std::vector<std::string>& args) {
  if (!DoScriptEx(name, args)) {
    throw EFramePlumoraHomeError("EFramePlumoraHomeError raised in TFramePlumoraHome.CallJavaScript (" + name +
                                 " was not called)");
  }
}

void TFramePlumoraHome::SetPageMode(int page, int source) {
  page_index_ = page;
  PostScript("changedPlumoraBrowserTab", {std::string(PageModeName(page)), std::string(PageModeSource(source))});
}

bool TFramePlumoraHome::AskClose() {
  return DoScriptEx("closingPlumoraBrowser", {""});
}

void TFramePlumoraHome::SendUploadProgress(int percent) {
  PostScript("changedUploadProgress", {std::to_string(percent)});
}

void TFramePlumoraHome::RunPageCalls(const std::vector<TPageCall>& calls) {
  for (const TPageCall& call : calls) PostScript(call.function, call.args);
}

void TFramePlumoraHome::DoActiveXCommand(const std::string& command) {
  try {
    RunPageCalls(RunServiceToolCommand(command, Location(), tool_factory_));
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.DoActiveXCommand", e);
  }
}

void TFramePlumoraHome::DoGetMailAddress(const std::string& command) {
  try {
    RunPageCalls(RunMailAddressCommand(command, address_book_));
  } catch (const std::exception& e) {
    LogException("TFramePlumoraHome.DoGetMailAddress", e);
  }
}

void TFramePlumoraHome::WakeupIECommand(const std::string& command) {
  const std::string url = WakeupBrowserUrl(command);
  if (!url.empty()) OpenInDesktopBrowser(url);
}

}  // namespace plb::shell
