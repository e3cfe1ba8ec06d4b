// plb add: registers folders for the calendar: each is scanned with its sub-folders, its photos'
// shooting dates are learned, and the catalog is saved.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/workers/folder_tree_scan.h"
#include "engine_session.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int DateThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores < 1 ? 1 : (cores > 8 ? 8 : static_cast<int>(cores));
}

int RunAdd(const Args& args) {
  if (args.empty()) throw UsageError{"no folder given"};
  EngineSession session("add");
  TExtItems table;
  table.Build(kCatalogKinds);
  // The same folders as the updater's passes look into, so a later update withdraws nothing.
  const bool includeHidden = session.Engine().Config().NeedHiddenDirectory();
  int status = 0;
  for (const std::string& path : args) {
    if (session.Interrupted()) break;
    try {
      TFolder* folder = RequireCatalogFolder(session, path);
      folder->SetCalendarMode(1);
      for (const TTreeScanError& e : ScanFolderTree(folder, table, includeHidden)) {
        std::fprintf(stderr, "plb add: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
        status = 1;
      }
      std::vector<TCatalogItem*> items, undated;
      CollectTreeItems(folder, items);
      for (TCatalogItem* item : items) {
        if (!item->DateKnown()) undated.push_back(item);
      }
      LearnShootingDates(undated, DateThreads());
      std::printf("%s: %zu items\n", folder->GetFullName().c_str(), items.size());
    } catch (const Error& e) {
      std::fprintf(stderr, "plb add: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  WaitUntilPlaced();
  session.Close();
  return status;
}

PLB_SUBCOMMAND("add", "FOLDER...  (register folders for the calendar and scan them)", RunAdd);

}  // namespace
}  // namespace plb::cli
