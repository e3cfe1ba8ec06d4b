#pragma once
// Runs a function in a forked child process, for tests that need a second real process (locks,
// sockets, process sweeps). The child never returns into the test framework: it leaves with
// _exit and the function's result as its exit code.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace plb::test {

inline pid_t ForkChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  return pid;
}

// The child's exit code, or -signal when a signal ended it.
inline int WaitChild(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1000;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return -1001;
}

// A pipe to tell a child when to go on, and to learn that it got somewhere.
struct Signal {
  int fds[2] = {-1, -1};
  Signal() {
    if (::pipe(fds) != 0) fds[0] = fds[1] = -1;
  }
  ~Signal() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  void Send() const {
    char c = 1;
    (void)!::write(fds[1], &c, 1);
  }
  bool Wait() const {
    char c;
    return ::read(fds[0], &c, 1) == 1;
  }
};

}  // namespace plb::test
