#include "images/codec/photo_write.h"

#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/file_attributes.h"

namespace plb {

void WritePhotoAtomically(const std::string& path, std::string_view bytes) {
  std::error_code error;
  std::string target = path;
  if (std::filesystem::is_symlink(path, error)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    if (!error) target = resolved.string();
  }
  const bool existed = std::filesystem::exists(target, error);
  AtomicFileWriter writer(target);
  writer.Write(bytes);
  writer.Finish();
  // The new file takes the old one's place for its owner and other programs too.
  if (existed) CopyFileAttributes(target, writer.StagingPath());
  writer.Commit();
}

}  // namespace plb
