#include "host/log_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/log_cleanup.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

const std::string kRule60(60, '/');
const std::string kRule41(41, '-');
const std::regex kStamp(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})");

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string LogFolder() {
  const std::string folder = test::TestRoot() + "/log";
  fs::create_directories(folder);
  return folder;
}

// The file with every time stamp replaced by "<T>".
std::string Masked(const std::string& content) {
  return std::regex_replace(content, kStamp, "<T>");
}

// The messages of the entries of a closed-or-open log, in file order.
std::vector<std::string> Messages(const std::string& content) {
  std::vector<std::string> messages;
  const std::string head = kRule41 + "\r\n";
  size_t at = content.find(head);
  while (at != std::string::npos) {
    const size_t text = content.find("\r\n", at + head.size()) + 2;  // past the time stamp
    size_t next = content.find(head, text);
    const size_t end = next == std::string::npos ? content.size() : next;
    messages.push_back(content.substr(text, end - text - 2));  // without the closing CR LF
    at = next;
  }
  return messages;
}

// The process's arguments joined by blanks, read independently of the writer.
std::string OwnCommandLine() {
  std::string raw = ReadAll("/proc/self/cmdline");
  raw.pop_back();
  std::replace(raw.begin(), raw.end(), '\0', ' ');
  return raw;
}

class LogFileTest : public testing::Test {
 protected:
  void TearDown() override { CloseLog(); }
};

TEST_F(LogFileTest, WritesStartEntriesAndEndBlocksByteForByte) {
  const std::string folder = LogFolder();
  WriteLog("before the log is open");
  const std::string before = LogTimeStamp(Now());
  OpenLog(folder, "run.log");
  EXPECT_EQ(LogFilePath(), folder + "/run.log");
  WriteLog("first line\r\nsecond line");
  WriteLog("");
  WriteLog("ログ 2");
  CloseLog();
  const std::string after = LogTimeStamp(Now());
  WriteLog("after the log is closed");
  EXPECT_EQ(LogFilePath(), "");

  const std::string content = ReadAll(folder + "/run.log");
  EXPECT_EQ(Masked(content), "\r\n\r\n" + kRule60 + "\r\n<T>\r\nSTART\r\n" + OwnCommandLine() + "\r\n" + kRule41 +
                                 "\r\n<T>\r\nfirst line\r\nsecond line\r\n" + kRule41 + "\r\n<T>\r\nログ 2\r\n" +
                                 kRule41 + "\r\n<T>\r\nEND\r\n" + kRule60 + "\r\n");
  // The stamps are the local time of writing (their text sorts in time order).
  for (auto it = std::sregex_iterator(content.begin(), content.end(), kStamp); it != std::sregex_iterator(); ++it) {
    EXPECT_GE(it->str(), before);
    EXPECT_LE(it->str(), after);
  }
}

TEST_F(LogFileTest, AnExistingFileIsAppendedToBehindANewStartBlock) {
  const std::string folder = LogFolder();
  { std::ofstream(folder + "/same.log", std::ios::binary) << "earlier run"; }
  OpenLog(folder, "same.log");
  WriteLog("second run");
  CloseLog();
  const std::string masked = Masked(ReadAll(folder + "/same.log"));
  EXPECT_EQ(masked.rfind("earlier run\r\n\r\n" + kRule60 + "\r\n<T>\r\nSTART\r\n", 0), 0u) << masked;
  EXPECT_EQ(Messages(masked), (std::vector<std::string>{"second run", "END\r\n" + kRule60}));
}

TEST_F(LogFileTest, DefaultNamesFollowTheStartTimeDownToTheMillisecond) {
  EXPECT_EQ(DefaultLogFileName(EncodeDateTime({2024, 5, 17, 9, 8, 7, 6})), "2024May17-090807.006.log");
  EXPECT_EQ(DefaultLogFileName(EncodeDateTime({2025, 12, 1, 23, 59, 59, 999})), "2025Dec01-235959.999.log");

  const std::string folder = LogFolder();
  OpenLog(folder);
  const std::string first = LogFilePath();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  OpenLog(folder);
  const std::string second = LogFilePath();
  CloseLog();
  const std::regex name(R"(\d{4}(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\d{2}-\d{6}\.\d{3}\.log)");
  EXPECT_TRUE(std::regex_match(fs::path(first).filename().string(), name)) << first;
  EXPECT_NE(first, second);
  EXPECT_TRUE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second));
}

