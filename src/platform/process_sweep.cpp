#include "platform/process_sweep.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/private_temp.h"
#include "platform/unique_fd.h"

namespace plb::platform {

namespace {

std::string ProcPath(const std::string& root, pid_t pid, const char* leaf) {
  return root + "/" + std::to_string(pid) + "/" + leaf;
}

bool ProcessRealUid(const std::string& proc_root, pid_t pid, uid_t& uid) {
  std::ifstream in(ProcPath(proc_root, pid, "status"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream fields(line.substr(4));
    unsigned long real;
    if (!(fields >> real)) return false;
    uid = static_cast<uid_t>(real);
    return true;
  }
  return false;
}

bool ParsePid(const char* name, pid_t& pid) {
  if (!*name) return false;
  long value = 0;
  for (const char* p = name; *p; ++p) {
    if (*p < '0' || *p > '9' || value > 100000000) return false;
    value = value * 10 + (*p - '0');
  }
  pid = static_cast<pid_t>(value);
  return value > 0;
}

int PidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

int PidfdSendSignal(int pidfd, int sig) {
#ifdef SYS_pidfd_send_signal
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

std::string ProcessExecutable(const std::string& proc_root, pid_t pid) {
  char buffer[4096];
  ssize_t n = ::readlink(ProcPath(proc_root, pid, "exe").c_str(), buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string exe(buffer, static_cast<size_t>(n));
  const std::string deleted = " (deleted)";
  if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
    exe.resize(exe.size() - deleted.size());
  }
  return exe;
}

bool ProcessStartTicks(const std::string& proc_root, pid_t pid, uint64_t& ticks) {
  std::ifstream in(ProcPath(proc_root, pid, "stat"));
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name (field 2) is in parentheses and may itself hold ")" and blanks: the fields
  // that follow start after the last ")".
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int number = 3; fields >> field; ++number) {
    if (number != 22) continue;
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos) return false;
    ticks = std::stoull(field);
    return true;
  }
  return false;
}

// The runtime folder (that of the lock files) a process uses, from its environment; empty when unreadable.
static std::string ProcessPrivateFolder(const std::string& proc_root, pid_t pid) {
  std::ifstream in(ProcPath(proc_root, pid, "environ"), std::ios::binary);
  if (!in) return {};
  std::string runtime, entry;
  while (std::getline(in, entry, '\0')) {
    if (entry.rfind("XDG_RUNTIME_DIR=", 0) == 0) runtime = entry.substr(16);
  }
  uid_t uid = 0;
  if (!ProcessRealUid(proc_root, pid, uid)) return {};
  return RuntimeFolderFor(runtime, uid);
}

SweepIdentity OwnSweepIdentity() {
  SweepIdentity me;
  me.self = ::getpid();
  me.uid = ::getuid();
  me.executable = ProcessExecutable(me.proc_root, me.self);
  ProcessStartTicks(me.proc_root, me.self, me.start_ticks);
  me.private_folder = ProcessPrivateFolder(me.proc_root, me.self);
  return me;
}

std::vector<pid_t> FindStaleProcesses(const SweepIdentity& identity) {
  std::vector<pid_t> stale;
  if (identity.executable.empty()) return stale;
  DIR* dir = ::opendir(identity.proc_root.c_str());
  if (!dir) return stale;
  while (struct dirent* entry = ::readdir(dir)) {
    pid_t pid;
    if (!ParsePid(entry->d_name, pid) || pid == identity.self) continue;
    uid_t uid;
    uint64_t ticks;
    if (!ProcessRealUid(identity.proc_root, pid, uid) || uid != identity.uid) continue;
    if (ProcessExecutable(identity.proc_root, pid) != identity.executable) continue;
    if (!ProcessStartTicks(identity.proc_root, pid, ticks) || ticks >= identity.start_ticks) continue;
    if (!identity.private_folder.empty() && ProcessPrivateFolder(identity.proc_root, pid) != identity.private_folder)
      continue;
    stale.push_back(pid);
  }
  ::closedir(dir);
  std::sort(stale.begin(), stale.end());
  return stale;
}

std::vector<pid_t> SweepStaleProcesses(const SweepIdentity& identity) {
  std::vector<pid_t> ended;
  for (pid_t pid : FindStaleProcesses(identity)) {
    uint64_t before = 0, now = 0;
    ProcessStartTicks(identity.proc_root, pid, before);
    UniqueFd pidfd(PidfdOpen(pid));
    if (!pidfd && errno != ENOSYS) continue;  // gone already
    // Pinned now: if the start time still matches, pid is still the process we judged.
    if (!ProcessStartTicks(identity.proc_root, pid, now) || now != before) continue;
    int rc = pidfd ? PidfdSendSignal(pidfd.Get(), SIGKILL) : ::kill(pid, SIGKILL);
    if (rc != 0) continue;
    if (pidfd) {
      struct pollfd p = {pidfd.Get(), POLLIN, 0};  // readable once the process has ended
      ::poll(&p, 1, 1000);
    }
    ended.push_back(pid);
  }
  return ended;
}

}  // namespace plb::platform
