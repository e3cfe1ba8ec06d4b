#include "platform/special_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace plb::platform {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string PasswdHome() {
  std::vector<char> buffer(16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) return {};
  return found->pw_dir;
}

// The value of one "XDG_xxx_DIR=..." line of user-dirs.dirs: a double-quoted shell word that is
// either "$HOME/..." or an absolute path, with backslash escapes; anything else is ignored, as
// the file's own format asks.
std::string ParseUserDirValue(const std::string& raw, const std::string& home) {
  size_t first = raw.find('"');
  size_t last = raw.rfind('"');
  if (first == std::string::npos || last == first) return {};
  std::string value;
  for (size_t i = first + 1; i < last; ++i) {
    if (raw[i] == '\\' && i + 1 < last) ++i;
    value += raw[i];
  }
  if (value == "$HOME") return home;
  if (value.rfind("$HOME/", 0) == 0) return home.empty() ? std::string() : home + value.substr(5);
  if (!value.empty() && value[0] == '/') return value;
  return {};
}

std::string UserDir(const char* key, const char* fallback_name) {
  std::string home = HomeFolder();
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = home.empty() ? std::string() : home + "/.config";
  if (!config.empty()) {
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    std::string prefix = std::string(key) + "=";
    std::string found;
    while (std::getline(in, line)) {
      size_t start = line.find_first_not_of(" \t");
      if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) continue;
      found = ParseUserDirValue(line.substr(start + prefix.size()), home);  // the last entry wins, as in a shell
    }
    if (!found.empty()) return WithoutTrailingSlash(found);
  }
  return home.empty() ? std::string() : home + "/" + fallback_name;
}

}  // namespace

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty() || home[0] != '/') home = PasswdHome();
  return home.empty() ? std::string() : WithoutTrailingSlash(home);
}

std::string SpecialFolderPath(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kDesktop:
      return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case SpecialFolder::kDocuments:
      return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case SpecialFolder::kPictures:
      return UserDir("XDG_PICTURES_DIR", "Pictures");
    case SpecialFolder::kVideos:
      return UserDir("XDG_VIDEOS_DIR", "Videos");
    case SpecialFolder::kMusic:
      return UserDir("XDG_MUSIC_DIR", "Music");
    case SpecialFolder::kAppData: {
      std::string data = Env("XDG_DATA_HOME");
      if (!data.empty() && data[0] == '/') return WithoutTrailingSlash(data);
      std::string home = HomeFolder();
      return home.empty() ? std::string() : home + "/.local/share";
    }
    case SpecialFolder::kCommonPictures:
      return {};
  }
  return {};
}

std::string ComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "Unknown";
  std::string result(name);
  if (result.size() > 15) result.resize(15);
  return result;
}

std::string UserName() {
  std::vector<char> buffer(16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name ||
      !*found->pw_name) {
    return "Unknown";
  }
  std::string result(found->pw_name);
  if (result.size() > 255) result.resize(255);
  return result;
}

}  // namespace plb::platform
