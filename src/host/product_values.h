#pragma once
// The values of the application that are read and written one at a time, outside the
// configuration object: the window title, versions and addresses, the movie types, the Eye-Fi
// folders and the installer information; and the assembly of the movie extension list.
//
// The single values never raise: a failure reads as the empty text (or false, or the default) and
// a failed write does nothing. The lists pass registry errors on.
#include <functional>
#include <string>
#include <vector>

#include "host/config_values.h"

namespace plb {

class TOstraConfigItem;

inline constexpr const char* kDefaultWindowTitle = "Plumora Browser";

// Machine-wide "WindowTitle"; "Plumora Browser" when missing or empty.
std::string ReadWindowTitle();

// Per-user "SuccessedVersion" of the product key.
std::string ReadSuccessedVersion();
void WriteSuccessedVersion(const std::string& version);

// Machine-wide "DefaultAppInfoUrl" of the product key.
std::string ReadDefaultAppInfoUrl();
void WriteDefaultAppInfoUrl(const std::string& url);

// Machine-wide "url" of the subkey "UninstallerInfos".
std::string ReadUninstallerUrl();
void WriteUninstallerUrl(const std::string& url);

// The movie types, comma-separated extensions without dots: machine-wide "SupportMovieType" of the
// product key, and per-user "SupportMovieType", "SupportMovieTypeUser" and
// "SupportMovieTypeExternal" of the settings key.
std::string ReadMachineSupportMovieType();
std::string ReadSupportMovieType();
void WriteSupportMovieType(const std::string& types);
std::string ReadSupportMovieTypeUser();
void WriteSupportMovieTypeUser(const std::string& types);
std::string ReadSupportMovieTypeExternal();
void WriteSupportMovieTypeExternal(const std::string& types);
// The system list of the movie-type settings: the machine-wide and then the per-user
// "SupportMovieType", without duplicates (ignoring letter case).
std::string SystemMovieTypes();

// Machine-wide "ignoreMovie" of "installerInfos": the string "1" (any case) or the number 1.
bool ReadIgnoreMovie();

// The machine-wide installer information and installer history as "name=value" texts.
std::vector<std::string> LoadInstallerInfos();
std::vector<std::string> LoadInstallerHistory();

// The folders of the Eye-Fi integration (the string list "Eye-Fi" of the settings key).
std::vector<std::string> LoadEyeFiFolders();
// Appends the folders that are not in the list yet, without trailing "/"; writes the list back only
// when something was added, and returns whether it was.
bool AddEyeFiFolders(const std::vector<std::string>& folders);

// The comma-separated items of the texts, in order, without empty items and without duplicates
// (ignoring ASCII letter case), joined by ",".
std::string UnionOfTypeLists(const std::vector<std::string>& lists);

// The single values and lists above with where each comes from; machine-wide ones are named
// "machine:" + name.
std::vector<ConfigValueView> DescribeProductValues();

struct MovieKinds {
  std::string extensions;  // ";"-separated, for the movie file kind
  bool supported = false;  // movies are supported at all
};

// Whether a program is registered to open files of a name such as "dummy.mov".
using HasRegisteredProgram = std::function<bool(const std::string& file_name)>;

// The movie list of the engine start. A configuration that is not the application's gives
// ".avi;.mpg;.mpeg;.wmv". Otherwise "ignoreMovie" empties it; else it is the union of the
// machine-wide, per-user and user-added types; when it names "mov", "mov" is added to the external
// types if a program is registered for "dummy.mov" (failures of that step are ignored).
MovieKinds AssembleMovieKinds(const TOstraConfigItem& config, const HasRegisteredProgram& has_program);
// The same, asking the desktop's file associations.
MovieKinds AssembleMovieKinds(const TOstraConfigItem& config);

}  // namespace plb
