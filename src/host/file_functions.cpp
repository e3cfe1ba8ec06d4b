// Path and name utilities, and the volume questions that delegate to the platform.
#include "host/file_functions.h"

#include <sys/stat.h>

#include <vector>

#include "host/format.h"
#include "platform/private_temp.h"

namespace plb {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ExcludeLeadingSeparators(std::string_view path) {
  const size_t first = path.find_first_not_of('/');
  return first == std::string_view::npos ? std::string() : std::string(path.substr(first));
}

std::string ExcludeTrailingSeparators(std::string_view path) {
  const size_t last = path.find_last_not_of('/');
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string IncludeLeadingSeparator(std::string_view path) {
  std::string out(1, '/');
  out += ExcludeLeadingSeparators(path);
  return out;
}

std::string IncludeTrailingSeparator(std::string_view path) {
  return ExcludeTrailingSeparators(path) + "/";
}

std::string SafeFileName(std::string_view name) {
  static constexpr std::string_view kUnsafe("\"*?\\/:<>|\0", 10);
  std::string out(name);
  for (char& c : out)
    if (kUnsafe.find(c) != std::string_view::npos) c = '-';
  return out;
}

std::string NormalizePath(std::string_view path) {
  if (path.empty()) return {};
  const bool absolute = path.front() == '/';
  const bool trailing = path.back() == '/';
  std::vector<std::string_view> kept;
  size_t ups = 0;  // leading ".." of a relative path
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part != "..") {
      kept.push_back(part);
    } else if (!kept.empty()) {
      kept.pop_back();
    } else if (!absolute) {
      ++ups;
    }
  }
  std::string out;
  for (size_t i = 0; i < ups; ++i) out += i == 0 ? ".." : "/..";
  for (auto part : kept) {
    if (absolute || !out.empty()) out += '/';
    out += part;
  }
  if (absolute && out.empty()) return "/";
  if (trailing && !out.empty() && out.back() != '/') out += '/';
  return out;
}

std::string CombinePath(std::string_view first, std::string_view second) {
  const std::string combined = !second.empty() && second.front() == '/'
                                   ? std::string(second)
                                   : IncludeTrailingSeparator(first) + ExcludeLeadingSeparators(second);
  return IncludeTrailingSeparator(NormalizePath(combined));
}

std::string ShortPathName(std::string_view path) {
  return LongPathName(path);
}

std::string LongPathName(std::string_view path) {
  std::string out = ExcludeTrailingSeparators(path);
  return out.empty() && !path.empty() ? "/" : out;
}

bool IsInsideFolder(std::string_view folder, std::string_view path) {
  const std::string outer = IncludeTrailingSeparator(folder);
  const std::string inner = IncludeTrailingSeparator(path);
  return outer != inner && inner.compare(0, outer.size(), outer) == 0;
}

std::string UniqueFileName(std::string_view path) {
  std::string original(path);
  if (!Exists(original)) return original;
  const size_t slash = original.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : original.substr(0, slash);
  const std::string name = slash == std::string::npos ? original : original.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string::npos) dot = name.size();
  const std::string stem = name.substr(0, dot);
  const std::string extension = name.substr(dot);
  for (int counter = 1;; ++counter) {
    std::string candidate = Format("%s/%s(%d)%s", ExcludeTrailingSeparators(folder), stem, counter, extension);
    if (!Exists(candidate)) return candidate;
  }
}

bool FolderExistsQuietly(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool GetDriveInfo(const std::string& path, TDriveInfoRec& info) {
  return platform::Volumes().DriveInfoOf(path, info);
}

bool IsOnSystemDrive(const std::string& path) {
  TDriveInfoRec of_path;
  TDriveInfoRec of_root;
  return GetDriveInfo(path, of_path) && GetDriveInfo("/", of_root) && of_path.Drive == of_root.Drive;
}

bool IsFloppyDrive(const std::string&) {
  return false;
}

uint64_t DiskFreeSpace(const std::string& path) {
  return platform::Volumes().FreeBytes(path);
}

std::string TemporaryFolder() {
  try {
    std::string folder = platform::PrivateTempFolder();
    return folder.size() > 2047 ? std::string() : folder;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace plb
