// plb update: one pass of the background folder updater over the registered folders, as the
// application's "update" runs it: changes on disk reach the catalog (new photos enter the
// calendar under their shooting day, deleted ones leave it and their albums), then the catalog
// is saved. A progress line on a terminal follows the pass; its counts end on stderr.
#include <cstdio>
#include <memory>
#include <string>

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

int RunUpdate(bool hidden) {
  EngineSession session("update");
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
  auto hidden = std::make_shared<bool>(false);
  app.add_flag("--hidden", *hidden, "look into hidden folders too");
  return [hidden] { return RunUpdate(*hidden); };
}

PLB_SUBCOMMAND("update", "[--hidden]", "one update pass over the registered folders; saves the catalog",
               DefineUpdate);

}  // namespace
}  // namespace plb::cli
