#include "host/program_file.h"

#include <filesystem>
#include <mutex>

namespace plb {
namespace {

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& Override() {
  static std::string path;
  return path;
}

}  // namespace

std::string ProgramFilePath() {
  {
    std::lock_guard lock(OverrideMutex());
    if (!Override().empty()) return Override();
  }
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string ProgramFolder() {
  return std::filesystem::path(ProgramFilePath()).parent_path().string();
}

void OverrideProgramFilePath(const std::string& path) {
  std::lock_guard lock(OverrideMutex());
  Override() = path;
}

}  // namespace plb
