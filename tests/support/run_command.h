#pragma once
// Runs a shell command line (a program of the build, say) and collects what it prints.
#include <string>

#include "support/test_env.h"

namespace plb::test {

struct CommandRun {
  int status;       // the exit code, or -1 when the program did not exit normally
  std::string out;  // everything it wrote to standard output
};

CommandRun RunCommand(const std::string& command_line);

// "<build>/bin/plb ARGS" with standard error joined to the output.
inline CommandRun RunPlb(const std::string& args) {
  return RunCommand(BinaryDir() + "/bin/plb " + args + " 2>&1");
}

// "<build>/bin/plb ARGS" with standard error dropped, for output read as JSON lines.
inline CommandRun RunPlbStdout(const std::string& args) {
  return RunCommand(BinaryDir() + "/bin/plb " + args + " 2>/dev/null");
}

}  // namespace plb::test
