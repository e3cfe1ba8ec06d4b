// plb scan: scans folders into folder trees (in memory) and tells what each holds.
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "catalog_setup.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "host/format.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

// "N1": c1, "N2": c2 ... in the given form for every kind present.
std::string KindsList(const TTreeCounts& counts, const char* form, const char* separator) {
  std::string out;
  for (size_t kind = 0; kind < counts.kinds.size(); ++kind) {
    if (counts.kinds[kind] == 0) continue;
    if (!out.empty()) out.append(separator);
    out.append(Format(form, static_cast<int>(kind), counts.kinds[kind]));
  }
  return out;
}

int RunScan(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.empty()) throw UsageError{"no folder given"};
  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  int status = 0;
  for (const std::string& path : args) {
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
    if (json) {
      std::printf("{\"path\":\"%s\",\"folders\":%lld,\"items\":%lld,\"kinds\":{%s}}\n", JsonEscape(path).c_str(),
                  static_cast<long long>(counts.folders), static_cast<long long>(counts.items),
                  KindsList(counts, "\"%d\":%d", ",").c_str());
    } else {
      std::printf("%s: %lld folders, %lld items%s%s%s\n", path.c_str(), static_cast<long long>(counts.folders),
                  static_cast<long long>(counts.items), counts.items ? " (" : "",
                  KindsList(counts, "kind %d: %d", ", ").c_str(), counts.items ? ")" : "");
    }
  }
  return status;
}

PLB_SUBCOMMAND("scan", "PATH... [--json]", RunScan);

}  // namespace
}  // namespace plb::cli
