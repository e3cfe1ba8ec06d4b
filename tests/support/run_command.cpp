#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace plb::test {

CommandRun RunCommand(const std::string& command_line) {
  FILE* pipe = popen(command_line.c_str(), "r");
  if (!pipe) return {-1, ""};
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace plb::test
