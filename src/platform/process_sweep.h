#pragma once
// The sweep of stale processes at start: an earlier instance of the program that has given up
// the instance lock but not yet ended is ended by the next start. Only processes that are
// certainly such an instance are touched: same user, same program file, started before us, and
// never ourselves. A newer process (another start racing with this one) is spared, or its
// forwarded command would be lost.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plb::platform {

struct SweepIdentity {
  std::string proc_root = "/proc";
  std::string executable;    // the program file; " (deleted)" of a replaced file does not count
  uid_t uid = 0;             // the real user id that a process must have
  pid_t self = 0;            // never swept
  uint64_t start_ticks = 0;  // only processes started strictly before this are swept
  // When set, only processes whose environment gives this private folder (the folder of the lock
  // files) are swept: an instance of the same user in another session is not a stale one of ours.
  std::string private_folder;
};

// Our own identity, read from /proc/self. Capture it at the start of the program: after an
// update replaced the program file the link reads differently.
SweepIdentity OwnSweepIdentity();

// The program file a process runs, without a " (deleted)" suffix; empty when unreadable.
std::string ProcessExecutable(const std::string& proc_root, pid_t pid);

// Field 22 of /proc/<pid>/stat: the start time in clock ticks after boot; false when unreadable.
bool ProcessStartTicks(const std::string& proc_root, pid_t pid, uint64_t& ticks);

// The processes the sweep would end, by increasing pid.
std::vector<pid_t> FindStaleProcesses(const SweepIdentity& identity);

// Ends the stale processes (SIGKILL, like the system's terminate) and waits up to a second for
// each to be gone. A pid reused by an unrelated process in between is not touched: the process
// is pinned (pidfd) and its start time checked again before the signal. Returns the pids ended.
std::vector<pid_t> SweepStaleProcesses(const SweepIdentity& identity = OwnSweepIdentity());

}  // namespace plb::platform
