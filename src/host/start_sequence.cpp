#include "host/start_sequence.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/engine_error.h"
#include "host/host_errors.h"
#include "host/log_file.h"
#include "host/relaunch.h"
#include "host/settings_log.h"
#include "platform/error.h"
#include "platform/private_temp.h"

namespace plb {

std::string WindowTitleOrDefault(const std::string& stored) {
  return stored.empty() ? "Plumora Browser" : stored;
}

TStartSequence::TStartSequence(StartContext context, StartHooks hooks, IStartPlatform& platform, IStartUi& ui)
    : context_(std::move(context)), hooks_(std::move(hooks)), platform_(platform), ui_(ui) {}

int TStartSequence::Run() {
  int exit_code = 0;
  switch (platform_.AcquireInstance()) {
    case IStartPlatform::InstanceState::kFailed:
      // Nothing is started and nothing is logged; one line for whoever started us.
      std::fprintf(stderr, "plumora-browser: the instance lock could not be taken\n");
      outcome_ = Outcome::kInstanceFailed;
      exit_code = 1;
      break;
    case IStartPlatform::InstanceState::kSecond:
      HandOff();
      outcome_ = Outcome::kHandedOff;
      break;
    case IStartPlatform::InstanceState::kFirst: {
      TStopStack stop;
      stop.Arm("release the instance lock", [this] { platform_.ReleaseInstance(); });
      try {
        StartAndRun(stop);
        stop.RunAll();
      } catch (const std::exception& e) {
        if (!IsStartError(e)) throw;  // the stop stack still runs as it unwinds
        outcome_ = Outcome::kStartError;
        stop.RunAll();
        ui_.ShowStartError(ClassNameOf(e), MessageOf(e));
        ui_.ShowBootErrorForm();
        exit_code = 1;
      }
      break;
    }
  }
  RunExitActions();
  return exit_code;
}

void TStartSequence::HandOff() {
  const bool running = platform_.RunningInstanceExists();
  if (!running && context_.args.empty()) ui_.ShowStillRunningWarning(kStillRunningWarning);
  const std::string text = hooks_.forwarded_command_text ? hooks_.forwarded_command_text(context_.args) : "";
  platform_.HandOffToRunningInstance(text);
}

void TStartSequence::StartAndRun(TStopStack& stop) {
  platform_.SweepStaleProcesses();
  OpenDiagnosticLog(stop);

  LogStartParameters("Initial");
  if (hooks_.read_start_parameters) hooks_.read_start_parameters(context_.args);
  LogStartParameters("CmdLine");

  if (hooks_.create_operation_log) {
    try {
      hooks_.create_operation_log(stop);
    } catch (const std::exception& e) {
      LogFailure("DAL_Initialize", e);
    }
  }
  if (hooks_.check_application_information) {
    if (!hooks_.check_application_information()) {
      outcome_ = Outcome::kAppInfoFailed;
      ui_.ShowBootErrorForm();
      WriteLog("Exit. (CheckAppInfoEx Failed.)");
      return;
    }
    if (hooks_.log_out) stop.Arm("log out from the service", hooks_.log_out);
  }
  LogStartParameters("AppInfo");
  if (hooks_.freeze_layout_table) hooks_.freeze_layout_table();

  ui_.SetApplicationTitle(context_.window_title);
  if (hooks_.update_started && hooks_.update_started()) {
    outcome_ = Outcome::kUpdateStarted;
    WriteLog("Exit. (Start Update.)");
    return;
  }
  if (hooks_.start_engine) hooks_.start_engine(stop);
  if (hooks_.start_background_services) hooks_.start_background_services(stop);

  platform_.AcquireRunningLock();
  stop.Arm("release the running lock", [this] { platform_.ReleaseRunningLock(); });

  if (hooks_.boot) {
    const std::string forwarded = hooks_.forwarded_command_text ? hooks_.forwarded_command_text(context_.args) : "";
    hooks_.boot(stop, forwarded);
  }
  outcome_ = Outcome::kRan;
  if (hooks_.run_main_window) hooks_.run_main_window();
}

void TStartSequence::OpenDiagnosticLog(TStopStack& stop) {
  try {
    std::error_code ec;
    std::filesystem::create_directories(context_.log_folder, ec);
    if (ec || !std::filesystem::is_directory(context_.log_folder)) {
      throw EFileFunctionsError("ログフォルダの作成に失敗しました。( " + context_.log_folder + " )");
    }
    OpenLog(context_.log_folder);
  } catch (const std::exception& e) {
    throw EOstraEngineStartLogError("ログファイルの初期化中にエラーが発生しました。\r\n\r\n" + ClassNameOf(e) + "\r\n" +
                                    MessageOf(e));
  }
  stop.Arm("close the diagnostic log", [] { CloseLog(); });
  // A settings file found damaged (before or after this point) is reported here.
  SendSettingsProblemsToLog();
}

void TStartSequence::LogStartParameters(const std::string& label) {
  if (hooks_.log_start_parameters) hooks_.log_start_parameters(label);
}

void TStartSequence::RunExitActions() {
  if (hooks_.run_pending_installer && hooks_.run_pending_installer()) return;
  if (!restart_requested_) return;
  std::string copy_path;
  const std::string content = hooks_.local_parameter_content ? hooks_.local_parameter_content() : "";
  if (!content.empty() && !context_.temp_folder.empty()) {
    copy_path = context_.temp_folder + "/RebootPLBParam.xml";
    try {
      platform::WriteExchangeFile(copy_path, content, /*replace=*/true);
    } catch (const std::exception&) {
      copy_path.clear();  // every failure of the relaunch is ignored; it gets no copy then
    }
  }
  SpawnDetached(context_.executable, BuildRelaunchArguments(context_.args, copy_path));
}

bool TStartSequence::IsStartError(const std::exception& e) const {
  if (dynamic_cast<const EOstraEngineInitializeError*>(&e)) return true;
  return hooks_.is_start_error && hooks_.is_start_error(e);
}

}  // namespace plb
