// plb tags: every tag with the photos under it (in path order); with --json one object per tag.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine_session.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

// A nested tag is named by its path below the tag root.
void Print(TAlbum* tag, const std::string& prefix, bool json) {
  for (TAlbum* child : tag->Children()) {
    const std::string name = prefix.empty() ? child->Name() : prefix + "\\" + child->Name();
    std::vector<TCatalogItem*> items;
    child->GetItems(items);
    std::vector<std::string> paths;
    for (TCatalogItem* item : items) paths.push_back(item->FullPath());
    std::sort(paths.begin(), paths.end());
    if (json) {
      std::string line = "{\"tag\":\"" + JsonEscape(name) + "\",\"items\":[";
      for (size_t i = 0; i < paths.size(); ++i) line += (i ? ",\"" : "\"") + JsonEscape(paths[i]) + "\"";
      std::printf("%s]}\n", line.c_str());
    } else {
      std::printf("%s  %zu\n", name.c_str(), paths.size());
      for (const std::string& path : paths) std::printf("  %s\n", path.c_str());
    }
    Print(child, name, json);
  }
}

int RunTags(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (!args.empty()) throw UsageError{"unexpected argument " + args.front()};
  EngineSession session("tags", false);
  session.SetReadOnly();
  Print(session.Engine().Albums()->Root(atTag), "", json);
  session.Close();
  return 0;
}

PLB_SUBCOMMAND("tags", "[--json]  (every tag with its photos)", RunTags);

}  // namespace
}  // namespace plb::cli
