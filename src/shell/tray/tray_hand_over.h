#pragma once
// The photos and the music another program hands over with "localparamfile=": they go into the
// tray, and the document's bytes are kept for a hidden creation. The document is deleted after
// it was read, also when reading failed.
#include <string>

namespace plb {
class TFolderTreeList;
}

namespace plb::shell {

class TFrameTray;

struct TTrayHandOver {
  int photos = 0;                // photos put into the tray
  std::string target_directory;  // the folder the document asks to show, or empty
};

TTrayHandOver TakeLocalParamFile(const std::string& path, TFolderTreeList& folders, TFrameTray& tray);

}  // namespace plb::shell
