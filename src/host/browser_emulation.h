#pragma once
// The browser emulation request: the version asked for in the program's own ".ini" file, matched
// against the installed browser's major version.
#include <optional>
#include <string>

namespace plb {

// The program file's path with its extension changed to (or, without one, followed by) ".ini".
std::string ProgramIniPath(const std::string& program_file);

// "MinimunVersion" of section "Browser" in the file at ini_path; 0 when the file or key is missing.
int RequestedBrowserVersion(const std::string& ini_path);

// The major version of a version text: its first run of digits ("11.0.9600" gives 11); 0 when there
// is none or it is not a number that fits.
int InstalledBrowserMajorVersion(const std::string& version_text);

// The emulation value to store: n × 1000 for the first n from requested down to 8 that is not
// greater than the installed major version; nothing for a request of 7 or less, or when no
// version fits.
std::optional<int> PickBrowserEmulation(int requested, int installed_major);

}  // namespace plb
