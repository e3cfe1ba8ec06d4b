// Two commands run as whole processes, alternately, the same number of times; prints the median
// wall time of each and the ratio. Alternating spreads a load that comes and goes on a shared
// machine over both commands alike.
//   command_pair_bench ROUNDS NAME_A NAME_B -- COMMAND_A... -- COMMAND_B...
// Standard output and error of the commands go to /dev/null; a command that fails (status other
// than 0 or 1, or killed) stops the benchmark, so a broken build is never timed as a fast one.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_measure.h"

namespace {

using Command = std::vector<char*>;

double RunOnce(const Command& command) {
  const auto start = bench::Clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork");
    std::exit(2);
  }
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execvp(command[0], command.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const double ms = bench::Millis(bench::Clock::now() - start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    std::fprintf(stderr, "command_pair_bench: %s failed (status %d)\n", command[0], status);
    std::exit(2);
  }
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Command> commands(1);
  for (int i = 4; i < argc; ++i) {
    if (std::string(argv[i]) == "--") {
      if (!commands.back().empty()) commands.emplace_back();
      continue;
    }
    commands.back().push_back(argv[i]);
  }
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 0;
  if (argc < 6 || rounds < 1 || commands.size() != 2 || commands[1].empty()) {
    std::fprintf(stderr, "usage: command_pair_bench ROUNDS NAME_A NAME_B -- COMMAND_A... -- COMMAND_B...\n");
    return 2;
  }
  for (auto& c : commands) c.push_back(nullptr);
  RunOnce(commands[0]);  // one untimed run each, so that both start from warm caches
  RunOnce(commands[1]);
  std::vector<double> a, b;
  for (int i = 0; i < rounds; ++i) {
    a.push_back(RunOnce(commands[0]));
    b.push_back(RunOnce(commands[1]));
  }
  const double ma = Median(a), mb = Median(b);
  std::printf("%-24s median %9.2f ms  (best %.2f, %d runs)\n", argv[2], ma, *std::min_element(a.begin(), a.end()), rounds);
  std::printf("%-24s median %9.2f ms  (best %.2f, %d runs)\n", argv[3], mb, *std::min_element(b.begin(), b.end()), rounds);
  std::printf("%s / %s time: %.2fx\n", argv[3], argv[2], mb / ma);
  return 0;
}
