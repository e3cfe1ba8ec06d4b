#include "platform/process_sweep.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/private_temp.h"
#include "support/test_env.h"

extern char** environ;

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using plb::test::TestRoot;

// Processes of a program file of this test alone, so the sweep can never reach anything else
// that runs on the machine.
class StaleProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = TestRoot() + "/bin/plumora-browser";
    fs::create_directories(TestRoot() + "/bin");
    fs::copy_file(SleepProgram(), program_);
    fs::permissions(program_, fs::perms::owner_all);
  }
  void TearDown() override {
    for (pid_t pid : started_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  static std::string SleepProgram() {
    for (const char* p : {"/usr/bin/sleep", "/bin/sleep"}) {
      if (fs::exists(p)) return p;
    }
    return "sleep";
  }

  // Starts the program and waits one clock tick or more, so start times differ. With
  // runtime_dir, the process runs in another session (another XDG_RUNTIME_DIR).
  pid_t Spawn(const std::string& runtime_dir = "") {
    char arg0[] = "plumora-browser", arg1[] = "60";
    char* argv[] = {arg0, arg1, nullptr};
    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
      if (runtime_dir.empty() || std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) env_text.push_back(*e);
    }
    if (!runtime_dir.empty()) env_text.push_back("XDG_RUNTIME_DIR=" + runtime_dir);
    std::vector<char*> env;
    for (auto& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv, env.data()), 0);
    started_.push_back(pid);
    // /proc/<pid>/exe shows the new program only once the child has executed it.
    for (int i = 0; i < 500 && ProcessExecutable("/proc", pid) != program_; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 / sysconf(_SC_CLK_TCK) * 3));
    return pid;
  }

  SweepIdentity As(pid_t self) {
    SweepIdentity id;
    id.executable = program_;
    id.uid = ::getuid();
    id.self = self;
    EXPECT_TRUE(ProcessStartTicks("/proc", self, id.start_ticks));
    return id;
  }

  bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  std::string program_;
  std::vector<pid_t> started_;
};

TEST_F(StaleProcesses, OnlyOlderProcessesOfTheSameProgramAndUserAreEnded) {
  pid_t older = Spawn();
  pid_t self = Spawn();
  pid_t newer = Spawn();
  SweepIdentity me = As(self);

  SweepIdentity other_user = me;
  other_user.uid = ::getuid() + 1;
  EXPECT_TRUE(FindStaleProcesses(other_user).empty());
  SweepIdentity other_program = me;
  other_program.executable = TestRoot() + "/bin/another-program";
  EXPECT_TRUE(FindStaleProcesses(other_program).empty());

  EXPECT_EQ(FindStaleProcesses(me), std::vector<pid_t>{older});
  EXPECT_EQ(SweepStaleProcesses(me), std::vector<pid_t>{older});
  int status = 0;
  ASSERT_EQ(::waitpid(older, &status, 0), older);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_TRUE(Alive(self));
  EXPECT_TRUE(Alive(newer));
}

TEST_F(StaleProcesses, AnInstanceOfAnotherSessionIsSpared) {
  const std::string other_session = TestRoot() + "/other-runtime";
  fs::create_directories(other_session);
  pid_t same_session = Spawn();
  pid_t elsewhere = Spawn(other_session);
  pid_t self = Spawn();
  SweepIdentity me = As(self);
  me.private_folder = RuntimeFolderFor(std::getenv("XDG_RUNTIME_DIR"), ::getuid());
  EXPECT_EQ(FindStaleProcesses(me), std::vector<pid_t>{same_session});
  EXPECT_TRUE(Alive(elsewhere));
}

TEST_F(StaleProcesses, AReplacedProgramFileIsStillTheSameProgram) {
  pid_t older = Spawn();
  // An update replaces the file: the running process's link now ends in " (deleted)".
  fs::remove(program_);
  fs::copy_file(SleepProgram(), program_);
  pid_t self = Spawn();
  EXPECT_EQ(ProcessExecutable("/proc", older), program_);
  EXPECT_EQ(FindStaleProcesses(As(self)), std::vector<pid_t>{older});
}

TEST(ProcessSweep, OwnIdentityAndItsOwnProcessIsNeverSwept) {
  SweepIdentity me = OwnSweepIdentity();
  EXPECT_EQ(me.self, ::getpid());
  EXPECT_EQ(me.executable, fs::read_symlink("/proc/self/exe").string());
  EXPECT_GT(me.start_ticks, 0u);
  me.start_ticks = UINT64_MAX;  // even when everything counted as older
  std::vector<pid_t> stale = FindStaleProcesses(me);
  EXPECT_EQ(std::count(stale.begin(), stale.end(), ::getpid()), 0);
}

// A /proc of our own, for what real processes cannot easily show: command names with ") " in
// them, entries that vanish or cannot be read.
TEST(ProcessSweep, ReadsTheProcessTableDefensively) {
  std::string proc = TestRoot() + "/proc";
  auto process = [&](int pid, const std::string& comm, const std::string& start, int uid, const std::string& exe) {
    std::string dir = proc + "/" + std::to_string(pid);
    fs::create_directories(dir);
    std::ofstream(dir + "/stat") << pid << " (" << comm << ") S 1 " << pid
                                 << " 0 0 -1 4194304 0 0 0 0 0 0 0 0 20 0 1 0 " << start << " 1000 100\n";
    std::ofstream(dir + "/status") << "Name:\t" << comm << "\nUid:\t" << uid << "\t" << uid << "\t" << uid << "\t"
                                   << uid << "\n";
    if (!exe.empty()) fs::create_symlink(exe, dir + "/exe");
  };
  process(10, "plumora) (x", "500", 1000, "/opt/plb/plumora-browser");  // odd name, older
  process(11, "plumora-browser", "500", 1000, "/opt/plb/plumora-browser (deleted)");
  process(12, "plumora-browser", "900", 1000, "/opt/plb/plumora-browser");  // self
  process(13, "plumora-browser", "901", 1000, "/opt/plb/plumora-browser");  // newer
  process(14, "plumora-browser", "100", 1001, "/opt/plb/plumora-browser");  // another user
  process(15, "kworker", "1", 1000, "");                                    // no program file
  process(16, "plumora-browser", "notanumber", 1000, "/opt/plb/plumora-browser");
  process(17, "plumora-browser", "100", 1000, "/opt/plb/plumora-browser-old");
  fs::create_directories(proc + "/self");
  fs::create_directories(proc + "/18");  // vanished while listed
  std::ofstream(proc + "/cpuinfo") << "x";

  uint64_t ticks = 0;
  ASSERT_TRUE(ProcessStartTicks(proc, 10, ticks));
  EXPECT_EQ(ticks, 500u);
  EXPECT_FALSE(ProcessStartTicks(proc, 16, ticks));
  EXPECT_EQ(ProcessExecutable(proc, 11), "/opt/plb/plumora-browser");

  SweepIdentity me{proc, "/opt/plb/plumora-browser", 1000, 12, 900, ""};
  EXPECT_EQ(FindStaleProcesses(me), (std::vector<pid_t>{10, 11}));
  me.executable.clear();
  EXPECT_TRUE(FindStaleProcesses(me).empty()) << "no own program file: nothing can be judged";
}

}  // namespace
}  // namespace plb::platform
