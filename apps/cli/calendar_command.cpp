// plb calendar: the shooting-date calendar of the catalog: years, months and days with the number
// of photos under each; with --json one object per day.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/calendar.h"
#include "engine_session.h"
#include "host/date_time.h"
#include "json_output.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

void Print(TCalendar* node, int depth, bool json) {
  std::vector<TCustomFolder*> children;
  node->GetChildFolders(children);
  for (TCustomFolder* child : children) {
    auto* c = static_cast<TCalendar*>(child);
    if (!c->IsActive()) continue;
    const int count = c->TotalItemCount();
    if (json) {
      if (c->IsLeaf()) PrintJsonLine({{"day", FormatDateTime("yyyy-mm-dd", c->Date())}, {"items", count}});
    } else {
      std::printf("%*s%s  %d\n", depth * 2, "", c->GetFullName().c_str(), count);
    }
    Print(c, depth + 1, json);
  }
}

int RunCalendar(bool json) {
  EngineSession session("calendar", false);
  session.SetReadOnly();
  Print(session.Engine().Calendar(), 0, json);
  session.Close();
  return 0;
}

Runner DefineCalendar(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  app.add_flag("--json", *json, "one JSON object per day");
  return [json] { return RunCalendar(*json); };
}

PLB_SUBCOMMAND("calendar", "[--json]", "the catalog's shooting days with their photo counts", DefineCalendar);

}  // namespace
}  // namespace plb::cli
