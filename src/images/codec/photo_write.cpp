#include "images/codec/photo_write.h"

#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"

namespace plb {

void WritePhotoAtomically(const std::string& path, std::string_view bytes) {
  std::error_code error;
  std::string target = path;
  if (std::filesystem::is_symlink(path, error)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    if (!error) target = resolved.string();
  }
  WriteFileAtomically(target, bytes);
}

}  // namespace plb
