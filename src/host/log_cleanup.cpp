#include "host/log_cleanup.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "host/ascii_case.h"
#include "host/date_time.h"
#include "host/format.h"

namespace plb {
namespace {

bool EndsWithLog(std::string_view name) {
  return name.size() > 4 && AsciiLowered(name.substr(name.size() - 4)) == ".log";
}

// Reads `digits` decimal digits at `at`; -1 when they are not all there.
int Digits(std::string_view text, size_t at, size_t digits) {
  if (at + digits > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The month of the word at `at` (English abbreviation in any letter case, or the Japanese "N月")
// and the bytes it takes; 0 when there is none.
std::pair<int, size_t> MonthWord(std::string_view text, size_t at) {
  const auto& english = EnglishDateWords().short_months;
  for (size_t m = 0; m < english.size(); ++m)
    if (AsciiLowered(text.substr(at, 3)) == AsciiLowered(english[m])) return {static_cast<int>(m) + 1, 3};
  const auto& japanese = JapaneseDateWords().short_months;
  // Longest first, so that "11月" is not taken for "1" followed by junk.
  for (size_t m = japanese.size(); m-- > 0;)
    if (text.substr(at, japanese[m].size()) == japanese[m]) return {static_cast<int>(m) + 1, japanese[m].size()};
  return {0, 0};
}

bool IsOrdinaryFile(const std::string& folder, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_REG;
  struct stat st {};
  return lstat((folder + "/" + entry.d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string LogFileOrderKey(std::string_view name) {
  // yyyy MMM dd - hhnnss . zzz .log
  const int year = Digits(name, 0, 4);
  const auto [month, word] = MonthWord(name, 4);
  const size_t rest = 4 + word;
  if (year >= 0 && month > 0 && name.size() == rest + 2 + 1 + 6 + 1 + 3 + 4 && name[rest + 2] == '-' &&
      name[rest + 9] == '.' && EndsWithLog(name)) {
    const int day = Digits(name, rest, 2);
    const int hms = Digits(name, rest + 3, 6);
    const int ms = Digits(name, rest + 10, 3);
    if (day >= 0 && hms >= 0 && ms >= 0) return Format("%.4d%.2d%.2d-%.6d.%.3d", year, month, day, hms, ms);
  }
  return AsciiLowered(name);
}

void CleanUpLogFolder(const std::string& folder, size_t keep) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::pair<std::string, std::string>> logs;  // order key, name
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!EndsWithLog(name)) continue;
    if (!IsOrdinaryFile(folder, *entry)) continue;
    logs.emplace_back(LogFileOrderKey(name), std::string(name));
  }
  closedir(dir);
  if (logs.size() <= keep) return;
  std::sort(logs.begin(), logs.end());
  for (size_t i = 0; i + keep < logs.size(); ++i) unlink((folder + "/" + logs[i].second).c_str());
}

void RotateAppendedLog(const std::string& folder, const std::string& name, off_t limit, size_t keep) {
  const std::string path = folder + "/" + name;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < limit) return;
  if (keep == 0) {
    unlink(path.c_str());
    return;
  }
  // Each rename replaces its target at once: the oldest copy goes when the one before it takes its
  // name, and a second process shifting at the same moment loses nothing it has open.
  for (size_t i = keep - 1; i >= 1; --i)
    std::rename((path + "." + std::to_string(i)).c_str(), (path + "." + std::to_string(i + 1)).c_str());
  std::rename(path.c_str(), (path + ".1").c_str());
}

}  // namespace plb
