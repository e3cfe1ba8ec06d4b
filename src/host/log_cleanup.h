#pragma once
// Keeps the log folder small: only the newest few "*.log" files survive the start of a run.
#include <string>
#include <string_view>

namespace plb {

// Deletes "*.log" files (any letter case, ordinary files only) of folder, oldest first, until at
// most `keep` remain. Files named by the default pattern "yyyymmmdd-hhnnss.zzz.log" are ordered by
// the time in their name (month words do not sort by time as text: "Apr" < "Aug" < "Feb"), other
// names by their text without regard to letter case, after those. Failures to list or delete are
// ignored: the clean-up must never keep the log from opening.
void CleanUpLogFolder(const std::string& folder, size_t keep = 7);

// The text by which a log file name is ordered: the time in the name as "yyyymmdd-hhnnss.zzz"
// for the default pattern, otherwise the name in lower case.
std::string LogFileOrderKey(std::string_view name);

}  // namespace plb
