#include "host/browser_emulation.h"

#include <charconv>
#include <filesystem>

#include "host/ini_file.h"

namespace plb {

std::string ProgramIniPath(const std::string& program_file) {
  return std::filesystem::path(program_file).replace_extension(".ini").string();
}

int RequestedBrowserVersion(const std::string& ini_path) {
  IniFile ini;
  if (!ini.Load(ini_path)) return 0;
  return ini.ReadInteger("Browser", "MinimunVersion", 0);
}

int InstalledBrowserMajorVersion(const std::string& version_text) {
  const size_t start = version_text.find_first_of("0123456789");
  if (start == std::string::npos) return 0;
  size_t end = version_text.find_first_not_of("0123456789", start);
  if (end == std::string::npos) end = version_text.size();
  int major = 0;
  const auto [next, error] = std::from_chars(version_text.data() + start, version_text.data() + end, major);
  return error == std::errc() ? major : 0;
}

std::optional<int> PickBrowserEmulation(int requested, int installed_major) {
  for (int n = requested; n >= 8; --n) {
    if (n <= installed_major) return n * 1000;
  }
  return std::nullopt;
}

}  // namespace plb
