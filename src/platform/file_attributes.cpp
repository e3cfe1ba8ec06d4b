#include "platform/file_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string_view>
#include <vector>

namespace plb {
namespace {

// The names of from's extended attributes, each ending in a NUL; empty when there are none.
std::vector<char> AttributeNames(const std::string& from) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return {};
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      return names;
    }
    // The list grew between the two calls: ask again.
  }
  return {};
}

void CopyAttribute(const std::string& from, const std::string& to, const char* name) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
    if (size < 0) return;
    std::vector<char> value(static_cast<size_t>(size));
    const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
    if (got < 0) continue;
    ::setxattr(to.c_str(), name, value.data(), static_cast<size_t>(got), 0);
    return;
  }
}

}  // namespace

bool CopyFileAttributes(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return false;
  // The owner first: a change of owner clears the set-id bits, which chmod then restores.
  if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0) {
    [[maybe_unused]] const int groupOnly = ::chown(to.c_str(), static_cast<uid_t>(-1), st.st_gid);
  }
  ::chmod(to.c_str(), st.st_mode & 07777);
  const std::vector<char> names = AttributeNames(from);
  for (size_t at = 0; at < names.size();) {
    const std::string_view name(names.data() + at);
    CopyAttribute(from, to, name.data());
    at += name.size() + 1;
  }
  return true;
}

}  // namespace plb
