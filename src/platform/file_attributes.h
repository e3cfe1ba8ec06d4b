#pragma once
// What a file carries besides its bytes, for writers that replace a file by a new one: the new
// file is to look like the old one to its owner and to other programs.
#include <string>

namespace plb {

// Gives to the permission bits, the owner and group (where the process may; otherwise they stay
// the writer's) and the extended attributes of from. Attributes that cannot be set (another
// namespace without the privilege, a file system without them) are skipped; false when from
// cannot be read at all.
bool CopyFileAttributes(const std::string& from, const std::string& to);

}  // namespace plb
