// plb calendar: the shooting-date calendar of the catalog: years, months and days with the number
// of photos under each; with --json one object per day; with --paths each day's photos as well.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine_session.h"
#include "host/date_time.h"
#include "json_output.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  bool json = false;
  bool paths = false;
};

// The paths of a day's photos, in path order.
std::vector<std::string> PathsOf(const TCalendar* day) {
  std::vector<TCatalogItem*> items;
  day->GetItems(items);
  std::vector<std::string> paths;
  for (TCatalogItem* item : items) paths.push_back(item->FullPath());
  std::sort(paths.begin(), paths.end());
  return paths;
}

void Print(TCalendar* node, int depth, const Options& o) {
  std::vector<TCustomFolder*> children;
  node->GetChildFolders(children);
  for (TCustomFolder* child : children) {
    auto* c = static_cast<TCalendar*>(child);
    if (!c->IsActive()) continue;
    const int count = c->TotalItemCount();
    const bool listed = o.paths && c->IsLeaf();
    if (o.json) {
      if (c->IsLeaf()) {
        JsonObject row{{"day", FormatDateTime("yyyy-mm-dd", c->Date())}, {"items", count}};
        if (listed) PutTexts(row, "paths", PathsOf(c));
        PrintJsonLine(row);
      }
    } else {
      std::printf("%*s%s  %d\n", depth * 2, "", c->GetFullName().c_str(), count);
      if (listed)
        for (const std::string& path : PathsOf(c)) std::printf("%*s%s\n", depth * 2 + 2, "", path.c_str());
    }
    Print(c, depth + 1, o);
  }
}

int RunCalendar(const Options& o) {
  EngineSession session("calendar", false);
  session.SetReadOnly();
  Print(session.Engine().Calendar(), 0, o);
  session.Close();
  return 0;
}

Runner DefineCalendar(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_flag("--json", o->json, "one JSON object per day");
  app.add_flag("--paths", o->paths, "list each day's photos");
  return [o] { return RunCalendar(*o); };
}

PLB_SUBCOMMAND("calendar", "[--json] [--paths]", "the catalog's shooting days with their photo counts", DefineCalendar);

}  // namespace
}  // namespace plb::cli
