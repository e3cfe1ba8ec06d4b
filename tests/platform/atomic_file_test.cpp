#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "platform/error.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteRaw(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// Only the files a failed write may leave: none besides those named.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs body in a child process; the child exits 0 when body raised EWriteError, 1 when it returned,
// 2 for anything else.
int InChild(const std::function<void()>& setup, const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    setup();
    try {
      body();
      _exit(1);
    } catch (const EWriteError&) {
      _exit(0);
    } catch (...) {
      _exit(2);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class AtomicFile : public ::testing::Test {
 protected:
  std::string folder_ = test::TestRoot() + "/files";
  std::string target_ = folder_ + "/data.bin";
  void SetUp() override { fs::create_directories(folder_); }
};

TEST_F(AtomicFile, CreatesAndReplacesContents) {
  const std::string binary("a\0b\xff\n", 5);
  WriteFileAtomically(target_, binary);
  EXPECT_EQ(ReadAll(target_), binary);
  WriteFileAtomically(target_, "shorter");
  EXPECT_EQ(ReadAll(target_), "shorter");
  WriteFileAtomically(target_, "");
  EXPECT_EQ(ReadAll(target_), "");
  EXPECT_EQ(NamesIn(folder_), std::vector<std::string>{"data.bin"});
}

TEST_F(AtomicFile, NewFileGetsTheModeAndOldFileKeepsItsOwn) {
  const mode_t old_umask = umask(022);
  WriteFileAtomically(target_, "x", 0600);
  EXPECT_EQ(ModeOf(target_), 0600u);
  chmod(target_.c_str(), 0640);
  WriteFileAtomically(target_, "y", 0600);
  EXPECT_EQ(ModeOf(target_), 0640u);
  WriteFileAtomically(folder_ + "/other", "z", 0666);
  EXPECT_EQ(ModeOf(folder_ + "/other"), 0644u);
  umask(old_umask);
}

TEST_F(AtomicFile, FailuresLeaveTheOldFileAndNoTemporaryFile) {
  WriteRaw(target_, "old");
  WriteRaw(folder_ + "/plain", "not a folder");
  fs::create_directories(folder_ + "/sub");
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"missing folder", folder_ + "/missing/data.bin"},
      {"parent is a file", folder_ + "/plain/data.bin"},
      {"target is a folder", folder_ + "/sub"},
      {"empty name", ""},
  };
  for (const auto& [name, path] : cases) {
    try {
      WriteFileAtomically(path, "new");
      ADD_FAILURE() << name << ": no error";
    } catch (const EWriteError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << name << ": " << e.what();
    }
  }
  EXPECT_EQ(ReadAll(target_), "old");
  EXPECT_EQ(NamesIn(folder_), (std::vector<std::string>{"data.bin", "plain", "sub"}));
}

TEST_F(AtomicFile, ReadOnlyFolderFailsCleanly) {
  WriteRaw(target_, "old");
  chmod(folder_.c_str(), 0555);
  // Root writes anywhere; the refusal is seen by an ordinary user.
  chmod(test::TestRoot().c_str(), 0755);
  const auto drop = [] {
    if (geteuid() != 0) return;
    const passwd* nobody = getpwnam("nobody");
    const uid_t id = nobody ? nobody->pw_uid : 65534;
    if (setgid(id) != 0 || setuid(id) != 0) _exit(3);
  };
  EXPECT_EQ(InChild(drop, [&] { WriteFileAtomically(target_, "new"); }), 0);
  chmod(folder_.c_str(), 0755);
  EXPECT_EQ(ReadAll(target_), "old");
  EXPECT_EQ(NamesIn(folder_), std::vector<std::string>{"data.bin"});
}

TEST_F(AtomicFile, AShortWriteRemovesTheTemporaryFile) {
  WriteRaw(target_, "old");
  const auto limit_size = [] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &small);
  };
  EXPECT_EQ(InChild(limit_size, [&] { WriteFileAtomically(target_, std::string(100000, 'n')); }), 0);
  EXPECT_EQ(ReadAll(target_), "old");
  EXPECT_EQ(NamesIn(folder_), std::vector<std::string>{"data.bin"});
}

TEST_F(AtomicFile, AStagedWriterReplacesTheFileOnlyAtCommit) {
  WriteRaw(target_, "old");
  {
    AtomicFileWriter writer(target_, target_ + ".new");
    writer.Write("xxx new");
    writer.WriteAt(0, "the");
    writer.Finish();
    EXPECT_EQ(ReadAll(target_), "old");
    EXPECT_EQ(ReadAll(target_ + ".new"), "the new") << "a finished staged file waits on disk";
    writer.Commit();
  }
  EXPECT_EQ(ReadAll(target_), "the new");
  {
    AtomicFileWriter abandoned(target_);
    abandoned.Write("never");
  }
  EXPECT_EQ(ReadAll(target_), "the new");
  EXPECT_EQ(NamesIn(folder_), std::vector<std::string>{"data.bin"}) << "an abandoned writer leaves nothing";
}

// A step that fails after the rename leaves the file replaced, and the writer says so; one that
// fails before it leaves the old file and no staging file.
TEST_F(AtomicFile, ARenameThatWentThroughCountsAsDoneWhateverFailsAfterIt) {
  struct Case {
    AtomicWriteStep step;
    int error;
    bool committed;
  };
  const Case cases[] = {{AtomicWriteStep::kSyncFolder, EIO, true},
                        {AtomicWriteStep::kRename, EXDEV, false},
                        {AtomicWriteStep::kSyncFile, ENOSPC, false},
                        {AtomicWriteStep::kWrite, ENOSPC, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    WriteRaw(target_, "old");
    SetAtomicWriteFaultForTesting([&c](AtomicWriteStep step, const std::string&) { return step == c.step ? c.error : 0; });
    {
      AtomicFileWriter writer(target_);
      EXPECT_THROW(
          {
            writer.Write("new");
            writer.Commit();
          },
          EWriteError);
      EXPECT_EQ(writer.Committed(), c.committed);
    }
    EXPECT_THROW(WriteFileAtomically(target_, "newer"), EWriteError);
    SetAtomicWriteFaultForTesting(nullptr);
    EXPECT_EQ(ReadAll(target_), c.committed ? "newer" : "old");
    EXPECT_EQ(NamesIn(folder_), std::vector<std::string>{"data.bin"});
  }
}

TEST_F(AtomicFile, OnlyTemporaryFilesOfEndedProcessesAreSweptAway) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string mine = ".data.bin.tmp-" + std::to_string(getpid()) + "-0-1";
  const std::string dead = ".data.bin.tmp-" + std::to_string(ended) + "-0-1";
  const std::string odd = ".notes.tmp-x";  // not a name the writer makes
  for (const std::string& name : {mine, dead, odd, std::string("data.bin"), std::string("notes.tmp-1")}) {
    WriteRaw(folder_ + "/" + name, "x");
  }
  RemoveAbandonedTemporaryFiles(folder_);
  EXPECT_EQ(NamesIn(folder_), (std::vector<std::string>{mine, odd, "data.bin", "notes.tmp-1"}));
}

}  // namespace
}  // namespace plb
