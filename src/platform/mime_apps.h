#pragma once
// Which program the desktop opens a file with, from the freedesktop files alone: the
// shared-mime-info globs give the file name's type, the mimeapps.list files and the
// mimeinfo.cache of the applications folders give the programs of that type.
#include <string>
#include <vector>

namespace plb::platform {

struct MimeDirs {
  std::vector<std::string> config_dirs;  // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
  std::vector<std::string> data_dirs;    // $XDG_DATA_HOME, then $XDG_DATA_DIRS

  // The folders the environment names, with the XDG base-directory defaults.
  static MimeDirs FromEnvironment();
};

// The MIME type of a file name by its globs (the weightiest match, the longest pattern among
// equals; letter case ignored unless the glob says otherwise); empty when no glob matches.
std::string MimeTypeOfName(const std::string& file_name, const MimeDirs& dirs = MimeDirs::FromEnvironment());

// The desktop file id ("vlc.desktop") of the program that opens files of that name: the
// default application of its type, else any associated one, skipping removed associations and
// programs whose desktop file is missing or hidden; empty when there is none.
std::string AssociatedProgram(const std::string& file_name, const MimeDirs& dirs = MimeDirs::FromEnvironment());

// True when some program is registered to open files of that name.
inline bool IsProgramRegisteredFor(const std::string& file_name, const MimeDirs& dirs = MimeDirs::FromEnvironment()) {
  return !AssociatedProgram(file_name, dirs).empty();
}

}  // namespace plb::platform
