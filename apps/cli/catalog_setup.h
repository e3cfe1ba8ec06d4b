#pragma once
// What the catalog commands (scan, ls) share: the file kinds as the engine start sets them up,
// and the catalog folder of a path given on the command line.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace plb {
class TCatalogItem;
class TFolder;
class TFolderTreeList;
}  // namespace plb

namespace plb::cli {

// The movie kinds from the configuration and the sound kind, as the engine start sets them.
void SetUpFileKinds();

// The folder of an existing directory (symbolic links resolved), made with its tree; null when
// the path is no directory or lies on no volume.
TFolder* CatalogFolderOf(TFolderTreeList& trees, const std::string& path);

// What the background updater does for a new file, on several threads: its header and EXIF date,
// the file's date where there is none; then the date counts as known and the item queues its
// place in the calendar. progress, when set, is called on the calling thread from time to time
// with the number of items done.
void LearnShootingDates(const std::vector<TCatalogItem*>& items, int threads,
                        const std::function<void(size_t done)>& progress = nullptr);

// Waits until the calendar watcher has placed every queued item.
void WaitUntilPlaced();

}  // namespace plb::cli
