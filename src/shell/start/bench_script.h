#pragma once
// A timed walk through the window for the benchmarks: when PLB_BENCH_SCRIPT names a file of steps,
// they run after the start folder is shown, and PLB_BENCH_REPORT receives one line per event with
// the milliseconds since the process started. Without PLB_BENCH_SCRIPT nothing here runs.
//
// Steps, one a line:  open <folder path> | scroll-end | rss | quit
// Report lines:       first-screen-drawn <ms>
//                     folder-opened <ms> <path>
//                     folder-first-screen <ms> <ms since opened>
//                     scrolled-end <ms> <screens>
//                     rss <ms> <VmRSS kB> <VmHWM kB>

namespace plb {
class TOstraEngine;
}

namespace plb::shell {

class TFrameCatalogDG;
class TLibraryPage;

// True when a script was named; the grid only then checks its screen after painting.
bool BenchScriptActive();
// The grid painted; complete when every visible cell shows its thumbnail.
void BenchScreenPainted(TFrameCatalogDG& grid, bool complete);
// Starts the script on the page once the start folder is shown.
void StartBenchScript(TOstraEngine& engine, TLibraryPage& page);

}  // namespace plb::shell
