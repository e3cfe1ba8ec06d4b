#pragma once
// What the benchmark programs measure with: wall time in milliseconds and resident memory.
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Millis(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The process's resident set in bytes.
inline long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

}  // namespace bench