TEST_F(LogFileTest, AMissingFolderOpensNothingAndLaterWritesVanish) {
  const std::string folder = test::TestRoot() + "/no-such-folder";
  OpenLog(folder);
  EXPECT_EQ(LogFilePath(), "");
  WriteLog("lost");
  CloseLog();
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(LogFileTest, ANameThatCannotBeCreatedRaises) {
  const std::string folder = LogFolder();
  fs::create_directories(folder + "/taken.log");  // a folder where the file should be
  try {
    OpenLog(folder, "taken.log");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + folder + "/taken.log\". ", 0), 0u) << e.what();
  }
  EXPECT_EQ(LogFilePath(), "");
}

TEST_F(LogFileTest, CleanUpKeepsTheSevenNewestByTheTimeInTheirNames) {
  const std::string folder = LogFolder();
  // As text, "2024Apr" sorts before "2024Feb": a plain text order would delete April's log and
  // keep January's.
  const std::vector<std::string> oldest = {"2023Dec31-235959.999.log", "2024Jan05-100000.000.log"};
  const std::vector<std::string> kept = {"2024Feb10-080000.000.log",
                                         "2024Apr01-080000.000.log",
                                         "2024Aug01-080000.000.log",
                                         "2024Sep01-080000.000.log",
                                         "2024Oct01-080000.000.log",
                                         "2024Nov01-080000.000.log",
                                         "OTHER.LOG"};  // other names count as newer than every default name
  for (const auto& name : oldest) std::ofstream(folder + "/" + name) << "x";
  for (const auto& name : kept) std::ofstream(folder + "/" + name) << "x";
  std::ofstream(folder + "/notes.txt") << "x";
  fs::create_directories(folder + "/folder.log");

  OpenLog(folder, "new.log");
  CloseLog();

  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename());
  std::set<std::string> expected(kept.begin(), kept.end());
  expected.insert({"new.log", "notes.txt", "folder.log"});
  EXPECT_EQ(left, expected);
}

// plb opens "plb.log" again for every command it runs: unless that file is shifted aside as it
// grows, it grows for ever, and the per-run logs' clean-up never touches it.
TEST_F(LogFileTest, ANamedLogThatHasGrownIsShiftedAsideKeepingSevenOlderFiles) {
  const std::string folder = LogFolder();
  const std::string big(static_cast<size_t>(kAppendedLogLimit), 'o');
  std::ofstream(folder + "/plb.log", std::ios::binary) << big;
  for (int i = 1; i <= 7; ++i) std::ofstream(folder + "/plb.log." + std::to_string(i)) << "older " << i;
  const std::vector<std::string> runs = {"2024Feb10-080000.000.log", "2024Apr01-080000.000.log",
                                         "2024Aug01-080000.000.log", "2024Sep01-080000.000.log",
                                         "2024Oct01-080000.000.log", "2024Nov01-080000.000.log"};
  for (const auto& name : runs) std::ofstream(folder + "/" + name) << "x";

  OpenLog(folder, "plb.log");
  WriteLog("this run");
  CloseLog();

  const std::string current = ReadAll(folder + "/plb.log");
  EXPECT_LT(current.size(), 1000u);
  EXPECT_EQ(Messages(Masked(current)), (std::vector<std::string>{"this run", "END\r\n" + kRule60}));
  EXPECT_EQ(ReadAll(folder + "/plb.log.1"), big);
  for (int i = 2; i <= 7; ++i) EXPECT_EQ(ReadAll(folder + "/plb.log." + std::to_string(i)), "older " + std::to_string(i - 1));
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename());
  std::set<std::string> expected(runs.begin(), runs.end());
  expected.insert("plb.log");
  for (int i = 1; i <= 7; ++i) expected.insert("plb.log." + std::to_string(i));
  EXPECT_EQ(left, expected) << "the oldest copy is gone and no per-run log is pushed out";
}

