#include "support/test_env.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace plb::test {
namespace {

std::string& Root() {
  static std::string root;
  return root;
}

std::string BaseTemp() {
  static const std::string base = [] {
    const char* t = std::getenv("TMPDIR");
    return std::string(t && *t ? t : "/tmp");
  }();
  return base;
}

}  // namespace

const std::string& TestRoot() { return Root(); }

std::string TestDataDir() { return PLB_TESTDATA_DIR; }

std::string BinaryDir() { return PLB_BINARY_DIR; }

void EnterFreshEnvironment() {
  std::string pattern = BaseTemp() + "/plbtest-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
  Root() = buf.data();
  namespace fs = std::filesystem;
  const std::string& r = Root();
  for (const char* sub : {"home", "config", "data", "cache", "state", "runtime", "tmp", "etc"}) {
    fs::create_directories(r + "/" + sub);
  }
  fs::permissions(r + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
  setenv("HOME", (r + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (r + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (r + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (r + "/cache").c_str(), 1);
  setenv("XDG_STATE_HOME", (r + "/state").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (r + "/runtime").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (r + "/etc").c_str(), 1);
  setenv("TMPDIR", (r + "/tmp").c_str(), 1);
  setenv("PLB_MACHINE_REGISTRY", (r + "/etc/registry.json").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void LeaveEnvironment() {
  if (Root().empty() || std::getenv("PLB_KEEP_TEST_DIRS")) return;
  std::error_code ec;
  std::filesystem::remove_all(Root(), ec);
  Root().clear();
}

namespace {
void (*program_end_hook)(int) = nullptr;
}  // namespace

void SetProgramEndHook(void (*hook)(int code)) { program_end_hook = hook; }

void RunProgramEndHook(int code) {
  if (program_end_hook) program_end_hook(code);
}

}  // namespace plb::test
