// plb update: one pass of the background folder updater over the registered folders, as the
// application's "update" runs it: changes on disk reach the catalog (new photos enter the
// calendar under their shooting day, deleted ones leave it and their albums), then the catalog
// is saved. A progress line on stderr follows the pass.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "catalog_setup.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

using Clock = std::chrono::steady_clock;

class ProgressLine {
 public:
  ProgressLine() : tty_(::isatty(STDERR_FILENO) == 1) {}

  // Redrawn at most a few times a second, and only on a terminal: a log gets the last line only.
  void Show(const TFileUpdaterEx& updater) {
    if (!tty_) return;
    const Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    std::fprintf(stderr, "\r%s", Text(updater).c_str());
    std::fflush(stderr);
    shown_ = true;
  }

  void Finish(const TFileUpdaterEx& updater, const char* ending) {
    std::fprintf(stderr, "%s%s%s\n", shown_ ? "\r" : "", Text(updater).c_str(), ending);
  }

 private:
  static std::string Text(const TFileUpdaterEx& updater) {
    char line[160];
    std::snprintf(line, sizeof line, "plb update: %llu folders, %llu files, %llu changes, %d errors",
                  static_cast<unsigned long long>(updater.FoldersUpdated()),
                  static_cast<unsigned long long>(updater.ItemsChecked()),
                  static_cast<unsigned long long>(updater.TotalChanges()), updater.ErrorCount());
    return line;
  }

  const bool tty_;
  bool shown_ = false;
  Clock::time_point last_{};
};

int RunUpdate(const Args& given) {
  Args args = given;
  const bool hidden = TakeFlag(args, "--hidden");
  if (!args.empty()) throw UsageError{"unexpected argument " + args.front()};
  EngineSession session("update");
  TFileUpdaterEx updater(session.Folders());
  updater.SetIncludeHidden(hidden || session.Engine().Config().NeedHiddenDirectory());
  ProgressLine progress;
  // The updater starts with a pass of its own; its notifications arrive on this thread.
  if (!updater.Start()) throw Error("the updater did not start");
  bool interrupted = false;
  while (updater.PassesEnded() < 1) {
    session.Pump(50);
    progress.Show(updater);
    if (session.Interrupted()) {
      interrupted = true;
      break;
    }
  }
  updater.Stop();
  WaitUntilPlaced();
  const bool complete = updater.PassesCompleted() >= 1;
  progress.Finish(updater, interrupted ? " (interrupted)" : complete ? "" : " (not finished)");
  session.Close();
  if (interrupted || !complete) return 1;
  return updater.ErrorCount() > 0 ? 1 : 0;
}

PLB_SUBCOMMAND("update", "[--hidden]  (one update pass over the registered folders; saves)", RunUpdate);

}  // namespace
}  // namespace plb::cli
