#pragma once
// Registering a folder for the calendar: its photos (and, when asked, those of every folder below
// it) are brought into the calendar by the updater's next pass.
#include <string>

namespace plb {

class TFolder;
class TFolderTreeList;

// The catalog folder of an existing directory (links resolved), registered; null when path is no
// directory.
TFolder* RegisterCalendarFolder(TFolderTreeList& trees, const std::string& path, bool withSubFolders);

}  // namespace plb
