#include "platform/mime_apps.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/special_folders.h"

namespace plb::platform {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

// Only absolute folders count, as the base-directory rules ask.
void AddAbsolute(std::vector<std::string>& to, const std::vector<std::string>& from) {
  for (const std::string& dir : from) {
    if (!dir.empty() && dir[0] == '/') to.push_back(dir);
  }
}

// Matches a glob of the simple forms the MIME database uses: "*.ext", a literal name, or a
// pattern with "*" and "?" (no character classes, which would need a full matcher).
bool GlobMatches(const std::string& glob, const std::string& name) {
  size_t g = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) {
      ++g;
      ++n;
    } else if (g < glob.size() && glob[g] == '*') {
      star = g++;
      mark = n;
    } else if (star != std::string::npos) {
      g = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
}

struct Glob {
  int weight;
  std::string type;
  std::string pattern;
  bool case_sensitive;
};

std::vector<Glob> ReadGlobs(const std::string& mime_dir) {
  std::vector<Glob> globs;
  std::ifstream in2(mime_dir + "/globs2");
  std::string line;
  if (in2) {
    while (std::getline(in2, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> f;
      std::istringstream fields(line);
      std::string field;
      while (std::getline(fields, field, ':')) f.push_back(field);
      if (f.size() < 3) continue;
      bool cs = f.size() > 3 && f[3].find("cs") != std::string::npos;
      globs.push_back(Glob{std::atoi(f[0].c_str()), f[1], f[2], cs});
    }
    return globs;
  }
  std::ifstream in(mime_dir + "/globs");  // the older form: type:pattern, weight 50
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    globs.push_back(Glob{50, line.substr(0, colon), line.substr(colon + 1), false});
  }
  return globs;
}

// "[Group]" -> key -> value of an ini-style file.
using IniFile = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

IniFile ReadIni(const std::string& path) {
  IniFile ini;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      ini.push_back({line.substr(1, close == std::string::npos ? std::string::npos : close - 1), {}});
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || ini.empty()) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    ini.back().second.emplace_back(key, value);
  }
  return ini;
}

std::vector<std::string> IdsFor(const IniFile& ini, const std::string& group, const std::string& type) {
  std::vector<std::string> ids;
  for (const auto& [name, entries] : ini) {
    if (name != group) continue;
    for (const auto& [key, value] : entries) {
      if (key == type) {
        for (const std::string& id : SplitList(value, ';')) ids.push_back(id);
      }
    }
  }
  return ids;
}

// The desktop file of an id: "a-b.desktop" may also live as "a/b.desktop".
bool DesktopFileUsable(const std::string& id, const MimeDirs& dirs) {
  std::vector<std::string> relative = {id};
  for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
    std::string nested = id;
    nested[dash] = '/';
    relative.push_back(nested);
  }
  for (const std::string& data : dirs.data_dirs) {
    for (const std::string& rel : relative) {
      std::string path = data + "/applications/" + rel;
      std::ifstream probe(path);
      if (!probe) continue;
      // The first desktop file found for an id is the one that counts, hidden or not.
      IniFile ini = ReadIni(path);
      for (const auto& [group, entries] : ini) {
        if (group != "Desktop Entry") continue;
        for (const auto& [key, value] : entries) {
          if (key == "Hidden" && Lower(value) == "true") return false;
        }
      }
      return true;
    }
  }
  return false;
}

std::string BaseName(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

MimeDirs MimeDirs::FromEnvironment() {
  MimeDirs dirs;
  std::string home = HomeFolder();
  AddAbsolute(dirs.config_dirs, {EnvOr("XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config")});
  AddAbsolute(dirs.config_dirs, SplitList(EnvOr("XDG_CONFIG_DIRS", "/etc/xdg"), ':'));
  AddAbsolute(dirs.data_dirs, {EnvOr("XDG_DATA_HOME", home.empty() ? "" : home + "/.local/share")});
  AddAbsolute(dirs.data_dirs, SplitList(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'));
  return dirs;
}

std::string MimeTypeOfName(const std::string& file_name, const MimeDirs& dirs) {
  std::string name = BaseName(file_name);
  std::string lower = Lower(name);
  const Glob* best = nullptr;
  std::vector<std::vector<Glob>> all;
  for (const std::string& data : dirs.data_dirs) all.push_back(ReadGlobs(data + "/mime"));
  for (const auto& globs : all) {
    for (const Glob& g : globs) {
      bool match = g.case_sensitive ? GlobMatches(g.pattern, name) : GlobMatches(Lower(g.pattern), lower);
      if (!match) continue;
      if (!best || g.weight > best->weight || (g.weight == best->weight && g.pattern.size() > best->pattern.size())) {
        best = &g;
      }
    }
  }
  return best ? best->type : std::string();
}

std::string AssociatedProgram(const std::string& file_name, const MimeDirs& dirs) {
  std::string type = MimeTypeOfName(file_name, dirs);
  if (type.empty()) return {};
  std::set<std::string> removed;
  auto first_usable = [&](const std::vector<std::string>& ids) -> std::string {
    for (const std::string& id : ids) {
      if (!removed.count(id) && DesktopFileUsable(id, dirs)) return id;
    }
    return {};
  };
  // Every mimeapps.list in order of precedence; an association removed in one file also counts
  // as removed in the files of lower precedence.
  std::vector<std::pair<std::string, bool>> lists;  // path, has a mimeinfo.cache beside it
  for (const std::string& config : dirs.config_dirs) lists.emplace_back(config + "/mimeapps.list", false);
  for (const std::string& data : dirs.data_dirs) lists.emplace_back(data + "/applications/mimeapps.list", true);
  for (const auto& [path, is_data] : lists) {
    IniFile ini = ReadIni(path);
    std::string id = first_usable(IdsFor(ini, "Default Applications", type));
    if (id.empty()) id = first_usable(IdsFor(ini, "Added Associations", type));
    if (!id.empty()) return id;
    for (const std::string& r : IdsFor(ini, "Removed Associations", type)) removed.insert(r);
    if (is_data) {
      std::string folder = path.substr(0, path.rfind('/'));
      id = first_usable(IdsFor(ReadIni(folder + "/mimeinfo.cache"), "MIME Cache", type));
      if (!id.empty()) return id;
    }
  }
  return {};
}

}  // namespace plb::platform
