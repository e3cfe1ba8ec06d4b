#pragma once
// The window's command queue and its dispatch. Every producer enqueues; one step runs per turn of
// the event loop, and a turn is asked for only while work waits (no spinning timer). A step that
// is entered again from a nested event loop (a modal box inside a handler) does nothing and the
// turn is asked for again when the outer step ends.
#include <QObject>
#include <deque>
#include <string>

#include "shell/main/command_targets.h"

namespace plb {
class TPlumoraApiParams;
}

namespace plb::shell {

// What a page that failed to load leads to: the error command of the last failure while the
// network check is on, else the command registered for "networkError"; empty when neither.
std::string NavigationErrorCommand();

// The tray's request for the service page: "mode=disppage" and "url=<url>", each quoted, so an
// address holding a double quote or a comma stays one item.
std::string ServicePageCommand(const std::string& url);

class TCommandDispatcher : public QObject {
  Q_OBJECT
 public:
  TCommandDispatcher(TCommandTargets& targets, TPlumoraApiParams& params, QObject* parent = nullptr);

  struct Entry {
    std::string text;
    TCommandSource source;
  };

  void Enqueue(const std::string& text, TCommandSource source);
  // The web home's command channel: a text equal to the last one is dropped unless it holds a
  // start word, so one click does not act twice.
  void PageCommand(const std::string& text);
  // The web home's session report.
  void SessionReport(const std::string& session_id);

  // Nothing runs until the window is shown and wired; cleared first thing when it closes.
  void SetActive(bool active);
  bool Active() const { return active_; }

  // The tray's upload: while it runs only "cancelupload" is taken from the queue.
  void UploadStarted();
  // The end report: the waiting commands run in order, then the result command (on success).
  void UploadEnded(bool success, const std::string& result_command);
  bool Uploading() const { return uploading_; }

  bool CloseRequested() const { return close_requested_; }
  void RequestClose();
  bool Restarting() const { return restart_; }
  bool TrayShown() const { return tray_shown_; }
  void SetTrayShown(bool shown) { tray_shown_ = shown; }

  const std::deque<Entry>& Queue() const { return queue_; }
  // A turn is asked for.
  bool Armed() const { return armed_; }
  // Steps run so far that did something.
  int Steps() const { return steps_; }

  // One idle step now (also what the armed turn runs).
  void Step();

  // Keyword K matches when the item "command" or "mode" of the CSV has the value K (any case).
  static bool HasKeyword(const std::string& text, const std::string& keyword);

 private:
  void Arm();
  bool HasWork() const;
  bool TakeNext(Entry& entry);
  void ProcessNextCommand();
  void Dispatch(const Entry& entry);
  void CallJsFunc(const std::string& text);
  void ParameterCommand(const Entry& entry);
  bool ModeAction(const Entry& entry, const TPlumoraApiParamValues& values, int& tray_mode);
  void PostSteps(const TPlumoraApiParamValues& values, int tray_mode);
  void Navigate(const TPlumoraApiParamValues& values);
  void RenewAppInfo(const std::string& session_id, int counter);
  void CloseForRestartOrUpdate(bool restart);

  TCommandTargets& targets_;
  TPlumoraApiParams& params_;
  std::deque<Entry> queue_;
  bool active_ = false;
  bool armed_ = false;
  bool in_step_ = false;
  bool uploading_ = false;
  bool tray_shown_ = true;
  bool close_requested_ = false;
  bool close_pending_ = false;
  bool restart_ = false;
  bool bgm_pending_ = false;
  int steps_ = 0;
  std::string last_tray_command_;
  std::string last_session_id_;
  std::string bgm_book_id_;
  int session_counter_ = -1;
  int page_counter_ = 0;
  int bgm_counter_ = 0;
  std::string focus_token_;
  std::string home_token_;
};

}  // namespace plb::shell
