#pragma once
// The log folder as the two log senders see it: files listed by a name pattern, read with a size
// limit, removed once the service has them. Files are written elsewhere under a hidden temporary
// name and renamed when whole, so a listed name always stands for a complete file; hidden names
// are never listed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

// Regular, non-hidden files of folder whose names start with prefix and end with suffix (letter
// case ignored for the suffix), as full paths in name order. Nothing when the folder is missing.
std::vector<std::string> ListLogFiles(const std::string& folder, std::string_view prefix, std::string_view suffix);

// The whole file, or nothing when it is missing, not a regular file, unreadable or larger than
// max_bytes (checked before anything is allocated for it).
std::optional<std::string> ReadLogFile(const std::string& path, uint64_t max_bytes);

// The folder without its trailing "/" (the root stays "/").
std::string WithoutTrailingDelimiter(std::string folder);

}  // namespace plb
