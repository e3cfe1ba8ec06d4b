#pragma once
// Keeps the log folder small: only the newest few "*.log" files survive the start of a run, and a
// log that many runs append to is shifted aside once it has grown.
#include <sys/types.h>

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

// The size past which a log that every run appends to is shifted aside.
inline constexpr off_t kAppendedLogLimit = 1 << 20;

// For a log that every run opens again under one name (plb's "plb.log"): once the file has reached
// `limit` bytes, shifts it aside as name.1 (name.1 becomes name.2, and so on), so that at most
// `keep` older files remain beside it, as with the per-run logs. The shifted names do not end in
// ".log", so they never push a per-run log out. Failures are ignored, as in the clean-up above.
void RotateAppendedLog(const std::string& folder, const std::string& name, off_t limit = kAppendedLogLimit,
                       size_t keep = 7);

}  // namespace plb
