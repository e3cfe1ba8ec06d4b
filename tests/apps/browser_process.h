#pragma once
// The real plumora-browser program as a child process (offscreen, its dialogs answered from a
// file): start it, talk to its window over the hand-off socket, wait for its end.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/hand_off.h"
#include "support/test_env.h"

extern char** environ;

namespace plb::test {

// Waits (bounded) until done() holds; answers done() at the end.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class BrowserProcess : public testing::Test {
 protected:
  void SetUp() override {
    program_ = BinaryDir() + "/bin/plumora-browser";
    if (!std::filesystem::exists(program_)) GTEST_SKIP() << "plumora-browser is not built (no Qt)";
    dialogs_ = TestRoot() + "/dialogs.txt";
    setenv("PLB_UNATTENDED_DIALOGS", dialogs_.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }

  pid_t Start(const std::vector<std::string>& args) {
    std::vector<char*> argv{program_.data()};
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    return pid;
  }

  // Waits for the process to end; its exit code, or -1 (and the process killed) when it did not
  // end in time.
  static int WaitExit(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    int code = -1;
    WaitFor(
        [&] {
          int status = 0;
          if (waitpid(pid, &status, WNOHANG) != pid) return false;
          code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
          return true;
        },
        limit);
    if (code == -1) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return code;
  }

  // True when the main window of the first instance answers on the hand-off socket.
  static bool WindowAnswers() {
    platform::HandOffMessage ping;
    ping.type = platform::HandOffType::kActivate;
    return platform::SendHandOff(ping, platform::DefaultHandOffPath(), 1000).status ==
           platform::HandOffStatus::kAnswered;
  }
  static bool WaitForWindow() { return WaitFor(WindowAnswers); }

  static platform::HandOffStatus RequestClose(int parameter) {
    platform::HandOffMessage close;
    close.type = platform::HandOffType::kClose;
    close.kind = parameter;
    return platform::SendHandOff(close).status;
  }

  static void SendCommand(const std::string& text) {
    platform::HandOffMessage command;
    command.type = platform::HandOffType::kCommandText;
    command.text = text;
    platform::SendHandOff(command);
  }

  std::string program_;
  std::string dialogs_;
};

}  // namespace plb::test
