#include "shell/start/plumora_application.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <unistd.h>

#include <cstdlib>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "engine/ostra_engine.h"
#include "engine/store/engine_data_recovery.h"
#include "host/engine_error.h"
#include "host/file_functions.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/program_file.h"
#include "host/start_platform.h"
#include "host/start_sequence.h"
#include "host/uploader_options.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "images/codec/image_load.h"
#include "platform/error.h"
#include "platform/private_temp.h"
#include "service/commands/command_csv.h"
#include "service/api/plumora_api_params.h"
#include "service/api/service_errors.h"
#include "service/updater/application_updater.h"
#include "shell/start/hand_off_listener.h"
#include "shell/start/load_failure_dialog.h"
#include "shell/library/library_page.h"
#include "shell/library/library_session.h"
#include "shell/main_window.h"
#include "shell/start/qt_start_ui.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "shell/start/service_start_steps.h"
#include "shell/start/usage_log_steps.h"
#include "shell/start/update_splash_form.h"
#include "shell/start/unix_signal_watcher.h"

namespace plb::shell {
namespace {

StartContext MakeStartContext(int argc, char** argv) {
  StartContext context;
  context.executable = ProgramFilePath();
  context.args.assign(argv + 1, argv + argc);
  // A configuration object made only for its folders, never loaded.
  context.log_folder = TPlumoraConfigItem().LogFolder();
  try {
    context.temp_folder = platform::PrivateTempFolder();
  } catch (const std::exception&) {
    // Without a private folder there is no reboot copy; nothing else needs it at start.
  }
  context.window_title = WindowTitleOrDefault(ReadWindowTitle());
  return context;
}

void OpenStartErrorHelpPage() {
  const std::string base = PlumoraApiParams().BaseUrl();
  if (!base.empty()) ShellOpen(ExcludeTrailingSeparators(base) + "/ja/plb/error/");
}

// The commands that end the window for the process's own exit actions: a restart, and an update
// check that found an update to run. The window's dispatcher closes the window for both.
void HandleExitCommands(TPlumoraMain2& window, TStartSequence& sequence) {
  QObject::connect(&window, &TPlumoraMain2::restartRequested, &window, [&sequence] { sequence.RequestRestart(); });
  window.SetUpdateCheck([] { return RunUpdateCheckWithSplash(3000); });
}

// Runs the main window until it has closed.
void RunMainWindow(const StartContext& context, TOstraEngine& engine, TStartSequence& sequence) {
  TPlumoraMain2 window(QString::fromStdString(context.window_title));
  std::unique_ptr<TLibrarySession> library;
  if (engine.Started()) {
    library = std::make_unique<TLibrarySession>(engine, window);
    // The first idle turn: the first start's folders, the start folder and the updater.
    QTimer::singleShot(0, library.get(), &TLibrarySession::Start);
  }
  UnixSignalWatcher signal_watcher;
  QObject::connect(&signal_watcher, &UnixSignalWatcher::terminationRequested, &window, [&window] { window.close(); });
  HandleExitCommands(window, sequence);
  window.show();
  auto* listener = new HandOffListener(window);
  try {
    listener->Listen();
  } catch (const std::exception& e) {
    // The window still works; only later starts cannot reach it.
    LogFailure("HandOffListener.Listen", e);
  }
  QApplication::exec();
  // The updater and the thumbnail workers end before the engine stops.
  if (library) library->Stop();
}

// After a load that failed the user chooses: the newest good copy put back (the engine then starts
// again on it), read-only (the engine saves nothing after a failed load), or quit. Answers false
// for quit.
bool ResolveLoadFailure(TOstraEngine& engine) {
  bool offer_recovery = true;
  while (!engine.LoadError().empty()) {
    switch (AskAboutLoadFailure(engine.LoadError(), engine.KeptAside(), offer_recovery)) {
      case LoadFailureChoice::kQuit:
        WriteLog("The catalog could not be read; the user chose to quit");
        return false;
      case LoadFailureChoice::kReadOnly:
        WriteLog("The catalog could not be read; the user chose to go on read-only, and nothing is saved");
        return true;
      case LoadFailureChoice::kRecover: {
        const std::string folder = engine.Config().DataFolder();
        engine.Stop(false);
        try {
          const TRecoveredCatalog recovered = RestoreNewestGoodCopy(folder);
          WriteLog("The catalog was put back from " + recovered.tree + " and " + recovered.albums);
        } catch (const std::exception& e) {
          LogFailure("RestoreNewestGoodCopy", e);
          ShowRecoveryFailed(MessageOf(e));
        }
        // Tried once: a second try would take the same copy.
        offer_recovery = false;
        engine.Start();
        break;
      }
    }
  }
  return true;
}

}  // namespace

int RunPlumoraBrowser(int argc, char** argv) {
  // The web home's browser engine refuses to start its sandbox as root (containers, CI).
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(true);
  // The desktop entry's name ties the windows to the entry (its icon in task bars, and on
  // Wayland its identity); the icon comes from the installed theme, else from beside the program.
  QGuiApplication::setDesktopFileName(QStringLiteral("plumora-browser"));
  QApplication::setWindowIcon(QIcon::fromTheme(
      QStringLiteral("plumora-browser"), QIcon(QString::fromStdString(ProgramFolder() + "/plumora-browser.png"))));
  // Read while the program prepares, before the sequence: every upload of the run uses them.
  LoadUploaderOptions();
  // Installed for the whole run: the engine's watcher threads deliver through it from their start
  // to their stop, which comes after the main window has closed.
  QtUiDispatcher dispatcher;
  platform::ScopedUiDispatcher installed(dispatcher);

  const StartContext context = MakeStartContext(argc, argv);
  InstallEngineImageCache();
  InstallCatalogImageReader();
  TOstraEngine engine;
  StartHooks hooks;
  hooks.forwarded_command_text = [](const std::vector<std::string>& args) { return CommandLineCSV(args); };
  hooks.read_start_parameters = [](const std::vector<std::string>& args) {
    PlumoraApiParams().InitializeFromCommandLine(args);
  };
  hooks.log_start_parameters = [](const std::string& label) { PlumoraApiParams().LogParams(label); };
  hooks.is_start_error = [](const std::exception& e) {
    return dynamic_cast<const EPlumoraApiParamsInitialzeError*>(&e) != nullptr;
  };
  bool quit_chosen = false;
  hooks.start_engine = [&engine, &quit_chosen](TStopStack& stop) {
    engine.Start();
    stop.Arm("stop the engine", [&engine] { engine.Stop(); });
    quit_chosen = !ResolveLoadFailure(engine);
    if (quit_chosen) return;
    try {
      engine.StartWatchers();
    } catch (const EOstraEngineError&) {
      // Logged where it was raised; the start goes on with what exists.
    }
  };
  TStartSequence* running_sequence = nullptr;
  hooks.run_main_window = [&context, &engine, &quit_chosen, &running_sequence] {
    if (!quit_chosen) RunMainWindow(context, engine, *running_sequence);
  };
  AddServiceStartSteps(hooks, {}, [&engine] { return engine.Started() ? engine.Albums() : nullptr; });
  AddUsageAndOperationLogSteps(hooks, context.log_folder, engine);

  TStartPlatform platform;
  QtStartUi ui(OpenStartErrorHelpPage);
  TStartSequence sequence(context, hooks, platform, ui);
  running_sequence = &sequence;
  // From the window's close to here, termination signals were held back for the stop steps.
  struct DefaultSignalsAtEnd {
    ~DefaultSignalsAtEnd() {
      if (const int noted = UnixSignalWatcher::NotedWithoutWatcher()) {
        std::fprintf(stderr, "plumora-browser: %d termination signal(s) held back until the stop steps ended\n", noted);
      }
      UnixSignalWatcher::RestoreDefaultHandlers();
    }
  } default_signals_at_end;
  try {
    return sequence.Run();
  } catch (const std::exception& e) {
    // An error the sequence does not handle (a failed engine save at exit, say): the stop steps
    // have run as it unwound; say what happened instead of aborting.
    LogException("plumora-browser", e);
    std::fprintf(stderr, "plumora-browser: %s: %s\n", ClassNameOf(e).c_str(), MessageOf(e).c_str());
    ui.ShowStartError(ClassNameOf(e), MessageOf(e));
    return 1;
  }
}

}  // namespace plb::shell
