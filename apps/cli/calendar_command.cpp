// plb calendar: scans folders, learns every item's shooting date on several threads at once and
// shows the shooting-date calendar that the calendar watcher builds from those changes.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "catalog_setup.h"
#include "engine/calendar_master.h"
#include "engine/ext_items.h"
#include "engine/folder.h"
#include "engine/folder_tree_list.h"
#include "engine/folder_tree_scan.h"
#include "host/date_time.h"
#include "images/image_load.h"
#include "platform/named_event.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

void CollectItems(TCustomFolder* folder, std::vector<TCatalogItem*>& out) {
  folder->GetItems(out);
  std::vector<TCustomFolder*> children;
  folder->GetChildFolders(children);
  for (TCustomFolder* child : children) CollectItems(child, out);
}

// What the background updater does for a new file: its header and EXIF date, the file's date
// where there is none, then the date counts as known and the item queues its placement.
void LearnDates(const std::vector<TCatalogItem*>& items, int threads) {
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < items.size();) {
        TCatalogItem* item = items[i];
        item->ReadDimensions();
        if (!(item->ShootingDate() > 0)) item->SetShootingDate(item->FileDate());
        item->SetDateKnown(true);
      }
    });
  }
  for (auto& w : workers) w.join();
}

void WaitUntilPlaced() {
  std::shared_ptr<platform::NamedEvent> changing = platform::OpenNamedEvent(kExifDateChangingEventName);
  while (changing->IsSet()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void Print(TCalendar* node, int depth, bool json) {
  std::vector<TCustomFolder*> children;
  node->GetChildFolders(children);
  for (TCustomFolder* child : children) {
    auto* c = static_cast<TCalendar*>(child);
    if (!c->IsActive()) continue;
    const int count = c->TotalItemCount();
    if (json) {
      if (c->IsLeaf()) {
        std::printf("{\"day\":\"%s\",\"name\":\"%s\",\"items\":%d}\n", FormatDateTime("yyyy-mm-dd", c->Date()).c_str(),
                    JsonEscape(c->GetFullName()).c_str(), count);
      }
    } else {
      std::printf("%*s%s  %d\n", depth * 2, "", c->GetFullName().c_str(), count);
    }
    Print(c, depth + 1, json);
  }
}

int RunCalendar(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  std::string threadsText = "4";
  TakeOption(args, "--threads", threadsText);
  const int threads = std::atoi(threadsText.c_str());
  if (threads < 1 || threads > 64) throw UsageError{"--threads takes 1 to 64"};
  if (args.empty()) throw UsageError{"no folder given"};
  SetUpFileKinds();
  InstallCatalogImageReader();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  std::vector<TCatalogItem*> items;
  int status = 0;
  for (const std::string& path : args) {
    TFolder* folder = CatalogFolderOf(trees, path);
    if (!folder) {
      std::fprintf(stderr, "plb calendar: %s: not a folder on a volume\n", path.c_str());
      status = 1;
      continue;
    }
    for (const TTreeScanError& e : ScanFolderTree(folder, table)) {
      std::fprintf(stderr, "plb calendar: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
      status = 1;
    }
    CollectItems(folder, items);
  }
  TCalendarRoot* root = AcquireCalendarRoot();
  LearnDates(items, threads);
  WaitUntilPlaced();
  Print(root, 0, json);
  ReleaseCalendarRoot(root);
  return status;
}

PLB_SUBCOMMAND("calendar", "PATH... [--threads N] [--json]", RunCalendar);

}  // namespace
}  // namespace plb::cli
