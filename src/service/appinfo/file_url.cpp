#include "service/appinfo/file_url.h"

#include <filesystem>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "host/program_file.h"

namespace plb {

namespace {
constexpr std::string_view kFilePrefix = "file://";

bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // the trailing separator of a folder
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}
}  // namespace

std::string AppDocRoot() {
  // Beside the program in a build tree; in the shared data folder of an installed program.
  const std::string beside = ProgramFolder() + "/docroot";
  const std::string installed = ProgramFolder() + "/../share/plumora-browser/docroot";
  std::error_code ignored;
  if (!std::filesystem::is_directory(beside, ignored) && std::filesystem::is_directory(installed, ignored))
    return std::filesystem::path(installed).lexically_normal().string();
  return beside;
}

std::optional<std::string> MapFileUrlToPath(std::string_view value, FileUrlSource source) {
  if (value.size() < kFilePrefix.size() || !AsciiEqualsNoCase(value.substr(0, kFilePrefix.size()), kFilePrefix))
    return std::nullopt;
  std::string rest(value.substr(kFilePrefix.size()));
  for (char& c : rest)
    if (c == '\\') c = '/';  // the service writes Windows-style separators
  if (rest.find('\0') != std::string::npos) return std::nullopt;
  const std::filesystem::path root = std::filesystem::path(AppDocRoot()).lexically_normal();
  const std::filesystem::path given(rest);
  if (given.is_absolute()) {
    if (source == FileUrlSource::kLocalUser) return given.lexically_normal().string();
    // "file:///x" from a document: still a name inside the page folder, never an absolute path.
  }
  const std::filesystem::path mapped = (root / given.relative_path()).lexically_normal();
  if (source == FileUrlSource::kDocument && !IsInside(mapped, root)) return std::nullopt;
  return mapped.string();
}

std::string MapFileUrl(const std::string& value, FileUrlSource source) {
  if (value.size() < kFilePrefix.size() || !AsciiEqualsNoCase(std::string_view(value).substr(0, kFilePrefix.size()), kFilePrefix))
    return value;
  const std::optional<std::string> path = MapFileUrlToPath(value, source);
  if (!path) {
    WriteLog("A page outside the page folder was refused: " + value);
    return std::string();
  }
  return "file://" + *path;
}

}  // namespace plb
