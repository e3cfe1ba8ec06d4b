#include "shell/main/command_dispatcher.h"

#include <QMetaObject>
#include <array>
#include <exception>
#include <string_view>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/error_command.h"
#include "service/commands/command_csv.h"

namespace plb::shell {
namespace {

// A page command holding one of these words acts again when the page sends it twice.
constexpr std::array<std::string_view, 9> kStartWords = {
    "startcreateplumora", "startappendplumora", "startchangejacket", "startchangelabel", "startchangebodyicon",
    "remakepage",         "getmailaddress",     "startmessageagent", "startmybgm"};

constexpr std::string_view kSessionPrefix = "SessionIdChanged:";

bool HasStartWord(const std::string& text) {
  const std::string lower = AsciiLowered(text);
  for (std::string_view word : kStartWords) {
    if (lower.find(word) != std::string::npos) return true;
  }
  return false;
}

// Source kind of a page change: 1 for the web home, 2 for every other command.
int KindOf(TCommandSource source) { return source == TCommandSource::kWebHome ? 1 : 2; }

}  // namespace

std::string NavigationErrorCommand() {
  const TPlumoraErrorCommand& table = PlumoraErrorCommand();
  std::string command = table.NetworkCheck() ? table.LookupLastFailure() : std::string();
  if (command.empty()) command = table.Lookup("networkError", "");
  return command;
}

std::string ServicePageCommand(const std::string& url) {
  return QuoteCSVItem("mode=disppage") + "," + QuoteCSVItem("url=" + url);
}

TCommandDispatcher::TCommandDispatcher(TCommandTargets& targets, TPlumoraApiParams& params, QObject* parent)
    : QObject(parent), targets_(targets), params_(params) {
  session_counter_ = 0;
}

bool TCommandDispatcher::HasKeyword(const std::string& text, const std::string& keyword) {
  // The values of the items, not a search of the whole text: a page address holding
  // "editmode=cancelupload" in its query is not a cancel.
  const std::vector<std::string> items = ParseCommandCSV(text);
  for (std::string_view name : {std::string_view("command"), std::string_view("mode")}) {
    const std::optional<std::string> value = FindItem(items, name);
    if (value && AsciiEqualsNoCase(*value, keyword)) return true;
  }
  return false;
}

void TCommandDispatcher::Enqueue(const std::string& text, TCommandSource source) {
  WriteLog("EnqueueCommand( " + text + " )");
  queue_.push_back({text, source});
  Arm();
}

void TCommandDispatcher::PageCommand(const std::string& text) {
  if (text == last_tray_command_ && !HasStartWord(text)) {
    WriteLog("The page sent the same command again; ignored: " + text);
    return;
  }
  last_tray_command_ = text;
  Enqueue(text, TCommandSource::kWebHome);
}

void TCommandDispatcher::SessionReport(const std::string& session_id) {
  if (session_id == last_session_id_) return;
  last_session_id_ = session_id;
  Enqueue(std::string(kSessionPrefix) + session_id, TCommandSource::kWebHome);
}

void TCommandDispatcher::SetActive(bool active) {
  active_ = active;
  Arm();
}

void TCommandDispatcher::UploadStarted() {
  uploading_ = true;
  WriteLog("Upload started; commands wait for its end");
}

void TCommandDispatcher::UploadEnded(bool success, const std::string& result_command) {
  uploading_ = false;
  // The same page command may start the next upload.
  last_tray_command_.clear();
  WriteLog(success ? "Upload ended" : "Upload ended without success");
  if (success && !result_command.empty()) Enqueue(result_command, TCommandSource::kTray);
  Arm();
}

void TCommandDispatcher::RequestClose() {
  close_requested_ = true;
  close_pending_ = true;
  Arm();
}

bool TCommandDispatcher::HasWork() const {
  if (!active_ || restart_) return false;
  if (close_pending_ || bgm_pending_) return true;
  if (queue_.empty()) return false;
  if (!uploading_) return true;
  for (const Entry& entry : queue_) {
    if (HasKeyword(entry.text, "cancelupload")) return true;
  }
  return false;
}

void TCommandDispatcher::Arm() {
  if (armed_ || in_step_ || !HasWork()) return;
  armed_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        armed_ = false;
        Step();
      },
      Qt::QueuedConnection);
}

