#pragma once
// The user's well-known folders, the machine's and the user's names.
#include <string>

namespace plb::platform {

enum class SpecialFolder {
  kDesktop,
  kDocuments,
  kPictures,
  kVideos,
  kMusic,
  kAppData,         // per-user application data: $XDG_DATA_HOME, default ~/.local/share
  kCommonPictures,  // pictures shared by all users: there is no such folder here, always empty
};

// The folder's path without a trailing "/"; empty when it cannot be told (no home folder).
// Desktop, documents, pictures, videos and music are the XDG user directories: the entries
// XDG_DESKTOP_DIR, XDG_DOCUMENTS_DIR, XDG_PICTURES_DIR, XDG_VIDEOS_DIR and XDG_MUSIC_DIR of
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Desktop, ~/Documents, ~/Pictures,
// ~/Videos and ~/Music. The folder need not exist.
std::string SpecialFolderPath(SpecialFolder folder);

// $HOME, else the password database's home of the user; empty when neither is known.
std::string HomeFolder();

// The host name, at most 15 bytes (longer names are cut); "Unknown" when it cannot be read.
std::string ComputerName();

// The login name of the user, at most 255 bytes; "Unknown" when it cannot be read.
std::string UserName();

}  // namespace plb::platform
