#pragma once
// The first start's setup of a new library: the user's documents, pictures and desktop folders
// join the calendar, the sample tags are made, and the videos folder joins with all its
// sub-folders. Each step runs while its configuration flag is clear and sets it afterwards, also
// when the step failed (the failure is logged), so no start repeats a step.
#include <string>
#include <vector>

namespace plb {
class TAlbumList;
class TFolderTreeList;
class TPlumoraConfigItem;
}  // namespace plb

namespace plb::shell {

struct TFirstStartFolders {
  std::vector<std::string> calendar;  // registered with calendar mode 1 on the folder
  std::string videos;                 // registered with every sub-folder
};

// The user's folders from the desktop's user directories (common pictures has no counterpart).
TFirstStartFolders UserFirstStartFolders();

// Runs the steps whose flags are clear; answers whether any folder was registered (a pass of the
// background updater then brings their photos in).
bool RunFirstStartSteps(TPlumoraConfigItem& config, TFolderTreeList& trees, TAlbumList* albums,
                        const TFirstStartFolders& folders);

}  // namespace plb::shell
