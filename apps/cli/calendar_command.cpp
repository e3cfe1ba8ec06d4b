// plb calendar: the shooting-date calendar of the catalog: years, months and days with the number
// of photos under each; with --json one object per day.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/model/calendar.h"
#include "engine_session.h"
#include "host/date_time.h"
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
      if (c->IsLeaf())
        std::printf("{\"day\":\"%s\",\"items\":%d}\n", FormatDateTime("yyyy-mm-dd", c->Date()).c_str(), count);
    } else {
      std::printf("%*s%s  %d\n", depth * 2, "", c->GetFullName().c_str(), count);
    }
    Print(c, depth + 1, json);
  }
}

int RunCalendar(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (!args.empty()) throw UsageError{"unexpected argument " + args.front()};
  EngineSession session("calendar", false);
  session.SetReadOnly();
  Print(session.Engine().Calendar(), 0, json);
  session.Close();
  return 0;
}

PLB_SUBCOMMAND("calendar", "[--json]  (the catalog's shooting days with their photo counts)", RunCalendar);

}  // namespace
}  // namespace plb::cli
