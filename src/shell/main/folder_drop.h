#pragma once
// Folders dropped on the window from a file manager: each becomes a folder of the calendar, its
// photos brought in by the updater's next pass.
#include <string>
#include <vector>

class QMimeData;

namespace plb {
class TFolder;
class TFolderTreeList;
}  // namespace plb

namespace plb::shell {

// The local directories among the data's addresses (files and remote addresses left out).
std::vector<std::string> DroppedFolders(const QMimeData* data);

// Registers the folders and asks the updater for a pass; the folders registered.
std::vector<TFolder*> AddDroppedFolders(TFolderTreeList& trees, const std::vector<std::string>& paths);

}  // namespace plb::shell
