// Background updater passes over a registered tree: the first pass (every item made and dated by
// its file's date, no image reader installed) and later passes over the unchanged tree, timed
// from the pass's start notification to its end notification.
//
//   update_bench PATH [--make FOLDERS FILES_PER_FOLDER] [--passes N]
//
// Prints one line of "key value" pairs; bench/update_bench.sh runs find on the same tree beside it.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/model/file_kinds.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "tree_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
  const auto args = bench::ParseTreeBenchArgs(argc, argv, "update_bench");
  if (!args) return 2;
  const char* resolved = args->path.c_str();
  const int passes = args->passes;
  plb::TFolderTreeListEyeFi trees;
  plb::TFolder* folder = trees.FolderOf(resolved);
  if (!folder) {
    std::fprintf(stderr, "%s: not on a volume\n", resolved);
    return 1;
  }
  folder->SetCalendarMode(1);

  std::atomic<int64_t> startedAt{0}, lastMs{0};
  plb::TFileUpdaterEx updater(trees);
  updater.SetOnNotify([&](plb::TFileUpdaterEx*, uint8_t kind, uint32_t) {
    const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
    if (kind == plb::fnPassStarted) startedAt = now;
    if (kind == plb::fnPassEnded) lastMs = now - startedAt;
  });
  const auto waitPass = [&](uint32_t n) {
    while (updater.PassesEnded() < n) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return lastMs.load() / 1000.0;
  };
  updater.Start();
  const double first = waitPass(1);
  double second = 1e300;
  for (int pass = 0; pass < passes; ++pass) {
    const uint32_t started = updater.PassesStarted();
    updater.RequestUpdate();
    second = std::min(second, waitPass(started + 1));
  }
  const bool complete = updater.PassesCompleted() == static_cast<uint32_t>(passes) + 1;
  updater.Stop();
  const plb::TTreeCounts counts = plb::CountFolderTree(folder);
  std::printf("folders %lld items %lld first_ms %.1f second_ms %.1f complete %s\n",
              static_cast<long long>(counts.folders), static_cast<long long>(counts.items), first, second,
              complete ? "yes" : "no");
  return complete ? 0 : 1;
}
