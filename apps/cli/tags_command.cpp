// plb tags: every tag with the photos under it (in path order); with --json one object per tag.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine_session.h"
#include "json_output.h"
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
      JsonObject row;
      PutText(row, "tag", name);
      PutTexts(row, "items", paths);
      PrintJsonLine(row);
    } else {
      std::printf("%s  %zu\n", name.c_str(), paths.size());
      for (const std::string& path : paths) std::printf("  %s\n", path.c_str());
    }
    Print(child, name, json);
  }
}

int RunTags(bool json) {
  EngineSession session("tags", false);
  session.SetReadOnly();
  Print(session.Engine().Albums()->Root(atTag), "", json);
  session.Close();
  return 0;
}

Runner DefineTags(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  app.add_flag("--json", *json, "one JSON object per tag");
  return [json] { return RunTags(*json); };
}

PLB_SUBCOMMAND("tags", "[--json]", "every tag with its photos", DefineTags);

}  // namespace
}  // namespace plb::cli
