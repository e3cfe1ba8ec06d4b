#pragma once
// What the catalog commands (scan, ls) share: the file kinds as the engine start sets them up,
// and the catalog folder of a path given on the command line.
#include <string>

namespace plb {
class TFolder;
class TFolderTreeList;
}  // namespace plb

namespace plb::cli {

// The movie kinds from the configuration and the sound kind, as the engine start sets them.
void SetUpFileKinds();

// The folder of an existing directory (symbolic links resolved), made with its tree; null when
// the path is no directory or lies on no volume.
TFolder* CatalogFolderOf(TFolderTreeList& trees, const std::string& path);

}  // namespace plb::cli