TEST_F(LogFileTest, ANamedLogIsShiftedOnlyOnceItReachesTheLimit) {
  const std::string folder = LogFolder();
  struct Case {
    off_t size;
    bool shifted;
  };
  for (const Case c : {Case{kAppendedLogLimit - 1, false}, Case{kAppendedLogLimit, true}}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder + "/plb.log", std::ios::binary) << std::string(static_cast<size_t>(c.size), 'o');
    RotateAppendedLog(folder, "plb.log");
    EXPECT_EQ(fs::exists(folder + "/plb.log.1"), c.shifted) << c.size;
    EXPECT_EQ(fs::exists(folder + "/plb.log"), !c.shifted) << c.size;
  }
}

TEST(LogFileOrder, KeysOrderDefaultNamesByTimeAndOthersByFoldedText) {
  const struct {
    const char* name;
    const char* key;
  } cases[] = {
      {"2024May17-090807.006.log", "20240517-090807.006"},  {"2024may17-090807.006.LOG", "20240517-090807.006"},
      {"20242月01-000000.000.log", "20240201-000000.000"},  {"202410月01-000000.000.log", "20241001-000000.000"},
      {"202411月30-120000.500.log", "20241130-120000.500"}, {"2024Xyz17-090807.006.log", "2024xyz17-090807.006.log"},
      {"2024May17-0908.006.log", "2024may17-0908.006.log"}, {"Mine.Log", "mine.log"},
  };
  for (const auto& c : cases) EXPECT_EQ(LogFileOrderKey(c.name), c.key) << c.name;
}

TEST_F(LogFileTest, ThreadsWriteWholeEntriesThatNeverInterleave) {
  const std::string folder = LogFolder();
  OpenLog(folder, "threads.log");
  constexpr int kThreads = 8;
  constexpr int kEntries = 200;
  const std::string payload(3000, 'x');  // long enough that a split write would show
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &payload] {
      for (int i = 0; i < kEntries; ++i)
        WriteLog("thread " + std::to_string(t) + " entry " + std::to_string(i) + " " + payload);
    });
  for (auto& thread : threads) thread.join();
  CloseLog();

  const std::string content = ReadAll(folder + "/threads.log");
  std::vector<std::string> messages = Messages(content);
  ASSERT_EQ(messages.size(), size_t{kThreads * kEntries + 1});  // and the END entry
  messages.pop_back();
  std::set<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEntries; ++i)
      expected.insert("thread " + std::to_string(t) + " entry " + std::to_string(i) + " " + payload);
  EXPECT_EQ(std::set<std::string>(messages.begin(), messages.end()), expected);
  // Each thread's own entries keep their order.
  std::vector<int> next(kThreads, 0);
  for (const auto& m : messages) {
    const int t = std::stoi(m.substr(7));
    EXPECT_EQ(m.rfind("thread " + std::to_string(t) + " entry " + std::to_string(next[t]) + " ", 0), 0u);
    ++next[t];
  }
}

TEST_F(LogFileTest, CaughtErrorsAreLoggedInTheirFourForms) {
  const std::string folder = LogFolder();
  OpenLog(folder, "forms.log");
  const EReadError read("Stream read error");
  const std::runtime_error plain("boom");
  const std::bad_alloc memory;
  LogException(read);
  LogException(plain);
  LogException("TOstraFolders.Load", read);
  LogFailure("DAL_Initialize", read);
  LogFailure("PLApi_LogOut", memory);
  LogFailure("SaveToFile", "/data/OstraData.qdb", read);
  CloseLog();
  std::vector<std::string> messages = Messages(ReadAll(folder + "/forms.log"));
  messages.pop_back();
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "EReadError Raised. ( Stream read error )",
                          "Exception Raised. ( boom )",
                          "TOstraFolders.Load : EReadError Raised ( Stream read error )",
                          "DAL_Initialize is Failed. ( EReadError Raised ( Stream read error ) )",
                          "PLApi_LogOut is Failed. ( EOutOfMemory Raised ( Out of memory ) )",
                          "SaveToFile : EReadError Raised ( Stream read error ; "
                          "/data/OstraData.qdb )",
                      }));
}

TEST_F(LogFileTest, TheFileIsPrivateToItsUser) {
  const std::string folder = LogFolder();
  OpenLog(folder, "mode.log");
  CloseLog();
  struct stat st {};
  ASSERT_EQ(stat((folder + "/mode.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace plb
