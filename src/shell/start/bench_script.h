#pragma once
// A timed walk through the window for the benchmarks: when PLB_BENCH_SCRIPT names a file of steps,
// they run after the start folder is shown (the library page brought to the front first), and
// PLB_BENCH_REPORT receives one line per event with the milliseconds since the process started.
// Without both variables nothing here runs.
//
// Steps, one a line:  open <folder path> | wait <ms> | scroll-end | rss | quit
// Report lines:       start-folder-shown <ms>   (the engine started, the window up)
//                     paint <ms> <cells with their thumbnail>/<cells on screen>
//                       (each paint on the way to a first screen)
//                     first-screen-drawn <ms>
//                     folder-opened <ms> <path>
//                     folder-first-screen <ms> <ms since opened>
//                     scrolled-end <ms> <screens>
//                     rss <ms> <VmRSS kB> <VmHWM kB> <the grid's kept pixmaps, KiB>

namespace plb {
class TOstraEngine;
}

namespace plb::shell {

class TFrameCatalogDG;
class TLibraryPage;

// True when a script was named; the grid only then checks its screen after painting.
bool BenchScriptActive();
// The grid painted: cells photos on screen, pictures of them with their thumbnail drawn. The
// screen is complete when every one has it.
void BenchScreenPainted(TFrameCatalogDG& grid, int cells, int pictures);
// Starts the script on the page once the start folder is shown.
void StartBenchScript(TOstraEngine& engine, TLibraryPage& page);

}  // namespace plb::shell
