// plb export-calendar: copies every photo of the shooting-date calendar into a new folder tree
// below DEST ("カレンダー (yyyymmdd)/2008年/05月/17日(土)/..."), each day folder with the side-car
// "OstraExportInfo.xml" that carries the photos' edits and tags to a catalog that adds the tree.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/model/calendar.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "host/date_time.h"
#include "host/file_functions.h"
#include "json_output.h"
#include "output/export/export_folder_thread.h"
#include "output/export/export_names.h"
#include "platform/error.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::string destination;
  bool json = false;
};

int64_t FreeBytes(const std::string& path) {
  std::error_code ec;
  const auto space = std::filesystem::space(path, ec);
  return ec ? 0 : static_cast<int64_t>(space.available);
}

int RunExportCalendar(const Options& o) {
  struct stat st {};
  if (::stat(o.destination.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw Error(o.destination + ": no such folder");
  EngineSession session("export-calendar");
  TCalendarRoot* root = session.Engine().Calendar();
  int32_t count = 0;
  int64_t bytes = 0;
  CountExportItems(root, count, bytes);
  if (count == 0) {
    std::fprintf(stderr, "plb export-calendar: the calendar holds no photos\n");
    session.Close();
    return 1;
  }
  if (!ExportFits(bytes, FreeBytes(o.destination), IsOnSystemDrive(o.destination))) {
    std::fprintf(stderr, "plb export-calendar: %s\n", NotEnoughSpaceText(root->GetFullName(), bytes).c_str());
    session.Close();
    return 1;
  }

  ProgressLine progress("export-calendar");
  TExportFolderThreadEx worker(&session.Folders());
  worker.SetExportDate(Now());
  worker.SetSourceNode(root);
  worker.SetDestination(o.destination);
  worker.SetAlbumTypes(kExportAlbumTypes);
  worker.SetAlbums(session.Engine().Albums());
  worker.SetProgressHandler([&](TOstraThreadBase*, uint8_t, uint32_t total, int32_t position, int32_t) {
    if (session.Interrupted()) worker.Terminate();
    if (progress.Due()) progress.Show("copying, " + CountText(static_cast<uint64_t>(position), total));
  });
  worker.SetFileProgressHandler([&](TExportFolderThreadEx*, const std::string& source, const std::string& dest) {
    if (!o.json) return;
    JsonObject row;
    PutText(row, "source", source);
    PutText(row, "copy", dest);
    progress.Clear();
    PrintJsonLine(row);
  });
  // Run on this thread, which owns the session.
  worker.Execute();
  progress.Clear();
  const uint8_t state = worker.ProgressState();
  const std::string result = worker.ResultFolder();
  if (o.json) {
    JsonObject row;
    PutText(row, "folder", result);
    row["copied"] = worker.SuccessCount();
    row["failed"] = worker.ErrorCount();
    row["bytes"] = worker.CopiedBytes();
    row["state"] = state == psCompleted ? "completed" : state == psCancelled ? "stopped" : "failed";
    PrintJsonLine(row);
  } else {
    std::printf("%s:%s,%s\n", result.empty() ? o.destination.c_str() : result.c_str(),
                FormatExportCount(worker.SuccessCount()).c_str(), FormatExportSize(worker.CopiedBytes()).c_str());
  }
  session.Close();
  if (state == psFailed) std::fprintf(stderr, "plb export-calendar: the export failed (see the log)\n");
  if (worker.ErrorCount() > 0)
    std::fprintf(stderr, "plb export-calendar: %d photos could not be copied\n", worker.ErrorCount());
  return state == psCompleted && worker.ErrorCount() == 0 ? 0 : 1;
}

Runner DefineExportCalendar(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("DEST", o->destination, "the folder the calendar's tree is made in")->required();
  app.add_flag("--json", o->json, "one JSON object per copy, and one for the result");
  return [o] { return RunExportCalendar(*o); };
}

}  // namespace

PLB_SUBCOMMAND("export-calendar", "DEST [--json]",
               "copy the calendar's photos into day folders that carry their edits and tags", DefineExportCalendar);

}  // namespace plb::cli
