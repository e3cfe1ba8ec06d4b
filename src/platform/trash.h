#pragma once
// Deleting to the trash, as the freedesktop trash specification describes it, so that the
// desktop's trash can shows and restores what the program deleted.
//
// A file or folder on the home folder's volume goes to the home trash, $XDG_DATA_HOME/Trash.
// One on another volume (a memory card, a second disk) goes to that volume's trash,
// <mount point>/.Trash-<uid>, since moving it home would copy it across volumes. Each item gets
// an info file "<name>.trashinfo" in info/ (its original path, percent-encoded, and the local
// deletion time) and is renamed into files/ under the same unique name.
#include <string>

#include "platform/error.h"

namespace plb::platform {

PLB_DECLARE_ERROR(ETrashError, Error);

// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash).
std::string HomeTrashFolder();

// Moves path (a file, folder or symbolic link; a relative path counts from the working folder)
// to the trash and returns where it now lies. Raises ETrashError, with the path and the reason,
// when it does not exist, is a trash folder or lies in one, or cannot be moved; the item is then
// left where it was.
std::string MoveToTrash(const std::string& path);

// The same with the trash folder given (used for the home trash; tests use their own).
std::string MoveToTrashFolder(const std::string& path, const std::string& trash_folder,
                              const std::string& path_base = "");

// The original-path field of an info file: every byte except unreserved characters and "/" as
// "%XX".
std::string PercentEncodePath(const std::string& path);

}  // namespace plb::platform