void TCommandDispatcher::Step() {
  // A nested event loop inside a handler: the outer step asks for the next turn when it ends.
  if (in_step_ || !HasWork()) return;
  in_step_ = true;
  ++steps_;
  try {
    if (close_pending_) {
      // Once per request: a refused close does not come back every turn.
      close_pending_ = false;
      targets_.CloseWindow();
    } else if (bgm_pending_) {
      bgm_pending_ = false;
      const std::string command = targets_.RunBgmDialog(params_.SessionId(), bgm_book_id_);
      if (!command.empty()) queue_.push_back({command, TCommandSource::kProgram});
    } else {
      ProcessNextCommand();
      targets_.RefreshActions();
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.ProcessNextCommand", e);
  }
  in_step_ = false;
  Arm();
}

bool TCommandDispatcher::TakeNext(Entry& entry) {
  if (queue_.empty()) return false;
  auto it = queue_.begin();
  if (uploading_) {
    // The page's cancel must act while the upload runs; everything else waits for its end.
    while (it != queue_.end() && !HasKeyword(it->text, "cancelupload")) ++it;
    if (it == queue_.end()) return false;
  }
  entry = std::move(*it);
  queue_.erase(it);
  return true;
}

void TCommandDispatcher::ProcessNextCommand() {
  Entry entry;
  if (!active_ || !TakeNext(entry)) return;
  WriteLog("ProcessNextCommand( " + entry.text + " )");
  targets_.CommandProcessed(entry.text, entry.source);
  Dispatch(entry);
}

void TCommandDispatcher::Dispatch(const Entry& entry) {
  const std::string& text = entry.text;
  if (HasKeyword(text, "callax")) return targets_.CallAx(text);
  if (HasKeyword(text, "getmailaddress")) return targets_.GetMailAddress(text);
  if (HasKeyword(text, "startmessageagent")) return targets_.StartMessageAgent();
  if (HasKeyword(text, "updatecheck")) {
    if (targets_.UpdateCheck()) CloseForRestartOrUpdate(false);
    return;
  }
  if (HasKeyword(text, "calljsfunc")) return CallJsFunc(text);
  if (HasKeyword(text, "wakeupie")) return targets_.WakeupIE(text);
  if (HasKeyword(text, "cancelupload")) return targets_.CancelUpload();
  if (HasKeyword(text, "closedialog")) return targets_.CloseWebDialog();
  if (AsciiStartsWithNoCase(text, kSessionPrefix)) {
    return RenewAppInfo(text.substr(kSessionPrefix.size()), params_.Snapshot().renewal_counter);
  }
  ParameterCommand(entry);
}

void TCommandDispatcher::CallJsFunc(const std::string& text) {
  const std::vector<std::string> items = ParseCommandCSV(text);
  const std::string container = AsciiLowered(FindItem(items, "container").value_or(""));
  const std::string name = FindItem(items, "funcname").value_or("");
  const std::string arg = FindItem(items, "funcarg").value_or("");
  if (container == "main" || container == "dialog" || container == "plumorapreview") {
    targets_.CallJsFunc(container, name, arg);
  } else {
    WriteLog("calljsfunc: unknown container \"" + container + "\"");
  }
}

void TCommandDispatcher::ParameterCommand(const Entry& entry) {
  if (!params_.SetParamsFromCSVLocked(entry.text, false)) return;
  const TPlumoraApiParamValues values = params_.Snapshot();
  int tray_mode = targets_.TrayMode();
  bool go_on = true;
  try {
    const int mode = values.mode;
    if (mode == pamCreatePlumora || (mode >= pamAppendPlumora && mode <= pamStartMyBgmDialog)) {
      targets_.CloseWebDialog();
    }
    RenewAppInfo(values.session_id, values.renewal_counter);
    go_on = ModeAction(entry, values, tray_mode);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.ParameterCommand", e);
  }
  if (restart_) return;
  // The tray follows every parameter command, also one whose steps above failed.
  if (!targets_.Terminating()) targets_.ConfigureTray(params_.Snapshot(), tray_mode);
  if (go_on) PostSteps(params_.Snapshot(), tray_mode);
}

bool TCommandDispatcher::ModeAction(const Entry& entry, const TPlumoraApiParamValues& values, int& tray_mode) {
  const int kind = KindOf(entry.source);
  const bool from_home = entry.source == TCommandSource::kWebHome;
  auto creation = [&](int mode_of_tray, bool show) {
    targets_.LeaveTools();
    tray_mode = mode_of_tray;
    if (show) targets_.ShowPage(1, kind);
    Navigate(values);
  };
  switch (values.mode) {
    case pamDispPage:
    case pamStartPage:
      if (from_home) break;
      targets_.ShowPage(0, kind);
      if (!values.page_url.empty()) {
        Navigate(values);
      } else {
        targets_.Navigate("");
      }
      break;
    case pamRemakePage:
      targets_.ShowPage(0, kind);
      targets_.RemakePage(values.page_url);
      break;
    case pamCreatePlumora:
    case pamAppendPlumora:
      creation(0, !from_home);
      break;
    case pamHiddenCreatePlumora:
      creation(0, false);
      break;
    case pamStartCreatePlumora:
    case pamStartAppendPlumora:
      creation(0, true);
      if (values.bgm_dialog_counter != bgm_counter_) {
        bgm_counter_ = values.bgm_dialog_counter;
        bgm_book_id_ = values.bgm_dialog_plumora_id;
        bgm_pending_ = true;
      }
      break;
    case pamStartChangeJacket:
      creation(1, true);
      break;
    case pamStartChangeLabel:
      creation(2, true);
      break;
    case pamStartChangeBodyIcon:
      creation(3, true);
      break;
    case pamStartAppendPlumoraBgm:
      targets_.ShowPage(2, kind);
      break;
    case pamClose:
      RequestClose();
      break;
    case pamStartDialog:
      tray_mode = 0;
      targets_.ShowPage(1, kind);
      Navigate(values);
      break;
    case pamRestart:
      CloseForRestartOrUpdate(true);
      if (!targets_.Terminating()) targets_.ConfigureTray(values, tray_mode);
      return false;
    default:
      WriteLog("Invalid Parameters " + entry.text + ".");
      return false;
  }
  return true;
}

void TCommandDispatcher::CloseForRestartOrUpdate(bool restart) {
  // Marked as asked for before closing: the close query then does not hand the decision to the
  // page, whose answer could never be processed once the restart flag stops the queue.
  close_requested_ = true;
  if (restart) {
    restart_ = true;
    targets_.SetRestartFlag();
  }
  targets_.CloseWindow();
}

void TCommandDispatcher::PostSteps(const TPlumoraApiParamValues& values, int) {
  if (values.focus_count != focus_token_) {
    focus_token_ = values.focus_count;
    targets_.BringToFront();
  }
  if (values.count_text != home_token_) {
    home_token_ = values.count_text;
    if (targets_.CurrentPage() != 0) targets_.ShowPage(0, 1);
  }
  const bool upload_mode = tray_shown_ && !uploading_ && !values.session_id.empty() &&
                           (values.mode == pamCreatePlumora || values.mode == pamStartCreatePlumora);
  targets_.SetCatalogUploadMode(upload_mode);
  targets_.ApplyDisplay(values);
  if (values.mode == pamHiddenCreatePlumora) targets_.StartTrayUpload();
  if (values.mode == pamStartDialog) targets_.OpenWebDialog(values.dialog_url, values.dialog_width, values.dialog_height);
}

void TCommandDispatcher::Navigate(const TPlumoraApiParamValues& values) {
  if (values.page_counter == page_counter_) return;
  page_counter_ = values.page_counter;
  targets_.Navigate(values.page_url);
}

void TCommandDispatcher::RenewAppInfo(const std::string& session_id, int counter) {
  const std::string stored = params_.SessionId();
  if (counter == session_counter_ && (stored.empty() || AsciiEqualsNoCase(stored, session_id))) return;
  session_counter_ = counter;
  WriteLog(targets_.ReloadAppInfo() ? "Successed RenewAppInfo." : "Failed RenewAppInfo.");
}

}  // namespace plb::shell
