#pragma once
// Replacing a photo file: through the one atomic writer, and through a symbolic link to the
// file it names, so that a linked photo gets the new contents and the link stays a link. The new
// file keeps the old one's permissions, owner (where permitted) and extended attributes.
#include <string>
#include <string_view>

namespace plb {

// EWriteError when the photo cannot be written; the old file then stays as it was.
void WritePhotoAtomically(const std::string& path, std::string_view bytes);

}  // namespace plb
