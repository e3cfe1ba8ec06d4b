// plb update: one pass of the background folder updater over the registered folders, as the
// application's "update" runs it: changes on disk reach the catalog (new photos enter the
// calendar under their shooting day, deleted ones leave it and their albums), then the catalog
// is saved. A progress line on a terminal follows the pass; its counts end on stderr.
// --calendar-in and --calendar-out first put a folder's photos into the calendar or take them out
// of it (the folder and what the catalog knows of it stay), as the folder panel's commands do.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalog_setup.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "platform/error.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

std::string Counts(const TFileUpdaterEx& updater) {
  char line[160];
  std::snprintf(line, sizeof line, "%llu folders, %llu files, %llu changes, %d errors",
                static_cast<unsigned long long>(updater.FoldersUpdated()),
                static_cast<unsigned long long>(updater.ItemsChecked()),
                static_cast<unsigned long long>(updater.TotalChanges()), updater.ErrorCount());
  return line;
}

struct Options {
  bool hidden = false;
  std::vector<std::string> calendar_in, calendar_out;
};

int RunUpdate(const Options& o) {
  EngineSession session("update");
  for (const std::string& path : o.calendar_in) RequireCatalogFolder(session, path)->SetCalendarMode(1);
  for (const std::string& path : o.calendar_out) RequireCatalogFolder(session, path)->SetCalendarMode(2);
  const bool hidden = o.hidden;
  TFileUpdaterEx updater(session.Folders());
  updater.SetIncludeHidden(hidden || session.Engine().Config().NeedHiddenDirectory());
  ProgressLine progress("update");
  // The updater starts with a pass of its own; its notifications arrive on this thread.
  if (!updater.Start()) throw Error("the updater did not start");
  bool interrupted = false;
  while (updater.PassesEnded() < 1) {
    session.Pump(50);
    if (progress.Due()) progress.Show(Counts(updater));
    if (session.Interrupted()) {
      interrupted = true;
      break;
    }
  }
  updater.Stop();
  WaitUntilPlaced();
  const bool complete = updater.PassesCompleted() >= 1;
  progress.Clear();
  // The counts stay as the command's report, also where no progress line was shown.
  std::fprintf(stderr, "plb update: %s%s\n", Counts(updater).c_str(),
               interrupted ? " (interrupted)" : complete ? "" : " (not finished)");
  session.Close();
  if (interrupted || !complete) return 1;
  return updater.ErrorCount() > 0 ? 1 : 0;
}

Runner DefineUpdate(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_flag("--hidden", o->hidden, "look into hidden folders too");
  app.add_option("--calendar-in", o->calendar_in, "put the folder's photos into the calendar first")
      ->type_name("FOLDER");
  app.add_option("--calendar-out", o->calendar_out, "take the folder's photos out of the calendar first")
      ->type_name("FOLDER");
  return [o] { return RunUpdate(*o); };
}

PLB_SUBCOMMAND("update", "[--hidden] [--calendar-in FOLDER]... [--calendar-out FOLDER]...", "one update pass over the registered folders; saves the catalog",
               DefineUpdate);

}  // namespace
}  // namespace plb::cli
