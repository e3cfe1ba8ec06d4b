// plb add: registers folders for the calendar: each is scanned with its sub-folders, its photos'
// shooting dates are learned, and the catalog is saved.
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/workers/folder_tree_scan.h"
#include "engine_session.h"
#include "output/export/export_import.h"
#include "platform/error.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int DateThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores < 1 ? 1 : (cores > 8 ? 8 : static_cast<int>(cores));
}

// Scans one folder's tree and learns the dates of its new photos; answers whether every folder
// could be listed.
bool AddFolder(TFolder* folder, const TExtItems& table, bool includeHidden, ProgressLine& progress) {
  bool complete = true;
  size_t folders = 0;
  const auto scanned = [&](TFolder* f) {
    ++folders;
    if (progress.Due()) progress.Show("scanning folder " + std::to_string(folders) + ": " + f->GetFullName());
  };
  for (const TTreeScanError& e : ScanFolderTree(folder, table, includeHidden, scanned)) {
    progress.Clear();
    std::fprintf(stderr, "plb add: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
    complete = false;
  }
  std::vector<TCatalogItem*> items, undated;
  CollectTreeItems(folder, items);
  for (TCatalogItem* item : items) {
    if (!item->DateKnown()) undated.push_back(item);
  }
  LearnShootingDates(undated, DateThreads(),
                     [&](size_t done) { progress.Show("shooting dates, " + CountText(done, undated.size())); });
  progress.Clear();
  std::printf("%s: %zu items\n", folder->GetFullName().c_str(), items.size());
  std::fflush(stdout);
  return complete;
}

int RunAdd(const std::vector<std::string>& folders) {
  if (folders.empty()) throw UsageError{"no folder given"};
  EngineSession session("add");
  TExtItems table;
  table.Build(kCatalogKinds);
  // The same folders as the updater's passes look into, so a later update withdraws nothing.
  const bool includeHidden = session.Engine().Config().NeedHiddenDirectory();
  ProgressLine progress("add");
  int status = 0;
  for (const std::string& path : folders) {
    if (session.Interrupted()) break;
    try {
      TFolder* folder = RequireCatalogFolder(session, path);
      folder->SetCalendarMode(1);
      if (!AddFolder(folder, table, includeHidden, progress)) status = 1;
      // An exported tree brings its tags back (its edits came with the scan).
      RestoreExportedTags(*session.Engine().Albums(), folder);
    } catch (const Error& e) {
      progress.Clear();
      std::fprintf(stderr, "plb add: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  progress.Show("placing the photos in the calendar");
  WaitUntilPlaced();
  progress.Show("saving the catalog");
  session.Close();
  progress.Clear();
  return status;
}

Runner DefineAdd(CLI::App& app) {
  auto folders = std::make_shared<std::vector<std::string>>();
  app.add_option("FOLDER", *folders, "folders to register, each with its sub-folders");
  return [folders] { return RunAdd(*folders); };
}

PLB_SUBCOMMAND("add", "FOLDER...", "register folders for the calendar and scan them", DefineAdd);

}  // namespace
}  // namespace plb::cli
