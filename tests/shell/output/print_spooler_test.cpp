// Aborting printing cancels this program's documents in the printer's queue and nothing else: a
// private CUPS scheduler on a socket of the test's own folder, with a stopped printer so that
// every document stays queued until it is cancelled.
#include "shell/output/print_spooler.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "output/print/print_settings.h"
#include "support/test_env.h"

extern char** environ;

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kScheduler = "/usr/sbin/cupsd";

class PrivateScheduler {
 public:
  PrivateScheduler() : root_(test::TestRoot() + "/cups") {
    for (const char* sub : {"cache", "log", "spool", "state"}) fs::create_directories(root_ + "/" + sub);
    // A socket's path has room for about a hundred bytes: a short folder of its own.
    char folder[] = "/tmp/plb-cups-XXXXXX";
    if (mkdtemp(folder) != nullptr) socket_folder_ = folder;
    socket_ = (socket_folder_.empty() ? root_ : socket_folder_) + "/cups.sock";
    std::ofstream(root_ + "/cupsd.conf") << "Listen " << socket_ << "\nLogLevel warn\n"
                                         << "<Policy default>\n<Limit All>\nOrder allow,deny\nAllow all\n"
                                         << "</Limit>\n</Policy>\n<Location />\nOrder allow,deny\nAllow all\n"
                                         << "</Location>\n";
    std::ofstream(root_ + "/cups-files.conf")
        << "FileDevice Yes\nServerRoot " << root_ << "\nCacheDir " << root_ << "/cache\nStateDir " << root_
        << "/state\nRequestRoot " << root_ << "/spool\nErrorLog " << root_ << "/log/error_log\nAccessLog " << root_
        << "/log/access_log\nPageLog " << root_ << "/log/page_log\n";
    std::string conf = root_ + "/cupsd.conf", files = root_ + "/cups-files.conf";
    std::vector<char*> argv = {const_cast<char*>(kScheduler), const_cast<char*>("-f"), const_cast<char*>("-c"),
                               conf.data(), const_cast<char*>("-s"), files.data(), nullptr};
    if (posix_spawn(&pid_, kScheduler, nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    // libcups and the command-line tools find the scheduler here.
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    // The socket appears before the scheduler answers; on a loaded machine the first requests
    // would be refused, so wait for it to say it runs.
    for (int i = 0; i < 400 && !Answers(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ~PrivateScheduler() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::error_code ec;
    if (!socket_folder_.empty()) fs::remove_all(socket_folder_, ec);
  }
  bool Running() const { return pid_ > 0 && Answers(); }

  // Runs a CUPS command-line tool against this scheduler; its output.
  static std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
      pclose(pipe);
    }
    return out;
  }

 private:
  bool Answers() const {
    return fs::exists(socket_) && Run("LC_ALL=C lpstat -r").find("scheduler is running") != std::string::npos;
  }

  std::string root_, socket_folder_, socket_;
  pid_t pid_ = -1;
};

TEST(PrintSpooler, AbortCancelsOnlyThisProgramsDocuments) {
  if (!fs::exists(kScheduler)) GTEST_SKIP() << "no CUPS scheduler (scripts/setup installs cups-daemon)";
  PrivateScheduler cups;
  ASSERT_TRUE(cups.Running());
  const std::string added = PrivateScheduler::Run("lpadmin -p Test -E -v file:///dev/null");
  ASSERT_NE(PrivateScheduler::Run("lpstat -p Test").find("Test"), std::string::npos) << added;
  PrivateScheduler::Run("cupsdisable Test");  // stopped: documents wait in the queue
  const std::string document = test::TestRoot() + "/page.txt";
  std::ofstream(document) << "page\n";
  const std::string ours = std::string(kPrintDocumentName) + " (1/2)";
  for (const std::string& title : {ours, std::string("Holiday letter"), std::string(kPrintDocumentName)}) {
    const std::string out = PrivateScheduler::Run("lp -d Test -t '" + title + "' '" + document + "'");
    ASSERT_NE(out.find("request id is"), std::string::npos) << out;
  }
  EXPECT_EQ(CountOwnPrintJobs("Test"), 2);

  EXPECT_EQ(CancelOwnPrintJobs("Test"), 2);
  EXPECT_EQ(CountOwnPrintJobs("Test"), 0);
  const std::string queued = PrivateScheduler::Run("lpstat -o Test");
  EXPECT_NE(queued.find("Test-2"), std::string::npos) << "another program's document was cancelled:\n" << queued;
  EXPECT_EQ(queued.find("Test-1"), std::string::npos) << queued;
  EXPECT_EQ(queued.find("Test-3"), std::string::npos) << queued;
  EXPECT_EQ(CancelOwnPrintJobs("Test"), 0) << "nothing of ours is left to cancel";
}

TEST(PrintSpooler, NoSchedulerMeansNothingToCancel) {
  setenv("CUPS_SERVER", (test::TestRoot() + "/no-such.sock").c_str(), 1);
  EXPECT_EQ(CountOwnPrintJobs("Test"), 0);
  EXPECT_EQ(CancelOwnPrintJobs("Test"), 0);
}

}  // namespace
}  // namespace plb::shell
