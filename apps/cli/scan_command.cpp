// plb scan: scans folders into folder trees (in memory) and tells what each holds.
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "host/format.h"
#include "json_output.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

void PrintJson(const std::string& path, const TTreeCounts& counts) {
  JsonObject row;
  PutText(row, "path", path);
  row["folders"] = counts.folders;
  row["items"] = counts.items;
  JsonObject kinds = JsonObject::object();
  for (size_t kind = 0; kind < counts.kinds.size(); ++kind) {
    if (counts.kinds[kind] != 0) kinds[std::to_string(kind)] = counts.kinds[kind];
  }
  row["kinds"] = std::move(kinds);
  PrintJsonLine(row);
}

void PrintText(const std::string& path, const TTreeCounts& counts) {
  std::string kinds;
  for (size_t kind = 0; kind < counts.kinds.size(); ++kind) {
    if (counts.kinds[kind] == 0) continue;
    kinds.append(kinds.empty() ? "" : ", ").append(Format("kind %d: %d", static_cast<int>(kind), counts.kinds[kind]));
  }
  std::printf("%s: %lld folders, %lld items%s%s%s\n", path.c_str(), static_cast<long long>(counts.folders),
              static_cast<long long>(counts.items), counts.items ? " (" : "", kinds.c_str(), counts.items ? ")" : "");
}

struct Options {
  std::vector<std::string> paths;
  bool json = false;
};

int RunScan(const Options& o) {
  if (o.paths.empty()) throw UsageError{"no folder given"};
  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  int status = 0;
  for (const std::string& path : o.paths) {
    TFolder* folder = CatalogFolderOf(trees, path);
    if (!folder) {
      std::fprintf(stderr, "plb scan: %s: not a folder on a volume\n", path.c_str());
      status = 1;
      continue;
    }
    for (const TTreeScanError& e : ScanFolderTree(folder, table)) {
      std::fprintf(stderr, "plb scan: %s: %s: %s\n", e.path.c_str(), e.className.c_str(), e.message.c_str());
      status = 1;
    }
    const TTreeCounts counts = CountFolderTree(folder);
    o.json ? PrintJson(path, counts) : PrintText(path, counts);
  }
  return status;
}

Runner DefineScan(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("PATH", o->paths, "folders to scan with their sub-folders");
  app.add_flag("--json", o->json, "one JSON object per folder");
  return [o] { return RunScan(*o); };
}

PLB_SUBCOMMAND("scan", "PATH... [--json]", "scan folders (in memory; the catalog is not changed) and count their items",
               DefineScan);

}  // namespace
}  // namespace plb::cli
