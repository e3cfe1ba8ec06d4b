#pragma once
// The one way to replace a file's contents: readers see the old file or the new one, never a mix,
// and a crash at any moment leaves one of the two on disk.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace plb {

// Writes bytes to a fresh temporary file in the folder of path, flushes it to disk and renames it
// over path, then flushes the folder. An existing file keeps its permission bits; a new file gets
// mode (less the umask). On failure the temporary file is removed, path is left as it was and
// EWriteError is raised with the path and the reason.
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0644);

}  // namespace plb
