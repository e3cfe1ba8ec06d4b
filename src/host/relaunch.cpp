#include "host/relaunch.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

extern char** environ;

namespace plb {

std::vector<std::string> BuildRelaunchArguments(const std::vector<std::string>& args,
                                                const std::string& reboot_copy_path) {
  static constexpr char kPrefix[] = "localparamfile=";
  static constexpr size_t kPrefixLength = sizeof kPrefix - 1;
  std::vector<std::string> out;
  out.reserve(args.size());
  for (const auto& a : args) {
    if (a.size() >= kPrefixLength && strncasecmp(a.c_str(), kPrefix, kPrefixLength) == 0) {
      out.push_back(a.substr(0, kPrefixLength) + reboot_copy_path);
    } else {
      out.push_back(a);
    }
  }
  return out;
}

bool SpawnDetached(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // setsid keeps the new process out of our process group, so a signal meant for this run (the
  // terminal's Ctrl-C, a test stopping us) does not reach the program that replaces it.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
}

}  // namespace plb
