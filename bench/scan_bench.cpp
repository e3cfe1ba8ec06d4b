// Folder-tree scan speed and memory: the first pass over a tree (every item made) and a second
// pass over the unchanged tree (nothing made), with the resident memory the items take.
//
//   scan_bench PATH [--make FOLDERS FILES_PER_FOLDER] [--passes N]
//
// Prints one line of "key value" pairs; bench/scan_bench.sh runs find on the same tree beside it.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_measure.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "tree_bench.h"

namespace {

using bench::Clock;
using bench::Millis;
using bench::ResidentBytes;

}  // namespace

int main(int argc, char** argv) {
  const auto args = bench::ParseTreeBenchArgs(argc, argv, "scan_bench");
  if (!args) return 2;
  const char* resolved = args->path.c_str();
  const int passes = args->passes;
  plb::SetMovieExtensions(".avi;.mov;.mpg;.mpeg;.wmv;.mp4");
  plb::TExtItems table;
  table.Build(plb::kCatalogKinds);

  // The best of several first passes, each into a fresh catalog; the last one stays for the
  // second pass and the memory figure.
  double first = 1e300;
  long residentBefore = 0, residentAfter = 0;
  std::unique_ptr<plb::TFolderTreeListEyeFi> trees;
  plb::TFolder* folder = nullptr;
  for (int pass = 0; pass < passes; ++pass) {
    trees.reset();
    // Memory is measured on the first pass only: later passes reuse what the earlier freed.
    if (pass == 0) residentBefore = ResidentBytes();
    trees = std::make_unique<plb::TFolderTreeListEyeFi>();
    const auto start = Clock::now();
    folder = trees->FolderOf(resolved);
    if (!folder) {
      std::fprintf(stderr, "%s: not on a volume\n", resolved);
      return 1;
    }
    const auto errors = plb::ScanFolderTree(folder, table);
    first = std::min(first, Millis(Clock::now() - start));
    if (pass == 0) residentAfter = ResidentBytes();
    if (!errors.empty()) std::fprintf(stderr, "%zu folders could not be scanned\n", errors.size());
  }
  std::vector<plb::TCatalogItem*> before;
  plb::CollectTreeItems(folder, before);

  double second = 1e300;
  for (int pass = 0; pass < passes; ++pass) {
    const auto start = Clock::now();
    plb::ScanFolderTree(folder, table);
    second = std::min(second, Millis(Clock::now() - start));
  }
  std::vector<plb::TCatalogItem*> after;
  plb::CollectTreeItems(folder, after);
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  const bool sameItems = before == after;
  const plb::TTreeCounts counts = plb::CountFolderTree(folder);
  const double perItem = counts.items ? double(residentAfter - residentBefore) / double(counts.items) : 0;
  std::printf(
      "folders %lld items %lld first_ms %.1f second_ms %.1f resident_bytes_per_item %.0f item_object_bytes %zu "
      "second_pass_same_items %s\n",
      static_cast<long long>(counts.folders), static_cast<long long>(counts.items), first, second, perItem,
      sizeof(plb::TCatalogItem), sameItems ? "yes" : "no");
  return sameItems ? 0 : 1;
}
