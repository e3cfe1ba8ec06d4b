#pragma once
// The process's start and stop: single instance, hand-off of a second start, stale-process
// sweep, the diagnostic log, the start steps of every subsystem with their armed stop steps, the
// main window, and the exit actions (pending installer or relaunch).
//
// The sequence itself knows no subsystem above the host: each start step of a higher layer is a
// hook that the program fills in. A hook that is empty is a step whose subsystem is not part of
// this program, and is skipped.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/stop_stack.h"

namespace plb {

// What the sequence needs of the operating system; faked in tests.
class IStartPlatform {
 public:
  enum class InstanceState { kFirst, kSecond, kFailed };
  virtual ~IStartPlatform() = default;
  virtual InstanceState AcquireInstance() = 0;
  virtual void ReleaseInstance() = 0;
  virtual bool RunningInstanceExists() = 0;  // another process holds the running lock
  virtual void AcquireRunningLock() = 0;
  virtual void ReleaseRunningLock() = 0;
  // Raises the running instance's window and, when text is not empty, hands it the text.
  // False when no window of a running instance listens.
  virtual bool HandOffToRunningInstance(const std::string& text) = 0;
  virtual void SweepStaleProcesses() = 0;
};

// The dialogs of the start; implemented by the shell, faked in tests.
class IStartUi {
 public:
  virtual ~IStartUi() = default;
  // Information beep and the warning that an earlier process has not ended yet.
  virtual void ShowStillRunningWarning(const std::string& text) = 0;
  // Error beep and a message box with the error's text, its class name as the caption.
  virtual void ShowStartError(const std::string& caption, const std::string& text) = 0;
  // The start-error dialog with the link to the help page.
  virtual void ShowBootErrorForm() = 0;
  // The application object learns its title (step 11).
  virtual void SetApplicationTitle(const std::string& title) = 0;
};

struct StartHooks {
  // Writes the start parameters to the log under a label; raises a start-parameter log error.
  std::function<void(const std::string& label)> log_start_parameters;
  // Reads the start parameters from the command line; raises a start-parameter error.
  std::function<void(const std::vector<std::string>& args)> read_start_parameters;
  // The forwarded-command text of a second start, built from its arguments.
  std::function<std::string(const std::vector<std::string>& args)> forwarded_command_text;
  // True for errors of the higher layers that count as start errors.
  std::function<bool(const std::exception&)> is_start_error;
  std::function<void(TStopStack&)> create_operation_log;                // step 7
  std::function<bool()> check_application_information;                  // step 8
  std::function<void()> log_out;                                        // the stop step armed by a successful step 8
  std::function<void()> freeze_layout_table;                            // step 10
  std::function<bool()> update_started;                                 // step 11
  std::function<void(TStopStack&)> start_engine;                        // step 12
  std::function<void(TStopStack&)> start_background_services;           // step 13
  std::function<void(TStopStack&, const std::string& forwarded)> boot;  // step 15
  std::function<void()> run_main_window;                                // step 16
  std::function<bool()> run_pending_installer;                          // exit
  // The local parameter file's content to hand to a relaunch; empty when none.
  std::function<std::string()> local_parameter_content;
};

struct StartContext {
  std::string executable;         // the program file, captured at start
  std::vector<std::string> args;  // the arguments, without the program
  std::string log_folder;
  std::string temp_folder;  // the private temporary folder (for the reboot copy)
  std::string window_title;
};

class TStartSequence {
 public:
  static constexpr const char* kStillRunningWarning =
      "前回起動したプロセスが終了していないため\r\nプルモラブラウザの起動を中止しました。\r\n"
      "しばらくたってから、もう一度起動してください。";

  TStartSequence(StartContext context, StartHooks hooks, IStartPlatform& platform, IStartUi& ui);

  // Runs the whole sequence and returns the process's exit code.
  int Run();

  // Set by the main window just before it closes itself for the restart command.
  void RequestRestart() { restart_requested_ = true; }
  bool RestartRequested() const { return restart_requested_; }

  // For tests: where the sequence ended.
  enum class Outcome { kNone, kInstanceFailed, kHandedOff, kRan, kAppInfoFailed, kUpdateStarted, kStartError };
  Outcome LastOutcome() const { return outcome_; }

 private:
  void HandOff();
  void StartAndRun(TStopStack& stop);
  void OpenDiagnosticLog(TStopStack& stop);
  void LogStartParameters(const std::string& label);
  void RunExitActions();
  bool IsStartError(const std::exception& e) const;

  StartContext context_;
  StartHooks hooks_;
  IStartPlatform& platform_;
  IStartUi& ui_;
  bool restart_requested_ = false;
  Outcome outcome_ = Outcome::kNone;
};

// The window title: the machine-wide "WindowTitle", or "Plumora Browser" when missing or empty.
std::string WindowTitleOrDefault(const std::string& stored);

}  // namespace plb
